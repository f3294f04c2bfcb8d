// A main window on a temporary data folder and the in-process virtual mouse,
// with every report written to the mouse recorded, the file dialogs answered
// with a path of the test's choosing, and the window's end captured instead of
// quitting the test. The session's deferred work (sends, the status poll, the
// delayed save, the window's delayed actions) runs on a virtual scheduler that
// the test moves forward: RunUntil.
#pragma once

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <mutex>
#include <vector>

#include "SkinTestSupport.h"
#include "device/Pacer.h"
#include "device/TraceBackend.h"
#include "emulator/SimBackend.h"
#include "emulator/VirtualMouse.h"
#include "mainwnd/Session.h"
#include "mainwnd/TarvikDlg.h"
#include "model/SettingsModel.h"
#include "programs/Backends.h"
#include "skin/Skin.h"
#include "skin/WndPopup.h"
#include "startup/Startup.h"
#include "startup/StartupLoad.h"

namespace mainwndtest {

using namespace tarvik;

// The safety net of a wait for work on another thread.
constexpr int kThreadWait = 10000;

// Reports written to the mouse, as their command bytes (thread-safe: the
// device worker writes them).
class WriteLog {
public:
    TraceSink Sink() {
        return [this](char direction, std::span<const std::uint8_t> bytes) {
            if (direction != 'W' || bytes.size() < 3) return;
            std::lock_guard lock(mutex_);
            commands_.push_back(bytes[2]);
        };
    }
    int Count(std::uint8_t command) const {
        std::lock_guard lock(mutex_);
        return static_cast<int>(std::count(commands_.begin(), commands_.end(), command));
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::uint8_t> commands_;
};

// A profile file as the model reads it.
inline ProfileRecord ReadProfile(const QString& path, bool* ok = nullptr) {
    QFile f(path);
    ProfileRecord rec;
    const bool opened = f.open(QIODevice::ReadOnly);
    const QByteArray bytes = opened ? f.readAll() : QByteArray();
    const FileResult r =
        ParseProfileData(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), rec);
    if (ok) *ok = opened && r.ok();
    return rec;
}

// Writes the language selector: EN, or any other code for the Chinese file.
inline void SelectLanguage(const QString& configDir, bool english) {
    QFile f(configDir + QStringLiteral("/LanSetting.ini"));
    if (!f.open(QIODevice::WriteOnly)) return;
    const QString text = QStringLiteral("[ChangeLanguage]\nLanguage=%1\n").arg(english ? "EN" : "CN");
    f.write("\xFF\xFE");
    f.write(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

struct Harness {
    // Prepares the data folder and loads it at `scale`; `prepare` may write
    // files into <data>/config before the load.
    explicit Harness(double scale = 1.0, std::function<void(const QString& configDir)> prepare = {},
                     std::unique_ptr<hid::Backend> backendOverride = nullptr) {
        SetUiScale(scale);
        QDir(dir.path()).mkpath(QStringLiteral("config"));
        if (prepare) prepare(dir.filePath(QStringLiteral("config")));
        data = LoadStartupData(DataFolder(), ResolveProgramFolder(), scale);
        mouse = std::make_shared<VirtualMouse>();
        std::unique_ptr<hid::Backend> inner =
            backendOverride ? std::move(backendOverride) : std::make_unique<SimBackend>(mouse);
        backend = WithTrace(std::move(inner), writes.Sink());
        WindowSeams seams;
        seams.chooseFile = [this](QWidget*, const FileRequest& request,
                                  std::function<void(const QString&)> done) {
            requests.push_back(request);
            done(chosenPath);
        };
        session = std::make_unique<Session>(SessionSetup{
            *data.model, *data.library, MacroLibraryPath(DataFolder()), *backend, pacer, &scheduler});
        window = std::make_unique<CTarvikDlg>(*session, std::move(seams));
        window->SetEndCallback([this](int code) { endCode = code; });
    }
    ~Harness() {
        window.reset();
        session.reset();
        SetUiScale(1.0);
    }

    // Work on another thread whose result is still to come: a send, status
    // query or reset on the device worker, a write on the saver thread.
    bool ThreadsBusy() { return session->Device().Busy() || session->Saving().Writer().Busy(); }

    // Runs the event loop and the virtual clock until `done` holds. Posted
    // calls are delivered; while the device worker or the saver thread has
    // work, this waits for its result; otherwise the clock moves on to the
    // next task that falls due, for at most `budget` of virtual time. Beyond
    // that it waits for work this cannot see (the mouse's reader threads,
    // other processes), with `done` as the condition.
    bool RunUntil(const std::function<bool()>& done, Millis budget = Millis(60000)) {
        const Millis end = scheduler.Now() + budget;
        for (;;) {
            QCoreApplication::processEvents();
            if (done()) return true;
            if (ThreadsBusy()) {
                if (!QTest::qWaitFor([&] { return !ThreadsBusy(); }, kThreadWait)) return done();
                continue;
            }
            const std::optional<Millis> next = scheduler.NextDueIn();
            if (!next || scheduler.Now() + *next > end) break;
            scheduler.Advance(*next);
        }
        return QTest::qWaitFor(done, kThreadWait);
    }
    // Runs what is due within `span` of virtual time (posted calls first).
    void Advance(Millis span) {
        QCoreApplication::processEvents();
        scheduler.Advance(span);
        QCoreApplication::processEvents();
    }

    // Starts and shows the window; false when it never became visible.
    bool Start() {
        window->Start();
        if (!QTest::qWaitForWindowExposed(window.get())) return false;
        // The scan's own send of what differs has run: a test's change is its own.
        if (!RunUntil([this] { return !scheduler.Armed(Task::SendChanges) && !ThreadsBusy(); })) return false;
        // The pointer starts on an empty spot, so the first move of a test is a real move.
        skintest::Move(*window, QPoint(window->width() - 2, window->height() - 2));
        return true;
    }

    std::filesystem::path DataFolder() const { return dir.path().toStdString(); }
    QString ConfigFile(const QString& name) const { return dir.filePath(QStringLiteral("config/") + name); }
    QString SlotFile(int slot) const {
        return QString::fromStdString(data.model->GetSlotPath(slot).string());
    }
    SettingsModel& Model() { return *data.model; }
    ProfileRecord& Current() {
        return Model().Profiles[static_cast<std::size_t>(Model().GetCurrentProfile())];
    }
    Rect RectOf(int id) const {
        CControlBase* c = window->FindControl(id);
        return c ? c->GetRect() : kNoRect;
    }
    // A left click in the middle of the control, through the window system.
    void ClickControl(int id) { skintest::Click(*window, skintest::Centre(RectOf(id))); }

    QTemporaryDir dir;
    StartupData data;
    std::shared_ptr<VirtualMouse> mouse;
    WriteLog writes;
    std::unique_ptr<hid::Backend> backend;
    VirtualClock pacer;
    VirtualScheduler scheduler;
    std::unique_ptr<Session> session;
    std::unique_ptr<CTarvikDlg> window;
    QString chosenPath;
    std::vector<FileRequest> requests;
    int endCode = -1;
};

// A left click in the middle of a pop-up's item, through the window system.
inline void ClickItem(CListPopup& popup, int value, Qt::MouseButton button = Qt::LeftButton) {
    const int index = popup.IndexOfValue(value);
    QVERIFY(index >= 0);
    const QPoint p = skintest::Centre(popup.Items()[static_cast<std::size_t>(index)].rect);
    QTest::mouseMove(popup.windowHandle(), p);
    QTest::mouseClick(popup.windowHandle(), button, {}, p);
}

} // namespace mainwndtest

// Runs the harness until `actual` equals `expected`, then compares them (so a
// failure names both).
#define RUN_UNTIL_COMPARE(h, actual, expected)                                                               \
    do {                                                                                                     \
        (h).RunUntil([&] { return (actual) == (expected); });                                                \
        QCOMPARE(actual, expected);                                                                          \
    } while (false)
