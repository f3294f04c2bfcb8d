// tarvik: the skinned window. The start follows the program's start sequence:
// options, platform set-up, the application object with its scale and fonts,
// the single-instance rule, the start-up load of the data folder, the HID
// backend, the session (model, device, saving, timers) and the window that
// shows it, signals and session end, and the optional screenshot. The
// session's shutdown runs once, when the event loop ends.
#include <QApplication>
#include <QDBusConnection>

#include <malloc.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

#include "app/AppOptions.h"
#include "app/Platform.h"
#include "app/Screenshot.h"
#include "app/ShutdownSignals.h"
#include "app/SingleInstance.h"
#include "device/Pacer.h"
#include "mainwnd/Session.h"
#include "mainwnd/TarvikDlg.h"
#include "programs/Backends.h"
#include "skin/Skin.h"
#include "skin/SkinImage.h"
#include "startup/Startup.h"
#include "startup/StartupLoad.h"
#include "text/Log.h"

namespace {

void Print(FILE* stream, const QString& text) {
    if (text.isEmpty()) return;
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
}

} // namespace

int main(int argc, char** argv) {
    using namespace tarvik;
    SetProgramName("tarvik");
    // Large blocks (decoded pictures, their intermediates, the screenshot) are
    // mapped on their own and given back when freed. Without this the C
    // library raises the limit after the first such block is freed, and later
    // ones stay in the heap for the life of the process.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);

    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    app::ParseOutcome parsed = app::ParseAppOptions(arguments);
    if (parsed.action == app::ParseOutcome::Action::Exit) {
        Print(stdout, parsed.out);
        Print(stderr, parsed.err);
        return parsed.exitCode;
    }
    const app::AppOptions& options = parsed.options;

    SetProgramFolder(ResolveProgramFolder());
    const app::PlatformChoice platform = app::PreparePlatform();
    if (!platform.noDisplay.isEmpty()) {
        Print(stderr, QStringLiteral("tarvik: ") + platform.noDisplay + QLatin1Char('\n'));
        return 1;
    }
    QApplication application(argc, argv);
    std::optional<SkinPreload> preload;
    std::thread sessionBus;
    // The preload thread and the bus connection end before the application
    // object goes, on every way out.
    struct EndPreload {
        std::optional<SkinPreload>& preload;
        std::thread& sessionBus;
        ~EndPreload() {
            preload.reset();
            if (sessionBus.joinable()) sessionBus.join();
        }
    } endPreload{preload, sessionBus};
    const double scale = app::ConfigureApplication(application, options.scale);

    // SIGTERM, SIGINT and the end of the session run the window's exit, which
    // saves what is pending. Caught from here on; the handler runs in the event
    // loop, by when the window exists.
    CTarvikDlg* running = nullptr;
    app::ShutdownSignals shutdownSignals([&running](int) {
        if (running) running->Exit();
    });

    // One instance per data folder: the first start owns the folder for its
    // whole life (its lock, with the owner record naming this process's
    // socket); a second start brings the owner's window up and ends before it
    // reads or writes anything.
    const std::filesystem::path dataFolder = options.DataFolder();
    app::SingleInstance instance(dataFolder);
    const app::SingleInstance::Role role = instance.Start();
    if (role == app::SingleInstance::Role::Secondary) {
        if (instance.Delivered()) return 0;
        std::fprintf(stderr, "tarvik: %s\n", instance.Problem().c_str());
        return 1;
    }
    if (role == app::SingleInstance::Role::Alone) {
        std::string message = "running without the single-instance rule: ";
        message += instance.Problem();
        ReportProblem(message);
    }

    // The tray asks for the session bus. Connecting takes a round trip, and
    // without a bus address the D-Bus library tries to start one (a fork and
    // a search of the PATH): done here on another thread while the start-up
    // goes on, the tray finds the connection made.
    sessionBus = std::thread([] { static_cast<void>(QDBusConnection::sessionBus()); });

    // The window's pictures are decoded on another thread while the start-up
    // goes on. (Not before the application object exists: Qt's image readers
    // must not run while it is being made.)
    preload.emplace(CTarvikDlg::StartPictures(), std::vector<int>{CTarvikDlg::kBackgroundBitmap});

    const std::filesystem::path programFolder = ProgramFolder();
    std::error_code ec;
    if (!std::filesystem::is_directory(ProgramFolder() / "skins", ec)) {
        std::string message = "no skins folder in ";
        message += ProgramFolder().string();
        message += ": the window is drawn without its pictures";
        ReportProblem(message);
    }
    // Each file that had to be replaced or could not be read is reported by the load.
    // The owner's lifetime lock covers the load's repairs and every later save.
    const FolderLock& ownership = instance.FolderLockHeld();
    StartupData data =
        LoadStartupData(dataFolder, programFolder, scale, ownership.Held() ? &ownership : nullptr);

    BackendChoice backend = OpenBackend(options.hid, options.trace);
    if (!backend.backend) {
        std::fprintf(stderr, "tarvik: %s\n", backend.error.c_str());
        return 2;
    }
    SleepPacer pacer;

    // The session runs its deferred work on its own Qt timers.
    Session session(
        SessionSetup{*data.model, *data.library, MacroLibraryPath(dataFolder), *backend.backend, pacer});
    CTarvikDlg window(session);
    instance.SetVerbHandler(std::string(app::kVerbShow), [&window](const std::string&) {
        window.BringUp();
        return std::string();
    });
    // tarvikctl's changing commands are carried out here while the window runs.
    ServeCtlCommands(instance, window);
    running = &window;
    app::SaveOnSessionEnd(application, [&session] { session.SavePending(); });
    app::EndWithSession(application, [&window] { window.Exit(); });

    window.Start();
    preload.reset(); // every picture it decodes has been asked for by now
    if (!options.screenshot.isEmpty()) app::ScheduleScreenshot(window, options.screenshot, options.afterMs);

    int exitCode = application.exec();
    // The last save is part of the exit: when it fails, the exit says so.
    session.Shutdown();
    if (const FileResult saved = session.Saving().LastResult(); !saved) {
        std::string message = "the profiles could not be saved at exit: ";
        message += saved.Describe();
        ReportProblem(message);
        if (exitCode == 0) exitCode = 1;
    }
    return exitCode;
}
