// Macro commands: macro list|export|import on the data folder's macro library,
// and assign, which stores a button function into a profile.
#include <cctype>
#include <cstdio>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "commands/ProfileJson.h"
#include "macro/ButtonFunctions.h"
#include "macro/MacroFiles.h"
#include "macro/StepRules.h"
#include "programs/tarvikctl/Cli.h"
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

std::string SubMenuHelp(FunctionSubMenu menu) {
    std::string s;
    for (const auto& item : SubMenuItems(menu)) s += std::string(s.empty() ? "" : ", ") + item.id;
    return s;
}

void RegisterMacroCommands(CLI::App& app, CliContext& ctx) {
    auto* macro = app.add_subcommand("macro", "list, export or import macros of the macro library");
    macro->require_subcommand(1);
    auto opt = std::make_shared<MacroOptions>();

    auto* list = macro->add_subcommand("list", "print the library tree with every macro's steps");
    list->add_flag("--json", opt->json, "print JSON");
    list->callback([&ctx, opt] {
        if (!ctx.Load(Access::Read)) return;
        static_cast<void>(ctx.Uses(CliContext::kUsesLibrary)); // listed as loaded; the exit code says so
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
        if (!ctx.Load(Access::Read) || !ctx.Uses(CliContext::kUsesLibrary)) return;
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
        nlohmann::json args{{"file", opt->file}};
        if (!opt->into.empty()) args["into"] = opt->into;
        nlohmann::json handed = args;
        handed["file"] = AbsolutePath(opt->file);
        if (ctx.RunInWindow({"macro import", handed}) || !ctx.Load(Access::Change)) return;
        CtlOutput out{ctx.exitCode, {}};
        RunMacroImport(*ctx.library, ctx.LibraryPath(), args, out);
        ctx.Finish(out);
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
        nlohmann::json args{{"button", aopt->button}, {"function", aopt->function}};
        if (aopt->slot >= 0) args["slot"] = aopt->slot;
        if (ctx.RunInWindow({"assign", args}) || !ctx.Load(Access::Change)) return;
        CtlOutput out{ctx.exitCode, {}};
        RunAssign(*ctx.model, *ctx.library, args, out, [&ctx](int, const edits::EditResult&) {
            return ctx.model->SaveSettingsAndProfiles().ok(); // a failure is reported by the model
        });
        ctx.Finish(out);
    });
}

RegisterCommands registerMacro(20, RegisterMacroCommands);

} // namespace
} // namespace tarvik::cli
