// Button 3330 opens the desktop's own mouse settings. A table gives the
// commands of each desktop; the desktops named in $XDG_CURRENT_DESKTOP are
// tried first, then every other command of the table, and the first program
// found on $PATH that starts is used.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarvik::app {

struct SettingsCommand {
    std::string program;
    std::vector<std::string> args;
    friend bool operator==(const SettingsCommand&, const SettingsCommand&) = default;
};

struct DesktopSettingsRow {
    std::string_view desktop;        // a token of $XDG_CURRENT_DESKTOP, compared without case
    std::string_view sessionVersion; // $KDE_SESSION_VERSION this row needs ("" = any)
    SettingsCommand command;
};

// The table, in the order it is tried for each desktop.
const std::vector<DesktopSettingsRow>& DesktopSettingsTable();

// The commands to try, in order: those of the desktops in `currentDesktop` (a
// colon list, as $XDG_CURRENT_DESKTOP), matching `kdeSessionVersion` where a row
// names one (rows of other versions follow when it is unset), then the rest of
// the table. Each command appears once.
std::vector<SettingsCommand> SettingsCandidates(std::string_view currentDesktop,
                                                std::string_view kdeSessionVersion);

// The full path of `program` in the colon list `pathList` (an executable regular
// file), or "" when none.
std::string FindOnPath(std::string_view program, std::string_view pathList);

// The candidates whose program exists on `pathList`, with the program resolved to its full path.
std::vector<SettingsCommand> AvailableSettingsCommands(std::string_view currentDesktop,
                                                       std::string_view kdeSessionVersion,
                                                       std::string_view pathList);

enum class SettingsLaunch { Started, NoneFound };

// Starts the first available command detached, trying the next one when a
// start fails; reads $XDG_CURRENT_DESKTOP, $KDE_SESSION_VERSION and $PATH.
// `started` (may be null) receives the command that was started.
SettingsLaunch OpenDesktopMouseSettings(SettingsCommand* started = nullptr);

} // namespace tarvik::app
