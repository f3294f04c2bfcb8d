// The macro manager on the UI thread, at UI scale 1.5 with the skin pictures
// and the English texts of the build's program folder.
//
//   BM_OpenManager/N: opening the manager over a library of N macros of 100
//     steps (20 folders of N/20 macros; 0: an empty library) up to its first
//     paint: the window and its controls made, every folder closed, the tree
//     listed, the window shown and painted.
//   BM_CloseManager/N: the close button over the same library until the window
//     has ended: the library copied on the UI thread (the click, `click_ms`)
//     and written on the saver's thread (written, flushed and renamed).
//   BM_RecordKeyEvent: one key event while the manager records: the key
//     entering the window, the message, the step appended, the step list
//     scrolled to its end and repainted. The macro starts over every 160 events.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QWindow>

#include <chrono>
#include <memory>

#include "macro/MacroLibrary.h"
#include "macro/ui/MacroManagerDlg.h"
#include "skin/Skin.h"
#include "text/Language.h"

namespace {

using namespace tarvik;

constexpr int kFolders = 20;

void FillLibrary(MacroLibrary& lib, int macros) {
    if (macros == 0) return;
    for (int f = 0; f < kFolders; ++f) {
        MacroLocation folder;
        lib.AddChild(MacroLocation::None(), u"Folder " + std::u16string(1, u'A' + f), true, &folder);
        for (int i = 0; i < macros / kFolders; ++i) {
            MacroLocation at;
            std::u16string name = u"Macro ";
            name += static_cast<char16_t>(u'0' + i / 10);
            name += static_cast<char16_t>(u'0' + i % 10);
            lib.AddChild(folder, name, false, &at);
            MacroKey& m = *lib.MacroAt(at);
            for (int s = 0; s < 100; ++s)
                m.InsertAction(m.ValidCount(), s % 2 ? MacroAction::Delay(20 + s) : MacroAction::Press(0x41));
            m.MacroCommandActionNum = 50;
        }
    }
}

std::filesystem::path FileIn(const QTemporaryDir& dir) {
    return std::filesystem::path(dir.filePath(QStringLiteral("MacroLibraryFile.mlf")).toStdString());
}

// A click as the window system delivers it: move, press, release.
void Click(QWidget& w, QPoint p) {
    const QPointF at(p), global(w.mapToGlobal(p));
    QMouseEvent move(QEvent::MouseMove, at, global, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &move);
    QCoreApplication::sendEvent(&w, &press);
    QCoreApplication::sendEvent(&w, &release);
}

QPoint CentreOf(const CDlgBase& dlg, int id) {
    const Rect r = dlg.FindControl(id)->GetRect();
    return QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

// Shows the window and runs its first paint.
bool ShowAndPaint(CMacroManagerDlg& dlg) {
    dlg.show();
    QCoreApplication::processEvents();
    return !dlg.BackBuffer().isNull();
}

void BM_OpenManager(benchmark::State& state) {
    QTemporaryDir dir;
    MacroLibrary lib;
    FillLibrary(lib, static_cast<int>(state.range(0)));
    QWidget owner;
    for (auto _ : state) {
        auto dlg = std::make_unique<CMacroManagerDlg>(&owner, lib, FileIn(dir));
        if (!ShowAndPaint(*dlg)) state.SkipWithError("the window did not paint");
        state.PauseTiming();
        dlg.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["macros"] = static_cast<double>(lib.MacroCount());
}
BENCHMARK(BM_OpenManager)->Arg(0)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_CloseManager(benchmark::State& state) {
    QTemporaryDir dir;
    MacroLibrary lib;
    FillLibrary(lib, static_cast<int>(state.range(0)));
    QWidget owner;
    double clickSeconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto dlg = std::make_unique<CMacroManagerDlg>(&owner, lib, FileIn(dir));
        ShowAndPaint(*dlg);
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        dlg->SendMessage(CDlgBase::kIdClose, 0, kNotifyClick);
        clickSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        // The write runs on the saver's thread; the window ends when it is done.
        while (dlg->isVisible()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        if (!dlg->LibrarySaved()) state.SkipWithError("the library was not saved");
        state.PauseTiming();
        dlg.reset();
        state.ResumeTiming();
    }
    state.counters["click_ms"] = 1000 * clickSeconds / static_cast<double>(state.iterations());
    state.counters["file_kB"] = static_cast<double>(std::filesystem::file_size(FileIn(dir))) / 1024.0;
}
BENCHMARK(BM_CloseManager)->Arg(0)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_RecordKeyEvent(benchmark::State& state) {
    QTemporaryDir dir;
    MacroLibrary lib;
    MacroLocation m;
    lib.AddChild(MacroLocation::None(), u"m", false, &m);
    QWidget owner;
    CMacroManagerDlg dlg(&owner, lib, FileIn(dir));
    ShowAndPaint(dlg);
    dlg.SelectNode(m);
    std::int64_t events = 0;
    ulong time = 1000;
    const QPoint record = CentreOf(dlg, CMacroManagerDlg::kIdRecord);
    for (auto _ : state) {
        if (events % 160 == 0) {
            // The record button, up (the save that ends a recording) and down
            // again: outside the measured time.
            state.PauseTiming();
            if (dlg.Recording()) Click(dlg, record);
            Click(dlg, record);
            QCoreApplication::processEvents();
            state.ResumeTiming();
        }
        QKeyEvent e(events % 2 ? QEvent::KeyRelease : QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, 38, 0, 0);
        e.setTimestamp(time += 15);
        QCoreApplication::sendEvent(dlg.windowHandle(), &e);
        QCoreApplication::sendPostedEvents(); // the key message
        QCoreApplication::processEvents();    // the repaint
        ++events;
    }
    if (!dlg.Recording() || lib.MacroAt(m)->ValidCount() == 0) state.SkipWithError("nothing was recorded");
    state.SetItemsProcessed(events);
}
BENCHMARK(BM_RecordKeyEvent);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Only the program's own windows are captured: the benchmark's key events.
    qunsetenv("DISPLAY");
    QApplication app(argc, argv);
    SetUiScale(1.5);
    InstallFontSubstitutions();
    QFile lang(
        QDir(QString::fromStdString(ProgramFolder().string())).filePath(QStringLiteral("lang/Lan_EN.txt")));
    if (lang.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = lang.readAll();
        Language().LoadText(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                            UiScale());
    }
    {
        // Fonts and pictures are loaded once per process: not part of any figure.
        QTemporaryDir dir;
        MacroLibrary lib;
        QWidget owner;
        for (int i = 0; i < 3; ++i) {
            CMacroManagerDlg warmUp(&owner, lib, FileIn(dir));
            ShowAndPaint(warmUp);
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
