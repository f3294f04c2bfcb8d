#include "app/MouseSettings.h"

#include <QProcess>
#include <QStringList>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvik::app {

namespace {

bool SameToken(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::vector<std::string_view> Split(std::string_view list) {
    std::vector<std::string_view> parts;
    while (true) {
        const std::size_t colon = list.find(':');
        std::string_view part = list.substr(0, colon);
        if (!part.empty()) parts.push_back(part);
        if (colon == std::string_view::npos) break;
        list.remove_prefix(colon + 1);
    }
    return parts;
}

void AddOnce(std::vector<SettingsCommand>& out, const SettingsCommand& c) {
    if (std::find(out.begin(), out.end(), c) == out.end()) out.push_back(c);
}

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

} // namespace

const std::vector<DesktopSettingsRow>& DesktopSettingsTable() {
    static const std::vector<DesktopSettingsRow> table = {
        {"KDE", "6", {"kcmshell6", {"kcm_mouse"}}},
        {"KDE", "6", {"systemsettings", {"kcm_mouse"}}},
        {"KDE", "5", {"kcmshell5", {"kcm_mouse"}}},
        {"KDE", "5", {"systemsettings5", {"kcm_mouse"}}},
        {"GNOME", "", {"gnome-control-center", {"mouse"}}},
        {"XFCE", "", {"xfce4-mouse-settings", {}}},
        {"LXQt", "", {"lxqt-config-input", {}}},
        {"MATE", "", {"mate-mouse-properties", {}}},
        {"X-Cinnamon", "", {"cinnamon-settings", {"mouse"}}},
    };
    return table;
}

std::vector<SettingsCommand> SettingsCandidates(std::string_view currentDesktop,
                                                std::string_view kdeSessionVersion) {
    std::vector<SettingsCommand> out;
    for (std::string_view token : Split(currentDesktop)) {
        // The rows of the running session's version first, then the others.
        for (bool exact : {true, false})
            for (const DesktopSettingsRow& row : DesktopSettingsTable()) {
                if (!SameToken(row.desktop, token)) continue;
                const bool matches = row.sessionVersion.empty() || row.sessionVersion == kdeSessionVersion;
                if (matches == exact) AddOnce(out, row.command);
            }
    }
    for (const DesktopSettingsRow& row : DesktopSettingsTable()) AddOnce(out, row.command);
    return out;
}

std::string FindOnPath(std::string_view program, std::string_view pathList) {
    if (program.empty() || program.find('/') != std::string_view::npos) return {};
    for (std::string_view dir : Split(pathList)) {
        std::string candidate(dir);
        candidate += '/';
        candidate += program;
        struct stat st {};
        if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

std::vector<SettingsCommand> AvailableSettingsCommands(std::string_view currentDesktop,
                                                       std::string_view kdeSessionVersion,
                                                       std::string_view pathList) {
    std::vector<SettingsCommand> out;
    for (SettingsCommand c : SettingsCandidates(currentDesktop, kdeSessionVersion)) {
        c.program = FindOnPath(c.program, pathList);
        if (!c.program.empty()) out.push_back(std::move(c));
    }
    return out;
}

SettingsLaunch OpenDesktopMouseSettings(SettingsCommand* started) {
    for (const SettingsCommand& c :
         AvailableSettingsCommands(Env("XDG_CURRENT_DESKTOP"), Env("KDE_SESSION_VERSION"), Env("PATH"))) {
        QStringList args;
        for (const std::string& a : c.args) args << QString::fromStdString(a);
        if (QProcess::startDetached(QString::fromStdString(c.program), args)) {
            if (started) *started = c;
            return SettingsLaunch::Started;
        }
    }
    return SettingsLaunch::NoneFound;
}

} // namespace tarvik::app
