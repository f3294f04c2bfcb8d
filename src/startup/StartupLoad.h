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
#include "model/FolderLock.h"
#include "model/SettingsModel.h"
#include "text/FileResult.h"

namespace tarvik {

struct StartupReport {
    // The data folder: ok, or why nothing in it was read or written (its path
    // holds a line break, or its config/ folder is not a folder and cannot be
    // made). The model then holds defaults, and saves nothing there.
    FileResult folder;
    // The folder's lock: ok when the load held it; otherwise why not, and the
    // load replaced nothing (damaged files are Kept, missing ones not written).
    FileResult lock;
    // Temporary files of killed saves removed from config/.
    int staleFilesRemoved = 0;
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
    bool AllWritten() const { return folder.ok() && settings.AllWritten(); }
    // A file is there that the load left alone (it could not be read, or not
    // be replaced safely): its slot or the library works on defaults, and is
    // never saved over it in this run.
    bool AnyLeftAlone() const;
};

struct StartupData {
    std::unique_ptr<SettingsModel> model;
    std::unique_ptr<MacroLibrary> library; // the main library
    StartupReport report;
};

// Who loads: the folder's owner (a window, or a changing tarvikctl run), or a
// reader that changes nothing.
enum class StartupAccess : unsigned char {
    Owner,
    // No folder created, no lock, no repair, no temporary file removed and no
    // language file installed: what is there is read, and the rest is defaults
    // in memory (the texts from the program folder when the data folder has none).
    ReadOnly,
};

// Creates the data folder and its config/ folder where missing, takes the
// folder's lock (unless the caller holds it: `held`), removes what killed
// saves left behind, installs the shipped language files from the program
// folder where absent, then loads as above into the process-wide language
// table and the returned model and library. The lock taken here is released
// on return; without it in `lockWait`, the load still runs, but repairs nothing.
StartupData LoadStartupData(const std::filesystem::path& dataFolder,
                            const std::filesystem::path& programFolder, double uiScale,
                            const FolderLock* held = nullptr,
                            std::chrono::milliseconds lockWait = FolderLock::kDefaultWait,
                            StartupAccess access = StartupAccess::Owner);

// The main library's file in a data folder.
std::filesystem::path MacroLibraryPath(const std::filesystem::path& dataFolder);

} // namespace tarvik
