// tarvikctl: the scriptable command-line tool on Tarvik's libraries.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <thread>
#include <vector>

#include "instance/InstanceProtocol.h"
#include "programs/Backends.h"
#include "programs/CommandLine.h"
#include "programs/tarvikctl/Cli.h"
#include "startup/Startup.h"

namespace tarvik::cli {

namespace {
std::vector<std::pair<int, Registrar>>& Registry() {
    static std::vector<std::pair<int, Registrar>> registry;
    return registry;
}
} // namespace

RegisterCommands::RegisterCommands(int order, Registrar registrar) {
    Registry().emplace_back(order, std::move(registrar));
}

void CliContext::ResolveFolder() {
    std::optional<std::filesystem::path> override;
    if (!dataDirOption.empty()) override = std::filesystem::path(dataDirOption);
    // The virtual mouse gets its own data folder (see ResolveDataFolder).
    const std::string hid = ResolveHidChoice(hidOption);
    const bool simulated = hid == "sim" || hid.starts_with("socket:");
    dataFolder = ResolveDataFolder(override, simulated);
}

bool CliContext::RunInWindow(CtlRequest request) {
    request_ = std::move(request);
    return TakeFolder() != Taken::Owned;
}

void CliContext::Finish(const CtlOutput& out) {
    out.Print();
    exitCode = out.exitCode;
}

bool CliContext::Refuse(const std::string& why, int code) {
    std::cerr << "tarvikctl: data folder " << dataFolder.string() << ": " << why << "\n";
    exitCode = code;
    return false;
}

CliContext::Taken CliContext::TakeFolder() {
    if (lock.Held()) return Taken::Owned;
    ResolveFolder();
    if (const std::string problem = DataFolderProblem(dataFolder); !problem.empty()) {
        Refuse(problem, kExitUsage);
        return Taken::Failed;
    }
    if (const FileResult prepared = PrepareDataFolder(dataFolder); !prepared) {
        Refuse(prepared.reason + "; nothing was read or changed", kExitFailed);
        return Taken::Failed;
    }
    // The folder's owner is whoever holds its lock: a running window holds it
    // for its life and names its socket in the lock file, a tarvikctl run for
    // its command. Whatever this process's environment, a change goes to the
    // window that owns the folder, or waits for the lock.
    const auto wait = std::chrono::milliseconds(static_cast<long long>(lockTimeout * 1000.0));
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        lock = FolderLock::Acquire(dataFolder, std::chrono::milliseconds(0));
        if (lock.Held()) return Taken::Owned;
        if (lock.failure() != FolderLock::Failure::TimedOut) {
            Refuse("cannot be locked: " + lock.Reason() + "; nothing was changed", kExitFailed);
            return Taken::Failed;
        }
        if (const std::optional<app::FolderOwner> owner = app::LivingFolderOwner(dataFolder)) {
            if (!request_) {
                Refuse("a tarvik window (process " + std::to_string(owner->pid) +
                           ") owns it and does not take this command; nothing was changed",
                       kExitFailed);
                return Taken::Failed;
            }
            // Not listening (starting up, or just ending): look again.
            if (HandOver(*owner, deadline)) return Taken::HandedOver;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            Refuse("it is in use by another program (waited " + std::to_string(wait.count()) +
                       " ms for its lock); nothing was changed",
                   kExitFailed);
            return Taken::Failed;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

bool CliContext::HandOver(const app::FolderOwner& owner, std::chrono::steady_clock::time_point deadline) {
    const auto fail = [&](const std::string& why) {
        std::cerr << "tarvikctl: " << why << "\n";
        exitCode = kExitFailed;
        return true;
    };
    const std::string line = app::FormatRequestLine(app::kVerbCtl, FormatCtlRequest(*request_));
    if (line.size() > app::kMaxRequestLine + 1)
        return fail(
            "the command is too long to hand to the tarvik window that owns this data folder; nothing "
            "was changed");
    // A window always gets a second to take the command; once it has, it gets
    // time to write its files and, for apply and reset, to talk to the mouse.
    const auto startBy = std::max(deadline, std::chrono::steady_clock::now() + std::chrono::seconds(1));
    const auto finishBy = startBy + std::chrono::seconds(60);
    const app::Handover answer = app::HandOver(owner.socket, line, startBy, finishBy);
    switch (answer.outcome) {
    case app::Handover::Outcome::NoListener:
        return false;
    case app::Handover::Outcome::NotTaken:
        return fail("the tarvik window that owns this data folder (process " + std::to_string(owner.pid) +
                    ") did not take the command in time (stopped or busy?); nothing was changed");
    case app::Handover::Outcome::Unfinished:
        return fail("the tarvik window that owns this data folder took the command but did not finish it; it "
                    "may or may not have been carried out");
    case app::Handover::Outcome::Answered:
        break;
    }
    const auto reply = app::ParseRequestLine(answer.reply, app::kMaxReplyLine);
    const auto result = reply && reply->verb == app::kVerbResult ? ParseCtlResult(reply->args) : std::nullopt;
    if (!result) return fail("the tarvik window for this data folder gave an answer tarvikctl cannot read");
    Finish(*result);
    return true;
}

bool CliContext::Load(Access access) {
    if (model) return true;
    if (access == Access::Change) {
        if (TakeFolder() != Taken::Owned) return false;
    } else {
        ResolveFolder();
        if (const std::string problem = DataFolderProblem(dataFolder); !problem.empty())
            return Refuse(problem, kExitUsage);
    }
    programFolder = ResolveProgramFolder();
    // A reading command reads what is there and changes nothing: no lock, no
    // repairs, no temporary file removed, nothing created.
    StartupData loaded = access == Access::Change
                             ? LoadStartupData(dataFolder, programFolder, 1.0, &lock)
                             : LoadStartupData(dataFolder, programFolder, 1.0, nullptr,
                                               FolderLock::kDefaultWait, StartupAccess::ReadOnly);
    model = std::move(loaded.model);
    library = std::move(loaded.library);
    startup = std::move(loaded.report);
    return true;
}

bool CliContext::CheckSaved(const FileResult& saved) {
    if (!saved) exitCode = kExitFailed;
    return saved.ok();
}

bool CliContext::Uses(unsigned files) {
    bool usable = true;
    const auto need = [&](bool wanted, const LoadOutcome& load, const char* what,
                          const std::filesystem::path& path) {
        if (!wanted || !load.LeftAlone()) return;
        std::cerr << "tarvikctl: this command needs the " << what << " " << path.string()
                  << ", which is left as it is in this run (" << load.read.Describe() << ")\n";
        usable = false;
    };
    const SettingsLoadReport& loaded = startup.settings;
    need((files & kUsesSettings) != 0, loaded.settings, "settings file", model->SettingsPath());
    for (int k = 0; k < kProfileCount; ++k)
        need((files & UsedSlot(k)) != 0, loaded.profiles[static_cast<std::size_t>(k)], "profile file",
             model->GetSlotPath(k));
    need((files & kUsesLibrary) != 0, startup.library, "macro library", LibraryPath());
    if (!usable) exitCode = kExitFailed;
    return usable;
}

} // namespace tarvik::cli

int main(int argc, char** argv) {
    using namespace tarvik::cli;
    tarvik::SetProgramName("tarvikctl");
    CLI::App app{"tarvikctl: configure the mouse from scripts"};
    UseConventions(app);
    app.require_subcommand(1);
    CliContext ctx;
    app.add_option("--data-dir", ctx.dataDirOption,
                   "data folder (default: $TARVIK_DATA_DIR or the XDG config folder)");
    app.add_option("--hid", ctx.hidOption,
                   "HID backend: linux, sim or socket:PATH (default: $TARVIK_HID or linux)");
    app.add_flag("--trace", ctx.trace, "print every report written (W) or read (R) on stderr");
    app.add_option("--lock-timeout", ctx.lockTimeout,
                   "seconds to wait while another program changes the data folder (default 10)")
        ->check(CLI::Validator(
            [](std::string& text) -> std::string {
                // A number from 0 to 3600: "nan" and "inf" are numbers to strtod,
                // not waits.
                char* end = nullptr;
                const double v = std::strtod(text.c_str(), &end);
                if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(v) || v < 0.0 ||
                    v > 3600.0)
                    return "a number of seconds from 0 to 3600";
                return {};
            },
            "SECONDS 0-3600"));
    auto& registry = Registry();
    std::stable_sort(registry.begin(), registry.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& [order, registrar] : registry) registrar(app, ctx);
    SayOptionsMayFollow(app);
    if (const auto ended = ParseCommandLine(app, argc, argv)) return *ended;
    return ctx.exitCode;
}
