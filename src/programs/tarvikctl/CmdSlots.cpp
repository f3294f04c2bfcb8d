// tarvikctl profile add|rename|delete|select: the profile-slot operations, saved
// as the window saves them.
#include <iostream>

#include "programs/tarvikctl/Cli.h"
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

// Hands the command to a running window, or runs it here: the selection is
// saved at once (the window keeps it in memory until its next save; here the
// run ends first).
void Run(CliContext& ctx, const std::string& command, const nlohmann::json& args) {
    if (ctx.RunInWindow({command, args}) || !ctx.Load(Access::Change)) return;
    CtlOutput out{ctx.exitCode, {}};
    RunProfile(*ctx.model, command, args, out,
               [&ctx](SendGroups) { return ctx.model->SaveCurrentProfileAndSettings(); });
    ctx.Finish(out);
}

struct SlotCommands {
    std::string name;
    int slot = 0;
};

void RegisterSlotsCommands(CLI::App& app, CliContext& ctx) {
    auto* profile = app.add_subcommand("profile", "add, rename, delete or select a profile slot");
    profile->require_subcommand(1);
    auto args = std::make_shared<SlotCommands>();

    auto* add = profile->add_subcommand("add", "show the first hidden slot as a new profile");
    add->add_option("NAME", args->name, "profile name")->required();
    add->callback([&ctx, args] {
        if (NameUsable(ctx, args->name)) Run(ctx, "profile add", {{"name", args->name}});
    });

    auto* rename = profile->add_subcommand("rename", "rename a profile slot");
    rename->add_option("SLOT", args->slot, "slot 0-4")->required()->check(CLI::Range(0, 4));
    rename->add_option("NAME", args->name, "new name")->required();
    rename->callback([&ctx, args] {
        if (NameUsable(ctx, args->name))
            Run(ctx, "profile rename", {{"slot", args->slot}, {"name", args->name}});
    });

    auto* del = profile->add_subcommand("delete", "hide a profile slot (not the current one)");
    del->add_option("SLOT", args->slot, "slot 0-4")->required()->check(CLI::Range(0, 4));
    del->callback([&ctx, args] { Run(ctx, "profile delete", {{"slot", args->slot}}); });

    auto* select = profile->add_subcommand("select", "make a slot the current profile");
    select->add_option("SLOT", args->slot, "slot 0-4")->required()->check(CLI::Range(0, 4));
    select->callback([&ctx, args] { Run(ctx, "profile select", {{"slot", args->slot}}); });
}

RegisterCommands registerSlots(40, RegisterSlotsCommands);

} // namespace
} // namespace tarvik::cli
