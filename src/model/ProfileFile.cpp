// The profile file (.psf): one ProfileRecord as 93 positional lines. One table
// below lists the lines; the writer, the reader and the line labels of the
// messages all walk it. Numbers sit at fixed character positions after the
// first "=" of their line.
#include <iterator>
#include <string_view>

#include "model/SettingsStore.h"
#include "text/Log.h"
#include "text/SettingLines.h"
#include "text/StdioFileEx.h"
#include "text/U16.h"

namespace tarvik {

namespace {

using R = ProfileRecord;

// How the value of one line is written and read. `i` is the line's index in
// its row (the key number in a key block).
struct Codec {
    void (*write)(std::u16string& out, const R& r, int i);
    // `line` is the whole line, `p` its first "="; false (and why) when the
    // value is refused.
    bool (*read)(R& r, int i, std::u16string_view line, std::size_t p, std::string& why);
};

// One row of the layout: `count` lines that share a key text and a codec.
struct LineRow {
    // The text before "=", tabs included; '#' stands for first + index.
    // nullptr: the setting's own stored name.
    const char16_t* key;
    int first;
    int count;
    PairNeeds needs;
    Codec codec;
};

// ---- the value codecs

std::u16string_view After(std::u16string_view line, std::size_t p) {
    return line.substr(p + 1);
}
// The two hex digits at p + 1 + offset (missing digits read as 0).
std::uint8_t Pair(std::u16string_view line, std::size_t p, std::size_t offset) {
    return static_cast<std::uint8_t>(HexField(line, p + 1 + offset, 2));
}
void AppendRgb(std::u16string& out, Colour c) {
    const std::uint8_t rgb[] = {Red(c), Green(c), Blue(c)};
    AppendHexBytes(out, rgb);
}
Colour ReadRgb(std::u16string_view line, std::size_t p, std::size_t offset) {
    return Rgb(Pair(line, p, offset), Pair(line, p, offset + 2), Pair(line, p, offset + 4));
}

// The ten "|"-separated values of the speed, brightness and direction lines,
// read in sequence as "%2X|%2X|…": each value is one or two hex digits, so a
// hand-shortened "1|2" still gives 1 and 2. Reading stops at the first value
// that is missing or not followed by "|"; the remaining values read 0. For the
// written form (two digits each) this equals the fixed places p + 1 + 3j.
std::array<std::uint8_t, kEffects> ReadTen(std::u16string_view rest) {
    std::array<std::uint8_t, kEffects> v{};
    for (std::size_t j = 0; j < kEffects; ++j) {
        std::size_t digits = 0;
        while (digits < 2 && digits < rest.size() && HexDigitValue(rest[digits]) >= 0) ++digits;
        if (digits == 0) break;
        v[j] = static_cast<std::uint8_t>(HexField(rest, 0, digits));
        if (digits >= rest.size() || rest[digits] != u'|') break;
        rest.remove_prefix(digits + 1);
    }
    return v;
}
// "%.2X|" nine times and "%.2X" once.
void AppendTen(std::u16string& out, const std::array<std::uint8_t, kEffects>& v) {
    for (int j = 0; j < kEffects; ++j) {
        if (j) out += u'|';
        AppendHex(out, v[static_cast<std::size_t>(j)], 2);
    }
}

template <auto M> constexpr Codec Byte() {
    return {[](std::u16string& out, const R& r, int) { AppendHex(out, r.*M, 2); },
            [](R& r, int, std::u16string_view s, std::size_t p, std::string&) {
                r.*M = Pair(s, p, 0);
                return true;
            }};
}
template <auto M> constexpr Codec Bytes3() {
    return {[](std::u16string& out, const R& r, int) { AppendHexBytes(out, r.*M); },
            [](R& r, int, std::u16string_view s, std::size_t p, std::string&) {
                r.*M = {Pair(s, p, 0), Pair(s, p, 2), Pair(s, p, 4)};
                return true;
            }};
}
template <auto M> constexpr Codec Text() {
    return {[](std::u16string& out, const R& r, int) { out += r.*M; },
            [](R& r, int, std::u16string_view s, std::size_t p, std::string&) {
                r.*M = After(s, p);
                return true;
            }};
}
template <auto M> constexpr Codec Colour1() {
    return {[](std::u16string& out, const R& r, int) { AppendRgb(out, r.*M); },
            [](R& r, int, std::u16string_view s, std::size_t p, std::string&) {
                r.*M = ReadRgb(s, p, 0);
                return true;
            }};
}
template <auto M> constexpr Codec Ten() {
    return {[](std::u16string& out, const R& r, int) { AppendTen(out, r.*M); },
            [](R& r, int, std::u16string_view s, std::size_t p, std::string&) {
                r.*M = ReadTen(After(s, p));
                return true;
            }};
}

constexpr Codec kSetting = {[](std::u16string& out, const R& r, int i) {
                                const ProfileSetting& s = r.Settings[static_cast<std::size_t>(i)];
                                out += s.Name;
                                out += u'=';
                                out += s.Value;
                            },
                            [](R& r, int i, std::u16string_view s, std::size_t p, std::string&) {
                                r.Settings[static_cast<std::size_t>(i)] = {std::u16string(s.substr(0, p)),
                                                                           std::u16string(After(s, p))};
                                return true;
                            }};

constexpr Codec kXYSetting = {[](std::u16string& out, const R& r, int i) {
                                  AppendHex(out, r.XYSetting[static_cast<std::size_t>(i)], 4);
                              },
                              [](R& r, int i, std::u16string_view s, std::size_t p, std::string&) {
                                  r.XYSetting[static_cast<std::size_t>(i)] =
                                      static_cast<std::uint16_t>(HexField(s, p + 1, 4));
                                  return true;
                              }};

constexpr Codec kIndication = {[](std::u16string& out, const R& r, int i) {
                                   AppendRgb(out, r.DPILevelIndication[static_cast<std::size_t>(i)]);
                               },
                               [](R& r, int i, std::u16string_view s, std::size_t p, std::string&) {
                                   r.DPILevelIndication[static_cast<std::size_t>(i)] = ReadRgb(s, p, 0);
                                   return true;
                               }};

// A hundred values, effect by effect: "%.2X|" nine times and "%.2X;" once per effect.
constexpr Codec kColorSelected = {[](std::u16string& out, const R& r, int) {
                                      for (const auto& effect : r.Lighting1ColorSelected) {
                                          AppendTen(out, effect);
                                          out += u';';
                                      }
                                  },
                                  [](R& r, int, std::u16string_view s, std::size_t p, std::string&) {
                                      for (std::size_t n = 0; n < kEffects * kColourSlots; ++n)
                                          r.Lighting1ColorSelected[n / kColourSlots][n % kColourSlots] =
                                              Pair(s, p, 3 * n);
                                      return true;
                                  }};

// A hundred colours as red, green, blue: "|" between slots, ";" after each effect.
constexpr Codec kFixedColor = {[](std::u16string& out, const R& r, int) {
                                   for (const auto& effect : r.Lighting1FixedColor) {
                                       for (int c = 0; c < kColourSlots; ++c) {
                                           if (c) out += u'|';
                                           AppendRgb(out, effect[static_cast<std::size_t>(c)]);
                                       }
                                       out += u';';
                                   }
                               },
                               [](R& r, int, std::u16string_view s, std::size_t p, std::string&) {
                                   for (std::size_t n = 0; n < kEffects * kColourSlots; ++n)
                                       r.Lighting1FixedColor[n / kColourSlots][n % kColourSlots] =
                                           ReadRgb(s, p, 7 * n);
                                   return true;
                               }};

// ---- the key block: `i` is the key number

KeySlot& Key(R& r, int i) {
    return r.Keys[static_cast<std::size_t>(i)];
}
const KeySlot& Key(const R& r, int i) {
    return r.Keys[static_cast<std::size_t>(i)];
}

constexpr Codec kKeyName = {[](std::u16string& out, const R& r, int i) { out += Key(r, i).Name; },
                            [](R& r, int i, std::u16string_view s, std::size_t p, std::string&) {
                                Key(r, i).Name = After(s, p);
                                return true;
                            }};
constexpr Codec kKeyValue = {[](std::u16string& out, const R& r, int i) {
                                 const KeyAction& a = Key(r, i).Action;
                                 const std::uint8_t bytes[] = {a.Function, a.Data1, a.Data2};
                                 AppendHexBytes(out, bytes);
                             },
                             [](R& r, int i, std::u16string_view s, std::size_t p, std::string&) {
                                 Key(r, i).Action = {Pair(s, p, 0), Pair(s, p, 2), Pair(s, p, 4)};
                                 return true;
                             }};
constexpr Codec kKeyMacroIndex = {
    [](std::u16string& out, const R& r, int i) { out += Dec(Key(r, i).MacroKeyIndex); },
    [](R& r, int i, std::u16string_view s, std::size_t p, std::string&) {
        Key(r, i).MacroKeyIndex = static_cast<std::uint32_t>(ParseDec(After(s, p)));
        return true;
    }};
constexpr Codec kKeyMacroName = {[](std::u16string& out, const R& r, int i) { out += Key(r, i).Macro.Name; },
                                 [](R& r, int i, std::u16string_view s, std::size_t p, std::string&) {
                                     Key(r, i).Macro.Name = After(s, p);
                                     return true;
                                 }};
// The count is kept as read, also above the 336 slots; every user of the steps
// goes through MacroKey::ValidCount.
constexpr Codec kKeyStepCount = {
    [](std::u16string& out, const R& r, int i) { out += Dec(Key(r, i).Macro.MacroActionNum); },
    [](R& r, int i, std::u16string_view s, std::size_t p, std::string&) {
        Key(r, i).Macro.MacroActionNum = static_cast<std::uint32_t>(ParseDec(After(s, p)));
        return true;
    }};
constexpr Codec kKeySteps = {
    [](std::u16string& out, const R& r, int i) { AppendStepDigits(out, Key(r, i).Macro.AllAction); },
    [](R& r, int i, std::u16string_view s, std::size_t p, std::string& why) {
        const std::u16string_view digits = After(s, p);
        if (ReadStepDigits(digits, Key(r, i).Macro.AllAction)) return true;
        why = std::to_string(digits.size());
        why += " characters after \"=\" instead of 2688";
        return false;
    }};

// ---- the layout

using N = PairNeeds;

// Lines 2-57, after the "[Setting]" line.
constexpr LineRow kRecordRows[] = {
    {nullptr, 0, kProfileSettingCount, N::Name, kSetting},
    {u"DPIOffOnFlagValue", 0, 1, N::Name, Byte<&R::DPIOffOnFlag>()},
    {u"\tXYSetting#Value", 1, kDpiLevels, N::Name, kXYSetting},
    {u"\tCurrentDPILevelValue", 0, 1, N::Name, Byte<&R::CurrentDPILevel>()},
    {u"\tDPILevelIndication#Valuer", 0, kDpiLevels, N::Name, kIndication},
    {u"\tAngleSnapValue", 0, 1, N::Name, Byte<&R::AngleSnap>()},
    {u"\tLiftDetectionValue", 0, 1, N::Name, Byte<&R::LiftDetection>()},
    {u"PollingRateName", 0, 1, N::Name, Text<&R::PollingRateName>()},
    {u"\tPollingRateValue", 0, 1, N::Name, Bytes3<&R::PollingRate>()},
    {u"Lighting1Name", 0, 1, N::Name, Text<&R::Lighting1Name>()},
    {u"\tLighting1ModeValue", 0, 1, N::Name, Bytes3<&R::Lighting1Mode>()},
    {u"\tLighting1OffOn", 0, 1, N::Name, Byte<&R::Lighting1OffOn>()},
    {u"\tLighting1Speed", 0, 1, N::Name, Ten<&R::Lighting1Speed>()},
    {u"\tLighting1Brightness", 0, 1, N::Name, Ten<&R::Lighting1Brightness>()},
    {u"\tLighting1ColorSelected", 0, 1, N::Name, kColorSelected},
    {u"\tLighting1FixedColor", 0, 1, N::Name, kFixedColor},
    {u"\tLighting1Direction", 0, 1, N::Name, Ten<&R::Lighting1Direction>()},
    {u"Lighting2Name", 0, 1, N::Name, Text<&R::Lighting2Name>()},
    {u"\tLighting2ModeValue", 0, 1, N::Name, Bytes3<&R::Lighting2Mode>()},
    {u"\tLighting2OffOn", 0, 1, N::Name, Byte<&R::Lighting2OffOn>()},
    {u"\tLighting2Speed", 0, 1, N::Name, Byte<&R::Lighting2Speed>()},
    {u"\tLighting2Brightness", 0, 1, N::Name, Byte<&R::Lighting2Brightness>()},
    {u"\tLighting2FixedColor", 0, 1, N::Name, Colour1<&R::Lighting2FixedColor>()},
};

// Lines 58-93: this block once for each key 0-5, the key number as '#'.
constexpr LineRow kKeyRows[] = {
    {u"Key#Name", 0, 1, N::Name, kKeyName},
    {u"\tKey#Value", 0, 1, N::Name, kKeyValue},
    {u"\tMacroKeyIndex", 0, 1, N::Value, kKeyMacroIndex},
    {u"\tMacroKey#Name", 0, 1, N::Equals, kKeyMacroName},
    {u"\t\tMacroActionNum", 0, 1, N::Value, kKeyStepCount},
    {u"\t\tAllAction", 0, 1, N::Value, kKeySteps},
};

constexpr int LayoutLineCount() {
    int n = 1; // "[Setting]"
    for (const LineRow& row : kRecordRows) n += row.count;
    return n + kKeyCount * static_cast<int>(std::size(kKeyRows));
}
constexpr int kLineCount = LayoutLineCount();
static_assert(kLineCount == 93);

// Calls fn(row, index, lineNumber) for lines 2-93 in file order; stops when fn
// returns false, and then returns false.
template <typename Fn> bool ForEachLine(Fn&& fn) {
    int line = 1;
    for (const LineRow& row : kRecordRows)
        for (int i = 0; i < row.count; ++i)
            if (!fn(row, i, ++line)) return false;
    for (int k = 0; k < kKeyCount; ++k)
        for (const LineRow& row : kKeyRows)
            if (!fn(row, k, ++line)) return false;
    return true;
}

void AppendKey(std::u16string& out, const LineRow& row, int index) {
    for (const char16_t* c = row.key; *c; ++c) {
        if (*c == u'#')
            out += Dec(row.first + index);
        else
            out += *c;
    }
}

// The line's key text for messages: "header", "setting 3", "XYSetting1Value",
// "MacroKeyIndex of key 2".
std::string LineLabel(int line) {
    if (line == 1) return "header";
    std::string label = "line ";
    label += std::to_string(line);
    ForEachLine([&](const LineRow& row, int index, int at) {
        if (at != line) return true;
        if (!row.key) {
            label = "setting ";
            label += std::to_string(index);
            return false;
        }
        std::u16string key;
        AppendKey(key, row, index);
        const std::size_t start = key.find_first_not_of(u'\t');
        label = ToUtf8(std::u16string_view(key).substr(start == std::u16string::npos ? 0 : start));
        const bool inKeyBlock = line > kLineCount - kKeyCount * static_cast<int>(std::size(kKeyRows));
        if (inKeyBlock && std::u16string_view(row.key).find(u'#') == std::u16string_view::npos) {
            label += " of key ";
            label += std::to_string(index);
        }
        return false;
    });
    return label;
}

std::string NoSlot(int slot) {
    std::string reason = "no profile slot ";
    reason += std::to_string(slot);
    return reason;
}

// Reads the 93 lines into `r`, each field as its line is read; whatever
// follows the sixth key block is not read.
FileResult ParseProfile(CStdioFileEx& f, R& r) {
    std::u16string s;
    const bool read = f.ReadLine(s);
    if (const char* problem = SettingHeaderProblem(read, s)) return DamagedAt(1, problem);
    FileResult result;
    ForEachLine([&](const LineRow& row, int index, int line) {
        auto fail = [&](std::string_view why) {
            std::string reason = LineLabel(line);
            reason += ": ";
            reason += why;
            result = DamagedAt(line, std::move(reason));
            return false;
        };
        if (!f.ReadLine(s)) {
            std::string reason = "the file ends before ";
            reason += LineLabel(line);
            reason += " (93 lines expected)";
            result = DamagedAt(line, std::move(reason));
            return false;
        }
        std::size_t p;
        if (const char* problem = SplitPair(s, row.needs, p)) return fail(problem);
        std::string why;
        return row.codec.read(r, index, s, p, why) || fail(why);
    });
    return result;
}

} // namespace

std::u16string FormatProfileText(const ProfileRecord& r) {
    std::u16string out;
    out.reserve(20000);
    out += kSettingHeader;
    out += u'\n';
    ForEachLine([&](const LineRow& row, int index, int) {
        if (row.key) {
            AppendKey(out, row, index);
            out += u'=';
        }
        row.codec.write(out, r, index);
        out += u'\n';
        return true;
    });
    return out;
}

FileResult ParseProfileData(std::string_view bytes, ProfileRecord& record) {
    CStdioFileEx f;
    f.OpenBuffer(bytes);
    return ParseProfile(f, record);
}

FileResult ReadProfileRecord(const std::filesystem::path& path, ProfileRecord& record) {
    CStdioFileEx f;
    if (FileResult opened = OpenForReading(f, path, kMaxProfileFileBytes); !opened) return opened;
    return ParseProfile(f, record);
}

FileResult CheckProfileFile(const std::filesystem::path& path) {
    ProfileRecord record;
    return ReadProfileRecord(path, record);
}

namespace {

// Why the record's texts cannot be written so that the reader takes them back
// (a line break would split a line; a setting needs a name), or nullptr.
const char* RecordTextProblem(const ProfileRecord& r) {
    for (const ProfileSetting& s : r.Settings) {
        if (s.Name.empty()) return "a setting has an empty name";
        if (!FitsOnALine(s.Name) || !FitsOnALine(s.Value) || s.Name.find(u'=') != std::u16string::npos)
            return "a setting holds a line break or a name with \"=\"";
    }
    if (!FitsOnALine(r.PollingRateName) || !FitsOnALine(r.Lighting1Name) || !FitsOnALine(r.Lighting2Name))
        return "a name holds a line break";
    for (const KeySlot& k : r.Keys)
        if (!FitsOnALine(k.Name) || !FitsOnALine(k.Macro.Name))
            return "a button or macro name holds a line break";
    return nullptr;
}

} // namespace

FileResult SettingsStore::WriteProfileFile(const SettingsTables& tables, int slot,
                                           const std::filesystem::path& path) const {
    if (slot < 0 || slot >= kProfileCount) return FileResult::Failure(FileError::NotWritten, NoSlot(slot));
    if (path.empty()) return FileResult::Failure(FileError::NotWritten, "no file path");
    const ProfileRecord& record = tables.Profiles[static_cast<std::size_t>(slot)];
    for (int k = 0; k < kProfileCount; ++k) {
        const auto& left = profilesLeftAlone_[static_cast<std::size_t>(k)];
        if (!left || left->path != path) continue;
        if (k == slot && record == *left->loaded) return {}; // nothing to save, nothing lost
        return RefuseLeftAlone(*left, "profile file");
    }
    if (const char* problem = RecordTextProblem(record)) {
        std::string reason = "not written: ";
        reason += problem;
        std::string message = "profile file ";
        message += path.string();
        message += ": ";
        message += reason;
        ReportProblem(message);
        return FileResult::Failure(FileError::NotWritten, std::move(reason));
    }
    return WriteUnicodeFile(path, FormatProfileText(record), "profile file");
}

LoadOutcome SettingsStore::ReadProfileFile(SettingsTables& tables, int slot,
                                           const std::filesystem::path& path, bool quietWhenMissing) {
    LoadOutcome out;
    if (slot < 0 || slot >= kProfileCount) {
        out.state = LoadState::Missing;
        out.read = FileResult::Failure(FileError::Missing, NoSlot(slot));
        return out;
    }
    ProfileRecord& live = tables.Profiles[static_cast<std::size_t>(slot)];
    auto& leftAlone = profilesLeftAlone_[static_cast<std::size_t>(slot)];
    const std::filesystem::path own = SlotPath(tables, slot);
    if (path.empty()) {
        out.read = FileResult::Failure(FileError::Missing, "no file path for the slot in the settings file");
    } else {
        // Read into a copy so that the macro header fields the file does not
        // carry keep their values, and commit only a complete read.
        ProfileRecord record = live;
        out.read = ReadProfileRecord(path, record);
        if (out.read) live = std::move(record);
    }
    if (out.read) {
        if (path == own) leftAlone.reset();
        return out;
    }

    out.state = StateAfter(out.read);
    tables.ResetProfileToDefaults(slot);
    std::string message;
    if (path.empty()) {
        message = "profile slot ";
        message += std::to_string(slot);
        message += ": ";
    } else {
        message = "profile file ";
        message += path.string();
        message += ": ";
    }
    message += out.read.Describe();
    message += "; slot ";
    message += std::to_string(slot);
    message += " reset to defaults";

    // What becomes of the slot's own file: a missing one is written, a damaged
    // one replaced once a copy of it is kept, and one that cannot be read (or
    // not be copied) is left as it is.
    std::string leftAloneWhy;
    const bool ownFailed = path == own;
    if (ownFailed && out.state == LoadState::Unreadable) {
        leftAloneWhy = "it could not be read at start-up (";
        leftAloneWhy += out.read.reason;
        leftAloneWhy += ')';
        message += " in memory; the file is not saved over";
    } else if (!repairs_) {
        if (ownFailed && out.state == LoadState::Replaced) {
            out.state = LoadState::Kept;
            leftAloneWhy = "it is damaged and was not replaced: ";
            leftAloneWhy += noRepairs_;
        }
        message += " in memory; not written: ";
        message += noRepairs_;
    } else {
        Backup kept = KeepBackup(own, kMaxProfileFileBytes, UnicodeFileBytes(FormatProfileText(live)));
        if (!kept.result) {
            if (ownFailed) out.state = LoadState::Kept;
            leftAloneWhy = "it could not be replaced safely: ";
            leftAloneWhy += kept.result.reason;
            message += " in memory; ";
            message += own.string();
            message += ": ";
            message += kept.result.reason;
            message += ", so it is left as it is";
        } else {
            out.backup = kept.path;
            out.write = WriteProfileFile(tables, slot, own);
            if (!kept.path.empty()) {
                message += kept.moved ? ", previous file moved to " : ", previous file kept as ";
                message += kept.path.string();
            }
        }
    }
    if (!leftAloneWhy.empty())
        leftAlone = LeftAlone<ProfileRecord>{own, live, std::move(leftAloneWhy)};
    else if (out.write)
        leftAlone.reset();
    // On a first start no profile file is there yet: nothing to tell (a
    // reader that writes nothing has nothing to tell either).
    if (!(quietWhenMissing && ownFailed && out.state == LoadState::Missing && (out.write || !repairs_)))
        ReportProblem(message);
    return out;
}

} // namespace tarvik
