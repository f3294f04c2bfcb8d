#include "commands/CtlCommands.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <iostream>
#include <type_traits>

#include "commands/ProfileJson.h"
#include "device/MacroUpload.h"
#include "macro/MacroFiles.h"
#include "macro/MacroLibrary.h"
#include "model/SettingsModel.h"
#include "text/Language.h"
#include "text/U16.h"

namespace tarvik::cli {

using json = nlohmann::json;

void CtlOutput::Err(std::string_view text) {
    std::string line = "tarvikctl: ";
    line += text;
    lines.push_back({true, std::move(line)});
}

void CtlOutput::Print() const {
    for (const Line& l : lines) (l.err ? std::cerr : std::cout) << l.text << "\n";
    std::cout.flush();
}

// ---- the lines on the socket

namespace {

// Text that is not valid UTF-8 (a file name can be any bytes) is replaced
// instead of making the dump throw.
std::string Dump(const json& j) {
    return j.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::optional<json> Parse(std::string_view text) {
    json j = json::parse(text.begin(), text.end(), nullptr, false);
    if (j.is_discarded()) return std::nullopt;
    return j;
}

} // namespace

std::string FormatCtlRequest(const CtlRequest& request) {
    return Dump(json{{"command", request.command}, {"args", request.args}});
}

std::optional<CtlRequest> ParseCtlRequest(std::string_view text) {
    const std::optional<json> j = Parse(text);
    if (!j || !j->is_object()) return std::nullopt;
    const auto command = j->find("command");
    const auto args = j->find("args");
    if (command == j->end() || !command->is_string() || args == j->end() || !args->is_object())
        return std::nullopt;
    return CtlRequest{command->get<std::string>(), *args};
}

std::string FormatCtlResult(const CtlOutput& output) {
    json lines = json::array();
    for (const CtlOutput::Line& l : output.lines)
        lines.push_back({{"stream", l.err ? "err" : "out"}, {"text", l.text}});
    return Dump(json{{"exit", output.exitCode}, {"lines", lines}});
}

std::optional<CtlOutput> ParseCtlResult(std::string_view text) {
    const std::optional<json> j = Parse(text);
    if (!j || !j->is_object()) return std::nullopt;
    const auto exit = j->find("exit");
    const auto lines = j->find("lines");
    if (exit == j->end() || !exit->is_number_integer() || lines == j->end() || !lines->is_array())
        return std::nullopt;
    CtlOutput out;
    const long long code = exit->get<long long>();
    if (code < 0 || code > 255) return std::nullopt;
    out.exitCode = static_cast<int>(code);
    for (const json& l : *lines) {
        if (!l.is_object()) return std::nullopt;
        const auto stream = l.find("stream");
        const auto line = l.find("text");
        if (stream == l.end() || !stream->is_string() || line == l.end() || !line->is_string())
            return std::nullopt;
        out.lines.push_back({stream->get<std::string>() == "err", line->get<std::string>()});
    }
    return out;
}

std::string AbsolutePath(const std::string& file) {
    std::error_code ec;
    const std::filesystem::path p = std::filesystem::absolute(file, ec);
    return ec ? file : p.string();
}

bool IsForwardedCommand(std::string_view command) {
    static constexpr std::string_view kForwarded[] = {
        "import",       "assign", "profile add", "profile rename", "profile delete", "profile select",
        "macro import", "apply",  "reset",       "status",         "init",
    };
    return std::find(std::begin(kForwarded), std::end(kForwarded), command) != std::end(kForwarded);
}

// ---- arguments

namespace {

// A required argument of the request; false (a usage error) when it is
// missing or of another type.
template <typename T> bool Arg(const json& args, const char* name, T& value, CtlOutput& out) {
    const auto it = args.find(name);
    bool typed = false;
    if (it != args.end()) {
        if constexpr (std::is_same_v<T, int>)
            typed = it->is_number_integer() && it->get<long long>() >= -1 && it->get<long long>() <= 1000;
        else if constexpr (std::is_same_v<T, std::string>)
            typed = it->is_string();
        else
            typed = it->is_array() &&
                    std::all_of(it->begin(), it->end(), [](const json& w) { return w.is_string(); });
    }
    if (!typed) {
        std::string why = "the command lacks its argument \"";
        why += name;
        why += "\"";
        out.Err(why);
        out.Fail(kExitUsage);
        return false;
    }
    value = it->get<T>();
    return true;
}

bool SlotArg(const json& args, const char* name, int& slot, bool optional, CtlOutput& out) {
    if (optional && !args.contains(name)) {
        slot = -1;
        return true;
    }
    if (!Arg(args, name, slot, out)) return false;
    if ((optional && slot == -1) || (slot >= 0 && slot < kProfileCount)) return true;
    out.Err("a profile slot is 0-4");
    out.Fail(kExitUsage);
    return false;
}

std::string Hex3(const KeyAction& a) {
    const std::uint8_t bytes[] = {a.Function, a.Data1, a.Data2};
    return HexText(bytes, " ");
}

std::string NoticeText(Notice n) {
    std::string text = "notice ";
    text += std::to_string(NoticeString(n));
    text += ": ";
    text += ToUtf8(LanguageString(NoticeString(n)));
    return text;
}

std::string Quoted(std::string_view s) {
    std::string q = "\"";
    q += s;
    q += "\"";
    return q;
}

} // namespace

// ---- assign

bool ParseFunction(const MacroLibrary& library, const std::vector<std::string>& w, ButtonChoice& choice,
                   const MacroKey*& macro, std::string& error) {
    macro = nullptr;
    if (w.empty()) {
        error = "no function given (see --help)";
        return false;
    }
    const std::string& f = w[0];
    auto want = [&](std::size_t n) {
        if (w.size() == n + 1) return true;
        error = Quoted(f);
        error += " takes ";
        error += std::to_string(n);
        error += " argument(s)";
        return false;
    };
    auto fromMenu = [&](FunctionSubMenu menu, const std::string& id) {
        auto c = FindMenuChoice(menu, id);
        if (!c) {
            error = "unknown ";
            error += f;
            error += " name ";
            error += Quoted(id);
            error += " (see --help)";
            return false;
        }
        choice = *c;
        return true;
    };
    if (f == "left" || f == "right" || f == "middle" || f == "back" || f == "forward" || f == "disabled" ||
        f == "device-function" || f == "fire-preset")
        return want(0) && fromMenu(FunctionSubMenu::None, f);
    if (f == "dpi-up" || f == "dpi-down" || f == "dpi-cycle")
        return want(0) && fromMenu(FunctionSubMenu::Dpi, f);
    if (f == "dpi-lock") return want(1) && fromMenu(FunctionSubMenu::DpiLock, w[1]);
    if (f == "media") return want(1) && fromMenu(FunctionSubMenu::Multimedia, w[1]);
    if (f == "office") return want(1) && fromMenu(FunctionSubMenu::Office, w[1]);
    if (f == "windows") return want(1) && fromMenu(FunctionSubMenu::WindowsManagement, w[1]);
    if (f == "shortcut") {
        if (!want(1)) return false;
        auto c = ParseShortcut(w[1]);
        if (!c) {
            error = "cannot read the shortcut ";
            error += Quoted(w[1]);
            return false;
        }
        choice = *c;
        return true;
    }
    if (f == "fire") {
        if (!want(2)) return false;
        int first = 0, second = 0;
        try {
            first = std::stoi(w[1]);
            second = std::stoi(w[2]);
        } catch (const std::exception&) {
            first = second = -1;
        }
        if (first < 5 || first > 255 || second < 0 || second > 255) {
            error = "fire takes a first value of 5-255 and a second of 0-255";
            return false;
        }
        FireKeyResult r =
            FireKeyChoice(static_cast<std::uint32_t>(first), static_cast<std::uint32_t>(second));
        if (!r.choice) {
            error = r.notice != Notice::None ? NoticeText(r.notice)
                                             : "language string 26 is empty: nothing to store";
            return false;
        }
        choice = *r.choice;
        return true;
    }
    if (f == "macro") {
        if (!want(1)) return false;
        const MacroLocation at = FindByPath(library, FromUtf8(w[1]));
        MacroSelectResult r = ChooseMacro(library, at);
        if (r.tooLongSteps > 0) {
            error = "macro ";
            error += Quoted(w[1]);
            error += " has ";
            error += std::to_string(r.tooLongSteps);
            error += " steps; the mouse holds at most ";
            error += std::to_string(MacroKey::kMaxMouseCommandActions);
            return false;
        }
        if (!r.choice) {
            error = "no macro ";
            error += Quoted(w[1]);
            error += " in the library (";
            error += NoticeText(r.notice);
            error += ")";
            return false;
        }
        choice = *r.choice;
        macro = r.macro;
        return true;
    }
    error = "unknown function ";
    error += Quoted(f);
    error += " (see --help)";
    return false;
}

void RunAssign(SettingsModel& model, const MacroLibrary& library, const json& args, CtlOutput& out,
               const AssignCommit& commit) {
    int slot = -1, button = 0;
    std::vector<std::string> words;
    if (!SlotArg(args, "slot", slot, true, out) || !Arg(args, "button", button, out) ||
        !Arg(args, "function", words, out))
        return;
    if (button < 1 || button > 6) {
        out.Err("a button is 1-6");
        out.Fail(kExitUsage);
        return;
    }
    ButtonChoice choice;
    const MacroKey* macro = nullptr;
    std::string error;
    if (!ParseFunction(library, words, choice, macro, error)) {
        out.Err(error);
        out.Fail(kExitUsage);
        return;
    }
    // The slot's file, and config.ini when it names the slot, must be usable:
    // a file left alone refuses the command before anything changes.
    if (FileResult refused = model.ChangeRefusal(slot < 0 ? model.GetCurrentProfile() : slot, slot < 0);
        !refused) {
        out.Err(refused.reason);
        out.Fail();
        return;
    }
    if (slot < 0) slot = model.GetCurrentProfile();
    const edits::EditResult edit = edits::AssignFunction(model, slot, button - 1, choice, macro);
    if (edit.refused) {
        out.Err(edit.why);
        out.Fail();
        return;
    }
    const bool reverted = edit.notice == Notice::LeftButtonKept;
    const bool saved = commit(slot, edit);
    if (!saved) out.Fail();
    const KeySlot& key =
        model.Profiles[static_cast<std::size_t>(slot)].Keys[static_cast<std::size_t>(button - 1)];
    std::string line = "slot ";
    line += std::to_string(slot);
    line += " button ";
    line += std::to_string(button);
    line += ": ";
    line += Quoted(ToUtf8(key.Name));
    line += " ";
    line += Hex3(key.Action);
    out.Out(std::move(line));
    if (reverted) {
        std::string why = "no button would act as the left button; button ";
        why += std::to_string(button);
        why += " is left click again (";
        why += NoticeText(edit.notice);
        why += ")";
        out.Err(why);
        if (saved) out.Fail(kExitLeftButton);
    }
}

// ---- profile slots

namespace {

// Prints what changed, or why nothing did; exit 1 for a refusal or a failed save.
void ReportSlot(const SettingsModel& model, const SlotResult& r, const char* what, CtlOutput& out) {
    if (r.changed) {
        std::string line = what;
        line += " slot ";
        line += std::to_string(r.slot);
        line += " ";
        line +=
            Quoted(ToUtf8(model.Profiles[static_cast<std::size_t>(r.slot)].Settings[kSetProfileName].Value));
        out.Out(std::move(line));
        if (!r.saved) out.Fail();
        return;
    }
    if (r.notice != Notice::None) {
        std::string why = ToUtf8(LanguageString(NoticeString(r.notice)));
        why += " (notice ";
        why += std::to_string(NoticeString(r.notice));
        why += ")";
        out.Err(why);
    } else if (!r.refusal.empty()) {
        out.Err(r.refusal);
    } else {
        std::string why = "nothing to do for slot ";
        why += std::to_string(r.slot);
        out.Err(why);
    }
    out.Fail();
}

bool NameArg(const json& args, std::string& name, CtlOutput& out) {
    if (!Arg(args, "name", name, out)) return false;
    if (!HasLineBreak(FromUtf8(name))) return true;
    out.Err("a profile name cannot hold a line break");
    out.Fail(kExitUsage);
    return false;
}

} // namespace

void RunProfile(SettingsModel& model, const std::string& command, const json& args, CtlOutput& out,
                const std::function<FileResult(SendGroups send)>& commitSelect) {
    std::string name;
    int slot = 0;
    if (command == "profile add") {
        if (NameArg(args, name, out)) ReportSlot(model, AddProfile(model, FromUtf8(name)), "added", out);
    } else if (command == "profile rename") {
        if (SlotArg(args, "slot", slot, false, out) && NameArg(args, name, out))
            ReportSlot(model, RenameProfile(model, slot, FromUtf8(name)), "renamed", out);
    } else if (command == "profile delete") {
        if (SlotArg(args, "slot", slot, false, out))
            ReportSlot(model, DeleteProfile(model, slot), "deleted", out);
    } else if (command == "profile select") {
        if (!SlotArg(args, "slot", slot, false, out)) return;
        const edits::EditResult edit = edits::SelectProfile(model, slot);
        SlotResult r;
        r.slot = slot;
        r.changed = edit.Changed();
        r.refusal = edit.why;
        if (r.changed) r.saved = commitSelect(edit.send);
        ReportSlot(model, r, "selected", out);
    } else {
        std::string why = "unknown command ";
        why += Quoted(command);
        out.Err(why);
        out.Fail(kExitUsage);
    }
}

// ---- import

void RunImport(SettingsModel& model, const json& args, CtlOutput& out) {
    int slot = 0;
    std::string file;
    if (!SlotArg(args, "slot", slot, false, out) || !Arg(args, "file", file, out)) return;
    // A file that cannot be read completely changes nothing; it and a failed
    // save are both reported by the model, and either exits 1.
    if (!model.ImportProfile(slot, file)) out.Fail();
}

int RunMacroImport(MacroLibrary& lib, const std::filesystem::path& libraryPath, const json& args,
                   CtlOutput& out, bool save) {
    std::string file, into;
    if (!Arg(args, "file", file, out)) return 0;
    if (args.contains("into") && !Arg(args, "into", into, out)) return 0;
    MacroLocation sel = MacroLocation::None();
    if (!into.empty()) {
        sel = FindByPath(lib, FromUtf8(into));
        const MacroItem* node = lib.NodeAt(sel);
        if (!node || !node->IsFolder || sel.stage > 1) {
            std::string why = "no folder ";
            why += Quoted(into);
            why += " to import into";
            out.Err(why);
            out.Fail();
            return 0;
        }
    }
    MacroLibrary staging;
    std::string ext = std::filesystem::path(file).extension().string();
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const bool macroFile = ext == ".mkf";
    const ImportResult r =
        macroFile ? ImportMacroFile(lib, staging, sel, file) : ImportLibraryFile(lib, staging, sel, file);
    std::string prefix = file;
    prefix += ": ";
    if (!r.load.opened()) {
        prefix += r.load.reason;
        out.Err(prefix);
        out.Fail();
        return 0;
    }
    if (!r.load) {
        std::string why = prefix;
        why += r.load.Describe();
        why += "; importing what came before";
        out.Err(why);
    }
    if (r.notice != Notice::None) {
        std::string why = "nothing imported, a name is taken (";
        why += NoticeText(r.notice);
        why += ")";
        out.Err(why);
        out.Fail();
        return 0;
    }
    if (r.created && save && !lib.Save(libraryPath)) {
        out.Fail(); // reported by the library
        return r.created;
    }
    std::string line = "imported ";
    line += std::to_string(r.created);
    line += r.created == 1 ? " node" : " nodes";
    if (r.created) {
        line += ", last ";
        line += Quoted(ToUtf8(PathOf(lib, sel)));
    }
    out.Out(std::move(line));
    if (!r.created) out.Fail();
    return r.created;
}

// ---- device results

void ReportApply(const SettingsModel& model, std::string_view identity, const ApplyResult& r, bool saved,
                 CtlOutput& out) {
    const int current = model.GetCurrentProfile();
    std::string line = "profile ";
    line += std::to_string(current);
    line += " ";
    line += Quoted(ToUtf8(model.Profiles[static_cast<std::size_t>(current)].Settings[kSetProfileName].Value));
    line += " sent to ";
    line += identity;
    line += ": ";
    line += std::to_string(r.reportsWritten);
    line += " reports";
    if (r.writesFailed) {
        line += ", ";
        line += std::to_string(r.writesFailed);
        line += " failed (sent again next time)";
    }
    out.Out(std::move(line));
    for (int k : r.disabledButtons) {
        // A button switched off for a macro too long for the mouse is told below.
        if (std::any_of(r.refusedMacros.begin(), r.refusedMacros.end(),
                        [k](const RefusedMacro& m) { return m.button == k; }))
            continue;
        std::string b = "button ";
        b += std::to_string(k);
        b += ": its macro is no longer in the library; the button is now disabled";
        out.Out(std::move(b));
    }
    for (const RefusedMacro& m : r.refusedMacros) {
        std::string why = "macro ";
        why += Quoted(ToUtf8(m.name));
        why += " of button ";
        why += std::to_string(m.button);
        why += " not sent: it has ";
        why += std::to_string(m.steps);
        why += " steps, the mouse takes at most ";
        why += std::to_string(MacroKey::kMaxMouseCommandActions);
        why += "; the button is now disabled";
        out.Err(why);
    }
    if (r.writesFailed || !r.refusedMacros.empty() || !saved) out.Fail();
}

void ReportReset(const SettingsModel& model, const ResetResult& r, CtlOutput& out) {
    std::string line = "profile ";
    line += std::to_string(model.GetCurrentProfile());
    line += " reset to its defaults";
    if (!r.fileWritten) line += " (its file could not be written)";
    out.Out(std::move(line));
    if (!r.deviceFound) {
        out.Out("no mouse found: only the profile was reset");
    } else if (!r.commandWritten) {
        out.Err("the reset command did not reach the mouse");
        out.Fail();
    } else {
        out.Out("mouse reset");
    }
    if (!r.fileWritten) out.Fail();
}

std::string Hex(unsigned value, int digits) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%0*X", digits, value);
    return buf;
}

const char* ChargeName(ChargeState charge) {
    switch (charge) {
    case ChargeState::Charging:
        return "charging";
    case ChargeState::Full:
        return "full";
    default:
        return "not charging";
    }
}

void ReportStatus(const SettingsModel& model, const StatusResult& r, int batteryLevel, ChargeState charge,
                  bool json, CtlOutput& out) {
    if (r.outcome != StatusOutcome::Answered || !r.reply || !r.identity) {
        const char* why = r.outcome == StatusOutcome::NoAnswer  ? "the mouse did not answer"
                          : r.outcome == StatusOutcome::Foreign ? "the reply was for another command"
                                                                : "the status query failed";
        out.Err(why);
        out.Fail();
        return;
    }
    const StatusReply& reply = *r.reply;
    const std::uint16_t sensor = model.SensorId;
    if (!r.sensorSaved) out.Fail(); // reported by the model
    if (json) {
        nlohmann::ordered_json doc;
        doc["identity"] = NameOf(*r.identity);
        doc["sensorCode"] = Hex(reply.sensorCode, 2);
        doc["sensorId"] =
            r.unknownSensor ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(Hex(sensor, 4));
        doc["sensorChanged"] = r.sensorChanged;
        doc["battery"] = batteryLevel;
        doc["chargeState"] = static_cast<int>(charge);
        doc["charge"] = ChargeName(charge);
        out.Out(doc.dump(2));
        return;
    }
    out.Out("identity " + std::string(NameOf(*r.identity)));
    if (r.unknownSensor)
        out.Out("sensor unknown (code " + Hex(reply.sensorCode, 2) + ")");
    else
        out.Out("sensor " + Hex(sensor, 4) + (r.sensorChanged ? " (changed: DPI levels reset)" : ""));
    out.Out("battery " + BatteryText(batteryLevel));
    out.Out(std::string("charge ") + ChargeName(charge));
}

} // namespace tarvik::cli
