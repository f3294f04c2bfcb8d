// config.ini: "[Setting]" and 17 positional name=value pairs.
#include "model/SettingsStore.h"
#include "text/Log.h"
#include "text/SettingLines.h"
#include "text/StdioFileEx.h"
#include "text/U16.h"

namespace tarvik {

namespace {

// Reads the header and the 17 pairs. A pair needs a non-empty name and a
// non-empty value; a line after the 17th pair, any line that is no pair, or a
// file that ends before the 17th pair refuses the whole file: what the reader
// accepts, the writer writes back unchanged.
FileResult ParseSettings(CStdioFileEx& f, SettingsPairs& pairs, int& count) {
    count = 0;
    std::u16string s;
    const bool read = f.ReadLine(s);
    if (const char* problem = SettingHeaderProblem(read, s)) return DamagedAt(1, problem);
    int line = 1;
    while (f.ReadLine(s)) {
        ++line;
        if (count == kIniPairCount) return DamagedAt(line, "more than 17 pairs");
        std::size_t p;
        if (const char* problem = SplitPair(s, PairNeeds::NameAndValue, p)) return DamagedAt(line, problem);
        pairs[static_cast<std::size_t>(count)] = {s.substr(0, p), s.substr(p + 1)};
        ++count;
    }
    if (count < kIniPairCount) {
        std::string reason = "the file ends after ";
        reason += std::to_string(count);
        reason += count == 1 ? " pair" : " pairs";
        reason += "; 17 are needed";
        return DamagedAt(line + 1, std::move(reason));
    }
    return {};
}

// Why the pairs cannot be written so that the reader takes them back, or nullptr.
const char* PairsProblem(const SettingsPairs& pairs) {
    for (const auto& pair : pairs) {
        if (pair.Name.empty() || pair.Value.empty()) return "a pair has an empty name or value";
        if (!FitsOnALine(pair.Name) || !FitsOnALine(pair.Value)) return "a pair holds a line break";
        if (pair.Name.find(u'=') != std::u16string::npos) return "a name holds \"=\"";
    }
    return nullptr;
}

} // namespace

std::u16string FormatSettingsText(const SettingsPairs& pairs) {
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

FileResult ParseSettingsData(std::string_view bytes, SettingsPairs& pairs, int& pairCount) {
    CStdioFileEx f;
    f.OpenBuffer(bytes);
    return ParseSettings(f, pairs, pairCount);
}

FileResult CheckSettingsFile(const std::filesystem::path& path) {
    CStdioFileEx f;
    if (FileResult opened = OpenForReading(f, path, kMaxSettingsFileBytes); !opened) return opened;
    SettingsPairs pairs{};
    int count = 0;
    return ParseSettings(f, pairs, count);
}

FileResult SettingsStore::ReadSettingsFile(const std::filesystem::path& path, SettingsPairs& into) const {
    CStdioFileEx f;
    if (FileResult opened = OpenForReading(f, path, kMaxSettingsFileBytes); !opened) return opened;
    SettingsPairs pairs{};
    int count = 0;
    FileResult r = ParseSettings(f, pairs, count);
    // Pairs the file does not reach keep what they held.
    if (r)
        for (int i = 0; i < count; ++i)
            into[static_cast<std::size_t>(i)] = std::move(pairs[static_cast<std::size_t>(i)]);
    return r;
}

FileResult SettingsStore::SaveSettingsFile(const SettingsPairs& pairs) const {
    if (settingsLeftAlone_) {
        if (pairs == *settingsLeftAlone_->loaded) return {};
        return RefuseLeftAlone(*settingsLeftAlone_, "settings file");
    }
    if (const char* problem = PairsProblem(pairs)) {
        std::string reason = "not written: ";
        reason += problem;
        std::string message = "settings file ";
        message += SettingsPath().string();
        message += ": ";
        message += reason;
        ReportProblem(message);
        return FileResult::Failure(FileError::NotWritten, std::move(reason));
    }
    return WriteUnicodeFile(SettingsPath(), FormatSettingsText(pairs), "settings file");
}

} // namespace tarvik
