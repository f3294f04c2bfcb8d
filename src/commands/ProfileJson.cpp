#include "commands/ProfileJson.h"

#include "text/Language.h"
#include "text/U16.h"

namespace tarvik::cli {

using ojson = nlohmann::ordered_json;

std::string HexText(std::span<const std::uint8_t> bytes, std::string_view separator) {
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i) text += separator;
        std::u16string digits;
        AppendHexBytes(digits, bytes.subspan(i, 1));
        text += ToUtf8(digits);
    }
    return text;
}

std::string ColourText(Colour c) {
    const std::uint8_t rgb[] = {Red(c), Green(c), Blue(c)};
    std::string text = "#";
    text += HexText(rgb);
    return text;
}

template <std::size_t N> ojson PairsJson(const std::array<ProfileSetting, N>& pairs) {
    ojson out = ojson::array();
    for (const auto& p : pairs) out.push_back({{"name", ToUtf8(p.Name)}, {"value", ToUtf8(p.Value)}});
    return out;
}
template ojson PairsJson(const std::array<ProfileSetting, kProfileSettingCount>&);
template ojson PairsJson(const std::array<ProfileSetting, kIniPairCount>&);

namespace {

template <typename T, std::size_t N> ojson Numbers(const std::array<T, N>& a) {
    ojson out = ojson::array();
    for (const auto& v : a) out.push_back(static_cast<std::uint32_t>(v));
    return out;
}

template <std::size_t N> ojson Colours(const std::array<Colour, N>& a) {
    ojson out = ojson::array();
    for (Colour c : a) out.push_back(ColourText(c));
    return out;
}

std::string ActionText(const KeyAction& a) {
    const std::uint8_t bytes[] = {a.Function, a.Data1, a.Data2};
    return HexText(bytes);
}

ojson MacroJson(const MacroKey& m) {
    ojson steps = ojson::array();
    for (std::size_t i = 0; i < m.ValidCount(); ++i) steps.push_back(HexText(m.AllAction[i].b));
    return {{"Name", ToUtf8(m.Name)},
            {"MacroActionNum", m.MacroActionNum},
            {"MacroKeyLoopType", m.MacroKeyLoopType},
            {"MacroKeyLoopNum", m.MacroKeyLoopNum},
            {"MacroCommandActionNum", m.MacroCommandActionNum},
            {"AllAction", steps}};
}

} // namespace

ojson RecordJson(const SettingsModel& model, int slot) {
    const ProfileRecord& r = model.Profiles[static_cast<std::size_t>(slot)];
    ojson keys = ojson::array();
    for (const KeySlot& k : r.Keys)
        keys.push_back({{"Name", ToUtf8(k.Name)},
                        {"Action", ActionText(k.Action)},
                        {"MacroKeyIndex", k.MacroKeyIndex},
                        {"Macro", MacroJson(k.Macro)}});
    ojson selected = ojson::array();
    for (const auto& effect : r.Lighting1ColorSelected) selected.push_back(Numbers(effect));
    ojson fixed = ojson::array();
    for (const auto& effect : r.Lighting1FixedColor) fixed.push_back(Colours(effect));
    ojson shown = ojson::array();
    for (int level = 0; level < kDpiLevels; ++level) shown.push_back(model.ShownDpi(slot, level));

    ojson j;
    j["Slot"] = slot;
    j["Settings"] = PairsJson(r.Settings);
    j["Keys"] = keys;
    j["PollingRateName"] = ToUtf8(r.PollingRateName);
    j["PollingRate"] = Numbers(r.PollingRate);
    j["Lighting1OffOn"] = r.Lighting1OffOn;
    j["Lighting1Name"] = ToUtf8(r.Lighting1Name);
    j["Lighting1Mode"] = Numbers(r.Lighting1Mode);
    j["Lighting1Speed"] = Numbers(r.Lighting1Speed);
    j["Lighting1Brightness"] = Numbers(r.Lighting1Brightness);
    j["Lighting1ColorSelected"] = selected;
    j["Lighting1FixedColor"] = fixed;
    j["Lighting1Direction"] = Numbers(r.Lighting1Direction);
    j["Lighting2OffOn"] = r.Lighting2OffOn;
    j["Lighting2Name"] = ToUtf8(r.Lighting2Name);
    j["Lighting2Mode"] = Numbers(r.Lighting2Mode);
    j["Lighting2Speed"] = r.Lighting2Speed;
    j["Lighting2Brightness"] = r.Lighting2Brightness;
    j["Lighting2FixedColor"] = ColourText(r.Lighting2FixedColor);
    j["DPIOffOnFlag"] = r.DPIOffOnFlag;
    j["XYSetting"] = Numbers(r.XYSetting);
    j["ShownDpi"] = shown;
    j["CurrentDPILevel"] = r.CurrentDPILevel;
    j["DPILevelIndication"] = Colours(r.DPILevelIndication);
    j["AngleSnap"] = r.AngleSnap;
    j["LiftDetection"] = r.LiftDetection;
    return j;
}

ojson ModelJson(const SettingsModel& model, std::optional<int> slot) {
    ojson showList = ojson::array();
    for (int i = 0; i < kProfileCount; ++i) showList.push_back(model.GetShowList(i));
    const LanguageTable& lang = Language();
    ojson profiles = ojson::array();
    if (slot) {
        profiles.push_back(RecordJson(model, *slot));
    } else {
        for (int k = 0; k < kProfileCount; ++k) profiles.push_back(RecordJson(model, k));
    }
    ojson j;
    j["SensorId"] = model.SensorId;
    j["DpiStepCount"] = model.DpiStepCount;
    j["CurrentProfile"] = model.GetCurrentProfile();
    j["ShowCount"] = model.GetShowCount();
    j["ShowList"] = showList;
    j["Settings"] = PairsJson(model.Ini);
    j["Language"] = {{"name", ToUtf8(lang.String(0))},
                     {"fontFace", ToUtf8(lang.Font().face)},
                     {"fontHeight", lang.Font().height},
                     {"charSet", lang.Font().charSet}};
    j["Profiles"] = profiles;
    return j;
}

} // namespace tarvik::cli
