// Load and save of a large macro library, and what libraries cost in memory.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <memory>
#include <string>
#include <unistd.h>

#include "macro/MacroLibrary.h"
#include "text/U16.h"

using namespace tarvik;

namespace {

constexpr int kFolders = 20;
constexpr int kMacrosPerFolder = 50; // 1,000 macros
constexpr int kSteps = 100;

// 20 top-level folders of 50 macros, each macro 100 steps.
void Fill(MacroLibrary& lib) {
    for (int f = 0; f < kFolders; ++f) {
        MacroLocation folder;
        lib.AddFolder(u"Folder " + Dec(f), folder);
        for (int m = 0; m < kMacrosPerFolder; ++m) {
            MacroLocation at = folder;
            lib.AddMacro(u"Macro " + Dec(m), at);
            MacroKey& key = *lib.MacroAt(at);
            for (int s = 0; s < kSteps; ++s) {
                const auto code = static_cast<std::uint8_t>(0x41 + (s / 4) % 26);
                MacroAction step = s % 2   ? MacroAction::Delay(static_cast<std::uint32_t>(10 + s))
                                   : s % 4 ? MacroAction::Release(code)
                                           : MacroAction::Press(code);
                key.InsertAction(key.ValidCount(), step);
            }
            key.MacroCommandActionNum = kSteps / 2;
        }
    }
}

std::filesystem::path TempFile(const char* name) {
    return std::filesystem::temp_directory_path() /
           (std::string("tarvik-bench-") + std::to_string(::getpid()) + "-" + name);
}

// Resident set size in kB, from /proc/self/statm.
long ResidentKb() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

long HeapBytes() {
    return static_cast<long>(::mallinfo2().uordblks);
}

// Memory: two empty libraries (the main and the staging one), then the
// 1,000-macro library. Counted once each; kB of resident memory and heap.
void BM_MemoryTwoEmptyLibraries(benchmark::State& state) {
    for (auto _ : state) {
        const long rss0 = ResidentKb();
        const long heap0 = HeapBytes();
        auto main = std::make_unique<MacroLibrary>();
        auto staging = std::make_unique<MacroLibrary>();
        benchmark::DoNotOptimize(main.get());
        benchmark::DoNotOptimize(staging.get());
        state.counters["rss_kB"] = static_cast<double>(ResidentKb() - rss0);
        state.counters["heap_kB"] = static_cast<double>(HeapBytes() - heap0) / 1024.0;
        state.counters["object_bytes"] = 2.0 * sizeof(MacroLibrary);
    }
}
BENCHMARK(BM_MemoryTwoEmptyLibraries)->Iterations(1);

void BM_Memory1000MacroLibrary(benchmark::State& state) {
    for (auto _ : state) {
        const long rss0 = ResidentKb();
        const long heap0 = HeapBytes();
        auto lib = std::make_unique<MacroLibrary>();
        Fill(*lib);
        benchmark::DoNotOptimize(lib.get());
        state.counters["rss_kB"] = static_cast<double>(ResidentKb() - rss0);
        state.counters["heap_kB"] = static_cast<double>(HeapBytes() - heap0) / 1024.0;
        state.counters["macros"] = static_cast<double>(lib->MacroCount());
    }
}
BENCHMARK(BM_Memory1000MacroLibrary)->Iterations(1);

void BM_SaveLibrary1000x100(benchmark::State& state) {
    MacroLibrary lib;
    Fill(lib);
    const auto path = TempFile("save.mlf");
    for (auto _ : state) {
        if (!lib.Save(path)) {
            state.SkipWithError("save failed");
            break;
        }
    }
    state.counters["file_bytes"] = static_cast<double>(std::filesystem::file_size(path));
    state.SetItemsProcessed(state.iterations() * kFolders * kMacrosPerFolder);
    std::filesystem::remove(path);
}
BENCHMARK(BM_SaveLibrary1000x100)->Unit(benchmark::kMillisecond);

void BM_LoadLibrary1000x100(benchmark::State& state) {
    const auto path = TempFile("load.mlf");
    {
        MacroLibrary lib;
        Fill(lib);
        if (!lib.Save(path)) state.SkipWithError("save failed");
    }
    MacroLibrary lib;
    for (auto _ : state) {
        const FileResult r = lib.Load(path);
        if (!r || lib.MacroCount() != kFolders * kMacrosPerFolder) {
            state.SkipWithError("load failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * kFolders * kMacrosPerFolder);
    std::filesystem::remove(path);
}
BENCHMARK(BM_LoadLibrary1000x100)->Unit(benchmark::kMillisecond);

// The tree list asks for its rows on every paint.
void BM_RowsOfOpenTree(benchmark::State& state) {
    MacroLibrary lib;
    Fill(lib);
    lib.ForEach([&](const MacroLocation& at, const MacroItem& item) {
        if (item.IsFolder) lib.NodeAt(at)->FolderIsOpen = true;
    });
    for (auto _ : state) benchmark::DoNotOptimize(lib.LocationOfRow(500));
    state.counters["rows"] = lib.RowCount();
}
BENCHMARK(BM_RowsOfOpenTree)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
