// tarvikctl devices|status|apply|reset|watch: the device link without the
// window. Each command opens the backend chosen by --hid (the virtual mouse with
// "sim", which starts empty in every run), scans, and does what the window's
// handler would do.
#include <atomic>
#include <csignal>
#include <iostream>
#include <nlohmann/json.hpp>

#include "commands/ProfileEdits.h"
#include "device/DeviceController.h"
#include "device/EventQueue.h"
#include "emulator/VirtualMouse.h"
#include "macro/MacroLibrary.h"
#include "model/ProfileSlots.h"
#include "programs/Backends.h"
#include "programs/tarvikctl/Cli.h"
#include "text/U16.h"

namespace tarvik::cli {
namespace {

std::atomic<bool> g_interrupted{false};
extern "C" void OnInterrupt(int) {
    g_interrupted = true;
}

// One run's connection: backend, UI-thread queue, link and controller. The
// controller's worker talks to the mouse; this thread runs the queue until the
// result it waits for has arrived. The scheduler never fires by itself: what
// the window would do later (the delayed save) is done at the end of the run.
struct Session {
    BackendChoice choice;
    EventQueue queue;
    SleepPacer pacer;
    VirtualScheduler scheduler;
    std::unique_ptr<DeviceLink> link;
    std::unique_ptr<DeviceController> controller;

    ~Session() {
        controller.reset();
        if (link) link->Close();
    }

