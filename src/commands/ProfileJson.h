// JSON views of the settings model, shared by every command that prints a profile.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "model/SettingsModel.h"

namespace tarvik::cli {

// Each byte as two upper-case hex digits, `separator` between them.
std::string HexText(std::span<const std::uint8_t> bytes, std::string_view separator = {});

// "#RRGGBB" of a 0x00BBGGRR colour.
std::string ColourText(Colour c);

// [{"name", "value"}] of ordered name/value pairs.
template <std::size_t N> nlohmann::ordered_json PairsJson(const std::array<ProfileSetting, N>& pairs);

// One profile record with the field names of the profile table, plus "Slot" and
// "ShownDpi" (the DPI value of each level).
nlohmann::ordered_json RecordJson(const SettingsModel& model, int slot);

// The whole model: sensor, settings pairs, language, and the records of every
// slot (or of `slot` alone).
nlohmann::ordered_json ModelJson(const SettingsModel& model, std::optional<int> slot);

} // namespace tarvik::cli
