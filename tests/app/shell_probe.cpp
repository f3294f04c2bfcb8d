// A small program that uses the shell's single-instance rule and shutdown
// signals as the tarvik program does, so tests can run it as real processes.
//
//   tarvik-shell-probe --data-dir DIR [--save FILE] [--keep-running yes]
//
// Prints "primary", "secondary delivered", "secondary undelivered" or
// "alone: REASON" on stdout. The primary prints "show" for every bring-up
// request; on SIGTERM or SIGINT it writes "saved SIGNAL" into FILE, prints
// "shutdown SIGNAL" and ends with exit 0 (with --keep-running it stays, as a
// shutdown that hangs would).
#include <QCoreApplication>
#include <QFile>

#include <cstdio>

#include "app/ShutdownSignals.h"
#include "app/SingleInstance.h"

using namespace tarvik::app;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QString dataDir, saveFile;
    bool keepRunning = false;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--data-dir")) dataDir = args[i + 1];
        if (args[i] == QLatin1String("--save")) saveFile = args[i + 1];
        if (args[i] == QLatin1String("--keep-running")) keepRunning = args[i + 1] == QLatin1String("yes");
    }
    if (dataDir.isEmpty()) {
        std::fprintf(stderr, "usage: tarvik-shell-probe --data-dir DIR [--save FILE]\n");
        return 2;
    }

    SingleInstance instance(dataDir.toStdString());
    switch (instance.Start()) {
    case SingleInstance::Role::Secondary:
        std::printf("secondary %s\n", instance.Delivered() ? "delivered" : "undelivered");
        return 0;
    case SingleInstance::Role::Alone:
        std::printf("alone: %s\n", instance.Problem().c_str());
        return 1;
    case SingleInstance::Role::Primary:
        break;
    }
    instance.SetVerbHandler("show", [](const std::string&) {
        std::printf("show\n");
        std::fflush(stdout);
        return std::string();
    });
    ShutdownSignals stop([&](int signal) {
        if (!saveFile.isEmpty()) {
            QFile f(saveFile);
            if (f.open(QIODevice::WriteOnly)) f.write(QByteArray("saved ") + QByteArray::number(signal));
        }
        std::printf("shutdown %d\n", signal);
        std::fflush(stdout);
        if (!keepRunning) QCoreApplication::exit(0);
    });
    if (!stop.IsInstalled()) return 1;
    std::printf("primary\n");
    std::fflush(stdout);
    return app.exec();
}
