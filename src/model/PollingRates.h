// The four polling rates a profile can hold: the index stored in
// `PollingRate[0]`, the name stored beside it, the rate in Hz and the report
// interval in ms that the mouse takes and reports. Every list of rates (the
// device commands, the mouse's own reports, the pop-up, the on-screen display)
// walks this table.
#pragma once

#include <array>
#include <cstdint>

namespace tarvik {

struct PollingRateRow {
    std::uint8_t index;
    const char16_t* name; // as stored in the profile: "125HZ" … "1000HZ"
    int hz;
    std::uint8_t intervalMs; // the code the mouse takes and reports: 8, 4, 2, 1
};

inline constexpr std::array<PollingRateRow, 4> kPollingRates = {{
    {0, u"125HZ", 125, 8},
    {1, u"250HZ", 250, 4},
    {2, u"500HZ", 500, 2},
    {3, u"1000HZ", 1000, 1},
}};

// The row of a stored index; an index beyond the table means 1000 Hz.
constexpr const PollingRateRow& PollingRateAt(int index) {
    return index >= 0 && index < static_cast<int>(kPollingRates.size())
               ? kPollingRates[static_cast<std::size_t>(index)]
               : kPollingRates.back();
}

// The row of an interval the mouse reports; any interval not in the table
// means 1000 Hz.
constexpr const PollingRateRow& PollingRateOfInterval(std::uint8_t intervalMs) {
    for (const PollingRateRow& row : kPollingRates) {
        if (row.intervalMs == intervalMs) return row;
    }
    return kPollingRates.back();
}

} // namespace tarvik
