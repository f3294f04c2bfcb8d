// CPU cost of a full ApplyToDevice — six buttons, every settings command and six
// macros of 100 steps (72 chunks) — against the virtual mouse, with the pacing
// on a virtual clock. The counters give the time the mouse itself needs (60 ms
// per command) for the same run, so the two can be compared.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>

#include "device/DeviceController.h"
#include "device/EventQueue.h"
#include "device/sim/SimBackend.h"
#include "model/SettingsModel.h"

namespace tarvik {
namespace {

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

void BM_FullApplyToDevice(benchmark::State& state) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("tarvik-bench-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(dir / "config");
    {
        SettingsModel model(dir);
        model.LoadSettingsModel();
        model.BuildDpiTables();
        std::array<MacroKey, kKeyCount> library;
        ProfileRecord& rec = model.Profiles[model.GetCurrentProfile()];
        for (int k = 0; k < kKeyCount; ++k) {
            library[k] = HundredSteps(k);
            library[k].MacroKeyIndex = static_cast<std::uint32_t>(k + 1);
            rec.Keys[k].Action = {0x90, 0, 0};
            rec.Keys[k].MacroKeyIndex = static_cast<std::uint32_t>(k + 1);
            rec.Keys[k].AssignMacro(&library[k]);
        }
        auto mouse = std::make_shared<VirtualMouse>();
        SimBackend backend(mouse);
        EventQueue queue;
        VirtualClock clock;
        clock.SetRecording(false);
        DeviceLink link(backend, queue.Poster());
        DeviceController controller(model, link, clock);
        controller.SetMacroFinder([&](std::uint32_t index) -> const MacroKey* {
            return index >= 1 && index <= library.size() ? &library[index - 1] : nullptr;
        });
        link.ScanDevices();

        int reports = 0;
        Millis paced{0};
        for (auto _ : state) {
            controller.Cache().Forget();
            controller.MarkAllChanged();
            const Millis before = clock.Now();
            const ApplyResult r = controller.ApplyToDevice();
            paced = clock.Now() - before;
            reports = r.reportsWritten;
            benchmark::DoNotOptimize(r);
        }
        state.counters["reports"] = reports;
        state.counters["paced_ms"] = static_cast<double>(paced.count());
        state.counters["cpu_us_per_report"] =
            benchmark::Counter(static_cast<double>(reports) * static_cast<double>(state.iterations()),
                               benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
        link.Close();
    }
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_FullApplyToDevice)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace tarvik

BENCHMARK_MAIN();
