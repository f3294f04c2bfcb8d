// The profile file (.psf): one ProfileRecord as 93 positional lines. Numbers sit
// at fixed character positions after the first "=" of their line.
#include "model/SettingsModel.h"
#include "text/Log.h"
#include "text/StdioFileEx.h"
#include "text/U16.h"

namespace tarvik {

namespace {

constexpr std::size_t kAllActionDigits = MacroKey::kMaxActions * 8; // 2688
constexpr int kFirstKeyLine = 58;
constexpr int kLinesPerKey = 6;
constexpr int kLineCount = kFirstKeyLine + kKeyCount * kLinesPerKey - 1; // 93

// ---------------------------------------------------------------- writing

constexpr char16_t kDigits[] = u"0123456789ABCDEF";

// "%.2X" of a byte, "%.4X" of a 16-bit value.
void Hex2(std::u16string& out, unsigned v) {
    out += kDigits[(v >> 4) & 0xF];
    out += kDigits[v & 0xF];
}
void Hex4(std::u16string& out, unsigned v) {
    Hex2(out, (v >> 8) & 0xFF);
    Hex2(out, v & 0xFF);
}
void Rgb6(std::u16string& out, Colour c) {
    Hex2(out, Red(c));
    Hex2(out, Green(c));
    Hex2(out, Blue(c));
}
void Bytes3(std::u16string& out, const std::array<std::uint8_t, 3>& b) {
    Hex2(out, b[0]);
    Hex2(out, b[1]);
    Hex2(out, b[2]);
}
// Ten bytes as "%.2X|" nine times and "%.2X" once.
void Ten(std::u16string& out, const std::array<std::uint8_t, kEffects>& v) {
    for (int j = 0; j < kEffects; ++j) {
        if (j) out += u'|';
        Hex2(out, v[static_cast<std::size_t>(j)]);
    }
}

} // namespace

std::u16string FormatProfileText(const ProfileRecord& r) {
    std::u16string out;
    out.reserve(20000);
    out += u"[Setting]\n";
    for (const auto& s : r.Settings) {
        out += s.Name;
        out += u'=';
        out += s.Value;
        out += u'\n';
    }
    out += u"DPIOffOnFlagValue=";
    Hex2(out, r.DPIOffOnFlag);
    out += u'\n';
    for (int d = 0; d < kDpiLevels; ++d) {
        out += u"\tXYSetting" + Dec(d + 1) + u"Value=";
        Hex4(out, r.XYSetting[static_cast<std::size_t>(d)]);
        out += u'\n';
    }
    out += u"\tCurrentDPILevelValue=";
    Hex2(out, r.CurrentDPILevel);
    out += u'\n';
    for (int d = 0; d < kDpiLevels; ++d) {
        out += u"\tDPILevelIndication" + Dec(d) + u"Valuer=";
        Rgb6(out, r.DPILevelIndication[static_cast<std::size_t>(d)]);
        out += u'\n';
    }
    out += u"\tAngleSnapValue=";
    Hex2(out, r.AngleSnap);
    out += u"\n\tLiftDetectionValue=";
    Hex2(out, r.LiftDetection);
    out += u"\nPollingRateName=" + r.PollingRateName;
    out += u"\n\tPollingRateValue=";
    Bytes3(out, r.PollingRate);
    out += u"\nLighting1Name=" + r.Lighting1Name;
    out += u"\n\tLighting1ModeValue=";
    Bytes3(out, r.Lighting1Mode);
    out += u"\n\tLighting1OffOn=";
    Hex2(out, r.Lighting1OffOn);
    out += u"\n\tLighting1Speed=";
    Ten(out, r.Lighting1Speed);
    out += u"\n\tLighting1Brightness=";
    Ten(out, r.Lighting1Brightness);
    out += u"\n\tLighting1ColorSelected=";
    for (const auto& effect : r.Lighting1ColorSelected) {
        Ten(out, effect);
        out += u';';
    }
    out += u"\n\tLighting1FixedColor=";
    for (const auto& effect : r.Lighting1FixedColor) {
        for (int c = 0; c < kColourSlots; ++c) {
            if (c) out += u'|';
            Rgb6(out, effect[static_cast<std::size_t>(c)]);
        }
        out += u';';
    }
    out += u"\n\tLighting1Direction=";
    Ten(out, r.Lighting1Direction);
    out += u"\nLighting2Name=" + r.Lighting2Name;
    out += u"\n\tLighting2ModeValue=";
    Bytes3(out, r.Lighting2Mode);
    out += u"\n\tLighting2OffOn=";
    Hex2(out, r.Lighting2OffOn);
    out += u"\n\tLighting2Speed=";
    Hex2(out, r.Lighting2Speed);
    out += u"\n\tLighting2Brightness=";
    Hex2(out, r.Lighting2Brightness);
    out += u"\n\tLighting2FixedColor=";
    Rgb6(out, r.Lighting2FixedColor);
    out += u'\n';
    for (int k = 0; k < kKeyCount; ++k) {
        const KeySlot& key = r.Keys[static_cast<std::size_t>(k)];
        const std::u16string n = Dec(k);
        out += u"Key" + n + u"Name=" + key.Name;
        out += u"\n\tKey" + n + u"Value=";
        Hex2(out, key.Action.Function);
        Hex2(out, key.Action.Data1);
        Hex2(out, key.Action.Data2);
        out += u"\n\tMacroKeyIndex=" + Dec(key.MacroKeyIndex);
        out += u"\n\tMacroKey" + n + u"Name=" + key.Macro.Name;
        out += u"\n\t\tMacroActionNum=" + Dec(key.Macro.MacroActionNum);
        out += u"\n\t\tAllAction=";
        for (const MacroAction& a : key.Macro.AllAction)
            for (std::uint8_t b : a.b) Hex2(out, b);
        out += u'\n';
    }
    return out;
}

// ---------------------------------------------------------------- reading

namespace {

// What a line needs around its first "=" (p), with n the line length:
enum class Needs {
    Name,   // 1 <= p <= n - 1: a non-empty name, the value may be empty
    Value,  // 0 <= p < n - 1: a non-empty value
    Equals, // 0 <= p <= n - 1: an "=" anywhere
};

// The writer's key text of a line, for messages.
std::string LineLabel(int line) {
    static const char* const kFixed[] = {
        "DPIOffOnFlagValue",
        "XYSetting1Value",
        "XYSetting2Value",
        "XYSetting3Value",
        "XYSetting4Value",
        "XYSetting5Value",
        "XYSetting6Value",
        "XYSetting7Value",
        "XYSetting8Value",
        "CurrentDPILevelValue",
        "DPILevelIndication0Valuer",
        "DPILevelIndication1Valuer",
        "DPILevelIndication2Valuer",
        "DPILevelIndication3Valuer",
        "DPILevelIndication4Valuer",
        "DPILevelIndication5Valuer",
        "DPILevelIndication6Valuer",
        "DPILevelIndication7Valuer",
        "AngleSnapValue",
        "LiftDetectionValue",
        "PollingRateName",
        "PollingRateValue",
        "Lighting1Name",
        "Lighting1ModeValue",
        "Lighting1OffOn",
        "Lighting1Speed",
        "Lighting1Brightness",
        "Lighting1ColorSelected",
        "Lighting1FixedColor",
        "Lighting1Direction",
        "Lighting2Name",
        "Lighting2ModeValue",
        "Lighting2OffOn",
        "Lighting2Speed",
        "Lighting2Brightness",
        "Lighting2FixedColor",
    };
    if (line == 1) return "header";
    if (line >= 2 && line <= 21) return "setting " + std::to_string(line - 2);
    if (line >= 22 && line < kFirstKeyLine) return kFixed[line - 22];
    if (line >= kFirstKeyLine && line <= kLineCount) {
        const int k = (line - kFirstKeyLine) / kLinesPerKey;
        const std::string n = std::to_string(k);
        switch ((line - kFirstKeyLine) % kLinesPerKey) {
        case 0:
            return "Key" + n + "Name";
        case 1:
            return "Key" + n + "Value";
        case 2:
            return "MacroKeyIndex of key " + n;
        case 3:
            return "MacroKey" + n + "Name";
        case 4:
            return "MacroActionNum of key " + n;
        default:
            return "AllAction of key " + n;
        }
    }
    return "line " + std::to_string(line);
}

class ProfileParser {
public:
    explicit ProfileParser(CStdioFileEx& f) : f_(f) {}

