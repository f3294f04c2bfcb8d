#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "Descriptors.h"
#include "device/linux/ReportDescriptor.h"

namespace tarvik {
namespace {

using namespace testdata;
using Collections = std::vector<CollectionReports>;

Bytes FromHex(const std::string& hex) {
    Bytes out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return out;
}

// Real descriptors with the lengths the platform's capability query reported
// for them (tests/device/linux/data/README.md): with and without report IDs, several
// reports per type, a 758-byte descriptor.
TEST(ReportDescriptor, RealDescriptorsMeasureAsThePlatformMeasuresThem) {
    std::ifstream in(std::filesystem::path(TARVIK_TEST_DATA) / "device" / "linux" / "data" /
                     "hid-descriptors.json");
    ASSERT_TRUE(in) << "hid-descriptors.json";
    const nlohmann::json doc = nlohmann::json::parse(in);
    const nlohmann::json& cases = doc.at("cases");
    ASSERT_FALSE(cases.empty());
    for (const nlohmann::json& c : cases) {
        const DescriptorReports got = ParseReportDescriptor(FromHex(c.at("descriptor").get<std::string>()));
        const CollectionReports want{c.at("usagePage").get<std::uint16_t>(),
                                     c.at("usage").get<std::uint16_t>(), c.at("input").get<std::size_t>(),
                                     c.at("output").get<std::size_t>(), c.at("feature").get<std::size_t>()};
        EXPECT_TRUE(got.ok) << c.at("name");
        EXPECT_EQ(got.collections, Collections{want}) << c.at("name");
    }
}

TEST(ReportDescriptor, OneEntryPerTopLevelCollection) {
    // A vendor feature collection whose report carries no ID: 32 data bytes
    // measure 33, as the numbered report does.
    const Bytes unnumberedFeature = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x09, 0x01, 0x15, 0x00,
                                     0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x20, 0xB1, 0x02, 0xC0};
    // Extended usage (page in the upper half) naming the collection; a nested
    // collection counts into its top-level one; an input item outside every
    // collection forms an entry of its own.
    const Bytes extendedNestedLoose = {
        0x05, 0x01, 0x0B, 0x01, 0x00, 0x0C, 0x00, // usage page 1, then extended usage 0x000C:0001
        0xA1, 0x01, 0x85, 0x03, 0x75, 0x10, 0x95, 0x01, 0x81, 0x00,       // report 3: 2 bytes
        0x09, 0x02, 0xA1, 0x02, 0x75, 0x08, 0x95, 0x04, 0x81, 0x00, 0xC0, // nested: report 3 grows by 4
        0xC0, 0x85, 0x07, 0x75, 0x08, 0x95, 0x02, 0x81, 0x00,             // outside: report 7, 2 bytes
        0x05, 0x0C, 0x09, 0x05, 0xA1, 0x01, 0x75, 0x01, 0x95, 0x03, 0x91, 0x02, 0xC0}; // 3 bits out
    struct Case {
        const char* name;
        const Bytes& bytes;
        Collections want;
    };
    const Case cases[] = {
        {"boot mouse without report ids", kBootMouse, {{0x01, 0x02, 4, 0, 0}}},
        {"keyboard and consumer control", kKeyboardWithIds, {{0x01, 0x06, 9, 2, 0}, {0x0C, 0x01, 3, 0, 0}}},
        {"composite gaming mouse",
         kCompositeGamingMouse,
         {{0x01, 0x02, 9, 0, 0}, {0x0C, 0x01, 3, 0, 0}, {0xFF00, 0x01, 0, 0, 65}}},
        {"vendor feature interface", kVendorFeature, {{0xFF00, 0x01, 0, 0, 33}}},
        {"vendor input interface", kVendorInput, {{0xFF00, 0x02, 33, 0, 0}}},
        {"vendor interface as one node",
         kVendorTwoCollections,
         {{0xFF00, 0x02, 33, 0, 0}, {0xFF00, 0x01, 0, 0, 33}}},
        {"unnumbered vendor feature", unnumberedFeature, {{0xFF00, 0x01, 0, 0, 33}}},
        {"extended usage, nested and loose reports",
         extendedNestedLoose,
         {{0x0C, 0x01, 7, 0, 0}, {0, 0, 3, 0, 0}, {0x0C, 0x05, 0, 2, 0}}},
        {"empty", Bytes{}, {}},
    };
    for (const Case& c : cases) {
        const DescriptorReports got = ParseReportDescriptor(c.bytes);
        EXPECT_TRUE(got.ok) << c.name;
        EXPECT_EQ(got.collections, c.want) << c.name;
    }
    // A node's reader needs the longest report over its collections.
    const CollectionReports longest = LongestReports(ParseReportDescriptor(kCompositeGamingMouse));
    EXPECT_EQ(longest, (CollectionReports{0, 0, 9, 0, 65}));
}

TEST(ReportDescriptor, EveryTruncationStaysInsideItsInputAndACutOffEndIsFlagged) {
    for (const Bytes* full :
         {&kBootMouse, &kKeyboardWithIds, &kCompositeGamingMouse, &kVendorTwoCollections}) {
        const DescriptorReports whole = ParseReportDescriptor(*full);
        for (std::size_t n = 0; n < full->size(); ++n) {
            // A heap copy of exactly n bytes, so ASan sees any read past the end.
            std::vector<std::uint8_t> cut(full->begin(), full->begin() + static_cast<std::ptrdiff_t>(n));
            const DescriptorReports r = ParseReportDescriptor(cut);
            ASSERT_LE(r.collections.size(), whole.collections.size()) << n;
            for (std::size_t k = 0; k < r.collections.size(); ++k) {
                EXPECT_LE(r.collections[k].input, whole.collections[k].input) << n;
                EXPECT_LE(r.collections[k].feature, whole.collections[k].feature) << n;
            }
        }
        // Without its closing End Collection the last collection is left open.
        EXPECT_FALSE(ParseReportDescriptor(std::span(*full).first(full->size() - 1)).ok);
    }
    struct Case {
        const char* name;
        Bytes bytes;
    };
    const Case malformed[] = {
        {"cut inside a four-byte item", {0x27, 0xFF, 0xFF}},
        {"cut inside a long item", {0xFE, 0x05, 0x10, 0x00}},
        {"long item without its size", {0xFE}},
        {"pop without push", {0xB4}},
        {"end collection without collection", {0xA1, 0x01, 0xC0, 0xC0}},
        {"pushes nested too deep", Bytes(65, 0xA4)},
    };
    for (const Case& c : malformed) EXPECT_FALSE(ParseReportDescriptor(c.bytes).ok) << c.name;
}

TEST(ReportDescriptor, HugeCountsAreClampedNotWrapped) {
    // Report size and count at their 32-bit maximum, twice.
    const Bytes huge = {0xA1, 0x01, 0x77, 0xFF, 0xFF, 0xFF, 0xFF, 0x97, 0xFF,
                        0xFF, 0xFF, 0xFF, 0x81, 0x02, 0x81, 0x02, 0xC0};
    const DescriptorReports r = ParseReportDescriptor(huge);
    EXPECT_TRUE(r.ok);
    ASSERT_EQ(r.collections.size(), 1u);
    EXPECT_EQ(r.collections[0].input, (std::size_t{1} << 32) / 8 + 1);
}

} // namespace
} // namespace tarvik
