// tarvikctl's shared state and the registry through which each command group
// adds its sub-commands.
#pragma once

#include <CLI/CLI.hpp>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "commands/CtlCommands.h"
#include "instance/InstanceProtocol.h"
#include "macro/MacroLibrary.h"
#include "model/FolderLock.h"
#include "model/SettingsModel.h"
#include "startup/StartupLoad.h"
#include "text/ExitCodes.h"

namespace tarvik::cli {

// What a command does with the data folder.
enum class Access : unsigned char {
    Read,   // reads it: the lock only for the start-up load, which may repair files
    Change, // changes it: the lock from before the load to the end of the run
};

struct CliContext {
    // Global options.
    std::string dataDirOption;
    std::string hidOption;
    bool trace = false;
    double lockTimeout = static_cast<double>(FolderLock::kDefaultWait.count()) / 1000.0;

    // Filled by Load().
    std::filesystem::path dataFolder;
    std::filesystem::path programFolder;
    std::unique_ptr<MacroLibrary> library; // the main macro library
    std::unique_ptr<SettingsModel> model;
    StartupReport startup;
    FolderLock lock; // held until the end of a changing command

    int exitCode = kExitOk;

    // A changing command first offers itself to a tarvik window that runs for
    // the data folder: the window carries it out on its own profiles (so its
    // next save keeps the change) and answers with what to print and the exit
    // code. True when the command stops here: the window handled it (or was
    // there and did not take it, exit 1), or the folder cannot be had; false
    // when this run now holds the folder's lock, and the command goes on with
    // Load(Access::Change).
    [[nodiscard]] bool RunInWindow(CtlRequest request);
    // The output of a command run here: printed, and its exit code kept.
    void Finish(const CtlOutput& out);

    // The window's start-up load (LoadStartupData) on the folders the options
    // name: a changing command under the data folder's lock, a reading one
    // read-only (no lock, no repair, nothing created or removed). Every file
    // it replaced or left alone is reported on stderr; what a file left alone
    // means for the exit code is the command's (Uses, and the saves a model
    // refuses). False
    // (with the reason on stderr and the exit code set) when the folder cannot
    // be used or is in use by another program: the command then stops. Runs once.
    [[nodiscard]] bool Load(Access access);
    std::filesystem::path LibraryPath() const { return MacroLibraryPath(dataFolder); }
    // The files whose content a command prints, writes elsewhere or sends:
    // UsedSlot(k), kUsesSettings (also for "the current profile", which
    // config.ini names) and kUsesLibrary. When the start-up load left one of
    // them alone (and said why), a line names it, the run exits 1 and Uses
    // returns false: a command that would write or send something then does
    // nothing. A file left alone that the command does not use leaves its
    // exit code as it is.
    static constexpr unsigned UsedSlot(int slot) { return 1u << slot; }
    static constexpr unsigned kUsesAllSlots = (1u << kProfileCount) - 1;
    static constexpr unsigned kUsesSettings = 1u << kProfileCount;
    static constexpr unsigned kUsesLibrary = kUsesSettings << 1;
    bool Uses(unsigned files);
    // A changing command passes each save here: a failure (already reported on
    // stderr) makes tarvikctl exit 1. Returns whether the save went through.
    bool CheckSaved(const FileResult& saved);

private:
    enum class Taken : unsigned char {
        Owned,      // this run holds the folder's lock
        HandedOver, // the owning window carried the command out (or not: exitCode)
        Failed,     // the folder cannot be had (reported, exitCode set)
    };
    void ResolveFolder();
    // Takes the folder's lock, or hands the command (request_) to the window
    // that owns the folder, waiting up to --lock-timeout for either.
    Taken TakeFolder();
    // True when the owner was reached (the exit code tells the rest); false
    // when it does not listen (yet).
    bool HandOver(const app::FolderOwner& owner, std::chrono::steady_clock::time_point deadline);
    bool Refuse(const std::string& why, int code);
    std::optional<CtlRequest> request_; // the changing command, for the window that owns the folder
};

using Registrar = std::function<void(CLI::App&, CliContext&)>;

// A file of commands registers itself with a static object of this type;
// `order` keeps --help stable.
struct RegisterCommands {
    RegisterCommands(int order, Registrar registrar);
};

} // namespace tarvik::cli
