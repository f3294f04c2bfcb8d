// Button assignments and macros in the mouse's format: the button page of six
// 3-byte device actions, macro numbering, the 512-byte macro image with its
// 3-byte device steps, and the 0x0E chunks that carry an image.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "device/FeatureReport.h"
#include "model/MacroRecords.h"
#include "model/ProfileTable.h"

namespace tarvik {

class MacroLibrary;

constexpr std::uint8_t kMacroFunction = 0x90;

// Device position p (0..5) is profile button kProfileButtonOfPosition[p].
constexpr std::array<int, kKeyCount> kProfileButtonOfPosition = {0, 1, 2, 4, 3, 5};

// Bytes 2..19 hold the six device actions by position; bytes 0 and 1 are unused.
using ButtonPage = std::array<std::uint8_t, 20>;
ButtonPage BuildButtonPage(const ProfileRecord& rec);
FeatureReport ButtonReport(std::uint8_t sequence, int position, std::span<const std::uint8_t, 3> action);

// ---- macro numbering

// Finds the library macro with a MacroKeyIndex, in the library's search order
// (stage 0, then stage 1 parent by parent, then stage 2; each sibling list up to
// its first free entry). Null when there is none. The pointer identifies the
// library node: two buttons that get the same pointer share one number.
using MacroFinder = std::function<const MacroKey*(std::uint32_t macroKeyIndex)>;
// The finder over a macro library (which must outlive it).
MacroFinder LibraryFinder(const MacroLibrary& library);

// A macro button whose library macro has more steps than the mouse takes.
struct MacroTooLong {
    int button = 0;
    std::u16string name;
    std::uint32_t macroKeyIndex = 0;
    std::uint8_t steps = 0;
};

struct NumberingResult {
    // Per profile button: the macro number given, 0 for buttons without a macro.
    std::array<std::uint8_t, kKeyCount> numbers{};
    // Macro buttons whose macro is gone from the library: now disabled.
    std::vector<int> disabled;
    // Macro buttons whose macro the mouse cannot hold: now disabled too (in
    // `disabled` as well), so no button points at a macro number the mouse
    // does not hold.
    std::vector<MacroTooLong> tooLong;
};

// Numbers the macro buttons of `rec` afresh (1, 2, … in button order, shared
// by buttons bound to the same library macro) and writes each one's device
// action 90 (loop type << 4 | number) (loop count when loop type 2). The
// button's copy takes the library macro's step count and loop settings, which
// the profile file does not carry; with `resync` the whole library macro is
// copied. A button whose macro is not found, or is longer than the mouse
// takes, becomes disabled (`disabledName`, 00 00 00).
NumberingResult AssignMacroNumbers(ProfileRecord& rec, const MacroFinder& finder, bool resync,
                                   const std::u16string& disabledName);

// True when any of the six buttons carries a macro action.
bool HasMacroButton(const ProfileRecord& rec);

// ---- macro image and chunks

constexpr std::size_t kMacroImageSize = 512;
constexpr std::size_t kMacroHeaderSize = 4;
constexpr std::size_t kChunkData = 25;
// The chunk index and count share byte 5 as two 4-bit fields.
constexpr int kMaxMacroChunks = 15;
static_assert((MacroKey::kMaxMouseCommandActions * 3 + 24) / 25 <= kMaxMacroChunks &&
                  ((MacroKey::kMaxMouseCommandActions + 1) * 3 + 24) / 25 > kMaxMacroChunks,
              "the longest macro a button may carry is the longest the chunks can number");
constexpr std::uint32_t kMaxStepDelay = 0xFFF;

using MacroImage = std::array<std::uint8_t, kMacroImageSize>;

// The 3-byte device step of one non-delay action followed by `delayMs`.
std::array<std::uint8_t, 3> DeviceStep(const MacroAction& action, std::uint32_t delayMs);

// Header 09 90 number count, then a device step per non-delay action (each
// taking the delay of a delay action right after it, capped at 4095 ms). Steps
// that would run past the 512 bytes are left out.
MacroImage BuildMacroImage(const MacroKey& macro, std::uint8_t number);

// ceil(count × 3 / 25), at least 1.
int MacroChunkCount(std::uint8_t commandActionNum);

// Chunk `index` of an image: byte 5 = index << 4 | chunk count, byte 6 = data
// bytes + 1 (26 while more than 25 remain), byte 7 = the macro number, then 25
// image bytes from offset 4 + 25 × index. Valid for index < count <= 15.
FeatureReport MacroChunk(const MacroImage& image, std::uint8_t commandActionNum, int index,
                         std::uint8_t sequence);

} // namespace tarvik
