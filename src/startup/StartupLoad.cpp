#include "startup/StartupLoad.h"

#include "startup/Startup.h"
#include "text/Language.h"
#include "text/Log.h"
#include "text/StdioFileEx.h"

namespace tarvik {

std::filesystem::path MacroLibraryPath(const std::filesystem::path& dataFolder) {
    return dataFolder / "config" / "MacroLibraryFile.mlf";
}

bool StartupReport::AnyLeftAlone() const {
    if (library.LeftAlone() || settings.settings.LeftAlone()) return true;
    for (const LoadOutcome& p : settings.profiles)
        if (p.LeftAlone()) return true;
    return false;
}

StartupData LoadStartupData(const std::filesystem::path& dataFolder,
                            const std::filesystem::path& programFolder, double uiScale,
                            const FolderLock* held, std::chrono::milliseconds lockWait,
                            StartupAccess access) {
    ProblemCollector problems;
    StartupData data;
    StartupReport& report = data.report;
    data.library = std::make_unique<MacroLibrary>();
    data.model = std::make_unique<SettingsModel>(dataFolder);
    SettingsModel& model = *data.model;

    // A folder that cannot be used: defaults in memory, and nothing touched.
    const bool readOnly = access == StartupAccess::ReadOnly;
    std::string problem = DataFolderProblem(dataFolder);
    if (problem.empty() && readOnly) {
        report.folder = {};
    } else if (problem.empty()) {
        report.folder = PrepareDataFolder(dataFolder);
        problem = report.folder.reason;
    } else {
        report.folder = FileResult::Failure(FileError::Unreadable, problem);
    }
    if (!report.folder) {
        std::string message = "data folder ";
        message += dataFolder.string();
        message += ": ";
        message += problem;
        message += "; nothing is read or saved there";
        ReportProblem(message);
        model.SensorId = kDefaultSensorId;
        model.Ini = model.DefaultIni();
        for (int k = 0; k < kProfileCount; ++k) model.ResetProfileToDefaults(k);
        model.BuildDpiTables();
        model.LeaveAllFilesAlone("the data folder cannot be used");
        data.library->LeaveFileAlone(MacroLibraryPath(dataFolder), "the data folder cannot be used");
        report.problems = problems.Take();
        return data;
    }

    // One writer at a time: the repairs below are writes too.
    FolderLock own;
    if (!held && !readOnly) own = FolderLock::Acquire(dataFolder, lockWait);
    const FolderLock& lock = held ? *held : own;
    std::string noRepairs;
    if (readOnly) {
        noRepairs = "a reading command changes nothing";
        report.lock = FileResult::Failure(FileError::NotWritten, noRepairs);
        model.SetRepairsAllowed(false, noRepairs);
    } else if (!lock.Held()) {
        const std::string why = lock.Reason().empty() ? std::string("its lock is not held") : lock.Reason();
        report.lock = FileResult::Failure(FileError::NotWritten, why);
        // A folder whose lock file cannot be made cannot be written either;
        // only another program at work is worth a word here.
        if (lock.failure() == FolderLock::Failure::TimedOut) {
            std::string message = "data folder ";
            message += dataFolder.string();
            message += ": ";
            message += why;
            message += "; the start-up load replaces no file";
            ReportProblem(message);
            noRepairs = "the data folder is in use by another program";
        } else {
            noRepairs = "the data folder cannot be locked (";
            noRepairs += why;
            noRepairs += ')';
        }
        model.SetRepairsAllowed(false, noRepairs);
    } else {
        report.staleFilesRemoved = RemoveStaleTemporaryFiles(dataFolder / "config");
        InstallLanguageFiles(dataFolder, programFolder);
    }

    // A reader of a folder that has no language files yet uses the shipped ones.
    std::filesystem::path languageFolder = dataFolder / "config";
    std::error_code ec;
    if (readOnly && !std::filesystem::exists(languageFolder / "LanSetting.ini", ec) && !programFolder.empty())
        languageFolder = programFolder / "lang";
    report.language = Language().Load(languageFolder, uiScale);
    report.languageFile = Language().File();
    if (!report.language) {
        std::string message = "language file ";
        message += report.languageFile.string();
        message += ": ";
        message += report.language.Describe();
        // A damaged file would leave the window without its texts, and nothing
        // in the program could mend it: the shipped copy takes its place, the
        // damaged one kept beside it. One line tells both.
        if (report.language.error == FileError::Damaged && lock.Held()) {
            const FileResult restored = RestoreLanguageFile(report.languageFile, programFolder);
            if (restored) {
                message += "; the program's copy was put in its place (the damaged file is kept as ";
                message += BackupName(report.languageFile, 0).filename().string();
                message += ')';
                report.language = Language().Load(dataFolder / "config", uiScale);
            } else {
                message += "; the program's copy could not replace it";
                // A backup or write that failed has told why already.
                if (restored.error != FileError::NotWritten) {
                    message += ": ";
                    message += restored.Describe();
                }
            }
        }
        ReportProblem(message);
    }

    report.library = LoadMainLibrary(*data.library, MacroLibraryPath(dataFolder), lock.Held(), noRepairs);
    report.settings = model.LoadSettingsModel();
    model.SetRepairsAllowed(true);
    model.BuildDpiTables();

    report.problems = problems.Take();
    return data;
}

} // namespace tarvik
