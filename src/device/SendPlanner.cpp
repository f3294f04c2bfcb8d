#include "device/SendPlanner.h"

#include <array>

namespace tarvik {

namespace {

PlannedStep Pause(Millis pause) {
    PlannedStep step;
    step.pauseAfter = pause;
    return step;
}

void AddWrite(SendPlan& plan, PlannedStep step) {
    ++plan.writes;
    plan.steps.push_back(std::move(step));
}

void PlanButtons(SendPlan& plan, const ProfileRecord& rec, const ReportCache& cache) {
    const ButtonPage page = BuildButtonPage(rec);
    for (int position = 0; position < kKeyCount; ++position) {
        if (!cache.ButtonDiffers(position, page)) {
            // The mouse is given 60 ms per position whether or not it was written.
            plan.steps.push_back(Pause(kCommandPause));
            continue;
        }
        const auto at = page.begin() + 2 + 3 * position;
        PlannedStep step;
        step.report = ButtonReport(0, position, std::span<const std::uint8_t, 3>(&*at, 3));
        step.pauseAfter = kCommandPause;
        step.retryGroup = SendGroup::Buttons;
        step.commit = {CacheCommit::Kind::Button, position, {at, at + 3}};
        AddWrite(plan, std::move(step));
    }
}

void PlanSettings(SendPlan& plan, const ProfileRecord& rec, std::span<const std::uint16_t> codes,
                  const ReportCache& cache, SendGroups groups) {
    for (const SettingsEntryRow& row : kSettingsEntries) {
        if (!groups.Has(row.group)) continue;
        const SettingsImage image = row.build(rec, codes);
        if (!cache.Differs(row.entry, image)) continue;
        PlannedStep step;
        step.report = SettingsReport(row, image, 0);
        step.pauseAfter = kCommandPause;
        step.retryGroup = row.group;
        step.commit = {
            CacheCommit::Kind::Settings, static_cast<int>(row.entry), {image.begin(), image.end()}};
        AddWrite(plan, std::move(step));
    }
}

void PlanMacros(SendPlan& plan, const ProfileRecord& rec, const ReportCache& cache, bool hasTarget) {
    // Images planned in this send, by number: a second button with the same
    // number compares with what the first one sends.
    std::array<std::optional<MacroImage>, kMacroNumbers> planned;
    for (int k = 0; k < kKeyCount; ++k) {
        const KeySlot& slot = rec.Keys[k];
        if (slot.Action.Function != kMacroFunction) continue;
        const std::uint8_t number = slot.Action.Data1 & 0x0F;
        const MacroKey& macro = slot.Macro;
        const MacroImage image = BuildMacroImage(macro, number);
        const int chunks = MacroChunkCount(macro.MacroCommandActionNum);
        const bool differs = planned[number] ? *planned[number] != image : cache.MacroDiffers(number, image);
        if (differs) {
            if (chunks > kMaxMacroChunks) {
                plan.refusedMacros.push_back(
                    {k, number, macro.Name, chunks, slot.MacroKeyIndex, macro.MacroCommandActionNum});
            } else if (hasTarget) {
                planned[number] = image;
                for (int i = 0; i < chunks; ++i) {
                    PlannedStep step;
                    step.report = MacroChunk(image, macro.MacroCommandActionNum, i, 0);
                    step.pauseAfter = kCommandPause;
                    step.unit = k + 1;
                    // A macro counts as held only when every chunk arrived.
                    if (i + 1 == chunks)
                        step.commit = {CacheCommit::Kind::Macro, number, {image.begin(), image.end()}};
                    AddWrite(plan, std::move(step));
                }
            }
        }
        plan.steps.push_back(Pause(kCommandPause));
    }
}

} // namespace

SendPlan PlanSend(const ProfileRecord& rec, std::span<const std::uint16_t> dpiDeviceCodes,
                  const ReportCache& cache, SendGroups groups, bool hasTarget) {
    SendPlan plan;
    if (hasTarget) {
        if (groups.Has(SendGroup::Buttons)) PlanButtons(plan, rec, cache);
        PlanSettings(plan, rec, dpiDeviceCodes, cache, groups);
    }
    PlanMacros(plan, rec, cache, hasTarget);
    return plan;
}

void PrimeMacros(ReportCache& cache, const ProfileRecord& rec) {
    for (const KeySlot& slot : rec.Keys) {
        if (slot.Action.Function != kMacroFunction) continue;
        // A macro the mouse cannot be sent is never taken as held by it.
        if (MacroChunkCount(slot.Macro.MacroCommandActionNum) > kMaxMacroChunks) continue;
        const std::uint8_t number = slot.Action.Data1 & 0x0F;
        cache.StoreMacro(number, BuildMacroImage(slot.Macro, number));
    }
}

} // namespace tarvik
