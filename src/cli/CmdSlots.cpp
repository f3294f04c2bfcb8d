// tarvikctl profile add|rename|delete|select: the profile-slot operations, saved
// as the window saves them.
#include <iostream>

#include "cli/Cli.h"
#include "model/ProfileSlots.h"
#include "text/Language.h"
#include "text/U16.h"

namespace tarvik::cli {
namespace {

// A name the files could not keep is a usage error, found before anything is read.
bool NameUsable(CliContext& ctx, const std::string& name) {
    if (!HasLineBreak(FromUtf8(name))) return true;
    std::cerr << "tarvikctl: a profile name cannot hold a line break\n";
    ctx.exitCode = kExitUsage;
    return false;
}

// Prints what changed, or why nothing did; exit 1 for a refusal or a failed save.
void Report(CliContext& ctx, const SlotResult& r, const char* what) {
    if (r.changed) {
        const auto& name =
            ctx.model->Profiles[static_cast<std::size_t>(r.slot)].Settings[kSetProfileName].Value;
        std::cout << what << " slot " << r.slot << " \"" << ToUtf8(name) << "\"\n";
        ctx.CheckSaved(r.saved);
        return;
    }
    if (r.notice != Notice::None) {
        std::cerr << "tarvikctl: " << ToUtf8(LanguageString(NoticeString(r.notice))) << " (notice "
                  << NoticeString(r.notice) << ")\n";
    } else if (!r.refusal.empty()) {
        std::cerr << "tarvikctl: " << r.refusal << "\n";
    } else {
        std::cerr << "tarvikctl: nothing to do for slot " << r.slot << "\n";
    }
    ctx.exitCode = kExitFailed;
}

struct SlotCommands {
    std::string name;
    int slot = 0;
};

void Register(CLI::App& app, CliContext& ctx) {
    auto* profile = app.add_subcommand("profile", "add, rename, delete or select a profile slot");
    profile->require_subcommand(1);
    auto args = std::make_shared<SlotCommands>();

    auto* add = profile->add_subcommand("add", "show the first hidden slot as a new profile");
    add->add_option("NAME", args->name, "profile name")->required();
    add->callback([&ctx, args] {
        if (!NameUsable(ctx, args->name) || !ctx.Load(Access::Change)) return;
        Report(ctx, AddProfile(*ctx.model, FromUtf8(args->name)), "added");
    });

    auto* rename = profile->add_subcommand("rename", "rename a profile slot");
    rename->add_option("SLOT", args->slot, "slot 0-4")->required()->check(CLI::Range(0, 4));
    rename->add_option("NAME", args->name, "new name")->required();
    rename->callback([&ctx, args] {
        if (!NameUsable(ctx, args->name) || !ctx.Load(Access::Change)) return;
        Report(ctx, RenameProfile(*ctx.model, args->slot, FromUtf8(args->name)), "renamed");
    });

    auto* del = profile->add_subcommand("delete", "hide a profile slot (not the current one)");
    del->add_option("SLOT", args->slot, "slot 0-4")->required()->check(CLI::Range(0, 4));
    del->callback([&ctx, args] {
        if (!ctx.Load(Access::Change)) return;
        Report(ctx, DeleteProfile(*ctx.model, args->slot), "deleted");
    });

    auto* select = profile->add_subcommand("select", "make a slot the current profile");
    select->add_option("SLOT", args->slot, "slot 0-4")->required()->check(CLI::Range(0, 4));
    select->callback([&ctx, args] {
        if (!ctx.Load(Access::Change)) return;
        // The window keeps a selection in memory until its next save; here the
        // run ends first, so it is saved at once.
        SlotResult r = SelectProfile(*ctx.model, args->slot);
        if (r.changed) r.saved = ctx.model->SaveCurrentProfileAndSettings();
        Report(ctx, r, "selected");
    });
}

RegisterCommands reg(40, Register);

} // namespace
} // namespace tarvik::cli
