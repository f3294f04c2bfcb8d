// The virtual mouse's frame decoding: malformed frames are counted and change
// nothing; macro chunks are reassembled only in order; the state document.
#include <gtest/gtest.h>

#include "device/DeviceFixture.h"
#include "programs/Backends.h"

namespace tarvik::test {
namespace {

ReportBytes Frame(const std::string& hex) {
    ReportBytes r{};
    const auto bytes = ParseHexBytes(hex);
    std::copy_n(bytes.begin(), std::min(bytes.size(), r.size()), r.begin());
    return r;
}

TEST(VirtualMouseTest, MalformedFramesAreCountedAndIgnored) {
    const char* bad[] = {
        "0D 01 07 00 01 01 01 02",          // wrong report ID
        "0C 02 07 00 01 01 01 02",          // byte 1
        "0C 01 07 05 01 01 01 02",          // byte 3
        "0C 01 07 00 01 01 02 02",          // polling with length 2
        "0C 01 07 00 01 00 01 02",          // write without byte 5 = 1
        "0C 01 07 00 01 01 01 02 09",       // bytes after the payload
        "0C 01 04 00 01 01 04 06 10 01 00", // button position 6
        "0C 01 08 00 01 01 19 00",          // lighting page longer than the report holds
        "0C 01 0F 00 01 01 01 FE",          // reset without FF
        "0C 01 20 00 01 01",                // status query with byte 5 = 1
        "0C 01 0E 00 01 00 01 01",          // macro chunk count 0
        "0C 01 0E 00 01 12 1A 01",          // chunk 1 of 2 without chunk 0
        "0C 01 0E 00 01 02 05 01",          // first of two chunks shorter than 25 bytes
        "0C 01 33 00 01 01 01 01",          // unknown command
    };
    VirtualMouse mouse;
    for (const char* hex : bad) EXPECT_FALSE(mouse.ApplyFrame(Frame(hex))) << hex;
    const std::uint8_t shortFrame[] = {0x0C, 0x01, 0x07};
    EXPECT_FALSE(mouse.ApplyFrame(shortFrame));
    const VirtualMouse::State s = mouse.Snapshot();
    EXPECT_EQ(s.malformedFrames, std::size(bad) + 1);
    EXPECT_EQ(s.framesReceived, std::size(bad) + 1);
    EXPECT_FALSE(s.polling);
    EXPECT_FALSE(s.buttons[0]);
    EXPECT_EQ(s.factoryResets, 0u);
    EXPECT_TRUE(s.macros.empty());
}

TEST(VirtualMouseTest, MacroChunksReassembleInOrderOnly) {
    VirtualMouse mouse;
    std::string first = "0C 01 0E 00 01 02 1A 03";
    for (int i = 0; i < 25; ++i) first += " 11";
    EXPECT_TRUE(mouse.ApplyFrame(Frame(first)));
    EXPECT_TRUE(mouse.ApplyFrame(Frame("0C 01 0E 00 02 12 03 03 22 33")));
    ASSERT_EQ(mouse.Snapshot().macros.count(3), 1u);
    EXPECT_EQ(mouse.Snapshot().macros.at(3).size(), 27u);
    EXPECT_EQ(mouse.Snapshot().macros.at(3).back(), 0x33);

    // A chunk of another macro in between breaks the assembly: nothing is stored.
    EXPECT_TRUE(mouse.ApplyFrame(Frame(first.substr(0, 21) + "04" + first.substr(23))));
    EXPECT_FALSE(mouse.ApplyFrame(Frame("0C 01 0E 00 03 12 03 05 22 33")));
    EXPECT_FALSE(mouse.ApplyFrame(Frame("0C 01 0E 00 04 12 03 04 22 33")));
    EXPECT_EQ(mouse.Snapshot().macros.count(4), 0u);
}

TEST(VirtualMouseTest, StartsPluggedAndDumpsItsState) {
    BackendChoice sim = OpenBackend("sim", false);
    ASSERT_TRUE(sim.backend);
    ASSERT_TRUE(sim.mouse);
    EXPECT_EQ(sim.backend->Enumerate().size(), 4u);
    auto doc = sim.mouse->Dump();
    EXPECT_EQ(doc["plugged"]["A"], true);
    EXPECT_EQ(doc["plugged"]["B"], true);
    EXPECT_TRUE(doc["dpiPage"].is_null());
    EXPECT_EQ(doc["sensorCode"], 0x25);
    EXPECT_EQ(doc["battery"], 100);
    EXPECT_EQ(doc["chargeState"], 0);
    EXPECT_EQ(doc["buttons"].size(), 6u);

    EXPECT_TRUE(sim.mouse->ApplyFrame(Frame("0C 01 0B 00 05 01 02 06 01")));
    EXPECT_TRUE(sim.mouse->ApplyFrame(Frame("0C 01 08 00 06 01 03 01 22 01")));
    EXPECT_TRUE(sim.mouse->ApplyFrame(Frame("0C 01 04 00 07 01 04 02 10 04 00")));
    doc = sim.mouse->Dump();
    EXPECT_EQ(doc["power"], nlohmann::ordered_json::array({6, 1}));
    EXPECT_EQ(doc["lighting"], "03012201");
    EXPECT_EQ(doc["buttons"][2], "100400");
    EXPECT_EQ(doc["lastSequence"], 7);
    EXPECT_EQ(doc["framesReceived"], 3);

    // A reset empties what was received.
    EXPECT_TRUE(sim.mouse->ApplyFrame(Frame("0C 01 0F 00 08 01 01 FF")));
    doc = sim.mouse->Dump();
    EXPECT_TRUE(doc["power"].is_null());
    EXPECT_EQ(doc["factoryResets"], 1);

    // Handles opened before an unplug stay dead after the plug.
    auto feature = sim.backend->Open("sim:A:feature");
    ASSERT_TRUE(feature);
    sim.mouse->Unplug(Identity::A);
    EXPECT_EQ(sim.backend->Enumerate().size(), 2u);
    EXPECT_FALSE(sim.backend->Open("sim:A:feature"));
    sim.mouse->Plug(Identity::A);
    EXPECT_FALSE(feature->SetFeature(Frame("0C 01 07 00 01 01 01 02")));
    EXPECT_TRUE(sim.backend->Open("sim:A:feature")->SetFeature(Frame("0C 01 07 00 01 01 01 02")));
}

TEST(BackendChoiceTest, EveryChoiceHasABackendOrAReason) {
    for (const char* choice : {"linux", "socket:/tmp/x"}) {
        const BackendChoice c = OpenBackend(choice, false);
        EXPECT_TRUE(c.backend) << choice;
        EXPECT_FALSE(c.mouse) << choice;
        EXPECT_TRUE(c.error.empty()) << choice;
    }
    for (const char* choice : {"socket:", "usb"}) {
        const BackendChoice c = OpenBackend(choice, false);
        EXPECT_FALSE(c.backend) << choice;
        EXPECT_FALSE(c.error.empty()) << choice;
    }
}

TEST(TraceTest, WritesAndReadsAsHexLines) {
    std::vector<std::string> lines;
    BackendChoice sim = OpenBackend("sim", true, [&](char dir, std::span<const std::uint8_t> bytes) {
        lines.push_back(std::string(1, dir) + " " + HexLine(bytes));
    });
    auto feature = sim.backend->Open("sim:A:feature");
    ASSERT_TRUE(feature->SetFeature(FeatureReport::StatusQuery(1).bytes));
    ReportBytes reply{};
    reply[0] = 0x0C;
    ASSERT_TRUE(feature->GetFeature(reply));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0],
              "W 0C 01 20 00 01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
              "00 00 00 00");
    EXPECT_EQ(lines[1].substr(0, 22), "R 0C 01 20 00 01 00 0D");
    EXPECT_EQ(lines[1].size(), 2u + 33 * 3 - 1);
}

} // namespace
} // namespace tarvik::test
