#include "model/ProfileTable.h"

namespace tarvik {

void KeySlot::AssignMacro(const MacroKey* source) {
    if (!source) {
        Macro.MacroActionNum = 0;
        return;
    }
    // Header first, then the valid steps appended one by one onto an emptied
    // macro, so the slots beyond the count are zero. A count above the 336 slots
    // (only a hand-edited file makes one) copies 336 steps.
    const MacroKey copy = *source; // source may be this slot's own Macro
    Macro.Name = copy.Name;
    Macro.MacroKeyIndex = copy.MacroKeyIndex;
    Macro.MacroKeyLoopType = copy.MacroKeyLoopType;
    Macro.MacroKeyLoopNum = copy.MacroKeyLoopNum;
    Macro.MacroCommandActionNum = copy.MacroCommandActionNum;
    Macro.AllAction.fill(MacroAction{});
    Macro.MacroActionNum = 0;
    for (std::size_t i = 0; i < copy.ValidCount(); ++i) Macro.InsertAction(i, copy.AllAction[i]);
}

int ProfileRecord::ActiveDpiLevel() const {
    if (DPIOffOnFlag == 0) return 0;
    int ordinal = CurrentDPILevel;
    for (int level = 0; level < kDpiLevels; ++level) {
        if (!(DPIOffOnFlag & (1u << level))) continue;
        if (ordinal == 0) return level;
        --ordinal;
    }
    return -1;
}

namespace {

// Appends the DPI values first..last (inclusive) in `by` steps, stored as DPI / 50.
void Range(std::vector<std::uint32_t>& steps, std::uint32_t first, std::uint32_t last, std::uint32_t by) {
    for (std::uint32_t dpi = first; dpi <= last; dpi += by) steps.push_back(dpi / 50);
}

struct Builder {
    SensorInfo info;
    Builder(std::uint16_t id, bool plusOne, bool page, std::array<std::uint16_t, kDpiLevels> xy)
        : info{id, static_cast<std::uint8_t>(id & 0xFF), {}, plusOne, page, xy} {}
    Builder& R(std::uint32_t first, std::uint32_t last, std::uint32_t by) {
        Range(info.steps, first, last, by);
        return *this;
    }
    Builder& V(std::uint32_t dpi) {
        info.steps.push_back(dpi / 50);
        return *this;
    }
};

std::vector<SensorInfo> MakeSensorTable() {
    std::vector<SensorInfo> t;
    t.push_back(Builder(0x3104, false, false, {4, 15, 23, 31, 39, 41, 58, 50})
                    .R(100, 4000, 100)
                    .V(4500)
                    .V(4800)
                    .R(5500, 8000, 500)
                    .info);
    t.push_back(Builder(0x3212, true, false, {6, 10, 14, 22, 33, 12, 12, 12})
                    .R(200, 2400, 100)
                    .R(3000, 4800, 100)
                    .info);
    t.push_back(Builder(0x3325, true, false, {6, 10, 14, 30, 58, 58, 58, 50})
                    .R(200, 5000, 100)
                    .V(5500)
                    .V(6000)
                    .V(6400)
                    .R(7000, 10000, 500)
                    .info);
    t.push_back(Builder(0x3327, true, false, {2, 6, 14, 30, 48, 58, 58, 58})
                    .R(200, 6200, 100)
                    .R(6500, 12000, 500)
                    .V(12400)
                    .info);
    t.push_back(Builder(0x3335, false, true, {11, 23, 31, 63, 99, 159, 59, 59}).R(100, 16000, 100).info);
    t.push_back(
        Builder(0x3360, false, true, {3, 7, 15, 31, 49, 59, 59, 59}).R(100, 12000, 100).V(24000).info);
    t.push_back(Builder(0x3370, false, true, {7, 15, 31, 63, 99, 119, 119, 119})
                    .R(50, 10000, 50)
                    .R(10100, 19000, 100)
                    .info);
    t.push_back(Builder(0x3389, false, true, {3, 7, 15, 31, 49, 59, 59, 59}).R(100, 16000, 100).info);
    t.push_back(Builder(0x3395, false, true, {7, 15, 31, 63, 99, 99, 99, 99}).R(50, 26000, 50).info);
    t.push_back(Builder(0x3399, false, true, {7, 15, 31, 63, 99, 99, 99, 99}).R(50, 20000, 50).info);
    return t;
}

} // namespace

const std::vector<SensorInfo>& SensorTable() {
    static const std::vector<SensorInfo> table = MakeSensorTable();
    return table;
}

const SensorInfo* FindSensor(std::uint16_t id) {
    for (const auto& s : SensorTable())
        if (s.id == id) return &s;
    return nullptr;
}

const SensorInfo* FindSensorByReportCode(std::uint8_t code) {
    for (const auto& s : SensorTable())
        if (s.reportCode == code) return &s;
    return nullptr;
}

} // namespace tarvik
