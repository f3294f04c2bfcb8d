// Macro commands: macro list|export|import on the data folder's macro library,
// and assign, which stores a button function into a profile.
#include <cctype>
#include <cstdio>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "cli/ProfileJson.h"
#include "macro/ButtonFunctions.h"
#include "macro/MacroFiles.h"
#include "macro/StepRules.h"
#include "text/Language.h"
#include "text/U16.h"

namespace tarvik::cli {
namespace {

using json = nlohmann::ordered_json;

std::string LocationText(const MacroLocation& l) {
    std::string s = std::to_string(l.stage0Index);
    if (l.stage >= 1) s += "." + std::to_string(l.stage1Index);
    if (l.stage >= 2) s += "." + std::to_string(l.stage2Index);
    return s;
}

std::string Hex3(const KeyAction& a) {
    const std::uint8_t bytes[] = {a.Function, a.Data1, a.Data2};
    return HexText(bytes, " ");
}

const char* StepKind(const MacroAction& s) {
    if (s.IsDelay()) return "delay";
    if (s.IsMove()) return "move";
    return s.IsRelease() ? "release" : "press";
}

// Every stored child of `parent` in index order (also those behind a free entry).
std::vector<MacroLocation> Children(const MacroLibrary& lib, const MacroLocation& parent) {
    std::vector<MacroLocation> out;
    if (parent.stage >= 2) return out;
    for (int i = 0; i < MacroLibrary::kEntries; ++i)
        if (lib.NodeAt(parent.Child(i))) out.push_back(parent.Child(i));
    return out;
}

json NodeJson(const MacroLibrary& lib, const MacroLocation& at) {
    const MacroItem& n = *lib.NodeAt(at);
    json j;
    j["location"] = {{"stage", at.stage},
                     {"stage0Index", at.stage0Index},
                     {"stage1Index", at.stage >= 1 ? at.stage1Index : 0},
                     {"stage2Index", at.stage >= 2 ? at.stage2Index : 0}};
    j["path"] = ToUtf8(PathOf(lib, at));
    j["name"] = ToUtf8(n.Name);
    j["folder"] = n.IsFolder;
    if (n.IsFolder) {
        j["open"] = n.FolderIsOpen;
        json children = json::array();
        for (const auto& c : Children(lib, at)) children.push_back(NodeJson(lib, c));
        j["children"] = children;
    }
    if (const MacroKey* m = n.Macro.get()) {
        j["MacroKeyIndex"] = m->MacroKeyIndex;
        j["MacroKeyLoopType"] = m->MacroKeyLoopType;
        j["MacroKeyLoopNum"] = m->MacroKeyLoopNum;
        j["MacroActionNum"] = m->MacroActionNum;
        j["MacroCommandActionNum"] = m->MacroCommandActionNum;
        json steps = json::array();
        for (std::size_t i = 0; i < m->ValidCount(); ++i) {
            const MacroAction s = m->GetAction(i);
            steps.push_back({{"text", ToUtf8(StepText(s))}, {"kind", StepKind(s)}, {"bytes", HexText(s.b)}});
        }
        j["steps"] = steps;
    }
    return j;
}

void PrintNode(const MacroLibrary& lib, const MacroLocation& at) {
    const MacroItem& n = *lib.NodeAt(at);
    const std::string pad(static_cast<std::size_t>(at.stage) * 2, ' ');
    if (n.IsFolder) {
        std::cout << pad << "[" << LocationText(at) << "] " << ToUtf8(n.Name) << "/"
                  << (n.FolderIsOpen ? "  (open)" : "") << "\n";
        for (const auto& c : Children(lib, at)) PrintNode(lib, c);
        return;
    }
    const MacroKey* m = n.Macro.get();
    std::cout << pad << "[" << LocationText(at) << "] " << ToUtf8(n.Name);
    if (!m) {
        std::cout << "\n";
        return;
    }
    std::cout << "  #" << m->MacroKeyIndex << ", loop type " << int{m->MacroKeyLoopType} << ", loop count "
              << int{m->MacroKeyLoopNum} << ", " << m->MacroActionNum << " steps, "
              << int{m->MacroCommandActionNum} << " mouse steps\n";
    for (std::size_t i = 0; i < m->ValidCount(); ++i) {
        const MacroAction s = m->GetAction(i);
        std::cout << pad << "    " << i + 1 << ". " << ToUtf8(StepText(s));
        if (!s.IsDelay() && !s.IsMove()) std::cout << (s.IsRelease() ? " (release)" : " (press)");
        std::cout << "\n";
    }
}

std::string NoticeText(Notice n) {
    std::string text = "notice ";
    text += std::to_string(NoticeString(n));
    text += ": ";
    text += ToUtf8(LanguageString(NoticeString(n)));
    return text;
}

struct MacroOptions {
    bool json = false;
    bool all = false;
    std::string path;
    std::string into;
    std::string file;
};

struct AssignOptions {
    int slot = -1;
    int button = 0;
    std::vector<std::string> function;
};

// FUNCTION words → the choice (and the library macro for `macro PATH`).
bool ParseFunction(CliContext& ctx, const std::vector<std::string>& w, ButtonChoice& choice,
                   const MacroKey*& macro, std::string& error) {
    macro = nullptr;
    const std::string& f = w[0];
    auto want = [&](std::size_t n) {
        if (w.size() == n + 1) return true;
        error = "\"" + f + "\" takes " + std::to_string(n) + " argument(s)";
        return false;
    };
    auto fromMenu = [&](FunctionSubMenu menu, const std::string& id) {
        auto c = FindMenuChoice(menu, id);
        if (!c) {
            error = "unknown " + f + " name \"" + id + "\" (see --help)";
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
            error = "cannot read the shortcut \"" + w[1] + "\"";
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
        const MacroLocation at = FindByPath(*ctx.library, FromUtf8(w[1]));
        MacroSelectResult r = ChooseMacro(*ctx.library, at);
        if (!r.choice) {
            error = "no macro \"" + w[1] + "\" in the library (" + NoticeText(r.notice) + ")";
            return false;
        }
        choice = *r.choice;
        macro = r.macro;
        return true;
    }
    error = "unknown function \"" + f + "\" (see --help)";
    return false;
}

std::string SubMenuHelp(FunctionSubMenu menu) {
    std::string s;
    for (const auto& item : SubMenuItems(menu)) s += std::string(s.empty() ? "" : ", ") + item.id;
    return s;
}

void Register(CLI::App& app, CliContext& ctx) {
    auto* macro = app.add_subcommand("macro", "list, export or import macros of the macro library");
    macro->require_subcommand(1);
    auto opt = std::make_shared<MacroOptions>();

    auto* list = macro->add_subcommand("list", "print the library tree with every macro's steps");
    list->add_flag("--json", opt->json, "print JSON");
    list->callback([&ctx, opt] {
        if (!ctx.Load(Access::Read)) return;
        const MacroLibrary& lib = *ctx.library;
        if (opt->json) {
            json j;
            j["NextMacroKeyIndex"] = lib.NextMacroKeyIndex;
            json nodes = json::array();
            for (const auto& at : Children(lib, MacroLocation::None())) nodes.push_back(NodeJson(lib, at));
            j["nodes"] = nodes;
            std::cout << j.dump(2) << "\n";
            return;
        }
        std::cout << "next macro number " << lib.NextMacroKeyIndex << ", " << lib.MacroCount() << " macros, "
                  << lib.NodeCount() - lib.MacroCount() << " folders\n";
        for (const auto& at : Children(lib, MacroLocation::None())) PrintNode(lib, at);
    });

    auto* exp = macro->add_subcommand("export", "write the library to FILE, naming one node (or everything)");
    auto* pathOpt = exp->add_option("--path", opt->path, "the node to name, as A/B/NAME");
    exp->add_flag("--all", opt->all, "name everything (the selection line says none)")->excludes(pathOpt);
    exp->add_option("FILE", opt->file, ".mkf for a macro, .mbf for a library")->required();
    exp->callback([&ctx, opt] {
        if (opt->path.empty() == !opt->all) {
            std::cerr << "tarvikctl: give --path A/B/NAME or --all\n";
            ctx.exitCode = kExitUsage;
            return;
        }
        if (!ctx.Load(Access::Read)) return;
        MacroLocation sel = MacroLocation::None();
        if (!opt->all) {
            sel = FindByPath(*ctx.library, FromUtf8(opt->path));
            if (!sel.IsNode()) {
                std::cerr << "tarvikctl: no node \"" << opt->path << "\" in the library\n";
                ctx.exitCode = kExitFailed;
                return;
            }
        }
        if (!ctx.CheckSaved(ExportLibrary(*ctx.library, sel, opt->file))) return;
        std::cout << "wrote " << opt->file << " naming " << (opt->all ? std::string("everything") : opt->path)
                  << "\n";
    });

    auto* imp = macro->add_subcommand("import", "import a macro file (.mkf) or library file (.mbf)");
    imp->add_option("FILE", opt->file, "file to import")->required();
    imp->add_option("--into", opt->into, "destination folder A or A/B (default: the top level)");
    imp->callback([&ctx, opt] {
        if (!ctx.Load(Access::Change)) return;
        MacroLibrary& lib = *ctx.library;
        MacroLocation sel = MacroLocation::None();
        if (!opt->into.empty()) {
            sel = FindByPath(lib, FromUtf8(opt->into));
            const MacroItem* node = lib.NodeAt(sel);
            if (!node || !node->IsFolder || sel.stage > 1) {
                std::cerr << "tarvikctl: no folder \"" << opt->into << "\" to import into\n";
                ctx.exitCode = kExitFailed;
                return;
            }
        }
        MacroLibrary staging;
        std::string ext = std::filesystem::path(opt->file).extension().string();
        for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const bool macroFile = ext == ".mkf";
        const ImportResult r = macroFile ? ImportMacroFile(lib, staging, sel, opt->file)
                                         : ImportLibraryFile(lib, staging, sel, opt->file);
        if (!r.load.opened()) {
            std::cerr << "tarvikctl: " << opt->file << ": " << r.load.reason << "\n";
            ctx.exitCode = kExitFailed;
            return;
        }
        if (!r.load)
            std::cerr << "tarvikctl: " << opt->file << ": " << r.load.Describe()
                      << "; importing what came before\n";
        if (r.notice != Notice::None) {
            std::cerr << "tarvikctl: nothing imported, a name is taken (" << NoticeText(r.notice) << ")\n";
            ctx.exitCode = kExitFailed;
            return;
        }
        if (r.created && !ctx.CheckSaved(lib.Save(ctx.LibraryPath()))) return;
        std::cout << "imported " << r.created << (r.created == 1 ? " node" : " nodes");
        if (r.created) std::cout << ", last \"" << ToUtf8(PathOf(lib, sel)) << "\"";
        std::cout << "\n";
        if (!r.created) ctx.exitCode = kExitFailed;
    });

    auto aopt = std::make_shared<AssignOptions>();
    auto* assign = app.add_subcommand(
        "assign", "store a function into a button of a profile (the current one unless --slot)");
    assign->add_option("--slot", aopt->slot, "profile slot 0-4")->check(CLI::Range(0, 4));
    assign->add_option("--button", aopt->button, "button 1-6")->required()->check(CLI::Range(1, 6));
    assign->add_option("FUNCTION", aopt->function, "the function and its arguments")->required();
    assign->footer(
        "FUNCTION is one of:\n"
        "  left | right | middle | back | forward | disabled | device-function | fire-preset\n"
        "  dpi-up | dpi-down | dpi-cycle\n"
        "  dpi-lock DPI        DPI: " +
        SubMenuHelp(FunctionSubMenu::DpiLock) +
        "\n"
        "  media NAME          NAME: " +
        SubMenuHelp(FunctionSubMenu::Multimedia) +
        "\n"
        "  office NAME         NAME: " +
        SubMenuHelp(FunctionSubMenu::Office) +
        "\n"
        "  windows NAME        NAME: " +
        SubMenuHelp(FunctionSubMenu::WindowsManagement) +
        "\n"
        "  shortcut KEYS       e.g. ctrl+shift+a: ctrl, shift, alt, win and one key by its name\n"
        "                      (a, f5, space, esc, \"page up\", num1, ... or a code such as 0x41)\n"
        "  fire N M            rapid fire, N 5-255, M 0-255\n"
        "  macro PATH          a library macro, as FOLDER/NAME\n"
        "Prints the stored name and the three action bytes. Exit 3 when the profile would\n"
        "lose its last left button and the button was set back to left click; exit 1 when\n"
        "the profile could not be saved.");
    assign->callback([&ctx, aopt] {
        if (!ctx.Load(Access::Change)) return;
        ButtonChoice choice;
        const MacroKey* macro = nullptr;
        std::string error;
        if (!ParseFunction(ctx, aopt->function, choice, macro, error)) {
            std::cerr << "tarvikctl: " << error << "\n";
            ctx.exitCode = kExitUsage;
            return;
        }
        SettingsModel& model = *ctx.model;
        const int slot = aopt->slot >= 0 ? aopt->slot : model.GetCurrentProfile();
        const int control = kFirstButtonControl + aopt->button - 1;
        const AssignOutcome out = AssignButtonWithRule(model, slot, control, choice, macro);
        const bool saved = ctx.CheckSaved(model.SaveSettingsAndProfiles());
        const KeySlot& key =
            model.Profiles[static_cast<std::size_t>(slot)].Keys[static_cast<std::size_t>(aopt->button - 1)];
        std::cout << "slot " << slot << " button " << aopt->button << ": \"" << ToUtf8(key.Name) << "\" "
                  << Hex3(key.Action) << "\n";
        if (out.reverted) {
            std::cerr << "tarvikctl: no button would act as the left button; button " << aopt->button
                      << " is left click again (" << NoticeText(out.Notice()) << ")\n";
            if (saved && ctx.exitCode == kExitOk) ctx.exitCode = kExitLeftButton;
        }
    });
}

static RegisterCommands reg(20, Register);

} // namespace
} // namespace tarvik::cli
