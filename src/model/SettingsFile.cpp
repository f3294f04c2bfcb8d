// config.ini: "[Setting]" and 17 positional name=value pairs.
#include "model/SettingsModel.h"
#include "text/Log.h"
#include "text/StdioFileEx.h"
#include "text/U16.h"

namespace tarvik {

namespace {

ReadResult Fail(int line, std::string reason) {
    return {false, line, std::move(reason)};
}

// Reads the header and up to 17 pairs. A pair needs a non-empty name and a
// non-empty value; a line after the 17th pair, or any line that is no pair,
// refuses the whole file.
ReadResult ParseSettings(CStdioFileEx& f, std::array<ProfileSetting, kIniPairCount>& pairs, int& count) {
    count = 0;
    std::u16string s;
    if (!f.ReadLine(s)) return Fail(1, "the file is empty");
    if (s != u"[Setting]") {
        if (s == u"[Setting]\r") return Fail(1, "not \"[Setting]\" (the line ends in a carriage return)");
        return Fail(1, "not \"[Setting]\"");
    }
    int line = 1;
    while (f.ReadLine(s)) {
        ++line;
        if (count == kIniPairCount) return Fail(line, "more than 17 pairs");
        const std::size_t p = s.find(u'=');
        if (p == std::u16string::npos) return Fail(line, "no \"=\"");
        if (p == 0) return Fail(line, "empty name before \"=\"");
        if (p + 1 >= s.size()) return Fail(line, "empty value after \"=\"");
        pairs[static_cast<std::size_t>(count)] = {s.substr(0, p), s.substr(p + 1)};
        ++count;
    }
    return {};
}

} // namespace

std::u16string FormatSettingsText(const std::array<ProfileSetting, kIniPairCount>& pairs) {
    std::u16string out = u"[Setting]\n";
    for (const auto& pair : pairs) {
        out += pair.Name;
        out += u'=';
        out += pair.Value;
        out += u'\n';
    }
    return out;
}

ReadResult ParseSettingsData(std::string_view bytes, std::array<ProfileSetting, kIniPairCount>& pairs,
                             int& pairCount) {
    CStdioFileEx f;
    f.OpenBuffer(bytes);
    return ParseSettings(f, pairs, pairCount);
}

ReadResult CheckSettingsFile(const std::filesystem::path& path) {
    CStdioFileEx f;
    if (!f.OpenTextFile(path, CStdioFileEx::kReadUnicode)) return Fail(0, "cannot be opened");
    std::array<ProfileSetting, kIniPairCount> pairs{};
    int count = 0;
    return ParseSettings(f, pairs, count);
}

ReadResult SettingsModel::ReadSettingsFile(const std::filesystem::path& path) {
    CStdioFileEx f;
    if (!f.OpenTextFile(path, CStdioFileEx::kReadUnicode)) return Fail(0, "cannot be opened");
    std::array<ProfileSetting, kIniPairCount> pairs{};
    int count = 0;
    ReadResult r = ParseSettings(f, pairs, count);
    // Pairs the file does not reach keep what they held.
    if (r)
        for (int i = 0; i < count; ++i)
            Ini[static_cast<std::size_t>(i)] = std::move(pairs[static_cast<std::size_t>(i)]);
    return r;
}

bool SettingsModel::SaveSettingsFile() {
    const std::filesystem::path path = SettingsPath();
    CStdioFileEx f;
    bool ok = f.OpenTextFile(path, CStdioFileEx::kWriteUnicode);
    if (ok) {
        f.WriteText(FormatSettingsText(Ini));
        ok = f.Close();
    }
    if (!ok) ReportProblem("settings file " + path.string() + ": cannot be written");
    return ok;
}

} // namespace tarvik
