#include "device/ReportCache.h"

#include <algorithm>

namespace tarvik {

namespace {

using Codes = std::span<const std::uint16_t>;

template <std::size_t N> SettingsImage ImageOf(const std::array<std::uint8_t, N>& bytes) {
    static_assert(N <= std::tuple_size_v<SettingsImage>);
    SettingsImage image{};
    std::copy(bytes.begin(), bytes.end(), image.begin());
    return image;
}

SettingsImage DpiImage(const ProfileRecord& rec, Codes codes) {
    return ImageOf(BuildDpiPage(rec, codes));
}
SettingsImage ColoursImage(const ProfileRecord& rec, Codes) {
    return ImageOf(BuildColours(rec));
}
SettingsImage PollingImage(const ProfileRecord& rec, Codes) {
    return {PollingCode(rec)};
}
// The lift-off code is sent with a 0 after it.
SettingsImage LiftOffImage(const ProfileRecord& rec, Codes) {
    return {LiftOffCode(rec), 0};
}
SettingsImage DebounceImage(const ProfileRecord& rec, Codes) {
    return {DebounceValue(rec)};
}
SettingsImage LightingImage(const ProfileRecord& rec, Codes) {
    return ImageOf(BuildLightingPage(rec));
}
SettingsImage PowerImage(const ProfileRecord& rec, Codes) {
    return ImageOf(PowerOptionBytes(rec));
}
SettingsImage MotionWakeupImage(const ProfileRecord& rec, Codes) {
    return {MotionWakeupValue(rec)};
}

constexpr std::size_t Index(SettingsEntry e) {
    return static_cast<std::size_t>(e);
}

} // namespace

const std::array<SettingsEntryRow, kSettingsEntryCount> kSettingsEntries = {{
    {SettingsEntry::Dpi, "DPI levels", kCmdDpiLevels, SendGroup::MainSettings, 18, kDpiCompared, DpiImage},
    {SettingsEntry::Colours, "DPI colours", kCmdDpiColours, SendGroup::MainSettings, 24, 24, ColoursImage},
    {SettingsEntry::Polling, "polling rate", kCmdPollingRate, SendGroup::MainSettings, 1, 1, PollingImage},
    {SettingsEntry::LiftOff, "lift-off distance", kCmdLiftOff, SendGroup::MainSettings, 2, 1, LiftOffImage},
    {SettingsEntry::Debounce, "key debounce", kCmdDebounce, SendGroup::MainSettings, 1, 1, DebounceImage},
    {SettingsEntry::Lighting, "lighting", kCmdLighting, SendGroup::MainSettings, 0, 0, LightingImage},
    {SettingsEntry::Power, "power options", kCmdPowerOptions, SendGroup::PowerOptions, 2, 2, PowerImage},
    {SettingsEntry::MotionWakeup, "motion wake-up", kCmdMotionWakeup, SendGroup::MotionWakeup, 1, 1,
     MotionWakeupImage},
}};

namespace {

struct ChangeSendRow {
    ModelChange change;
    SendGroups groups;
};

// Which settings each kind of change can alter. A name or the show list is
// nothing the mouse holds; another current profile is everything.
constexpr ChangeSendRow kChangeSends[] = {
    {ModelChange::Dpi, SendGroup::MainSettings},
    {ModelChange::Polling, SendGroup::MainSettings},
    {ModelChange::Lighting, SendGroup::MainSettings},
    {ModelChange::Buttons, SendGroup::Buttons},
    // Lift-off and debounce are main settings; power-down time, lighting on
    // move and motion wake-up have groups of their own.
    {ModelChange::Settings, SendGroup::MainSettings | SendGroup::PowerOptions | SendGroup::MotionWakeup},
    {ModelChange::Sensor, SendGroup::MainSettings},
    {ModelChange::CurrentSlot, SendGroups::All()},
};

} // namespace

SendGroups SendGroupsFor(ModelChange what) {
    SendGroups groups;
    for (const ChangeSendRow& row : kChangeSends)
        if (Any(what & row.change)) groups |= row.groups;
    return groups;
}

const SettingsEntryRow& RowOf(SettingsEntry entry) {
    return kSettingsEntries[Index(entry)];
}

std::size_t ComparedBytes(const SettingsEntryRow& row, const SettingsImage& image) {
    return row.compared ? row.compared : LightingCompared(image);
}

FeatureReport SettingsReport(const SettingsEntryRow& row, const SettingsImage& image, std::uint8_t sequence) {
    if (row.sent == 0) {
        return FeatureReport::Make(row.command, sequence, 0x01, image[0], std::span(image).subspan(1));
    }
    return FeatureReport::Write(row.command, sequence, std::span(image).first(row.sent));
}

bool ReportCache::Differs(SettingsEntry entry, const SettingsImage& image) const {
    const std::size_t i = Index(entry);
    const std::size_t n = ComparedBytes(RowOf(entry), image);
    return staleSettings[i] ||
           !std::equal(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(n), settings[i].begin());
}

void ReportCache::Store(SettingsEntry entry, const SettingsImage& image) {
    settings[Index(entry)] = image;
    staleSettings[Index(entry)] = false;
}

bool ReportCache::ButtonDiffers(int position, const ButtonPage& page) const {
    const auto at = static_cast<std::ptrdiff_t>(2 + 3 * position);
    return staleButtons[static_cast<std::size_t>(position)] ||
           !std::equal(page.begin() + at, page.begin() + at + 3, buttons.begin() + at);
}

void ReportCache::StoreButton(int position, std::span<const std::uint8_t> action) {
    const auto at = static_cast<std::size_t>(2 + 3 * position);
    std::copy_n(action.begin(), std::min<std::size_t>(action.size(), 3), buttons.begin() + at);
    staleButtons[static_cast<std::size_t>(position)] = false;
}

bool ReportCache::MacroDiffers(std::uint8_t number, const MacroImage& image) const {
    return staleMacros[number % kMacroNumbers] || image != macros[number % kMacroNumbers];
}

void ReportCache::StoreMacro(std::uint8_t number, const MacroImage& image) {
    macros[number % kMacroNumbers] = image;
    staleMacros[number % kMacroNumbers] = false;
}

void ReportCache::PrimeSettingsAndButtons(const ProfileRecord& rec,
                                          std::span<const std::uint16_t> dpiDeviceCodes) {
    buttons = BuildButtonPage(rec);
    staleButtons.fill(false);
    for (const SettingsEntryRow& row : kSettingsEntries) Store(row.entry, row.build(rec, dpiDeviceCodes));
}

void ReportCache::NoteLevelAndRateFromMouse(int level, std::uint8_t pollingInterval) {
    // DPI page byte 0: the level ordinal + 1 in the high nibble; the low nibble
    // (the number of enabled levels) stays what was delivered.
    std::uint8_t& head = settings[Index(SettingsEntry::Dpi)][0];
    head = static_cast<std::uint8_t>(((level + 1) << 4) | (head & 0x0F));
    settings[Index(SettingsEntry::Polling)][0] = pollingInterval;
}

void ReportCache::Forget() {
    staleSettings.fill(true);
    staleButtons.fill(true);
    staleMacros.fill(true);
}

void ApplyCommit(ReportCache& cache, const CacheCommit& commit) {
    switch (commit.kind) {
    case CacheCommit::Kind::None:
        return;
    case CacheCommit::Kind::Settings: {
        SettingsImage image{};
        std::copy_n(commit.bytes.begin(), std::min(commit.bytes.size(), image.size()), image.begin());
        cache.Store(static_cast<SettingsEntry>(commit.index), image);
        return;
    }
    case CacheCommit::Kind::Button:
        cache.StoreButton(commit.index, commit.bytes);
        return;
    case CacheCommit::Kind::Macro: {
        MacroImage image{};
        std::copy_n(commit.bytes.begin(), std::min(commit.bytes.size(), image.size()), image.begin());
        cache.StoreMacro(static_cast<std::uint8_t>(commit.index), image);
        return;
    }
    }
}

} // namespace tarvik
