#include "text/Language.h"

#include "text/StdioFileEx.h"
#include "text/U16.h"

namespace tarvik {

namespace {
const std::u16string kEmpty;

// A key=value line is valid when the name and the value are both non-empty.
bool SplitPair(const std::u16string& line, std::size_t& p) {
    p = line.find(u'=');
    return p != std::u16string::npos && p >= 1 && p + 1 < line.size();
}
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
    problem_.clear();
}

std::u16string LanguageTable::ReadSelector(CStdioFileEx& f) {
    std::u16string line;
    if (!f.ReadLine(line)) return {};
    if (line != u"[ChangeLanguage]") return line;
    std::u16string second;
    f.ReadLine(second);
    std::size_t p;
    return SplitPair(second, p) ? second.substr(p + 1) : second;
}

std::u16string LanguageTable::SelectorCode(std::string_view fileBytes) {
    CStdioFileEx f;
    f.OpenBuffer(fileBytes);
    return ReadSelector(f);
}

bool LanguageTable::ReadLanguage(CStdioFileEx& f, double uiScale) {
    const std::string name = "language file " + file_.string();
    std::u16string line;
    if (!f.ReadLine(line) || line != u"[Setting]") {
        problem_ = name + ": line 1: not \"[Setting]\"";
        return false;
    }
    int lineNo = 1;
    while (f.ReadLine(line)) {
        ++lineNo;
        std::size_t p;
        if (!SplitPair(line, p)) {
            problem_ = name + ": line " + std::to_string(lineNo) +
                       ": no \"index=text\"; the rest of the file is ignored";
            return false;
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
    return true;
}

bool LanguageTable::LoadText(std::string_view fileBytes, double uiScale) {
    problem_.clear();
    CStdioFileEx f;
    f.OpenBuffer(fileBytes);
    return ReadLanguage(f, uiScale);
}

bool LanguageTable::Load(const std::filesystem::path& configDir, double uiScale) {
    problem_.clear();
    code_.clear();
    {
        CStdioFileEx sel;
        if (sel.OpenTextFile(configDir / "LanSetting.ini", CStdioFileEx::kReadUnicode))
            code_ = ReadSelector(sel);
    }
    file_ = configDir / (code_ == u"EN" ? "Lan_EN.txt" : "Lan.txt");

    CStdioFileEx f;
    if (!f.OpenTextFile(file_, CStdioFileEx::kReadUnicode)) {
        problem_ = "language file " + file_.string() + ": cannot be opened";
        return false;
    }
    return ReadLanguage(f, uiScale);
}

LanguageTable& Language() {
    static LanguageTable table;
    return table;
}

bool LoadLanguage(const std::filesystem::path& configDir, double uiScale) {
    return Language().Load(configDir, uiScale);
}

} // namespace tarvik
