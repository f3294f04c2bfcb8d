// What the saves cost the UI thread: writing config.ini and the five profile
// files there (each flushed to the disk), against copying the tables for the
// saver thread; and the same for the profile operations, whose saves the
// window hands to the saver. The data folder is a fresh one in $TMPDIR (set it
// to a folder on the disk the data folder lives on).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <random>

#include "mainwnd/DelayedSaver.h"
#include "model/ProfileSlots.h"
#include "model/SettingsModel.h"
#include "text/Language.h"

namespace {

using namespace tarvik;

class DataFolder {
public:
    DataFolder() {
        std::random_device rd;
        path_ = std::filesystem::temp_directory_path() / ("tarvik-bench-" + std::to_string(rd()));
        std::filesystem::create_directories(path_ / "config");
    }
    ~DataFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

void BM_SaveOnUiThread(benchmark::State& state) {
    DataFolder folder;
    SettingsModel m(folder.path());
    static_cast<void>(m.LoadSettingsModel());
    for (auto _ : state) {
        if (!m.SaveSettingsAndProfiles()) {
            state.SkipWithError("save failed");
            break;
        }
    }
}
BENCHMARK(BM_SaveOnUiThread)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(40);

// The UI thread's part: the copy handed to the saver. The writes themselves
// are waited for outside the timed part.
void BM_SaveHandedToSaver(benchmark::State& state) {
    DataFolder folder;
    SettingsModel m(folder.path());
    static_cast<void>(m.LoadSettingsModel());
    DelayedSaver saver([](std::function<void()>) {});
    for (auto _ : state) {
        saver.Save(m);
        state.PauseTiming();
        saver.Drain();
        state.ResumeTiming();
    }
}
// Each iteration also waits for the write (untimed), so the count is fixed.
BENCHMARK(BM_SaveHandedToSaver)->Unit(benchmark::kMicrosecond)->UseRealTime()->Iterations(40);

// One profile operation as the window runs it, on the UI thread: the change
// and its save. Argument 0: the operation (0 add, 1 rename, 2 delete, 3 import);
// argument 1: 0 = the save written on this thread (before), 1 = handed to the
// saver thread (now; the write is waited for outside the timed part).
// `max_ms` is the longest single operation.
void BM_ProfileOperation(benchmark::State& state) {
    const int op = static_cast<int>(state.range(0));
    const bool handedOff = state.range(1) != 0;
    DataFolder folder;
    SettingsModel m(folder.path());
    static_cast<void>(m.LoadSettingsModel());
    const std::filesystem::path imported = folder.path() / "imported.psf";
    static_cast<void>(m.ExportProfile(0, imported));
    DelayedSaver saver([](std::function<void()>) {});
    if (handedOff)
        m.SetSaveHandOff([&saver](const SettingsModel& model, int scope) { saver.Save(model, scope); });
    double longest = 0;
    int n = 0;
    for (auto _ : state) {
        // Untimed: the state the operation starts from (a hidden slot to add,
        // a shown one to delete).
        if (op == 0 && m.GetShowCount() == kProfileCount)
            static_cast<void>(DeleteProfile(m, m.GetShowList(4)));
        if (op == 2 && m.GetShowCount() == 2) static_cast<void>(AddProfile(m, u"Again"));
        saver.Drain();
        const auto start = std::chrono::steady_clock::now();
        bool ok = true;
        switch (op) {
        case 0:
            ok = AddProfile(m, u"Added").saved.ok();
            break;
        case 1:
            ok = RenameProfile(m, 1, n % 2 ? u"Office" : u"Racing").saved.ok();
            break;
        case 2:
            ok = DeleteProfile(m, m.GetShowList(m.GetShowCount() - 1)).saved.ok();
            break;
        default:
            ok = m.ImportProfile(2, imported).ok();
            break;
        }
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(ms / 1000.0);
        longest = std::max(longest, ms);
        ++n;
        if (!ok) {
            state.SkipWithError("operation failed");
            break;
        }
    }
    saver.Drain();
    m.SetSaveHandOff({});
    state.counters["max_ms"] = longest;
}
BENCHMARK(BM_ProfileOperation)
    ->ArgsProduct({{0, 1, 2, 3}, {0, 1}})
    ->ArgNames({"op", "handed_off"})
    ->Unit(benchmark::kMicrosecond)
    ->UseManualTime()
    ->Iterations(30);

} // namespace

BENCHMARK_MAIN();