    ReadResult Run(ProfileRecord& r) {
        if (!f_.ReadLine(s_)) return Fail(1, "the file is empty");
        line_ = 1;
        if (s_ != u"[Setting]") {
            if (s_ == u"[Setting]\r")
                return Fail(1, "not \"[Setting]\" (the line ends in a carriage return)");
            return Fail(1, "not \"[Setting]\"");
        }
        for (auto& setting : r.Settings) {
            if (!Next(Needs::Name)) return result_;
            setting = {s_.substr(0, p_), s_.substr(p_ + 1)};
        }
        if (!Next(Needs::Name)) return result_;
        r.DPIOffOnFlag = Byte(0);
        for (auto& xy : r.XYSetting) {
            if (!Next(Needs::Name)) return result_;
            xy = static_cast<std::uint16_t>(HexField(s_, p_ + 1, 4));
        }
        if (!Next(Needs::Name)) return result_;
        r.CurrentDPILevel = Byte(0);
        for (auto& colour : r.DPILevelIndication) {
            if (!Next(Needs::Name)) return result_;
            colour = Rgb3();
        }
        if (!Next(Needs::Name)) return result_;
        r.AngleSnap = Byte(0);
        if (!Next(Needs::Name)) return result_;
        r.LiftDetection = Byte(0);
        if (!Next(Needs::Name)) return result_;
        r.PollingRateName = s_.substr(p_ + 1);
        if (!Next(Needs::Name)) return result_;
        r.PollingRate = Bytes3();
        if (!Next(Needs::Name)) return result_;
        r.Lighting1Name = s_.substr(p_ + 1);
        if (!Next(Needs::Name)) return result_;
        r.Lighting1Mode = Bytes3();
        if (!Next(Needs::Name)) return result_;
        r.Lighting1OffOn = Byte(0);
        if (!Next(Needs::Name)) return result_;
        r.Lighting1Speed = Ten();
        if (!Next(Needs::Name)) return result_;
        r.Lighting1Brightness = Ten();
        if (!Next(Needs::Name)) return result_;
        for (std::size_t n = 0; n < kEffects * kColourSlots; ++n)
            r.Lighting1ColorSelected[n / kColourSlots][n % kColourSlots] = Byte(3 * n);
        if (!Next(Needs::Name)) return result_;
        for (std::size_t n = 0; n < kEffects * kColourSlots; ++n)
            r.Lighting1FixedColor[n / kColourSlots][n % kColourSlots] =
                Rgb(Byte(7 * n), Byte(7 * n + 2), Byte(7 * n + 4));
        if (!Next(Needs::Name)) return result_;
        r.Lighting1Direction = Ten();
        if (!Next(Needs::Name)) return result_;
        r.Lighting2Name = s_.substr(p_ + 1);
        if (!Next(Needs::Name)) return result_;
        r.Lighting2Mode = Bytes3();
        if (!Next(Needs::Name)) return result_;
        r.Lighting2OffOn = Byte(0);
        if (!Next(Needs::Name)) return result_;
        r.Lighting2Speed = Byte(0);
        if (!Next(Needs::Name)) return result_;
        r.Lighting2Brightness = Byte(0);
        if (!Next(Needs::Name)) return result_;
        r.Lighting2FixedColor = Rgb3();

        for (KeySlot& key : r.Keys) {
            if (!Next(Needs::Name)) return result_;
            key.Name = s_.substr(p_ + 1);
            if (!Next(Needs::Name)) return result_;
            const auto action = Bytes3();
            key.Action = {action[0], action[1], action[2]};
            if (!Next(Needs::Value)) return result_;
            key.MacroKeyIndex = static_cast<std::uint32_t>(ParseDec(After()));
            if (!Next(Needs::Equals)) return result_;
            key.Macro.Name = s_.substr(p_ + 1);
            // The count is kept as read, also above the 336 slots; every user of
            // the steps goes through MacroKey::ValidCount.
            if (!Next(Needs::Value)) return result_;
            key.Macro.MacroActionNum = static_cast<std::uint32_t>(ParseDec(After()));
            if (!Next(Needs::Value)) return result_;
            const std::u16string_view digits = After();
            if (digits.size() != kAllActionDigits)
                return Fail(line_, LineLabel(line_) + ": " + std::to_string(digits.size()) +
                                       " characters after \"=\" instead of 2688");
            for (std::size_t n = 0; n < MacroKey::kMaxActions; ++n)
                for (std::size_t b = 0; b < 4; ++b)
                    key.Macro.AllAction[n].b[b] =
                        static_cast<std::uint8_t>(HexField(digits, 8 * n + 2 * b, 2));
        }
        // Whatever follows the sixth key block is not read.
        return {};
    }

private:
    ReadResult Fail(int line, std::string reason) {
        result_ = {false, line, std::move(reason)};
        return result_;
    }

