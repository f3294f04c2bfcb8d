// HID report-descriptor parsing: the longest input, output and feature report in
// bytes, counted the way the platform's capability query counts them (the report-ID
// byte included when the descriptor uses report IDs).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tarvik {

struct ReportLengths {
    std::size_t input = 0;
    std::size_t output = 0;
    std::size_t feature = 0;
    bool usesReportIds = false;
    bool ok = true; // false when the descriptor was cut short or malformed (lengths are what was read)
    friend bool operator==(const ReportLengths&, const ReportLengths&) = default;
};

// Walks main, global and local items (push/pop included, long items skipped) and
// never reads past `descriptor`.
ReportLengths ParseReportDescriptor(std::span<const std::uint8_t> descriptor);

} // namespace tarvik
