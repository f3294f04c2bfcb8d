// Profile commands: init, show, text, export, import, check.
#include <algorithm>
#include <cctype>
#include <iostream>
#include <memory>

#include "commands/ProfileJson.h"
#include "programs/tarvikctl/Cli.h"
#include "programs/tarvikctl/ProfileText.h"
#include "text/Language.h"
#include "text/StdioFileEx.h"
#include "text/U16.h"

namespace tarvik::cli {

namespace {

using json = nlohmann::ordered_json;

// ---------------------------------------------------------------- text listing of a JSON view

bool IsScalarArray(const json& a) {
    return std::all_of(a.begin(), a.end(), [](const json& v) { return !v.is_structured(); });
}
bool IsPairArray(const json& a) {
    return !a.empty() && std::all_of(a.begin(), a.end(), [](const json& v) {
        return v.is_object() && v.size() == 2 && v.contains("name") && v.contains("value");
    });
}
std::string Scalar(const json& v) {
    return v.is_string() ? v.get<std::string>() : v.dump();
}

void PrintText(std::ostream& out, const json& v, int indent);

void PrintMember(std::ostream& out, const std::string& key, const json& v, int indent) {
    const std::string pad(static_cast<std::size_t>(indent) * 2, ' ');
    if (!v.is_structured()) {
        out << pad << key << ": " << Scalar(v) << "\n";
    } else if (v.is_array() && IsScalarArray(v)) {
        out << pad << key << ":";
        for (const auto& e : v) out << " " << Scalar(e);
        out << "\n";
    } else if (v.is_array() && IsPairArray(v)) {
        out << pad << key << ":\n";
        for (const auto& e : v)
            out << pad << "  " << Scalar(e["name"]) << " = " << Scalar(e["value"]) << "\n";
    } else if (v.is_array()) {
        out << pad << key << ":\n";
        int i = 0;
        for (const auto& e : v) {
            if (e.is_array() && IsScalarArray(e)) {
                out << pad << "  [" << i++ << "]";
                for (const auto& x : e) out << " " << Scalar(x);
                out << "\n";
            } else {
                out << pad << "  [" << i++ << "]\n";
                PrintText(out, e, indent + 2);
            }
        }
    } else {
        out << pad << key << ":\n";
        PrintText(out, v, indent + 1);
    }
}

void PrintText(std::ostream& out, const json& v, int indent) {
    for (const auto& [key, member] : v.items()) PrintMember(out, key, member, indent);
}

// ---------------------------------------------------------------- check: one row per file kind

FileResult CheckLockFile(const std::filesystem::path& path) {
    // Its lock is all it is used for; its bytes do not matter.
    std::error_code ec;
    if (std::filesystem::is_regular_file(path, ec)) return {};
    return FileResult::Failure(FileError::Unreadable, "not a regular file");
}

// The kinds of file a data folder holds. A row names a file by its whole name
// (the fixed files) or by its extension; the names are looked at first.
struct FileKind {
    const char* name;      // the whole file name, or nullptr
    const char* extension; // lower case, with the dot, or nullptr
    FileResult (*check)(const std::filesystem::path&);
};

const FileKind kFileKinds[] = {
    {"LanSetting.ini", nullptr, CheckLanguageSelector},
    {"Lan.txt", nullptr, CheckLanguageFile},
    {"Lan_EN.txt", nullptr, CheckLanguageFile},
    {"tarvik.lock", nullptr, CheckLockFile},
    {nullptr, ".ini", CheckSettingsFile},
    {nullptr, ".psf", CheckProfileFile},
    {nullptr, ".mlf", CheckLibraryFile},
    {nullptr, ".mkf", CheckLibraryFile},
    {nullptr, ".mbf", CheckLibraryFile},
};

constexpr const char* kKindsText =
    "config.ini (and other .ini settings files), profile files (.psf), macro files (.mlf, .mkf, .mbf), "
    "LanSetting.ini, Lan.txt, Lan_EN.txt, tarvik.lock, and their backups (.bak, .bak.1, .bak.2)";

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

// The name of the file a backup keeps ("config.ini.bak.1" -> "config.ini").
std::string BackedUpName(std::string name) {
    for (int g = kBackupGenerations - 1; g >= 0; --g) {
        const std::string suffix = BackupName("", g).string();
        if (name.size() > suffix.size() && name.ends_with(suffix))
            return name.substr(0, name.size() - suffix.size());
    }
    return name;
}

const FileKind* KindOf(const std::filesystem::path& file) {
    const std::string name = BackedUpName(file.filename().string());
    for (const FileKind& k : kFileKinds)
        if (k.name && name == k.name) return &k;
    const std::string ext = Lower(std::filesystem::path(name).extension().string());
    for (const FileKind& k : kFileKinds)
        if (k.extension && ext == k.extension) return &k;
    return nullptr;
}

struct Options {
    int slot = -1;
    bool all = false;
    bool json = false;
    bool raw = false;
    int index = 0;
    std::string file;
};

void RegisterProfileCommands(CLI::App& app, CliContext& ctx) {
    auto* init =
        app.add_subcommand("init", "run the start-up load (create or repair the data folder) and exit");
    // Exit 1 when a file the load had to write could not be written, or had
    // to be left as it was.
    init->callback([&ctx] {
        // A window that owns the folder has loaded it: it writes its files again.
        if (ctx.RunInWindow({"init", nlohmann::json::object()}) || !ctx.Load(Access::Change)) return;
        if (!ctx.startup.AllWritten() || ctx.startup.AnyLeftAlone()) ctx.exitCode = kExitFailed;
    });

    auto showOpt = std::make_shared<Options>();
    auto* show = app.add_subcommand("show", "print the current profile (or a given slot, or all)");
    auto* slotFlag = show->add_option("--slot", showOpt->slot, "profile slot 0-4")->check(CLI::Range(0, 4));
    show->add_flag("--all", showOpt->all, "every profile slot")->excludes(slotFlag);
    auto* jsonFlag = show->add_flag("--json", showOpt->json, "print JSON");
    show->add_flag("--raw", showOpt->raw, "print every stored field and the settings file's pairs as text")
        ->excludes(jsonFlag);
    show->callback([&ctx, showOpt] {
        if (!ctx.Load(Access::Read)) return;
        std::optional<int> slot;
        if (!showOpt->all) slot = showOpt->slot >= 0 ? showOpt->slot : ctx.model->GetCurrentProfile();
        // Printed also with a file left alone (as the defaults the load gave
        // it); the exit code says so. The pairs and the current slot come
        // from config.ini.
        unsigned uses = slot ? CliContext::UsedSlot(*slot) : CliContext::kUsesAllSlots;
        if (showOpt->slot < 0 || showOpt->json || showOpt->raw) uses |= CliContext::kUsesSettings;
        static_cast<void>(ctx.Uses(uses));
        if (!showOpt->json && !showOpt->raw) {
            for (int k = 0; k < kProfileCount; ++k) {
                if (slot && k != *slot) continue;
                if (!slot && k > 0) std::cout << "\n";
                PrintProfile(std::cout, *ctx.model, k);
            }
            return;
        }
        const json view = ModelJson(*ctx.model, slot);
        if (showOpt->json) {
            std::cout << view.dump(2) << "\n";
        } else {
            // The listing shows the sensor as the settings file writes it.
            json listing = view;
            listing["SensorId"] = ToUtf8(HexBlank4(ctx.model->SensorId));
            PrintText(std::cout, listing, 0);
        }
    });

    auto textOpt = std::make_shared<Options>();
    auto* text = app.add_subcommand("text", "print language string N");
    text->add_option("N", textOpt->index, "index 0-499")
        ->required()
        ->check(CLI::Range(0, LanguageTable::kSize - 1));
    text->callback([&ctx, textOpt] {
        if (!ctx.Load(Access::Read)) return;
        std::cout << ToUtf8(LanguageString(textOpt->index)) << "\n";
    });

    auto exportOpt = std::make_shared<Options>();
    auto* exp = app.add_subcommand("export", "write a profile slot to a profile file");
    exp->add_option("--slot", exportOpt->slot, "profile slot 0-4")->required()->check(CLI::Range(0, 4));
    exp->add_option("FILE", exportOpt->file, "profile file to write")->required();
    exp->callback([&ctx, exportOpt] {
        if (!ctx.Load(Access::Read) || !ctx.Uses(CliContext::UsedSlot(exportOpt->slot))) return;
        ctx.CheckSaved(ctx.model->ExportProfile(exportOpt->slot, exportOpt->file));
    });

    auto importOpt = std::make_shared<Options>();
    auto* imp = app.add_subcommand("import", "read a profile file into a profile slot");
    imp->add_option("--slot", importOpt->slot, "profile slot 0-4")->required()->check(CLI::Range(0, 4));
    imp->add_option("FILE", importOpt->file, "profile file to read")->required();
    imp->callback([&ctx, importOpt] {
        nlohmann::json args{{"slot", importOpt->slot}, {"file", importOpt->file}};
        nlohmann::json handed = args;
        handed["file"] = AbsolutePath(importOpt->file);
        if (ctx.RunInWindow({"import", handed}) || !ctx.Load(Access::Change)) return;
        CtlOutput out{ctx.exitCode, {}};
        RunImport(*ctx.model, args, out);
        ctx.Finish(out);
    });

    auto checkOpt = std::make_shared<Options>();
    auto* check =
        app.add_subcommand("check", std::string("validate a file of the data folder: ") + kKindsText);
    check->add_option("FILE", checkOpt->file, "file to validate")->required();
    check->callback([&ctx, checkOpt] {
        const FileKind* kind = KindOf(checkOpt->file);
        if (!kind) {
            std::cerr << "tarvikctl: " << checkOpt->file << ": unsupported file type; check knows "
                      << kKindsText << "\n";
            ctx.exitCode = kExitUsage;
            return;
        }
        const FileResult r = kind->check(checkOpt->file);
        std::cout << (r ? std::string("valid") : r.Describe()) << "\n";
        ctx.exitCode = r ? kExitOk : kExitFailed;
    });
}

RegisterCommands registerProfile(10, RegisterProfileCommands);

} // namespace

} // namespace tarvik::cli
