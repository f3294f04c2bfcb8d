// Rules of a profile record that more than one owner applies: the edits of the
// window and of tarvikctl (cli/ProfileEdits.h) and the device controller, which
// takes the mouse's own level and rate reports. Each rule is written here once.
#pragma once

#include <cstdint>

#include "model/ModelChanges.h"
#include "model/PollingRates.h"
#include "model/ProfileTable.h"

namespace tarvik {

class SettingsModel;

// A profile holds its polling rate twice: the index in PollingRate[0] and the
// name beside it. Both are stored from the row.
void StorePollingRate(ProfileRecord& rec, const PollingRateRow& row);

// A click on level check i. `maskBefore` is the profile's enabled mask before
// the click, `ordinal` the current level (an ordinal among the enabled ones),
// `nowChecked` the check's state after it toggled. The current level keeps
// naming the same level where it can.
struct LevelCheckOutcome {
    bool refused = false; // the only enabled level: it stays enabled, nothing changes
    int ordinal = 0;      // the current level afterwards
};
LevelCheckOutcome AfterLevelCheck(std::uint8_t maskBefore, int ordinal, int i, bool nowChecked);

// The mouse switched its DPI level (`ordinal`, 0-based among the enabled
// levels, 0-7) and its polling rate (the report interval in ms; an interval
// the table lacks is 1000 Hz) by itself. The slot's record takes both and the
// model's listeners hear what of it changed; returns that. An ordinal outside
// 0-7 or a slot outside 0-4 changes nothing.
ModelChange TakeLevelAndRateFromMouse(SettingsModel& model, int slot, int ordinal, std::uint8_t intervalMs);

} // namespace tarvik
