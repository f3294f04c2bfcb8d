// Feeds arbitrary bytes to the report-descriptor parser; ASan catches any read
// past the input. Every length stays within what the clamped bit sums allow,
// and a descriptor cannot hold more collections than it has bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "device/linux/ReportDescriptor.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> copy(data, data + size);
    const tarvik::DescriptorReports r = tarvik::ParseReportDescriptor(copy);
    constexpr std::size_t kMaxLength = (std::size_t{1} << 29) + 1;
    if (r.collections.size() > size) __builtin_trap();
    for (const tarvik::CollectionReports& c : r.collections) {
        if (c.input > kMaxLength || c.output > kMaxLength || c.feature > kMaxLength) __builtin_trap();
    }
    const tarvik::CollectionReports longest = tarvik::LongestReports(r);
    if (longest.input > kMaxLength || longest.feature > kMaxLength) __builtin_trap();
    return 0;
}
