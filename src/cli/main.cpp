// tarvikctl: the scriptable command-line tool on Tarvik's libraries.
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "cli/Cli.h"
#include "model/Startup.h"
#include "text/Language.h"
#include "text/Log.h"

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

bool CliContext::UsesSimulatedMouse() const {
    std::string hid = hidOption;
    if (hid.empty()) {
        const char* env = std::getenv("TARVIK_HID");
        hid = env ? env : "linux";
    }
    return hid == "sim" || hid.rfind("socket:", 0) == 0;
}

void CliContext::Load() {
    if (model) return;
    std::optional<std::filesystem::path> override;
    if (!dataDirOption.empty()) override = std::filesystem::path(dataDirOption);
    dataFolder = ResolveDataFolder(override, UsesSimulatedMouse());
    programFolder = ResolveProgramFolder();
    PrepareDataFolder(dataFolder, programFolder);
    LoadLanguage(dataFolder / "config", 1.0);
    if (!Language().Problem().empty()) ReportProblem(Language().Problem());
    library = std::make_unique<MacroLibrary>();
    LoadMainLibrary(*library, MacroLibraryPath());
    model = std::make_unique<SettingsModel>(dataFolder);
    model->LoadSettingsModel();
    model->BuildDpiTables();
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
