#include "macro/StartupLoad.h"

#include "model/Startup.h"
#include "text/Language.h"
#include "text/Log.h"

namespace tarvik {

std::filesystem::path MacroLibraryPath(const std::filesystem::path& dataFolder) {
    return dataFolder / "config" / "MacroLibraryFile.mlf";
}

StartupData LoadStartupData(const std::filesystem::path& dataFolder,
                            const std::filesystem::path& programFolder, double uiScale) {
    ProblemCollector problems;
    StartupData data;
    StartupReport& report = data.report;
    PrepareDataFolder(dataFolder, programFolder);

    report.language = Language().Load(dataFolder / "config", uiScale);
    report.languageFile = Language().File();
    if (!report.language) {
        std::string message = "language file ";
        message += report.languageFile.string();
        message += ": ";
        message += report.language.Describe();
        ReportProblem(message);
    }

    data.library = std::make_unique<MacroLibrary>();
    report.library = LoadMainLibrary(*data.library, MacroLibraryPath(dataFolder));

    data.model = std::make_unique<SettingsModel>(dataFolder);
    report.settings = data.model->LoadSettingsModel();
    data.model->BuildDpiTables();

    report.problems = problems.Take();
    return data;
}

} // namespace tarvik
