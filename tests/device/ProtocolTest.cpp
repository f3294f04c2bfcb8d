// The reports the mouse sends back, the display texts, and interface
// classification: one table of cases per rule.
#include <gtest/gtest.h>

#include "DeviceFixture.h"
#include "device/DeviceIds.h"
#include "device/Protocol.h"

namespace tarvik::test {
namespace {

ReportBytes Reply(std::uint8_t command, std::uint8_t byte3, std::uint8_t length, std::uint8_t sensor,
                  std::uint8_t battery, std::uint8_t charge) {
    ReportBytes r{};
    r[0] = 0x0C;
    r[1] = 0x01;
    r[2] = command;
    r[3] = byte3;
    r[6] = length;
    r[15] = sensor;
    r[18] = battery;
    r[19] = charge;
    return r;
}

TEST(StatusReplyTest, Cases) {
    struct Case {
        const char* name;
        ReportBytes bytes;
        StatusReplyKind kind;
        StatusReply reply;
    };
    const Case cases[] = {
        {"answer",
         Reply(0x20, 0, 13, 0x25, 57, 0),
         StatusReplyKind::Answer,
         {0x25, 57, ChargeState::NotCharging}},
        {"charging",
         Reply(0x20, 0, 13, 0x60, 40, 1),
         StatusReplyKind::Answer,
         {0x60, 40, ChargeState::Charging}},
        {"full forces 100",
         Reply(0x20, 0, 13, 0x60, 12, 2),
         StatusReplyKind::Answer,
         {0x60, 100, ChargeState::Full}},
        {"other charge value",
         Reply(0x20, 0, 13, 0x25, 80, 7),
         StatusReplyKind::Answer,
         {0x25, 80, ChargeState::NotCharging}},
        {"length 0 is no answer yet", Reply(0x20, 0, 0, 0x25, 57, 0), StatusReplyKind::Empty, {}},
        {"another command", Reply(0x07, 0, 1, 0x25, 57, 0), StatusReplyKind::Foreign, {}},
        {"byte 3 not zero", Reply(0x20, 1, 13, 0x25, 57, 0), StatusReplyKind::Foreign, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ParsedStatusReply p = ParseStatusReply(c.bytes);
        EXPECT_EQ(p.kind, c.kind);
        if (c.kind == StatusReplyKind::Answer) {
            EXPECT_EQ(p.reply, c.reply);
        }
    }
    // Too short to hold the battery fields: no answer.
    const std::uint8_t shortReply[] = {0x0C, 0x01, 0x20, 0x00, 0x01, 0x00, 0x0D};
    EXPECT_EQ(ParseStatusReply(shortReply).kind, StatusReplyKind::Empty);
}

TEST(InputReportTest, OnlyReportFiveEventSixCounts) {
    struct Case {
        std::vector<std::uint8_t> bytes;
        std::optional<InputEvent> event;
    };
    const Case cases[] = {
        {{0x05, 0x06, 0x00, 0x02, 0x01}, InputEvent{2, 1}},
        {{0x05, 0x06, 0xAA, 0x08, 0x03, 0xFF}, InputEvent{8, 3}},
        {{0x05, 0x07, 0x00, 0x02, 0x01}, std::nullopt}, // other event type
        {{0x04, 0x06, 0x00, 0x02, 0x01}, std::nullopt}, // other report ID
        {{0x05, 0x06, 0x00, 0x02}, std::nullopt},       // too short for the level
        {{}, std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseInputReport(c.bytes), c.event) << HexLine(c.bytes);
}

TEST(InputReportTest, PollingIntervalToRate) {
    const std::pair<std::uint8_t, std::uint8_t> cases[] = {{8, 0}, {4, 1}, {2, 2}, {1, 3}, {16, 3}, {0, 3}};
    for (auto [interval, index] : cases)
        EXPECT_EQ(PollingIndexFromInterval(interval), index) << int(interval);
    EXPECT_EQ(PollingRateName(0), u"125HZ");
    EXPECT_EQ(PollingRateName(3), u"1000HZ");
}

TEST(OsdTest, SlotOfLevelAmongEnabledLevels) {
    struct Case {
        std::uint8_t mask;
        int level;
        int slot;
    };
    const Case cases[] = {
        {0x1B, 2, 3}, // levels 0, 1, 3, 4 enabled: the third is slot 3 ("DPI-4")
        {0x1F, 0, 0},  {0x1F, 4, 4}, {0x80, 0, 7}, {0x1F, 5, 0}, // beyond the enabled levels
        {0x00, 0, 0},                                            // no level enabled
        {0x1F, -1, 0},                                           // the mouse reported level 0
        {0xFF, 8, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(OsdSlot(c.mask, c.level), c.slot) << int(c.mask) << " " << c.level;
}

class OsdTextTest : public DeviceTest {};

TEST_F(OsdTextTest, TitleValueAndRate) {
    ProfileRecord& rec = Current();
    rec.DPIOffOnFlag = 0x1B;
    const std::pair<std::uint8_t, const char*> rates[] = {
        {0, "125Hz"}, {1, "250Hz"}, {2, "500Hz"}, {3, "1000Hz"}};
    for (auto [code, text] : rates) {
        rec.PollingRate[0] = code;
        const OsdTexts t = MakeOsdTexts(rec, 2, *model_);
        EXPECT_EQ(t.title, "DPI-4");
        EXPECT_EQ(t.value, std::to_string(model_->ShownDpi(model_->GetCurrentProfile(), 3)));
        EXPECT_EQ(t.rate, text);
    }
    EXPECT_EQ(BatteryText(57), "57%");
}

TEST(ClassifyTest, InputRoleFirstThenFeatureRole) {
    struct Case {
        hid::InterfaceInfo info;
        std::optional<Classification> cls;
    };
    const Case cases[] = {
        {{"a-in", kVendorId, kProductIdA, 33, 0}, Classification{Identity::A, InterfaceRole::Input}},
        {{"a-feat", kVendorId, kProductIdA, 9, 33}, Classification{Identity::A, InterfaceRole::Feature}},
        {{"a-both", kVendorId, kProductIdA, 33, 33}, Classification{Identity::A, InterfaceRole::Input}},
        {{"b-feat", kVendorId, kProductIdB, 0, 33}, Classification{Identity::B, InterfaceRole::Feature}},
        {{"a-kbd", kVendorId, kProductIdA, 9, 0}, std::nullopt},
        {{"a-long", kVendorId, kProductIdA, 64, 65}, std::nullopt},
        {{"foreign", 0x046D, kProductIdA, 33, 33}, std::nullopt},
        {{"other-pid", kVendorId, 0x5B30, 33, 33}, std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ClassifyInterface(c.info), c.cls) << c.info.path;
}

} // namespace
} // namespace tarvik::test
