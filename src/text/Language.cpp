#include "text/Language.h"

#include <memory>

#include "text/SettingLines.h"
#include "text/StdioFileEx.h"
#include "text/U16.h"

namespace tarvik {

namespace {
const std::u16string kEmpty;
} // namespace

const std::u16string& LanguageTable::String(int i) const {
    if (i < 0 || i >= kSize) return kEmpty;
    return text_[static_cast<std::size_t>(i)];
}

void LanguageTable::Set(int i, std::u16string text) {
    if (i >= 0 && i < kSize) text_[static_cast<std::size_t>(i)] = std::move(text);
}

void LanguageTable::Clear() {
    for (auto& t : text_) t.clear();
    font_ = InterfaceFont{};
    code_.clear();
    file_.clear();
}

std::u16string LanguageTable::ReadSelector(CStdioFileEx& f) {
    std::u16string line;
    if (!f.ReadLine(line)) return {};
    if (line != u"[ChangeLanguage]") return line;
    std::u16string second;
    f.ReadLine(second);
    std::size_t p;
    return SplitPair(second, PairNeeds::NameAndValue, p) ? second : second.substr(p + 1);
}

std::u16string LanguageTable::SelectorCode(std::string_view fileBytes) {
    CStdioFileEx f;
    f.OpenBuffer(fileBytes);
    return ReadSelector(f);
}

FileResult LanguageTable::ReadLanguage(CStdioFileEx& f, double uiScale) {
    std::u16string line;
    const bool read = f.ReadLine(line);
    if (const char* problem = SettingHeaderProblem(read, line))
        return FileResult::Failure(FileError::Damaged, problem, 1);
    int lineNo = 1;
    while (f.ReadLine(line)) {
        ++lineNo;
        std::size_t p;
        if (const char* problem = SplitPair(line, PairNeeds::NameAndValue, p)) {
            std::string reason = problem;
            reason += "; the rest of the file is ignored";
            return FileResult::Failure(FileError::Damaged, std::move(reason), lineNo);
        }
        std::int64_t index = ParseDec(std::u16string_view(line).substr(0, p));
        if (index < 0 || index >= kSize) continue; // outside the table: ignored
        text_[static_cast<std::size_t>(index)] = line.substr(p + 1);
    }
    if (text_[0] == u"中文") {
        font_ = {u"宋体", static_cast<int>(12 * uiScale), 134};
    } else {
        font_ = {u"Tahoma", static_cast<int>(16 * uiScale), 1};
    }
    return {};
}

bool LanguageTable::LoadText(std::string_view fileBytes, double uiScale) {
    CStdioFileEx f;
    f.OpenBuffer(fileBytes);
    return ReadLanguage(f, uiScale).ok();
}

FileResult LanguageTable::Load(const std::filesystem::path& configDir, double uiScale) {
    code_.clear();
    {
        CStdioFileEx sel;
        if (sel.OpenTextFile(configDir / "LanSetting.ini", CStdioFileEx::kReadUnicode))
            code_ = ReadSelector(sel);
    }
    return LoadFile(configDir / (code_ == u"EN" ? "Lan_EN.txt" : "Lan.txt"), uiScale);
}

FileResult LanguageTable::LoadFile(const std::filesystem::path& file, double uiScale) {
    file_ = file;
    CStdioFileEx f;
    if (FileResult opened = OpenForReading(f, file_); !opened) return opened;
    return ReadLanguage(f, uiScale);
}

FileResult CheckLanguageFile(const std::filesystem::path& path) {
    auto scratch = std::make_unique<LanguageTable>();
    return scratch->LoadFile(path);
}

FileResult CheckLanguageSelector(const std::filesystem::path& path) {
    CStdioFileEx f;
    if (FileResult opened = OpenForReading(f, path); !opened) return opened;
    std::u16string line;
    if (!f.ReadLine(line) || line != u"[ChangeLanguage]")
        return FileResult::Failure(FileError::Damaged, "not \"[ChangeLanguage]\"", 1);
    if (!f.ReadLine(line))
        return FileResult::Failure(FileError::Damaged, "the file ends before the language line", 2);
    std::size_t p;
    if (const char* problem = SplitPair(line, PairNeeds::NameAndValue, p))
        return FileResult::Failure(FileError::Damaged, problem, 2);
    return {};
}

LanguageTable& Language() {
    static LanguageTable table;
    return table;
}

FileResult LoadLanguage(const std::filesystem::path& configDir, double uiScale) {
    return Language().Load(configDir, uiScale);
}

} // namespace tarvik
