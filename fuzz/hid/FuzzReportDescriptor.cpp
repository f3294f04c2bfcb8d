// Feeds arbitrary bytes to the report-descriptor parser; ASan catches any read
// past the input.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "device/linux/ReportDescriptor.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> copy(data, data + size);
    tarvik::ReportLengths r = tarvik::ParseReportDescriptor(copy);
    if (r.input > (std::size_t{1} << 29) + 1 || r.feature > (std::size_t{1} << 29) + 1) __builtin_trap();
    return 0;
}
