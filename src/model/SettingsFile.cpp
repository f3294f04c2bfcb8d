// config.ini: "[Setting]" and 17 positional name=value pairs.
#include "model/SettingsModel.h"
#include "text/Log.h"
#include "text/SettingLines.h"
#include "text/StdioFileEx.h"
#include "text/U16.h"

namespace tarvik {

namespace {

FileResult Damaged(int line, std::string reason) {
    return FileResult::Failure(FileError::Damaged, std::move(reason), line);
}

// Reads the header and up to 17 pairs. A pair needs a non-empty name and a
// non-empty value; a line after the 17th pair, or any line that is no pair,
// refuses the whole file.
FileResult ParseSettings(CStdioFileEx& f, std::array<ProfileSetting, kIniPairCount>& pairs, int& count) {
    count = 0;
    std::u16string s;
    const bool read = f.ReadLine(s);
    if (const char* problem = SettingHeaderProblem(read, s)) return Damaged(1, problem);
    int line = 1;
    while (f.ReadLine(s)) {
        ++line;
        if (count == kIniPairCount) return Damaged(line, "more than 17 pairs");
        std::size_t p;
        if (const char* problem = SplitPair(s, PairNeeds::NameAndValue, p)) return Damaged(line, problem);
        pairs[static_cast<std::size_t>(count)] = {s.substr(0, p), s.substr(p + 1)};
        ++count;
    }
    return {};
}

} // namespace

std::u16string FormatSettingsText(const std::array<ProfileSetting, kIniPairCount>& pairs) {
    std::u16string out(kSettingHeader);
    out += u'\n';
    for (const auto& pair : pairs) {
        out += pair.Name;
        out += u'=';
        out += pair.Value;
        out += u'\n';
    }
    return out;
}

FileResult ParseSettingsData(std::string_view bytes, std::array<ProfileSetting, kIniPairCount>& pairs,
                             int& pairCount) {
    CStdioFileEx f;
    f.OpenBuffer(bytes);
    return ParseSettings(f, pairs, pairCount);
}

FileResult CheckSettingsFile(const std::filesystem::path& path) {
    CStdioFileEx f;
    if (FileResult opened = OpenForReading(f, path); !opened) return opened;
    std::array<ProfileSetting, kIniPairCount> pairs{};
    int count = 0;
    return ParseSettings(f, pairs, count);
}

FileResult SettingsModel::ReadSettingsFile(const std::filesystem::path& path) {
    CStdioFileEx f;
    if (FileResult opened = OpenForReading(f, path); !opened) return opened;
    std::array<ProfileSetting, kIniPairCount> pairs{};
    int count = 0;
    FileResult r = ParseSettings(f, pairs, count);
    // Pairs the file does not reach keep what they held.
    if (r)
        for (int i = 0; i < count; ++i)
            Ini[static_cast<std::size_t>(i)] = std::move(pairs[static_cast<std::size_t>(i)]);
    return r;
}

FileResult SettingsModel::SaveSettingsFile() {
    return WriteUnicodeFile(SettingsPath(), FormatSettingsText(Ini), "settings file");
}

} // namespace tarvik
