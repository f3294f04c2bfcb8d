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

    int exitCode = 0;

    // The window's start-up load: folders, first-run language install, language,
    // macro library, settings file and profiles with the sensor check, DPI tables.
    // Every file it replaced is reported on stderr. Runs once.
    void Load();
    bool UsesSimulatedMouse() const;
    std::filesystem::path MacroLibraryPath() const { return dataFolder / "config" / "MacroLibraryFile.mlf"; }
};

using Registrar = std::function<void(CLI::App&, CliContext&)>;

// A file of commands registers itself with a static object of this type;
// `order` keeps --help stable.
struct RegisterCommands {
    RegisterCommands(int order, Registrar registrar);
};

} // namespace tarvik::cli
