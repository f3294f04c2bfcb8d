#include "device/linux/ReportDescriptor.h"

#include <algorithm>
#include <map>

namespace tarvik {

namespace {
struct GlobalState {
    std::uint32_t usagePage = 0;
    std::uint32_t reportSize = 0;
    std::uint32_t reportCount = 0;
    std::uint32_t reportId = 0;
};

enum ItemType { kMain = 0, kGlobal = 1, kLocal = 2 };
enum MainTag { kInput = 0x8, kOutput = 0x9, kCollection = 0xA, kFeature = 0xB, kEndCollection = 0xC };
enum GlobalTag {
    kUsagePage = 0x0,
    kReportSize = 0x7,
    kReportId = 0x8,
    kReportCount = 0x9,
    kPush = 0xA,
    kPop = 0xB
};
enum LocalTag { kUsage = 0x0 };

// A descriptor cannot describe more than this many bits per report in practice;
// larger sums are clamped so the arithmetic never overflows.
constexpr std::uint64_t kMaxBits = std::uint64_t{1} << 32;
constexpr std::size_t kMaxStack = 64;

// Data bits per report ID, for each report type, of one collection.
struct CollectionBits {
    std::uint16_t usagePage = 0;
    std::uint16_t usage = 0;
    std::map<std::uint32_t, std::uint64_t> bits[3];
};

std::size_t LongestBytes(const std::map<std::uint32_t, std::uint64_t>& bits) {
    std::uint64_t maxBytes = 0;
    for (const auto& [id, b] : bits) maxBytes = std::max(maxBytes, (b + 7) / 8);
    // The report-ID byte is part of every report buffer.
    return maxBytes == 0 ? 0 : static_cast<std::size_t>(maxBytes) + 1;
}
} // namespace

DescriptorReports ParseReportDescriptor(std::span<const std::uint8_t> d) {
    DescriptorReports out;
    GlobalState g;
    std::vector<GlobalState> stack;
    std::vector<CollectionBits> collections;
    std::size_t depth = 0;
    // The collection that main items count into while depth > 0.
    std::size_t current = 0;
    // The entry for reports outside every collection, once there is one.
    std::size_t loose = 0;
    bool haveLoose = false;
    // The first usage of the local items since the last main item, and whether
    // it carried its own usage page (a four-byte extended usage).
    std::uint32_t firstUsage = 0;
    bool haveUsage = false;
    bool firstUsageExtended = false;

    std::size_t i = 0;
    while (i < d.size()) {
        const std::uint8_t prefix = d[i];
        if (prefix == 0xFE) { // long item: size byte, tag byte, data
            if (i + 1 >= d.size()) {
                out.ok = false;
                break;
            }
            const std::size_t skip = 3 + std::size_t{d[i + 1]};
            if (i + skip > d.size()) {
                out.ok = false;
                break;
            }
            i += skip;
            continue;
        }
        std::size_t size = prefix & 0x3;
        if (size == 3) size = 4;
        const int type = (prefix >> 2) & 0x3;
        const int tag = (prefix >> 4) & 0xF;
        if (i + 1 + size > d.size()) {
            out.ok = false;
            break;
        }
        std::uint32_t value = 0;
        for (std::size_t k = 0; k < size; ++k) value |= std::uint32_t{d[i + 1 + k]} << (8 * k);
        i += 1 + size;

        if (type == kGlobal) {
            switch (tag) {
            case kUsagePage:
                g.usagePage = value;
                break;
            case kReportSize:
                g.reportSize = value;
                break;
            case kReportCount:
                g.reportCount = value;
                break;
            case kReportId:
                g.reportId = value;
                break;
            case kPush:
                if (stack.size() < kMaxStack)
                    stack.push_back(g);
                else
                    out.ok = false;
                break;
            case kPop:
                if (!stack.empty()) {
                    g = stack.back();
                    stack.pop_back();
                } else {
                    out.ok = false;
                }
                break;
            default:
                break;
            }
        } else if (type == kLocal) {
            // Only the usage naming a collection matters here; designators,
            // strings and the other usages do not affect report lengths.
            if (tag == kUsage && !haveUsage) {
                haveUsage = true;
                firstUsage = value;
                firstUsageExtended = size == 4;
            }
        } else if (type == kMain) {
            if (tag == kCollection) {
                if (depth == 0) {
                    // A usage is joined with the usage page in force at the main
                    // item, unless it carries its own page in its upper half.
                    CollectionBits c;
                    c.usagePage =
                        static_cast<std::uint16_t>(firstUsageExtended ? firstUsage >> 16 : g.usagePage);
                    c.usage = static_cast<std::uint16_t>(firstUsage);
                    current = collections.size();
                    collections.push_back(std::move(c));
                }
                ++depth;
            } else if (tag == kEndCollection) {
                if (depth > 0)
                    --depth;
                else
                    out.ok = false;
            } else if (tag == kInput || tag == kOutput || tag == kFeature) {
                if (depth == 0 && !haveLoose) {
                    haveLoose = true;
                    loose = collections.size();
                    collections.emplace_back();
                }
                const int slot = tag == kInput ? 0 : tag == kOutput ? 1 : 2;
                auto& sum = collections[depth > 0 ? current : loose].bits[slot][g.reportId];
                sum = std::min(kMaxBits, sum + std::uint64_t{g.reportSize} * g.reportCount);
            }
            // Local items apply to the next main item only.
            firstUsage = 0;
            haveUsage = false;
            firstUsageExtended = false;
        }
    }
    // A collection still open at the end means the descriptor was cut off.
    if (depth > 0) out.ok = false;

    out.collections.reserve(collections.size());
    for (const CollectionBits& c : collections) {
        out.collections.push_back({c.usagePage, c.usage, LongestBytes(c.bits[0]), LongestBytes(c.bits[1]),
                                   LongestBytes(c.bits[2])});
    }
    return out;
}

CollectionReports LongestReports(const DescriptorReports& reports) {
    CollectionReports longest;
    for (const CollectionReports& c : reports.collections) {
        longest.input = std::max(longest.input, c.input);
        longest.output = std::max(longest.output, c.output);
        longest.feature = std::max(longest.feature, c.feature);
    }
    return longest;
}

} // namespace tarvik
