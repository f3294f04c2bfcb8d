// What the delayed save costs the UI thread: writing config.ini and the five
// profile files there (each flushed to the disk), against copying the tables
// for the saver thread. The data folder is a fresh one in $TMPDIR (set it to a
// folder on the disk the data folder lives on).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>

#include "mainwnd/DelayedSaver.h"
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

} // namespace

BENCHMARK_MAIN();
