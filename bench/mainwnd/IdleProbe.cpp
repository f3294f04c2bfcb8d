// Idle CPU of the main window: the real window and device side on the
// in-process virtual mouse, hidden (as in the tray) or shown, left alone. After
// a settling time (the start-up send and the first status query) it measures
// the CPU time of the whole process, every thread, over the given seconds of
// wall time and prints it as a share of one core.
//
//   tarvik-idle [--seconds N] [--settle N] [--shown]
#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "device/Pacer.h"
#include "emulator/SimBackend.h"
#include "emulator/VirtualMouse.h"
#include "mainwnd/Session.h"
#include "mainwnd/TarvikDlg.h"
#include "skin/Skin.h"
#include "startup/Startup.h"
#include "startup/StartupLoad.h"

namespace {

// The run time of every thread of the process in nanoseconds, as the scheduler
// keeps it (exact, where the tick-based user and system times are sampled).
double CpuSeconds() {
    double ns = 0;
    std::error_code ec;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", ec)) {
        std::ifstream f(task.path() / "schedstat");
        unsigned long long run = 0;
        if (f >> run) ns += static_cast<double>(run);
    }
    return ns / 1e9;
}

} // namespace

int main(int argc, char** argv) {
    using namespace tarvik;
    int seconds = 60, settle = 5;
    bool shown = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc) {
            seconds = std::atoi(argv[++i]);
        } else if (!std::strcmp(argv[i], "--settle") && i + 1 < argc) {
            settle = std::atoi(argv[++i]);
        } else if (!std::strcmp(argv[i], "--shown")) {
            shown = true;
        } else {
            std::fprintf(stderr, "usage: tarvik-idle [--seconds N] [--settle N] [--shown]\n");
            return 2;
        }
    }
    QApplication app(argc, argv);
    QTemporaryDir dir;
    SetUiScale(1.0);
    StartupData data = LoadStartupData(dir.path().toStdString(), ResolveProgramFolder(), 1.0);
    auto mouse = std::make_shared<VirtualMouse>();
    SimBackend backend(mouse);
    SleepPacer pacer;
    Session session(
        SessionSetup{*data.model, *data.library, MacroLibraryPath(dir.path().toStdString()), backend, pacer});
    CTarvikDlg window(session);
    window.Start(shown);

    double cpuStart = 0;
    auto wallStart = std::chrono::steady_clock::now();
    QTimer::singleShot(settle * 1000, [&] {
        cpuStart = CpuSeconds();
        wallStart = std::chrono::steady_clock::now();
        QTimer::singleShot(seconds * 1000, [&] {
            const double cpu = CpuSeconds() - cpuStart;
            const double wall =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
            std::printf("idle %s: %.3f s CPU over %.1f s = %.3f %% of one core\n", shown ? "shown" : "hidden",
                        cpu, wall, 100.0 * cpu / wall);
            QCoreApplication::exit(0);
        });
    });
    const int code = app.exec();
    session.Shutdown();
    return code;
}