    bool Next(Needs needs) {
        ++line_;
        if (!f_.ReadLine(s_)) {
            Fail(line_, "the file ends before " + LineLabel(line_) + " (93 lines expected)");
            return false;
        }
        p_ = s_.find(u'=');
        if (p_ == std::u16string::npos) {
            Fail(line_, LineLabel(line_) + ": no \"=\"");
            return false;
        }
        if (needs == Needs::Name && p_ == 0) {
            Fail(line_, LineLabel(line_) + ": empty name before \"=\"");
            return false;
        }
        if (needs == Needs::Value && p_ + 1 >= s_.size()) {
            Fail(line_, LineLabel(line_) + ": empty value after \"=\"");
            return false;
        }
        return true;
    }

    std::u16string_view After() const { return std::u16string_view(s_).substr(p_ + 1); }
    // The two hex digits at p + 1 + offset (missing digits read as 0).
    std::uint8_t Byte(std::size_t offset) const {
        return static_cast<std::uint8_t>(HexField(s_, p_ + 1 + offset, 2));
    }
    std::array<std::uint8_t, 3> Bytes3() const { return {Byte(0), Byte(2), Byte(4)}; }
    Colour Rgb3() const { return Rgb(Byte(0), Byte(2), Byte(4)); }
    // The ten "|"-separated values of the speed, brightness and direction lines,
    // read in sequence as "%2X|%2X|…": each value is one or two hex digits, so a
    // hand-shortened "1|2" still gives 1 and 2. Reading stops at the first value
    // that is missing or not followed by "|"; the remaining values read 0. For the
    // written form (two digits each) this equals the fixed places p + 1 + 3j.
    std::array<std::uint8_t, kEffects> Ten() const {
        std::array<std::uint8_t, kEffects> v{};
        std::u16string_view rest = After();
        for (std::size_t j = 0; j < kEffects; ++j) {
            std::size_t digits = 0;
            while (digits < 2 && digits < rest.size() && IsHexDigit(rest[digits])) ++digits;
            if (digits == 0) break;
            v[j] = static_cast<std::uint8_t>(HexField(rest, 0, digits));
            if (digits >= rest.size() || rest[digits] != u'|') break;
            rest.remove_prefix(digits + 1);
        }
        return v;
    }
    static bool IsHexDigit(char16_t c) {
        return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
    }

