// CPU per captured key event while a window records.
//
//   BM_CaptureOwnWindow: a key event entering the recording window (Qt event
//     filter, key code from the native scan code, the posted 1025 message and
//     its dispatch to the window's message table).
//   BM_CaptureRawX: a key typed with XTest into an Xvfb display (started by the
//     benchmark; skipped without Xvfb) and delivered from XInput2 raw events.
//     The CPU time is this process's: typing with XTest, reading the raw event,
//     posting and dispatching the message.
//
// Each iteration is one press and one release; the items counter is per event.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QKeyEvent>
#include <QProcess>
#include <QStandardPaths>
#include <QWindow>

#include <memory>

#include "macro/ui/KeyboardHook.h"
#include "skin/DlgBase.h"

#ifdef TARVIK_BENCH_XTEST
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#undef KeyPress
#undef KeyRelease
#undef None
#undef Bool
#undef Status
#endif

namespace {

using namespace tarvik;

class Recorder : public CDlgBase {
public:
    Recorder() {
        SetWindowSize(200, 100);
        Messages().Add(CKeyboardHook::kKeyMessage, [this](int, WParam, LParam) -> LResult {
            ++keys;
            return 0;
        });
    }
    std::int64_t keys = 0;

protected:
    void CreateControls(const Rect&) override {}
    void DrawWindow(QPainter&, const Rect&) override {}
};

void BM_CaptureOwnWindow(benchmark::State& state) {
    Recorder recorder;
    recorder.show();
    QApplication::processEvents();
    CKeyboardHook hook;
    hook.StartHook(&recorder);
    QWindow* window = recorder.windowHandle();
    for (auto _ : state) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, 38, 0, 0);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, 38, 0, 0);
        QCoreApplication::sendEvent(window, &press);
        QCoreApplication::sendEvent(window, &release);
        QCoreApplication::sendPostedEvents();
    }
    if (recorder.keys != static_cast<std::int64_t>(state.iterations()) * 2)
        state.SkipWithError("keys were lost");
    state.SetItemsProcessed(recorder.keys);
}
BENCHMARK(BM_CaptureOwnWindow);

#ifdef TARVIK_BENCH_XTEST
void BM_CaptureRawX(benchmark::State& state) {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (program.isEmpty()) {
        state.SkipWithError("Xvfb is not installed");
        return;
    }
    QProcess xvfb;
    xvfb.start(program, {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                         QStringLiteral("tcp")});
    if (!xvfb.waitForReadyRead(20000)) {
        state.SkipWithError("Xvfb does not start");
        return;
    }
    const QByteArray display = ":" + xvfb.readLine().trimmed();
    qputenv("DISPLAY", display);
    Display* typist = XOpenDisplay(nullptr);
    Recorder recorder;
    recorder.show();
    CKeyboardHook hook;
    hook.StartHook(&recorder, CKeyboardHook::Scope::Global);
    if (!typist || !hook.CapturesGlobally()) {
        state.SkipWithError("no raw key events from Xvfb");
    } else {
        const KeyCode a = XKeysymToKeycode(typist, 'a');
        for (auto _ : state) {
            const std::int64_t want = recorder.keys + 2;
            XTestFakeKeyEvent(typist, a, True, 0);
            XTestFakeKeyEvent(typist, a, False, 0);
            XFlush(typist);
            while (recorder.keys < want) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        state.SetItemsProcessed(recorder.keys);
    }
    hook.StopHook();
    if (typist) XCloseDisplay(typist);
    xvfb.terminate();
    xvfb.waitForFinished(10000);
    qunsetenv("DISPLAY");
}
BENCHMARK(BM_CaptureRawX)->UseRealTime();
#endif

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