    // Runs posted calls until `done` holds. The worker always ends its job (a
    // write or read that fails returns), so no time limit is needed.
    void RunUntil(const std::function<bool()>& done) {
        while (!done()) queue.RunOne(std::chrono::milliseconds(100));
    }
};

// Null (with the reason on stderr and exit code 2) when the backend is not
// available, or when the data folder cannot be loaded (Load says why). Without
// `access` no model is loaded.
std::unique_ptr<Session> OpenSession(CliContext& ctx, std::optional<Access> access) {
    auto s = std::make_unique<Session>();
    s->choice = OpenBackend(ctx.hidOption, TraceRequested(ctx.trace));
    if (!s->choice.backend) {
        std::cerr << "tarvikctl: " << s->choice.error << "\n";
        ctx.exitCode = kExitUsage;
        return nullptr;
    }
    s->link = std::make_unique<DeviceLink>(*s->choice.backend, s->queue.Poster());
    if (access) {
        if (!ctx.Load(*access)) return nullptr;
        s->controller = std::make_unique<DeviceController>(*ctx.model, *s->link, s->pacer, s->scheduler,
                                                           s->queue.Poster());
        s->controller->SetMacroFinder(LibraryFinder(*ctx.library));
    }
    return s;
}

bool RequireDevice(CliContext& ctx, Session& s) {
    if (s.link->SendTarget()) return true;
    std::cerr << "tarvikctl: " << NoMouseFound(s.choice) << "\n";
    ctx.exitCode = kExitFailed;
    return false;
}

void Devices(CliContext& ctx, bool json) {
    auto s = OpenSession(ctx, std::nullopt);
    if (!s) return;
    const auto list = s->choice.backend->Enumerate();
    nlohmann::ordered_json doc = nlohmann::ordered_json::array();
    int found = 0;
    for (std::size_t i = 0; i < list.size() && i < static_cast<std::size_t>(kScanPositions); ++i) {
        const auto cls = ClassifyInterface(list[i]);
        if (!cls) continue;
        ++found;
        if (json) {
            doc.push_back({{"position", i},
                           {"identity", NameOf(cls->identity)},
                           {"role", NameOf(cls->role)},
                           {"path", list[i].path},
                           {"vendorId", Hex(list[i].vendorId, 4)},
                           {"productId", Hex(list[i].productId, 4)}});
        } else {
            std::cout << NameOf(cls->identity) << "  " << NameOf(cls->role) << "  " << list[i].path << "\n";
        }
    }
    if (json) std::cout << doc.dump(2) << "\n";
    if (found == 0) {
        std::cerr << "tarvikctl: " << NoMouseFound(s->choice) << "\n";
        ctx.exitCode = kExitFailed;
    }
}

void Status(CliContext& ctx, bool json) {
    // The mouse may report another sensor, which resets and saves the DPI
    // levels: with a window running, the window asks its mouse and saves.
    nlohmann::json args = nlohmann::json::object();
    args["json"] = json;
    if (ctx.RunInWindow({"status", args})) return;
    auto s = OpenSession(ctx, Access::Change);
    if (!s) return;
    s->link->ScanDevices();
    if (!RequireDevice(ctx, *s)) return;
    std::optional<StatusResult> answer;
    s->controller->QueryStatus([&](const StatusResult& r) { answer = r; });
    s->RunUntil([&] { return answer.has_value(); });
    CtlOutput out{ctx.exitCode, {}};
    ReportStatus(*ctx.model, *answer, s->controller->BatteryLevel(), s->controller->Charge(), json, out);
    ctx.Finish(out);
}

void Apply(CliContext& ctx, std::optional<int> slot) {
    // With a window running, its device link sends (whatever --hid says here).
    nlohmann::json args = nlohmann::json::object();
    if (slot) args["slot"] = *slot;
    if (ctx.RunInWindow({"apply", args})) return;
    auto s = OpenSession(ctx, Access::Change);
    if (!s) return;
    SettingsModel& model = *ctx.model;
    // A profile left alone holds defaults in memory, which must not replace
    // what the mouse holds; config.ini names the current slot and keeps the
    // selection. Either left alone: nothing is sent or saved.
    if (!ctx.Uses(CliContext::kUsesSettings | CliContext::UsedSlot(slot.value_or(model.GetCurrentProfile()))))
        return;
    if (slot) {
        // The whole profile is sent below, whatever the selection asks for.
        if (edits::SelectProfile(model, *slot).Changed() &&
            !ctx.CheckSaved(model.SaveCurrentProfileAndSettings()))
            return;
    }
    s->link->ScanDevices();
    if (!RequireDevice(ctx, *s)) return;
    DeviceController& c = *s->controller;
    // Whatever the caches hold: every group is sent.
    c.Cache().Forget();
    c.RequestSend(SendGroups::All());
    std::optional<ApplyResult> finished;
    c.ApplyToDevice([&](const ApplyResult& r) { finished = r; });
    s->RunUntil([&] { return finished.has_value(); });
    // The window saves 10 s after a send; here the run ends first, so the
    // profiles (with the numbering the send gave the macro buttons) are saved now.
    const bool saved = ctx.CheckSaved(model.SaveSettingsAndProfiles());
    CtlOutput out{ctx.exitCode, {}};
    ReportApply(model, NameOf(*s->link->SendTargetIdentity()), *finished, saved, out);
    ctx.Finish(out);
}

void Reset(CliContext& ctx, bool yes) {
    if (!yes) {
        std::cerr << "tarvikctl: reset needs --yes (the current profile goes back to its defaults)\n";
        ctx.exitCode = kExitUsage;
        return;
    }
    if (ctx.RunInWindow({"reset", nlohmann::json::object()})) return;
    auto s = OpenSession(ctx, Access::Change);
    if (!s) return;
    // The current profile is reset with the mouse: its file and config.ini,
    // which names it, must be usable, or nothing is reset.
    if (!ctx.Uses(CliContext::kUsesSettings | CliContext::UsedSlot(ctx.model->GetCurrentProfile()))) return;
    s->link->ScanDevices();
    std::optional<ResetResult> finished;
    s->controller->FactoryReset([&](const ResetResult& r) { finished = r; });
    s->RunUntil([&] { return finished.has_value(); });
    CtlOutput out{ctx.exitCode, {}};
    ReportReset(*ctx.model, *finished, out);
    ctx.Finish(out);
}

void Watch(CliContext& ctx, int presses, double timeout) {
    // Watching saves nothing: the lock is held only for the start-up load.
    auto s = OpenSession(ctx, Access::Read);
    if (!s) return;
    // The lines name the current profile's polling rate; they are printed also
    // when its file is left alone, and the exit code says so.
    static_cast<void>(
        ctx.Uses(CliContext::kUsesSettings | CliContext::UsedSlot(ctx.model->GetCurrentProfile())));
    if (presses > 0 && !s->choice.mouse) {
        std::cerr << "tarvikctl: --press needs --hid sim\n";
        ctx.exitCode = kExitUsage;
        return;
    }
    DeviceController& c = *s->controller;
    int events = 0;
    c.SetEvents({.showOsd =
                     [&](const OsdTexts& t) {
                         const ProfileRecord& rec = ctx.model->Profiles[ctx.model->GetCurrentProfile()];
                         std::cout << t.title << "  " << t.value << "  " << t.rate << "  (level "
                                   << c.CurrentDpiLevel() + 1 << ", " << ToUtf8(rec.PollingRateName) << ")"
                                   << std::endl;
                         ++events;
                     },
                 .noDeviceLeft =
                     [&] {
                         std::cerr << "tarvikctl: no device left" << std::endl;
                         g_interrupted = true;
                     }});
    c.AttachHotplug(s->queue.Poster());
    c.ScanDevices();
    if (!s->link->Connected()) {
        std::cerr << "tarvikctl: " << NoMouseFound(s->choice) << "\n";
        ctx.exitCode = kExitFailed;
        return;
    }
    g_interrupted = false;
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    for (int i = 0; i < presses; ++i) s->choice.mouse->PressDpiButton();
    const auto start = std::chrono::steady_clock::now();
    while (!g_interrupted) {
        if (timeout > 0 && std::chrono::steady_clock::now() - start >= std::chrono::duration<double>(timeout))
            break;
        s->queue.RunOne(std::chrono::milliseconds(100));
    }
    s->link->StopReaders();
    s->queue.RunPending();
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    if (events == 0 && presses > 0) ctx.exitCode = kExitFailed;
}

struct DeviceArgs {
    bool json = false;
    bool yes = false;
    int slot = -1;
    int presses = 0;
    double timeout = 0;
};

void RegisterDeviceCommands(CLI::App& app, CliContext& ctx) {
    auto args = std::make_shared<DeviceArgs>();

    auto* devices =
        app.add_subcommand("devices", "list the mouse's HID interfaces with identity, role and path");
    devices->add_flag("--json", args->json, "print JSON");
    devices->callback([&ctx, args] { Devices(ctx, args->json); });

    auto* status = app.add_subcommand("status", "query sensor, battery level and charge state");
    status->add_flag("--json", args->json, "print JSON");
    status->callback([&ctx, args] { Status(ctx, args->json); });

    auto* apply = app.add_subcommand("apply", "make a slot current and send the whole profile to the mouse");
    apply->add_option("--slot", args->slot, "profile slot 0-4 (default: the current one)")
        ->check(CLI::Range(0, kProfileCount - 1));
    apply->callback(
        [&ctx, args] { Apply(ctx, args->slot >= 0 ? std::optional<int>(args->slot) : std::nullopt); });

    auto* reset = app.add_subcommand("reset", "factory-reset the mouse and the current profile");
    reset->add_flag("--yes", args->yes, "confirm");
    reset->callback([&ctx, args] { Reset(ctx, args->yes); });

    auto* watch = app.add_subcommand("watch", "print each DPI level / polling rate change the mouse reports");
    watch->add_option("--press", args->presses, "with --hid sim: press the virtual DPI button N times first")
        ->check(CLI::NonNegativeNumber);
    watch->add_option("--timeout", args->timeout, "stop after this many seconds (default: until interrupted)")
        ->check(CLI::NonNegativeNumber);
    watch->callback([&ctx, args] { Watch(ctx, args->presses, args->timeout); });
}

RegisterCommands registerDevice(30, RegisterDeviceCommands);

} // namespace
} // namespace tarvik::cli