    CStdioFileEx& f_;
    std::u16string s_;
    std::size_t p_ = 0;
    int line_ = 0;
    ReadResult result_;
};

} // namespace

ReadResult ParseProfileData(std::string_view bytes, ProfileRecord& record) {
    CStdioFileEx f;
    f.OpenBuffer(bytes);
    return ProfileParser(f).Run(record);
}

ReadResult CheckProfileFile(const std::filesystem::path& path) {
    CStdioFileEx f;
    if (!f.OpenTextFile(path, CStdioFileEx::kReadUnicode)) return {false, 0, "cannot be opened"};
    ProfileRecord record;
    return ProfileParser(f).Run(record);
}

bool SettingsModel::WriteProfileFile(int slot, const std::filesystem::path& path) const {
    // A slot without a path (a settings file that names none) writes nothing.
    if (slot < 0 || slot >= kProfileCount || path.empty()) return false;
    CStdioFileEx f;
    bool ok = f.OpenTextFile(path, CStdioFileEx::kWriteUnicode);
    if (ok) {
        f.WriteText(FormatProfileText(Profiles[static_cast<std::size_t>(slot)]));
        ok = f.Close();
    }
    if (!ok) ReportProblem("profile file " + path.string() + ": cannot be written");
    return ok;
}

ReadResult SettingsModel::ReadProfileFile(int slot, const std::filesystem::path& path) {
    if (slot < 0 || slot >= kProfileCount) return {false, 0, "no profile slot " + std::to_string(slot)};
    ProfileRecord& live = Profiles[static_cast<std::size_t>(slot)];
    ReadResult r;
    if (path.empty()) {
        r = {false, 0, "no file path for the slot in the settings file"};
    } else {
        CStdioFileEx f;
        if (!f.OpenTextFile(path, CStdioFileEx::kReadUnicode)) {
            r = {false, 0, "cannot be opened"};
        } else {
            // Read into a copy so that the macro header fields the file does not
            // carry keep their values, and commit only a complete read.
            ProfileRecord record = live;
            r = ProfileParser(f).Run(record);
            if (r) live = std::move(record);
        }
    }
    if (r) return r;

    ResetProfileToDefaults(slot);
    const std::filesystem::path own = GetSlotPath(slot);
    const std::filesystem::path bak = KeepBackup(own);
    WriteProfileFile(slot, own);
    std::string message =
        path.empty() ? "profile slot " + std::to_string(slot) + ": " : "profile file " + path.string() + ": ";
    if (r.line > 0) message += "line " + std::to_string(r.line) + ": ";
    message +=
        r.reason + (path.empty() ? "; " : "; slot " + std::to_string(slot) + " ") + "reset to defaults";
    if (!bak.empty()) message += ", previous file kept as " + bak.string();
    ReportProblem(message);
    return r;
}

} // namespace tarvik
