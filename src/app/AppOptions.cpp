#include "app/AppOptions.h"

#include <QCommandLineParser>

#include <cstdlib>

#include "startup/Startup.h"
#include "text/ExitCodes.h"

#ifndef TARVIK_VERSION
#define TARVIK_VERSION "0.0.0"
#endif

namespace tarvik::app {

namespace {

const char* kProgramName = "tarvik";

QString UsageText(const QCommandLineParser& parser) {
    // The parser names the executable by its path (or, before the application
    // object exists, not at all); the usage names the program.
    QString text = parser.helpText();
    const QString prefix = QStringLiteral("Usage: ");
    const qsizetype end = text.indexOf(QStringLiteral(" [options]"));
    if (text.startsWith(prefix) && end > prefix.size())
        text.replace(prefix.size(), end - prefix.size(), QString::fromLatin1(kProgramName));
    return text;
}

// One line on stderr, as every program's errors; the usage is --help's.
ParseOutcome UsageError(const QCommandLineParser&, const QString& why) {
    ParseOutcome r;
    r.action = ParseOutcome::Action::Exit;
    r.exitCode = kExitUsage;
    r.err = QStringLiteral("%1: %2 (see --help)\n").arg(QString::fromLatin1(kProgramName), why);
    return r;
}

std::optional<double> ParseScale(const QString& text) {
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok) return std::nullopt;
    for (double allowed : {1.0, 1.5, 2.0})
        if (v == allowed) return v;
    return std::nullopt;
}

} // namespace

bool AppOptions::UsesSimulatedFolder() const {
    return hid == "sim" || hid.rfind("socket:", 0) == 0;
}

std::filesystem::path AppOptions::DataFolder() const {
    return ResolveDataFolder(dataDir, UsesSimulatedFolder());
}

std::string HidChoiceProblem(const std::string& choice) {
    if (choice == "linux" || choice == "sim") return {};
    if (choice.rfind("socket:", 0) == 0) {
        if (choice.size() > 7) return {};
        return "socket: needs the simulator's socket path (socket:PATH)";
    }
    std::string why = "unknown HID backend \"";
    why += choice;
    why += "\" (linux, sim or socket:PATH)";
    return why;
}

QString VersionNumber() {
    return QStringLiteral(TARVIK_VERSION);
}

QString VersionText() {
    return QStringLiteral("%1 %2\n").arg(QString::fromLatin1(kProgramName), VersionNumber());
}

ParseOutcome ParseAppOptions(const QStringList& arguments, const QString& hidEnvironment) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Configures the mouse: profiles, DPI levels, lighting, "
                                                    "buttons and macros."));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("Show the version and exit."));
    const QCommandLineOption hid(QStringLiteral("hid"),
                                 QStringLiteral("HID backend: linux, sim or socket:PATH (default: "
                                                "$TARVIK_HID, else linux)."),
                                 QStringLiteral("backend"));
    const QCommandLineOption simulate(QStringLiteral("simulate"),
                                      QStringLiteral("Use the in-process virtual mouse and the simulated "
                                                     "data folder (the same as --hid sim)."));
    const QCommandLineOption trace(QStringLiteral("trace"),
                                   QStringLiteral("Print every report written (W) or read (R) on stderr."));
    const QCommandLineOption dataDir(QStringLiteral("data-dir"),
                                     QStringLiteral("Data folder (default: $TARVIK_DATA_DIR, else "
                                                    "$XDG_CONFIG_HOME/PelcorData20230619A)."),
                                     QStringLiteral("folder"));
    const QCommandLineOption scale(QStringLiteral("scale"),
                                   QStringLiteral("Interface scale 1, 1.5 or 2 (default: from the screen "
                                                  "size)."),
                                   QStringLiteral("factor"));
    const QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                        QStringLiteral("Render the main window after start-up, write it "
                                                       "as a PNG file and exit."),
                                        QStringLiteral("file"));
    const QCommandLineOption after(QStringLiteral("after"),
                                   QStringLiteral("With --screenshot: wait this many milliseconds after "
                                                  "start-up first."),
                                   QStringLiteral("ms"));
    parser.addOptions({help, version, hid, simulate, trace, dataDir, scale, screenshot, after});

    if (!parser.parse(arguments)) return UsageError(parser, parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return UsageError(
            parser,
            QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().constFirst()));
    for (const QCommandLineOption* single : {&hid, &dataDir, &scale, &screenshot, &after})
        if (parser.values(*single).size() > 1)
            return UsageError(
                parser, QStringLiteral("--%1 is given more than once").arg(single->names().constLast()));

    ParseOutcome r;
    if (parser.isSet(help)) {
        r.action = ParseOutcome::Action::Exit;
        r.out = UsageText(parser);
        return r;
    }
    if (parser.isSet(version)) {
        r.action = ParseOutcome::Action::Exit;
        r.out = VersionText();
        return r;
    }

    AppOptions& o = r.options;
    o.simulate = parser.isSet(simulate);
    o.trace = parser.isSet(trace);
    if (parser.isSet(hid)) {
        o.hid = parser.value(hid).toStdString();
        if (const std::string why = HidChoiceProblem(o.hid); !why.empty())
            return UsageError(parser, QStringLiteral("--hid: %1").arg(QString::fromStdString(why)));
        if (o.simulate && o.hid != "sim")
            return UsageError(parser, QStringLiteral("--simulate uses the in-process virtual mouse; it "
                                                     "cannot be combined with --hid %1")
                                          .arg(parser.value(hid)));
    } else if (o.simulate) {
        o.hid = "sim";
    } else {
        o.hid = hidEnvironment.isEmpty() ? std::string("linux") : hidEnvironment.toStdString();
        if (const std::string why = HidChoiceProblem(o.hid); !why.empty())
            return UsageError(parser, QStringLiteral("$TARVIK_HID: %1").arg(QString::fromStdString(why)));
    }
    if (parser.isSet(dataDir)) {
        const QString dir = parser.value(dataDir);
        if (dir.isEmpty()) return UsageError(parser, QStringLiteral("--data-dir needs a folder"));
        o.dataDir = std::filesystem::path(dir.toStdString());
    }
    if (parser.isSet(scale)) {
        o.scale = ParseScale(parser.value(scale));
        if (!o.scale)
            return UsageError(
                parser, QStringLiteral("--scale must be 1, 1.5 or 2, not \"%1\"").arg(parser.value(scale)));
    }
    if (parser.isSet(screenshot)) {
        o.screenshot = parser.value(screenshot);
        if (o.screenshot.isEmpty())
            return UsageError(parser, QStringLiteral("--screenshot needs a file name"));
    }
    if (parser.isSet(after)) {
        if (o.screenshot.isEmpty()) return UsageError(parser, QStringLiteral("--after needs --screenshot"));
        bool ok = false;
        o.afterMs = parser.value(after).toInt(&ok);
        if (!ok || o.afterMs < 0)
            return UsageError(parser, QStringLiteral("--after must be a number of milliseconds, not \"%1\"")
                                          .arg(parser.value(after)));
    }
    return r;
}

ParseOutcome ParseAppOptions(const QStringList& arguments) {
    return ParseAppOptions(arguments, qEnvironmentVariable("TARVIK_HID"));
}

} // namespace tarvik::app
