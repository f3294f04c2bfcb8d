// The full send — six buttons, every settings command and six macros of 100
// steps (86 reports) — against the in-process virtual mouse.
//
// BM_PlanFullSend: the CPU the UI thread spends planning it (macro numbering
// and the planner), the only part of a send that runs on the UI thread.
//
// BM_FullSendUiLatency: the whole send with the real 60 ms pacing on the device
// worker while a UI loop thread runs the posted calls (the worker's results and
// a ping posted every millisecond). `max_wait_ms` is the longest any posted
// call waited before the UI loop ran it: how long the UI thread was kept from
// its events. `max_call_ms` is the longest single call on the UI thread.
#include <benchmark/benchmark.h>

#include <atomic>
#include <filesystem>
#include <random>
#include <thread>

#include "device/DeviceController.h"
#include "device/EventQueue.h"
#include "device/SendPlanner.h"
#include "emulator/SimBackend.h"
#include "model/SettingsModel.h"

namespace tarvik {
namespace {

using Clock = std::chrono::steady_clock;

MacroKey HundredSteps(int seed) {
    MacroKey m(u"bench");
    for (int i = 0; i < 50; ++i) {
        const auto code = static_cast<std::uint8_t>(0x41 + (seed + i) % 26);
        m.InsertAction(m.MacroActionNum, MacroAction::Press(code));
        m.InsertAction(m.MacroActionNum, MacroAction::Delay(30 + static_cast<std::uint32_t>(i)));
        m.InsertAction(m.MacroActionNum, MacroAction::Release(code));
    }
    m.MacroCommandActionNum = 100;
    return m;
}

// A model in a temporary folder whose current profile binds a 100-step macro
// to each of the six buttons.
struct BenchProfile {
    std::filesystem::path dir;
    std::unique_ptr<SettingsModel> model;
    std::array<MacroKey, kKeyCount> library;

    BenchProfile() {
        dir = std::filesystem::temp_directory_path() /
              ("tarvik-bench-" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(dir / "config");
        model = std::make_unique<SettingsModel>(dir);
        model->LoadSettingsModel();
        model->BuildDpiTables();
        ProfileRecord& rec = Current();
        for (int k = 0; k < kKeyCount; ++k) {
            library[k] = HundredSteps(k);
            library[k].MacroKeyIndex = static_cast<std::uint32_t>(k + 1);
            rec.Keys[k].Action = {0x90, 0, 0};
            rec.Keys[k].MacroKeyIndex = static_cast<std::uint32_t>(k + 1);
            rec.Keys[k].AssignMacro(&library[k]);
        }
    }
    ~BenchProfile() {
        model.reset();
        std::filesystem::remove_all(dir);
    }
    ProfileRecord& Current() { return model->Profiles[model->GetCurrentProfile()]; }
    MacroFinder Finder() {
        return [this](std::uint32_t index) -> const MacroKey* {
            return index >= 1 && index <= library.size() ? &library[index - 1] : nullptr;
        };
    }
};

void BM_PlanFullSend(benchmark::State& state) {
    BenchProfile profile;
    ReportCache cache;
    cache.Forget();
    const MacroFinder finder = profile.Finder();
    std::size_t writes = 0;
    for (auto _ : state) {
        AssignMacroNumbers(profile.Current(), finder, false, u"Disabled");
        const SendPlan plan =
            PlanSend(profile.Current(), profile.model->DpiDeviceCode, cache, SendGroups::All(), true);
        writes = static_cast<std::size_t>(plan.writes);
        benchmark::DoNotOptimize(plan);
    }
    state.counters["reports"] = static_cast<double>(writes);
}
BENCHMARK(BM_PlanFullSend)->Unit(benchmark::kMicrosecond);

// Runs posted calls, timing how long each waited and how long each ran.
class TimedLoop {
public:
    void Post(std::function<void()> call) {
        const Clock::time_point posted = Clock::now();
        queue_.Post([this, posted, call = std::move(call)] {
            const Clock::time_point start = Clock::now();
            maxWait_ = std::max(maxWait_, start - posted);
            call();
            maxCall_ = std::max(maxCall_, Clock::now() - start);
        });
    }
    PostFn Poster() {
        return [this](std::function<void()> call) { Post(std::move(call)); };
    }
    void RunUntil(const std::atomic<bool>& done) {
        while (!done.load()) queue_.RunOne(std::chrono::milliseconds(5));
    }
    double MaxWaitMs() const { return Ms(maxWait_); }
    double MaxCallMs() const { return Ms(maxCall_); }

private:
    static double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }
    EventQueue queue_;
    Clock::duration maxWait_{0};
    Clock::duration maxCall_{0};
};

void BM_FullSendUiLatency(benchmark::State& state) {
    BenchProfile profile;
    auto mouse = std::make_shared<VirtualMouse>();
    SimBackend backend(mouse);
    double worstWait = 0, worstCall = 0;
    int reports = 0;
    for (auto _ : state) {
        TimedLoop ui;
        SleepPacer pacer;
        VirtualScheduler scheduler;
        DeviceLink link(backend, ui.Poster());
        DeviceController controller(*profile.model, link, pacer, scheduler, ui.Poster());
        controller.SetMacroFinder(profile.Finder());
        link.ScanDevices();
        controller.Cache().Forget();

        std::atomic<bool> finished{false};
        std::atomic<bool> stopPing{false};
        // Another thread's events: one every millisecond for the whole send.
        std::thread ping([&] {
            while (!stopPing.load()) {
                ui.Post([] {});
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
        // The send starts from a call on the UI loop, as from the window's timer.
        ui.Post([&] {
            controller.RequestSend(SendGroups::All());
            controller.ApplyToDevice([&](const ApplyResult& r) {
                reports = r.reportsWritten;
                finished = true;
            });
        });
        ui.RunUntil(finished);
        stopPing = true;
        ping.join();
        worstWait = std::max(worstWait, ui.MaxWaitMs());
        worstCall = std::max(worstCall, ui.MaxCallMs());
        link.Close();
    }
    state.counters["reports"] = reports;
    state.counters["max_wait_ms"] = worstWait;
    state.counters["max_call_ms"] = worstCall;
}
BENCHMARK(BM_FullSendUiLatency)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

} // namespace
} // namespace tarvik

BENCHMARK_MAIN();
