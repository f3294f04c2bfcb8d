#include "model/ProfileSlots.h"

#include <array>

#include "text/Language.h"

namespace tarvik {

namespace {
bool ValidSlot(int slot) {
    return slot >= 0 && slot < kProfileCount;
}

std::array<int, kProfileCount> ReadShowList(const SettingsModel& model) {
    std::array<int, kProfileCount> list{};
    for (int i = 0; i < kProfileCount; ++i) list[static_cast<std::size_t>(i)] = model.GetShowList(i);
    return list;
}
} // namespace

void SaveAllSettings(SettingsModel& model) {
    model.SaveCurrentProfileAndSettings();
    model.SaveAllProfiles();
}

SlotResult SelectProfile(SettingsModel& model, int slot) {
    if (!ValidSlot(slot)) return {};
    model.SetCurrentProfile(slot);
    return {true, slot, 0};
}

SlotResult AddProfile(SettingsModel& model, const std::u16string& name) {
    const int count = model.GetShowCount();
    if (count >= kProfileCount) return {false, -1, kNoticeNoFreeSlot};
    if (name.empty()) return {false, -1, kNoticeEmptyName};
    const int slot = ReadShowList(model)[static_cast<std::size_t>(count)];
    model.SetShowCount(count + 1);
    model.ResetProfileToDefaults(slot);
    model.Profiles[static_cast<std::size_t>(slot)].Settings[kSetProfileName].Value = name;
    SaveAllSettings(model);
    return {true, slot, 0};
}

SlotResult RenameProfile(SettingsModel& model, int slot, const std::u16string& name) {
    if (!ValidSlot(slot)) return {};
    if (name.empty()) return {false, slot, kNoticeEmptyName};
    model.Profiles[static_cast<std::size_t>(slot)].Settings[kSetProfileName].Value = name;
    SaveAllSettings(model);
    return {true, slot, 0};
}

SlotResult DeleteProfile(SettingsModel& model, int slot) {
    if (!ValidSlot(slot)) return {};
    if (slot == model.GetCurrentProfile()) return {false, slot, kNoticeCurrentNotDeletable};
    const int count = model.GetShowCount();
    auto list = ReadShowList(model);
    int pos = -1;
    for (int i = 0; i < count; ++i)
        if (list[static_cast<std::size_t>(i)] == slot) pos = i;
    // Only a shown slot can be hidden, and one slot always stays shown.
    if (pos < 0 || count <= 1) return {false, slot, 0};
    for (int i = pos; i < kProfileCount - 1; ++i)
        list[static_cast<std::size_t>(i)] = list[static_cast<std::size_t>(i) + 1];
    list[kProfileCount - 1] = slot;
    model.SetShowCount(count - 1);
    for (int i = 0; i < kProfileCount; ++i) model.SetShowList(i, list[static_cast<std::size_t>(i)]);
    SaveAllSettings(model);
    return {true, slot, 0};
}

} // namespace tarvik
