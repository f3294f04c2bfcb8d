#include "device/linux/ReportDescriptor.h"

#include <algorithm>
#include <map>
#include <vector>

namespace tarvik {

namespace {
struct GlobalState {
    std::uint32_t reportSize = 0;
    std::uint32_t reportCount = 0;
    std::uint32_t reportId = 0;
};

enum ItemType { kMain = 0, kGlobal = 1, kLocal = 2 };
enum MainTag { kInput = 0x8, kOutput = 0x9, kCollection = 0xA, kFeature = 0xB, kEndCollection = 0xC };
enum GlobalTag { kReportSize = 0x7, kReportId = 0x8, kReportCount = 0x9, kPush = 0xA, kPop = 0xB };

// A descriptor cannot describe more than this many bits per report in practice;
// larger sums are clamped so the arithmetic never overflows.
constexpr std::uint64_t kMaxBits = std::uint64_t{1} << 32;
constexpr std::size_t kMaxStack = 64;
} // namespace

ReportLengths ParseReportDescriptor(std::span<const std::uint8_t> d) {
    ReportLengths out;
    GlobalState g;
    std::vector<GlobalState> stack;
    // bits per (type, report id)
    std::map<std::uint32_t, std::uint64_t> bits[3];

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
            case kReportSize:
                g.reportSize = value;
                break;
            case kReportCount:
                g.reportCount = value;
                break;
            case kReportId:
                g.reportId = value;
                out.usesReportIds = true;
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
        } else if (type == kMain) {
            int slot = tag == kInput ? 0 : tag == kOutput ? 1 : tag == kFeature ? 2 : -1;
            if (slot >= 0) {
                auto& sum = bits[slot][g.reportId];
                sum = std::min(kMaxBits, sum + std::uint64_t{g.reportSize} * g.reportCount);
            }
        }
        // Local items (usages, designators, strings) do not affect report lengths.
    }

    auto longest = [&](int slot) -> std::size_t {
        std::uint64_t maxBytes = 0;
        for (const auto& [id, b] : bits[slot]) maxBytes = std::max(maxBytes, (b + 7) / 8);
        if (maxBytes == 0) return 0;
        return static_cast<std::size_t>(maxBytes) + (out.usesReportIds ? 1 : 0);
    };
    out.input = longest(0);
    out.output = longest(1);
    out.feature = longest(2);
    return out;
}

} // namespace tarvik
