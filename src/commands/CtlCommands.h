// The changing commands of tarvikctl as plain functions, shared by tarvikctl
// (which runs them on the data folder under its lock) and the tarvik window
// (which runs them on its own model when tarvikctl hands them over, so that
// its next save does not overwrite them). A command writes what tarvikctl
// prints into a CtlOutput; how a change is committed (saved at once, or sent
// and saved later by the window) is the caller's.
//
// Over the instance socket a command travels as "v1 ctl <json>" and its
// result comes back as "v1 result <json>".
#pragma once

#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "commands/ProfileEdits.h"
#include "device/DeviceController.h"
#include "macro/ButtonFunctions.h"
#include "model/ProfileSlots.h"
#include "text/ExitCodes.h"

namespace tarvik {
class MacroLibrary;
class SettingsModel;
class MacroKey;
} // namespace tarvik

namespace tarvik::cli {

// What a command prints and its exit code.
struct CtlOutput {
    struct Line {
        bool err = false; // standard error, else standard output
        std::string text; // without the line end
        friend bool operator==(const Line&, const Line&) = default;
    };
    int exitCode = kExitOk;
    std::vector<Line> lines;

    void Out(std::string text) { lines.push_back({false, std::move(text)}); }
    // A line on stderr, after the program's "tarvikctl: " prefix.
    void Err(std::string_view text);
    // Sets a failure code unless an earlier one is there.
    void Fail(int code = kExitFailed) {
        if (exitCode == kExitOk) exitCode = code;
    }
    // Writes the lines to stdout and stderr.
    void Print() const;
    friend bool operator==(const CtlOutput&, const CtlOutput&) = default;
};

// A changing command: its name ("assign", "profile add", ...) and its
// arguments, already checked by tarvikctl's command line; file arguments are
// absolute paths.
struct CtlRequest {
    std::string command;
    nlohmann::json args = nlohmann::json::object();
};

// The json text after "v1 ctl " / "v1 result ". Parsing never throws: text
// that is not a request or a result of this shape gives nothing.
std::string FormatCtlRequest(const CtlRequest& request);
std::optional<CtlRequest> ParseCtlRequest(std::string_view json);
std::string FormatCtlResult(const CtlOutput& output);
std::optional<CtlOutput> ParseCtlResult(std::string_view json);

// ---- the commands. Each reads its arguments from `args` (a missing or
// wrong-typed one is a usage error, exit 2).

// assign [--slot S] --button B FUNCTION...: stores the function with the
// left-button rule (edits::AssignFunction), then `commit(slot, edit)` saves or
// sends it and returns whether that went through (false sets exit 1).
using AssignCommit = std::function<bool(int slot, const edits::EditResult& edit)>;
void RunAssign(SettingsModel& model, const MacroLibrary& library, const nlohmann::json& args, CtlOutput& out,
               const AssignCommit& commit);

// profile add|rename|delete|select. Add, rename and delete save as the
// window's operations do; a selection (edits::SelectProfile) is committed by
// `commitSelect`, given the groups to send (it returns the save's result).
void RunProfile(SettingsModel& model, const std::string& command, const nlohmann::json& args, CtlOutput& out,
                const std::function<FileResult(SendGroups send)>& commitSelect);

// import --slot S FILE: the file is read aside first; a refused file changes nothing.
void RunImport(SettingsModel& model, const nlohmann::json& args, CtlOutput& out);

// macro import FILE [--into A/B]: into `library`, which is saved to
// `libraryPath` unless `save` is false (the window writes it on a thread of its
// own). Returns the number of nodes it created.
int RunMacroImport(MacroLibrary& library, const std::filesystem::path& libraryPath,
                   const nlohmann::json& args, CtlOutput& out, bool save = true);

// The lines of a finished apply (whole send) and a finished factory reset.
void ReportApply(const SettingsModel& model, std::string_view identity, const ApplyResult& result, bool saved,
                 CtlOutput& out);
void ReportReset(const SettingsModel& model, const ResetResult& result, CtlOutput& out);
// The lines of an answered status query (text, or JSON with `json`), with the
// battery level and charge state the controller holds after it. A query that
// was not answered gives one error line and exit 1.
void ReportStatus(const SettingsModel& model, const StatusResult& result, int batteryLevel,
                  ChargeState charge, bool json, CtlOutput& out);
// "0x0A" for (10, 2).
std::string Hex(unsigned value, int digits);
const char* ChargeName(ChargeState charge);

// FUNCTION words → the choice (and the library macro for "macro PATH"); the
// error text otherwise.
bool ParseFunction(const MacroLibrary& library, const std::vector<std::string>& words, ButtonChoice& choice,
                   const MacroKey*& macro, std::string& error);

// A file argument as the window gets it: absolute, since the window runs in
// another folder.
std::string AbsolutePath(const std::string& file);

// The commands tarvikctl hands to a running window.
bool IsForwardedCommand(std::string_view command);

} // namespace tarvik::cli
