#include "model/ProfileRules.h"

#include "model/SettingsModel.h"

namespace tarvik {

void StorePollingRate(ProfileRecord& rec, const PollingRateRow& row) {
    rec.PollingRate = {row.index, 0, 0};
    rec.PollingRateName = row.name;
}

namespace {
// The bit position of the (ordinal + 1)-th set bit of mask, -1 when none.
int SlotOfOrdinal(std::uint8_t mask, int ordinal) {
    if (ordinal < 0) return -1;
    int seen = 0;
    for (int bit = 0; bit < 8; ++bit) {
        if ((mask >> bit & 1u) == 0) continue;
        if (seen == ordinal) return bit;
        ++seen;
    }
    return -1;
}
} // namespace

LevelCheckOutcome AfterLevelCheck(std::uint8_t maskBefore, int ordinal, int i, bool nowChecked) {
    if (maskBefore == (1u << i)) return {true, ordinal};
    const int slot = SlotOfOrdinal(maskBefore, ordinal);
    int next = ordinal;
    if (!nowChecked) {
        if (i == slot) {
            if (next > 0) --next;
        } else if (slot >= 0 && i < slot) {
            --next;
        }
    } else if (slot >= 0 && i < slot) {
        ++next;
    }
    return {false, next};
}

ModelChange TakeLevelAndRateFromMouse(SettingsModel& model, int slot, int ordinal, std::uint8_t intervalMs) {
    if (slot < 0 || slot >= kProfileCount || ordinal < 0 || ordinal >= kDpiLevels) return ModelChange::None;
    ProfileRecord& rec = model.Profiles[static_cast<std::size_t>(slot)];
    ModelChange changed = ModelChange::None;
    if (rec.CurrentDPILevel != ordinal) {
        rec.CurrentDPILevel = static_cast<std::uint8_t>(ordinal);
        changed = changed | ModelChange::Dpi;
    }
    const PollingRateRow& rate = PollingRateOfInterval(intervalMs);
    if (rec.PollingRate != std::array<std::uint8_t, 3>{rate.index, 0, 0} ||
        rec.PollingRateName != rate.name) {
        StorePollingRate(rec, rate);
        changed = changed | ModelChange::Polling;
    }
    if (Any(changed)) model.NotifyChanged(slot, changed);
    return changed;
}

} // namespace tarvik
