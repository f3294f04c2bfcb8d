// Folders and the first steps of the start-up sequence, shared by the window,
// tarvikctl and the tests.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace tarvik {

inline constexpr const char* kDataFolderName = "PelcorData20230619A";

// The data folder: `override` when given, else $TARVIK_DATA_DIR, else
// $XDG_CONFIG_HOME (default ~/.config) / PelcorData20230619A. With `simulated`
// (the virtual mouse and no explicit folder) the name gets "-simulated" so the
// real profiles are never touched.
std::filesystem::path ResolveDataFolder(const std::optional<std::filesystem::path>& override, bool simulated);

// The program folder (holds skins/ and lang/): $TARVIK_PROGRAM_DIR, else the
// executable's folder when it holds lang/ (build tree), else <exe>/../share/tarvik.
std::filesystem::path ResolveProgramFolder();

// Creates the data folder and its config/ folder when they are not directories
// (failures are not fatal), then copies the shipped language files (Lan_EN.txt,
// Lan.txt, LanSetting.ini from programFolder/lang) into config/ where absent.
void PrepareDataFolder(const std::filesystem::path& dataFolder, const std::filesystem::path& programFolder);

} // namespace tarvik
