#include <gtest/gtest.h>

#include <vector>

#include "Descriptors.h"
#include "device/linux/ReportDescriptor.h"

namespace tarvik {
namespace {

using namespace testdata;

TEST(ReportDescriptor, LengthsOfRealDescriptors) {
    struct Case {
        const char* name;
        const Bytes& bytes;
        ReportLengths want;
    };
    const Case cases[] = {
        {"boot mouse", kBootMouse, {3, 0, 0, false, true}},
        {"keyboard with report ids", kKeyboardWithIds, {9, 2, 0, true, true}},
        {"composite gaming mouse", kCompositeGamingMouse, {9, 0, 65, true, true}},
        {"vendor feature interface", kVendorFeature, {0, 0, 33, true, true}},
        {"vendor input interface", kVendorInput, {33, 0, 0, true, true}},
        {"empty", Bytes{}, {0, 0, 0, false, true}},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseReportDescriptor(c.bytes), c.want) << c.name;
}

TEST(ReportDescriptor, EveryTruncationStaysInsideItsInput) {
    for (const Bytes* full : {&kBootMouse, &kKeyboardWithIds, &kCompositeGamingMouse, &kVendorFeature}) {
        for (std::size_t n = 0; n < full->size(); ++n) {
            // A heap copy of exactly n bytes, so ASan sees any read past the end.
            std::vector<std::uint8_t> cut(full->begin(), full->begin() + static_cast<std::ptrdiff_t>(n));
            ReportLengths r = ParseReportDescriptor(cut);
            EXPECT_LE(r.input, 9u);
            EXPECT_LE(r.feature, 65u);
        }
    }
    // Cut inside a four-byte item and inside a long item: reported as malformed.
    EXPECT_FALSE(ParseReportDescriptor(Bytes{0x27, 0xFF, 0xFF}).ok);
    EXPECT_FALSE(ParseReportDescriptor(Bytes{0xFE, 0x05, 0x10, 0x00}).ok);
}

TEST(ReportDescriptor, UnbalancedPopAndHugeCountsAreSurvived) {
    EXPECT_FALSE(ParseReportDescriptor(Bytes{0xB4}).ok);
    // Report size and count at their 32-bit maximum: the sum is clamped, not wrapped.
    Bytes huge = {0x77, 0xFF, 0xFF, 0xFF, 0xFF, 0x97, 0xFF, 0xFF, 0xFF, 0xFF, 0x81, 0x02, 0x81, 0x02};
    ReportLengths r = ParseReportDescriptor(huge);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.input, (std::size_t{1} << 32) / 8);
}

} // namespace
} // namespace tarvik
