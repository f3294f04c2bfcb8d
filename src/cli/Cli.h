// tarvikctl's shared state and the registry through which each command group
// adds its sub-commands.
#pragma once

#include <CLI/CLI.hpp>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "macro/MacroLibrary.h"
#include "macro/StartupLoad.h"
#include "model/SettingsModel.h"

namespace tarvik::cli {

struct CliContext {
    // Global options.
    std::string dataDirOption;
    std::string hidOption;
    bool trace = false;

    // Filled by Load().
    std::filesystem::path dataFolder;
    std::filesystem::path programFolder;
    std::unique_ptr<MacroLibrary> library; // the main macro library
    std::unique_ptr<SettingsModel> model;
    StartupReport startup;

    int exitCode = 0;

    // The window's start-up load (LoadStartupData) on the folders the options
    // name. Every file it replaced is reported on stderr. Runs once.
    void Load();
    std::filesystem::path LibraryPath() const { return MacroLibraryPath(dataFolder); }
    // A changing command passes each save here: a failure (already reported on
    // stderr) makes tarvikctl exit 1. Returns whether the save went through.
    bool CheckSaved(const FileResult& saved);
};

using Registrar = std::function<void(CLI::App&, CliContext&)>;

// A file of commands registers itself with a static object of this type;
// `order` keeps --help stable.
struct RegisterCommands {
    RegisterCommands(int order, Registrar registrar);
};

} // namespace tarvik::cli
