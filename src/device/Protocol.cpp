#include "device/Protocol.h"

#include <bit>

#include "model/PollingRates.h"
#include "model/SettingsModel.h"
#include "text/U16.h"

namespace tarvik {

namespace {
std::int64_t SettingNumber(const ProfileRecord& rec, int index) {
    return ParseDec(rec.Settings[index].Value);
}
std::uint8_t SettingByte(const ProfileRecord& rec, int index) {
    return static_cast<std::uint8_t>(SettingNumber(rec, index));
}
void PutColour(std::uint8_t* at, Colour c) {
    at[0] = Red(c);
    at[1] = Green(c);
    at[2] = Blue(c);
}
} // namespace

std::uint8_t PollingCode(const ProfileRecord& rec) {
    return PollingRateAt(rec.PollingRate[0]).intervalMs;
}

std::uint8_t LiftOffCode(const ProfileRecord& rec) {
    return SettingNumber(rec, kSetLiftDetectionHeight) == 1 ? 1 : 2;
}

std::uint8_t DebounceValue(const ProfileRecord& rec) {
    return SettingByte(rec, kSetKeyDebounce);
}

PowerOptions PowerOptionBytes(const ProfileRecord& rec) {
    return {SettingByte(rec, kSetPowerDownTime), SettingByte(rec, kSetMoveLightingOnOffMode)};
}

std::uint8_t MotionWakeupValue(const ProfileRecord& rec) {
    return SettingByte(rec, kSetMotionWakeup);
}

DpiPage BuildDpiPage(const ProfileRecord& rec, std::span<const std::uint16_t> deviceCodes) {
    DpiPage page{};
    const int enabled = std::popcount(rec.DPIOffOnFlag);
    page[0] = static_cast<std::uint8_t>(((rec.CurrentDPILevel + 1) << 4) | (enabled & 0x0F));
    page[1] = rec.DPIOffOnFlag;
    for (int level = 0; level < 5; ++level) {
        const std::size_t index = rec.XYSetting[level];
        const std::uint16_t code = index < deviceCodes.size() ? deviceCodes[index] : 0;
        page[2 + 2 * level] = code & 0xFF;
        page[3 + 2 * level] = code >> 8;
    }
    return page;
}

DpiPage BuildDpiPage(const ProfileRecord& rec, const SettingsModel& model) {
    return BuildDpiPage(rec, model.DpiDeviceCode);
}

ColourBytes BuildColours(const ProfileRecord& rec) {
    ColourBytes out{};
    for (int level = 0; level < kDpiLevels; ++level)
        PutColour(&out[3 * level], rec.DPILevelIndication[level]);
    return out;
}

LightingPage BuildLightingPage(const ProfileRecord& rec) {
    LightingPage page{};
    const std::uint8_t m = rec.Lighting1Mode[0];
    page[1] = m;
    // Modes 10 and above have no per-effect settings; their page stays empty.
    if (m >= kEffects) return page;
    page[2] = static_cast<std::uint8_t>(((rec.Lighting1Brightness[m] + 1) << 4) |
                                        ((rec.Lighting1Speed[m] + 1) & 0x0F));
    const auto& selected = rec.Lighting1ColorSelected[m];
    const auto& colours = rec.Lighting1FixedColor[m];
    switch (m) {
    case 0:
    case 4:
    case 5:
    case 8:
    case 9:
        page[0] = 2;
        break;
    case 1:
        page[0] = 3;
        page[3] = rec.Lighting1Direction[1];
        break;
    case 2: {
        // Selected colours in slot order; black ones are left out and the rest close up.
        std::uint8_t n = 0;
        for (int slot = 0; slot < 7; ++slot) {
            if (selected[slot] && colours[slot] != 0) PutColour(&page[4 + 3 * n++], colours[slot]);
        }
        page[3] = n;
        page[0] = static_cast<std::uint8_t>(3 + 3 * n);
        break;
    }
    case 3:
        page[0] = 5;
        PutColour(&page[3], colours[0]);
        break;
    case 6:
        // Fixed positions: an unselected slot stays 0.
        page[0] = 23;
        for (int slot = 0; slot < 7; ++slot) {
            if (selected[slot]) PutColour(&page[3 + 3 * slot], colours[slot]);
        }
        break;
    case 7:
        page[0] = 8;
        if (selected[0]) PutColour(&page[3], colours[0]);
        if (selected[1]) PutColour(&page[6], colours[1]);
        break;
    }
    return page;
}

ParsedStatusReply ParseStatusReply(std::span<const std::uint8_t> bytes) {
    ParsedStatusReply out;
    if (bytes.size() < 20 || bytes[6] == 0) return out;
    if (bytes[2] != 0x20 || bytes[3] != 0x00) {
        out.kind = StatusReplyKind::Foreign;
        return out;
    }
    out.kind = StatusReplyKind::Answer;
    out.reply.sensorCode = bytes[15];
    out.reply.battery = bytes[18];
    switch (bytes[19]) {
    case 1:
        out.reply.charge = ChargeState::Charging;
        break;
    case 2:
        out.reply.charge = ChargeState::Full;
        out.reply.battery = 100;
        break;
    default:
        out.reply.charge = ChargeState::NotCharging;
        break;
    }
    return out;
}

std::optional<InputEvent> ParseInputReport(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 5) return std::nullopt;
    if (bytes[0] != kInputReportId || bytes[1] != kInputEventLevelOrRate) return std::nullopt;
    return InputEvent{bytes[3], bytes[4]};
}

std::uint8_t PollingIndexFromInterval(std::uint8_t interval) {
    return PollingRateOfInterval(interval).index;
}

std::u16string PollingRateName(std::uint8_t index) {
    return PollingRateAt(index).name;
}

int OsdSlot(std::uint8_t mask, int level) {
    if (level < 0 || level > 7) return 0;
    int seen = 0;
    for (int bit = 0; bit < 8; ++bit) {
        if (mask & (1u << bit)) {
            if (seen == level) return bit;
            ++seen;
        }
    }
    return 0;
}

OsdTexts MakeOsdTexts(const ProfileRecord& rec, int level, const SettingsModel& model) {
    OsdTexts out;
    const int slot = OsdSlot(rec.DPIOffOnFlag, level);
    out.title = "DPI-" + std::to_string(slot + 1);
    const std::size_t step = rec.XYSetting[slot];
    const std::uint32_t value = step < model.DpiStepTable.size() ? model.DpiStepTable[step] * 50 : 0;
    out.value = std::to_string(value);
    out.rate = std::to_string(PollingRateAt(rec.PollingRate[0]).hz);
    out.rate += "Hz";
    return out;
}

std::string BatteryText(int level) {
    return std::to_string(level) + "%";
}

} // namespace tarvik
