// tarvikctl: the scriptable command-line tool on Tarvik's libraries.
#include <algorithm>
#include <vector>

#include "cli/Cli.h"
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

void CliContext::Load() {
    if (model) return;
    std::optional<std::filesystem::path> override;
    if (!dataDirOption.empty()) override = std::filesystem::path(dataDirOption);
    // The virtual mouse gets its own data folder (see ResolveDataFolder).
    const std::string hid = ResolveHidChoice(hidOption);
    const bool simulated = hid == "sim" || hid.starts_with("socket:");
    dataFolder = ResolveDataFolder(override, simulated);
    programFolder = ResolveProgramFolder();
    StartupData loaded = LoadStartupData(dataFolder, programFolder, 1.0);
    model = std::move(loaded.model);
    library = std::move(loaded.library);
    startup = std::move(loaded.report);
}

bool CliContext::CheckSaved(const FileResult& saved) {
    if (!saved) exitCode = 1;
    return saved.ok();
}

} // namespace tarvik::cli

int main(int argc, char** argv) {
    using namespace tarvik::cli;
    CLI::App app{"tarvikctl: configure the mouse from scripts"};
    app.require_subcommand(1);
    CliContext ctx;
    app.add_option("--data-dir", ctx.dataDirOption,
                   "data folder (default: $TARVIK_DATA_DIR or the XDG config folder)");
    app.add_option("--hid", ctx.hidOption,
                   "HID backend: linux, sim or socket:PATH (default: $TARVIK_HID or linux)");
    app.add_flag("--trace", ctx.trace, "print every report written (W) or read (R) on stderr");
    auto& registry = Registry();
    std::stable_sort(registry.begin(), registry.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& [order, registrar] : registry) registrar(app, ctx);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e);
    }
    return ctx.exitCode;
}
