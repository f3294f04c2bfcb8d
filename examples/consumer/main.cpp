// Uses the installed model library: default profiles in a fresh data folder,
// then the shown DPI of each level of the first profile.
#include <cstdio>
#include <filesystem>

#include "model/SettingsModel.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tarvik-consumer DATA_FOLDER\n");
        return 2;
    }
    const std::filesystem::path data = argv[1];
    std::filesystem::create_directories(data / "config");
    tarvik::SettingsModel model(data);
    model.LoadSettingsModel();
    model.BuildDpiTables();
    for (int level = 0; level < tarvik::kDpiLevels; ++level) std::printf("%d ", model.ShownDpi(0, level));
    std::printf("\n");
    return std::filesystem::exists(data / "config" / "default0.psf") ? 0 : 1;
}
