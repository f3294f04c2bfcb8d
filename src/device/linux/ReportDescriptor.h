// HID report-descriptor parsing: one entry per top-level collection with its
// usage and the longest input, output and feature report in bytes.
//
// Lengths are counted as the platform's HID capability query counts them for a
// collection: the data bits of each report rounded up to whole bytes, plus one
// byte for the report ID. That byte is counted always, also when the descriptor
// uses no report IDs (the buffer then starts with a zero ID byte), so a
// collection's lengths do not depend on whether its reports are numbered.
//
// A hidraw node carries a whole USB interface, which may hold several top-level
// collections; enumeration lists each of them as an interface of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tarvik {

struct CollectionReports {
    std::uint16_t usagePage = 0;
    std::uint16_t usage = 0;
    // Longest report of each type in bytes, report-ID byte included; 0 = none.
    std::size_t input = 0;
    std::size_t output = 0;
    std::size_t feature = 0;
    friend bool operator==(const CollectionReports&, const CollectionReports&) = default;
};

struct DescriptorReports {
    // In descriptor order. Reports declared outside every collection form an
    // entry of their own (usage page 0, usage 0) where the first of them appears.
    std::vector<CollectionReports> collections;
    // False when the descriptor was cut short or malformed: an item cut off at
    // the end, a collection left open, an end or pop without its opening, or
    // pushes nested too deep. The collections are then what was read.
    bool ok = true;
    friend bool operator==(const DescriptorReports&, const DescriptorReports&) = default;
};

// Walks main, global and local items (push/pop included, long items skipped)
// and never reads past `descriptor`.
DescriptorReports ParseReportDescriptor(std::span<const std::uint8_t> descriptor);

// The longest input, output and feature report over all collections: the
// buffer sizes a reader of the whole node needs.
CollectionReports LongestReports(const DescriptorReports& reports);

} // namespace tarvik
