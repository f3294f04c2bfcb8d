// The command line of the tarvik program: options, their checks, and what the
// start sequence does with them (backend choice, data folder, scale override).
#pragma once

#include <QString>
#include <QStringList>

#include <filesystem>
#include <optional>
#include <string>

namespace tarvik::app {

struct AppOptions {
    std::string hid;       // the resolved backend: linux, sim or socket:PATH
    bool simulate = false; // --simulate: the in-process virtual mouse
    bool trace = false;    // --trace: every report written and read on stderr (also TARVIK_TRACE=1)
    std::optional<std::filesystem::path> dataDir; // --data-dir
    std::optional<double> scale;                  // --scale: 1, 1.5 or 2 instead of the screen rule
    QString screenshot;                           // --screenshot FILE: render, write a PNG, exit 0
    int afterMs = 0;                              // --after MS: extra time before the screenshot

    // The virtual mouse (sim or socket:) without --data-dir works on the
    // simulated data folder, so the real profiles are never touched.
    bool UsesSimulatedFolder() const;
    // --data-dir, else $TARVIK_DATA_DIR, else the (simulated) folder below the XDG config folder.
    std::filesystem::path DataFolder() const;
};

// What the parse asks the caller to do.
struct ParseOutcome {
    enum class Action { Run, Exit };
    Action action = Action::Run;
    int exitCode = 0;   // for Exit: 0 after --help / --version, 2 after a wrong option or value
    QString out, err;   // text for stdout and stderr
    AppOptions options; // for Run
};

// Parses the arguments (argv[0] included). `hidEnvironment` stands for
// $TARVIK_HID, which gives the backend when --hid is absent.
ParseOutcome ParseAppOptions(const QStringList& arguments, const QString& hidEnvironment);
// The same with the process's own $TARVIK_HID.
ParseOutcome ParseAppOptions(const QStringList& arguments);

// Why a backend name is not one of linux, sim, socket:PATH ("" when it is).
std::string HidChoiceProblem(const std::string& choice);

// The program's version ("0.1.0"), and the line --version prints ("tarvik 0.1.0").
QString VersionNumber();
QString VersionText();

} // namespace tarvik::app
