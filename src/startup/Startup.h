// Folders and the first steps of the start-up sequence, shared by the window,
// tarvikctl and the tests.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "text/FileResult.h"

namespace tarvik {

inline constexpr const char* kDataFolderName = "PelcorData20230619A";

// The data folder: `override` when given, else $TARVIK_DATA_DIR, else
// $XDG_CONFIG_HOME (default ~/.config) / PelcorData20230619A. With `simulated`
// (the virtual mouse and no explicit folder) the name gets "-simulated" so the
// real profiles are never touched. Always absolute (a relative folder is taken
// from the current directory), since config.ini stores paths inside it.
std::filesystem::path ResolveDataFolder(const std::optional<std::filesystem::path>& override, bool simulated);

// Why a data folder cannot be used at all (its path holds a line break, which
// config.ini could not store), or an empty text.
std::string DataFolderProblem(const std::filesystem::path& dataFolder);

// The program folder (holds skins/ and lang/): $TARVIK_PROGRAM_DIR, else the
// executable's folder when it holds lang/ (build tree), else <exe>/../share/tarvik.
std::filesystem::path ResolveProgramFolder();

// Creates the data folder and its config/ folder when they are not folders,
// then, with a program folder, installs the language files as
// InstallLanguageFiles does. Fails (NotWritten, with the reason) when config/
// is not a folder afterwards: then nothing can be read or saved there.
FileResult PrepareDataFolder(const std::filesystem::path& dataFolder,
                             const std::filesystem::path& programFolder = {});

// Copies the shipped language files (Lan_EN.txt, Lan.txt, LanSetting.ini from
// programFolder/lang) into config/ where absent; a file already there (maybe
// edited by the user) is never replaced, and none appears half-written.
void InstallLanguageFiles(const std::filesystem::path& dataFolder,
                          const std::filesystem::path& programFolder);

// Puts the program's shipped copy of a language file (programFolder/lang/<its
// name>) in the place of `languageFile`, which was damaged: the damaged one is
// kept as a backup first and, when no backup can be kept, left as it is.
// Fails (without a report) when there is no shipped copy, it cannot be read,
// no backup could be kept, or the copy cannot be written.
FileResult RestoreLanguageFile(const std::filesystem::path& languageFile,
                               const std::filesystem::path& programFolder);

// A private folder of the user for sockets: $XDG_RUNTIME_DIR when it is an
// absolute folder, else PrivateRuntimeFolder().
std::filesystem::path UserRuntimeFolder();

// <base>/tarvik-runtime-<uid>, created with mode 0700 when absent. Used only
// when it is a real folder (not a link) owned by the user, with its mode
// narrowed to 0700 where needed: another user could otherwise have made it
// first and placed a socket or link in it. Empty when it cannot be used.
std::filesystem::path PrivateRuntimeFolder(const std::filesystem::path& base = "/tmp");

} // namespace tarvik
