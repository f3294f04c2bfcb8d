// The start-up load that the window and tarvikctl share: the data folder made
// ready, then the language table, the macro library, config.ini with the five
// profile files and the sensor check, and the DPI tables, in this order (each
// step relies on the ones before: the profile defaults use language strings).
// Plain C++; the caller resolves the folders (the data folder depends on the
// HID backend chosen) and the UI scale (the interface font depends on it).
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "macro/MacroLibrary.h"
#include "model/SettingsModel.h"
#include "text/FileResult.h"

namespace tarvik {

struct StartupReport {
    // The language file (Lan.txt or Lan_EN.txt): ok, or why the texts are
    // empty (from a line on, for a Damaged file).
    FileResult language;
    std::filesystem::path languageFile;
    // config/MacroLibraryFile.mlf.
    LoadOutcome library;
    // config.ini, the five profile files and the sensor check.
    SettingsLoadReport settings;
    // Every problem met, in order, as it was reported.
    std::vector<std::string> problems;

    // Every file the load had to write was written.
    bool AllWritten() const { return settings.AllWritten(); }
};

struct StartupData {
    std::unique_ptr<SettingsModel> model;
    std::unique_ptr<MacroLibrary> library; // the main library
    StartupReport report;
};

// Creates the data folder and its config/ folder where missing, installs the
// shipped language files from the program folder where absent, then loads as
// above into the process-wide language table and the returned model and library.
StartupData LoadStartupData(const std::filesystem::path& dataFolder,
                            const std::filesystem::path& programFolder, double uiScale);

// The main library's file in a data folder.
std::filesystem::path MacroLibraryPath(const std::filesystem::path& dataFolder);

} // namespace tarvik
