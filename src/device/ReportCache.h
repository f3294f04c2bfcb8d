// What the mouse was last sent, per command: the send planner compares a new
// image with it and sends only what differs. An entry can be marked stale so the
// next comparison differs whatever it holds (a full send).
//
// The settings commands are one table (kSettingsEntries): for each, its
// command, the group that sends it, how its image is built, how many bytes are
// sent and compared. Planning, priming and committing all walk that table.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "device/FeatureReport.h"
#include "device/MacroUpload.h"
#include "device/Protocol.h"
#include "model/ModelChanges.h"

namespace tarvik {

// The groups the window asks to send; each settings command and the button
// page belongs to one. Macros are compared on every send.
enum class SendGroup : std::uint8_t { Buttons, MainSettings, PowerOptions, MotionWakeup };

class SendGroups {
public:
    constexpr SendGroups() = default;
    constexpr SendGroups(SendGroup group) : bits_(Bit(group)) {}
    static constexpr SendGroups All() {
        SendGroups all;
        all.bits_ = 0x0F;
        return all;
    }
    constexpr bool Has(SendGroup group) const { return (bits_ & Bit(group)) != 0; }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr SendGroups& operator|=(SendGroups other) {
        bits_ |= other.bits_;
        return *this;
    }
    friend constexpr SendGroups operator|(SendGroups a, SendGroups b) { return a |= b; }
    friend constexpr bool operator==(SendGroups, SendGroups) = default;

private:
    static constexpr std::uint8_t Bit(SendGroup g) {
        return static_cast<std::uint8_t>(1u << static_cast<int>(g));
    }
    std::uint8_t bits_ = 0;
};

constexpr SendGroups operator|(SendGroup a, SendGroup b) {
    return SendGroups(a) | SendGroups(b);
}

// The groups whose images a change of the current profile may have touched
// (kChangeSends). The window requests them for every change the model
// announces, so that a change made past the window's own controls (another
// profile selected, an import, a sensor change) reaches the mouse as well;
// the send still writes only what differs.
SendGroups SendGroupsFor(ModelChange what);

// ---- the settings commands

enum class SettingsEntry : std::uint8_t {
    Dpi,
    Colours,
    Polling,
    LiftOff,
    Debounce,
    Lighting,
    Power,
    MotionWakeup
};
constexpr std::size_t kSettingsEntryCount = 8;

// Room for the largest image, the lighting page.
using SettingsImage = std::array<std::uint8_t, 25>;

struct SettingsEntryRow {
    SettingsEntry entry;
    const char* name;
    std::uint8_t command;
    SendGroup group;
    // Payload bytes sent; 0: the image starts with its own length (lighting),
    // which goes into report byte 6, and the rest of the image follows.
    std::uint8_t sent;
    // Leading bytes compared; 0: the length byte and the bytes it counts.
    std::uint8_t compared;
    SettingsImage (*build)(const ProfileRecord& rec, std::span<const std::uint16_t> dpiDeviceCodes);
};

// In sending order: 05 06 07 09 0A 08 (main settings), 0B, 0C.
extern const std::array<SettingsEntryRow, kSettingsEntryCount> kSettingsEntries;

const SettingsEntryRow& RowOf(SettingsEntry entry);
// Bytes of `image` that are compared and kept.
std::size_t ComparedBytes(const SettingsEntryRow& row, const SettingsImage& image);
// The report that carries `image`.
FeatureReport SettingsReport(const SettingsEntryRow& row, const SettingsImage& image, std::uint8_t sequence);

// ---- the cache

constexpr std::size_t kMacroNumbers = 16;

struct ReportCache {
    std::array<SettingsImage, kSettingsEntryCount> settings{};
    ButtonPage buttons{};
    // By macro number (the low nibble of a macro button's action).
    std::array<MacroImage, kMacroNumbers> macros{};

    // Entries that compare as different until they are next stored.
    std::array<bool, kSettingsEntryCount> staleSettings{};
    std::array<bool, kKeyCount> staleButtons{};
    std::array<bool, kMacroNumbers> staleMacros{};

    const SettingsImage& Image(SettingsEntry entry) const {
        return settings[static_cast<std::size_t>(entry)];
    }
    bool Differs(SettingsEntry entry, const SettingsImage& image) const;
    void Store(SettingsEntry entry, const SettingsImage& image);

    // Device position 0..5 of `page`.
    bool ButtonDiffers(int position, const ButtonPage& page) const;
    void StoreButton(int position, std::span<const std::uint8_t> action);

    bool MacroDiffers(std::uint8_t number, const MacroImage& image) const;
    void StoreMacro(std::uint8_t number, const MacroImage& image);

    // Every settings command and the button page from `rec`, as delivered.
    void PrimeSettingsAndButtons(const ProfileRecord& rec, std::span<const std::uint16_t> dpiDeviceCodes);

    // The mouse changed its DPI level (an ordinal among the enabled levels) and
    // polling interval by itself: only those bytes are taken as delivered, so a
    // change of the user's that is still waiting is sent all the same.
    void NoteLevelAndRateFromMouse(int level, std::uint8_t pollingInterval);

    // Marks every entry stale: the next send writes everything.
    void Forget();
};

// The image one successful write makes the last-delivered one.
struct CacheCommit {
    enum class Kind : std::uint8_t { None, Settings, Button, Macro };
    Kind kind = Kind::None;
    int index = 0;                   // settings entry, device position or macro number
    std::vector<std::uint8_t> bytes; // the image
};

void ApplyCommit(ReportCache& cache, const CacheCommit& commit);

} // namespace tarvik
