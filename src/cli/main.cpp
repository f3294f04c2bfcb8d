// tarvikctl: the scriptable command-line tool on Tarvik's libraries.
#include <algorithm>
#include <chrono>
#include <iostream>
#include <thread>
#include <vector>

#include "app/InstanceProtocol.h"
#include "cli/Cli.h"
#include "cli/CommandLine.h"
#include "device/Backends.h"
#include "model/Startup.h"

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
    ResolveFolder();
    return Forward() == Forwarded::Done;
}

void CliContext::Finish(const CtlOutput& out) {
    out.Print();
    exitCode = out.exitCode;
}

bool CliContext::WindowRuns() const {
    const std::filesystem::path base = app::InstanceBase(dataFolder, app::InstanceRuntimeFolder());
    return !base.empty() && app::InstanceLockHeld(base);
}

CliContext::Forwarded CliContext::Forward() {
    if (!request_ || !WindowRuns()) return Forwarded::NoWindow;
    const std::filesystem::path base = app::InstanceBase(dataFolder, app::InstanceRuntimeFolder());
    const auto fail = [&](const std::string& why) {
        std::cerr << "tarvikctl: " << why << "\n";
        exitCode = kExitFailed;
        return Forwarded::Done;
    };
    const std::string line = app::FormatRequestLine(app::kVerbCtl, FormatCtlRequest(*request_));
    if (line.size() > app::kMaxRequestLine + 1)
        return fail("the command is too long to hand to the tarvik window that runs for this data folder");
    // The window's answer is awaited as long as the folder's lock would be.
    const double seconds = std::max(lockTimeout, 1.0);
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(static_cast<long long>(seconds * 1000.0));
    std::filesystem::path socket = base;
    socket += ".sock";
    for (;;) {
        const app::Exchange answer = app::ExchangeLine(socket, line, deadline);
        switch (answer.outcome) {
        case app::Exchange::Outcome::Answered: {
            const auto reply = app::ParseRequestLine(answer.reply, app::kMaxReplyLine);
            const auto result =
                reply && reply->verb == app::kVerbResult ? ParseCtlResult(reply->args) : std::nullopt;
            if (!result)
                return fail("the tarvik window for this data folder gave an answer tarvikctl cannot read");
            Finish(*result);
            return Forwarded::Done;
        }
        case app::Exchange::Outcome::NoListener:
            // Gone before it took the request: nothing was handed over.
            if (!app::InstanceLockHeld(base)) return Forwarded::NoWindow;
            // Starting up: it listens once its start-up load is done.
            if (std::chrono::steady_clock::now() < deadline) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                continue;
            }
            [[fallthrough]];
        case app::Exchange::Outcome::NoAnswer: {
            std::string why = "the tarvik window for this data folder did not answer within ";
            why += std::to_string(static_cast<long long>(seconds));
            why += " s (stopped or busy?); tarvikctl changed nothing, but the window may still carry the "
                   "command out";
            return fail(why);
        }
        case app::Exchange::Outcome::Closed:
            return fail("the tarvik window for this data folder ended before it answered; the command may "
                        "or may not have been carried out");
        }
    }
}

bool CliContext::Load(Access access) {
    if (model) return true;
    ResolveFolder();
    const auto refuse = [&](const std::string& why, int code) {
        std::cerr << "tarvikctl: data folder " << dataFolder.string() << ": " << why << "\n";
        exitCode = code;
        return false;
    };
    if (const std::string problem = DataFolderProblem(dataFolder); !problem.empty())
        return refuse(problem, kExitUsage);
    if (const FileResult prepared = PrepareDataFolder(dataFolder); !prepared) {
        std::string why = prepared.reason;
        why += "; nothing was read or changed";
        return refuse(why, kExitFailed);
    }

    // A changing command holds the lock to its end; a reading one only needs it
    // for the repairs of the start-up load, and reads without them when
    // another program holds it, or when the folder cannot be written at all.
    const auto wait = std::chrono::milliseconds(static_cast<long long>(lockTimeout * 1000.0));
    lock = FolderLock::Acquire(dataFolder, wait);
    if (!lock.Held() && access == Access::Change) {
        std::string why = lock.failure() == FolderLock::Failure::TimedOut ? "" : "cannot be locked: ";
        why += lock.Reason();
        why += "; nothing was changed";
        return refuse(why, kExitFailed);
    }
    // A window that started since the first look loads the files after this
    // lock is released; one that runs already gets the command.
    if (access == Access::Change && request_ && WindowRuns()) {
        lock.Release();
        if (Forward() == Forwarded::Done) return false;
        lock = FolderLock::Acquire(dataFolder, wait);
        if (!lock.Held()) {
            std::string why = lock.Reason();
            why += "; nothing was changed";
            return refuse(why, kExitFailed);
        }
    }

    programFolder = ResolveProgramFolder();
    StartupData loaded = LoadStartupData(dataFolder, programFolder, 1.0, &lock);
    model = std::move(loaded.model);
    library = std::move(loaded.library);
    startup = std::move(loaded.report);
    if (access == Access::Read) lock.Release();
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
        ->check(CLI::Range(0.0, 3600.0));
    auto& registry = Registry();
    std::stable_sort(registry.begin(), registry.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& [order, registrar] : registry) registrar(app, ctx);
    SayOptionsMayFollow(app);
    if (const auto ended = ParseCommandLine(app, argc, argv)) return *ended;
    return ctx.exitCode;
}
