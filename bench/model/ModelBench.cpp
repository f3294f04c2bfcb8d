// The start-up load (config.ini and the five profile files) and the deferred save
// (config.ini and the five profile files, each written and renamed with fsync),
// plus the profile reader and writer in memory.
#include <benchmark/benchmark.h>

#include <random>

#include "model/SettingsModel.h"
#include "text/Log.h"

namespace {

using namespace tarvik;

// A data folder after a first start, with a macro on every key so the AllAction
// lines carry real digits.
class DataFolder {
public:
    DataFolder() {
        std::random_device rd;
        path_ = std::filesystem::temp_directory_path() / ("tarvik-bench-" + std::to_string(rd()));
        std::filesystem::create_directories(path_ / "config");
        SetProblemSink(nullptr, /*quiet=*/true);
        SettingsModel m(path_);
        m.LoadSettingsModel();
        for (auto& r : m.Profiles)
            for (auto& k : r.Keys)
                for (std::uint32_t n = 0; n < 200; ++n) k.Macro.InsertAction(n, MacroAction::Delay(n * 7));
        ready_ = m.SaveAllProfiles().ok();
    }
    ~DataFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& path() const { return path_; }
    bool ready() const { return ready_; }

private:
    std::filesystem::path path_;
    bool ready_ = false;
};

void BM_LoadSettingsModel(benchmark::State& state) {
    DataFolder folder;
    if (!folder.ready()) state.SkipWithError("the data folder could not be written");
    for (auto _ : state) {
        SettingsModel m(folder.path());
        m.LoadSettingsModel();
        m.BuildDpiTables();
        benchmark::DoNotOptimize(m.Profiles[4].Keys[5].Macro.AllAction[199]);
    }
}
BENCHMARK(BM_LoadSettingsModel)->Unit(benchmark::kMicrosecond);

void BM_SaveSettingsAndProfiles(benchmark::State& state) {
    DataFolder folder;
    SettingsModel m(folder.path());
    m.LoadSettingsModel();
    for (auto _ : state) {
        if (!m.SaveSettingsFile() || !m.SaveAllProfiles()) {
            state.SkipWithError("save failed");
            break;
        }
    }
}
BENCHMARK(BM_SaveSettingsAndProfiles)->Unit(benchmark::kMicrosecond);

void BM_ProfileFormatAndParseInMemory(benchmark::State& state) {
    DataFolder folder;
    SettingsModel m(folder.path());
    m.LoadSettingsModel();
    for (auto _ : state) {
        const std::u16string text = FormatProfileText(m.Profiles[0]);
        std::string bytes = "\xFF\xFE";
        bytes.reserve(text.size() * 2 + 2);
        for (char16_t c : text) {
            bytes.push_back(static_cast<char>(c & 0xFF));
            bytes.push_back(static_cast<char>(c >> 8));
        }
        ProfileRecord r;
        benchmark::DoNotOptimize(ParseProfileData(bytes, r).ok());
    }
}
BENCHMARK(BM_ProfileFormatAndParseInMemory)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
