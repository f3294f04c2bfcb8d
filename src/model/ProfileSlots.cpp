#include "model/ProfileSlots.h"

#include <array>

#include "text/U16.h"

namespace tarvik {

namespace {
std::array<int, kProfileCount> ReadShowList(const SettingsModel& model) {
    std::array<int, kProfileCount> list{};
    for (int i = 0; i < kProfileCount; ++i) list[static_cast<std::size_t>(i)] = model.GetShowList(i);
    return list;
}

SlotResult Refused(int slot, Notice notice) {
    SlotResult r;
    r.slot = slot;
    r.notice = notice;
    return r;
}

// An empty name, or one the profile file could not keep on its line.
bool NameRefused(const std::u16string& name, int slot, SlotResult& r) {
    if (name.empty()) {
        r = Refused(slot, Notice::EmptyProfileName);
        return true;
    }
    if (HasLineBreak(name)) {
        r = Refused(slot, Notice::None);
        r.refusal = "a profile name cannot hold a line break";
        return true;
    }
    return false;
}

// A change that would need a file left alone: nothing changes, and the save
// result says why.
// `changed` is the slot whose profile changes (-1: none).
bool LeftAloneRefused(const SettingsModel& model, int slot, int changed, bool settings, SlotResult& r) {
    FileResult refused = model.ChangeRefusal(changed, settings);
    if (refused) return false;
    r = Refused(slot, Notice::None);
    r.refusal = refused.reason;
    r.saved = std::move(refused);
    return true;
}

// After a change: everything saved, as the window's "save and refresh" does,
// and the listeners told what changed.
SlotResult SavedChange(SettingsModel& model, int slot, ModelChange what) {
    SlotResult r;
    r.changed = true;
    r.slot = slot;
    r.saved = model.SaveSettingsAndProfiles();
    model.NotifyChanged(slot, what);
    return r;
}
} // namespace

SlotResult SelectProfile(SettingsModel& model, int slot) {
    if (!IsProfileSlot(slot)) return {};
    model.SetCurrentProfile(slot);
    model.NotifyChanged(slot, ModelChange::CurrentSlot);
    SlotResult r;
    r.changed = true;
    r.slot = slot;
    return r;
}

SlotResult AddProfile(SettingsModel& model, const std::u16string& name) {
    const int count = model.GetShowCount();
    if (count >= kProfileCount) return Refused(-1, Notice::NoFreeProfileSlot);
    if (SlotResult r; NameRefused(name, -1, r)) return r;
    const int slot = ReadShowList(model)[static_cast<std::size_t>(count)];
    if (SlotResult r; LeftAloneRefused(model, slot, slot, true, r)) return r;
    model.SetShowCount(count + 1);
    model.ResetProfileToDefaults(slot);
    model.Profiles[static_cast<std::size_t>(slot)].Settings[kSetProfileName].Value = name;
    return SavedChange(model, slot, ModelChange::Profile | ModelChange::ShowList);
}

SlotResult RenameProfile(SettingsModel& model, int slot, const std::u16string& name) {
    if (!IsProfileSlot(slot)) return {};
    if (SlotResult r; NameRefused(name, slot, r) || LeftAloneRefused(model, slot, slot, false, r)) return r;
    model.Profiles[static_cast<std::size_t>(slot)].Settings[kSetProfileName].Value = name;
    return SavedChange(model, slot, ModelChange::ProfileName);
}

SlotResult DeleteProfile(SettingsModel& model, int slot) {
    if (!IsProfileSlot(slot)) return {};
    if (slot == model.GetCurrentProfile()) return Refused(slot, Notice::CurrentProfileNotDeletable);
    const int count = model.GetShowCount();
    auto list = ReadShowList(model);
    int pos = -1;
    for (int i = 0; i < count; ++i)
        if (list[static_cast<std::size_t>(i)] == slot) pos = i;
    // Only a shown slot can be hidden, and one slot always stays shown.
    if (pos < 0 || count <= 1) return Refused(slot, Notice::None);
    if (SlotResult r; LeftAloneRefused(model, slot, -1, true, r)) return r;
    for (int i = pos; i < kProfileCount - 1; ++i)
        list[static_cast<std::size_t>(i)] = list[static_cast<std::size_t>(i) + 1];
    list[kProfileCount - 1] = slot;
    model.SetShowCount(count - 1);
    for (int i = 0; i < kProfileCount; ++i) model.SetShowList(i, list[static_cast<std::size_t>(i)]);
    return SavedChange(model, slot, ModelChange::ShowList);
}

} // namespace tarvik
