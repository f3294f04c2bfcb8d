// Every byte example of the protocol, built by the code that sends it and
// compared with data/golden_reports.txt.
#include <fstream>
#include <functional>
#include <map>

#include "DeviceFixture.h"
#include "device/MacroUpload.h"
#include "device/Protocol.h"

namespace tarvik::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::map<std::string, Bytes> LoadGolden() {
    std::map<std::string, Bytes> cases;
    std::ifstream in(std::string(TARVIK_TEST_DATA) + "/device/data/golden_reports.txt");
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        const auto colon = line.find(':');
        if (colon == std::string::npos) continue;
        cases[line.substr(0, colon)] = ParseHexBytes(line.substr(colon + 1));
    }
    return cases;
}

Bytes Of(const FeatureReport& r) {
    return {r.bytes.begin(), r.bytes.end()};
}
template <std::size_t N> Bytes Of(const std::array<std::uint8_t, N>& a) {
    return {a.begin(), a.end()};
}

class GoldenReportsTest : public DeviceTest {
protected:
    // The first report a step of the pipeline writes.
    Bytes FirstWrite() {
        auto writes = timeline_.Writes();
        return writes.empty() ? Bytes{} : writes.front().bytes;
    }
    Bytes ApplyMain() {
        controller_->RequestSend(SendGroup::MainSettings);
        Apply();
        return FirstWrite();
    }
    Bytes Lighting(const std::function<void(ProfileRecord&)>& edit) {
        ProfileRecord rec = Current();
        edit(rec);
        const LightingPage page = BuildLightingPage(rec);
        return Of(FeatureReport::Make(kCmdLighting, 1, 1, page[0], std::span(page).subspan(1)));
    }
    static MacroKey NineSteps() {
        MacroKey m = ClickMacro(u"nine", 4, 0x41, 50);
        m.InsertAction(m.MacroActionNum, MacroAction::Press(0xA2)); // left Ctrl
        m.MacroCommandActionNum = 9;
        return m;
    }
    Bytes Step(std::uint8_t code, std::uint8_t b1, std::uint8_t b3, std::uint32_t delay) {
        return Of(DeviceStep(MacroAction::FromBytes(code, b1, 0, b3), delay));
    }
};

TEST_F(GoldenReportsTest, EveryCaseMatches) {
    std::map<std::string, std::function<Bytes()>> build = {
        {"polling-500hz-seq7",
         [&] {
             ConnectPrimed();
             controller_->Sequence().Set(7);
             Current().PollingRate[0] = 2;
             return ApplyMain();
         }},
        {"status-query-seq1",
         [&] {
             link_->ScanDevices();
             Status();
             return FirstWrite();
         }},
        {"button-middle-profile-button-3-seq9",
         [&] {
             ConnectPrimed();
             controller_->Sequence().Set(9);
             Current().Keys[3].Action = {0x10, 0x04, 0x00};
             controller_->RequestSend(SendGroup::Buttons);
             Apply();
             return FirstWrite();
         }},
        {"factory-reset-seq3",
         [&] {
             ConnectPrimed();
             controller_->Sequence().Set(3);
             ResetDevice();
             return FirstWrite();
         }},
        {"dpi-page-1f-level1",
         [&] {
             Current().DPIOffOnFlag = 0x1F;
             Current().CurrentDPILevel = 1;
             return Of(FeatureReport::Write(kCmdDpiLevels, 1, BuildDpiPage(Current(), *model_)));
         }},
        {"dpi-colours-default",
         [&] { return Of(FeatureReport::Write(kCmdDpiColours, 1, BuildColours(Current()))); }},
        {"lift-off-default",
         [&] {
             const std::uint8_t p[] = {LiftOffCode(Current()), 0};
             return Of(FeatureReport::Write(kCmdLiftOff, 1, p));
         }},
        {"lift-off-height-1",
         [&] {
             // Assigned from a string object: GCC 12 at -O2 reports a false -Wrestrict
             // for a one-character literal assigned into a string.
             Current().Settings[kSetLiftDetectionHeight].Value = std::u16string(u"1");
             const std::uint8_t p[] = {LiftOffCode(Current()), 0};
             return Of(FeatureReport::Write(kCmdLiftOff, 1, p));
         }},
        {"debounce-default-12",
         [&] {
             const std::uint8_t p[] = {DebounceValue(Current())};
             return Of(FeatureReport::Write(kCmdDebounce, 1, p));
         }},
        {"power-options-default",
         [&] { return Of(FeatureReport::Write(kCmdPowerOptions, 1, PowerOptionBytes(Current()))); }},
        {"motion-wakeup-default",
         [&] {
             const std::uint8_t p[] = {MotionWakeupValue(Current())};
             return Of(FeatureReport::Write(kCmdMotionWakeup, 1, p));
         }},
        {"lighting-mode1-default", [&] { return Lighting([](ProfileRecord&) {}); }},
        {"lighting-mode0", [&] { return Lighting([](ProfileRecord& r) { r.Lighting1Mode[0] = 0; }); }},
        {"lighting-mode3-brightness3",
         [&] { return Lighting([](ProfileRecord& r) { r.Lighting1Mode[0] = 3; }); }},
        {"lighting-mode2-two-black",
         [&] {
             return Lighting([](ProfileRecord& r) {
                 r.Lighting1Mode[0] = 2;
                 r.Lighting1FixedColor[2][1] = 0;
                 r.Lighting1FixedColor[2][4] = 0;
             });
         }},
        {"lighting-mode6-slot2-off",
         [&] {
             return Lighting([](ProfileRecord& r) {
                 r.Lighting1Mode[0] = 6;
                 r.Lighting1ColorSelected[6][2] = 0;
             });
         }},
        {"lighting-mode7", [&] { return Lighting([](ProfileRecord& r) { r.Lighting1Mode[0] = 7; }); }},
        {"lighting-mode2-slot0-off-two-black",
         [&] {
             return Lighting([](ProfileRecord& r) {
                 r.Lighting1Mode[0] = 2;
                 r.Lighting1ColorSelected[2][0] = 0;
                 r.Lighting1FixedColor[2][1] = 0;
                 r.Lighting1FixedColor[2][4] = 0;
             });
         }},
        {"lighting-mode10-empty",
         [&] { return Lighting([](ProfileRecord& r) { r.Lighting1Mode[0] = 10; }); }},
        {"macro-9-steps-chunk0", [&] { return Of(MacroChunk(BuildMacroImage(NineSteps(), 1), 9, 0, 1)); }},
        {"macro-9-steps-chunk1", [&] { return Of(MacroChunk(BuildMacroImage(NineSteps(), 1), 9, 1, 2)); }},
        {"macro-empty", [&] { return Of(MacroChunk(BuildMacroImage(MacroKey(u"empty"), 1), 0, 0, 1)); }},
        {"macro-two-delays-last-key",
         [&] {
             MacroKey m(u"delays");
             for (const MacroAction& a :
                  {MacroAction::Press(0x41), MacroAction::Delay(30), MacroAction::Delay(40),
                   MacroAction::Release(0x41), MacroAction::Press(0x42)})
                 m.InsertAction(m.MacroActionNum, a);
             m.MacroCommandActionNum = 3;
             return Of(MacroChunk(BuildMacroImage(m, 1), 3, 0, 1));
         }},
        {"macro-button-loop2-count5-number3",
         [&] {
             // Buttons 0 and 1 take numbers 1 and 2 first.
             for (int k = 0; k < 3; ++k) {
                 MacroKey& m = shelf_.Add(10 + k, u"m");
                 m.MacroKeyLoopType = k == 2 ? 2 : 1;
                 m.MacroKeyLoopNum = 5;
                 Current().Keys[k].Action = {kMacroFunction, 0, 0};
                 Current().Keys[k].MacroKeyIndex = 10 + k;
             }
             controller_->AssignMacroNumbers();
             const KeyAction a = Current().Keys[2].Action;
             return Bytes{a.Function, a.Data1, a.Data2};
         }},
        {"macro-button-loop1-number2",
         [&] {
             for (int k = 0; k < 2; ++k) {
                 MacroKey& m = shelf_.Add(20 + k, u"m");
                 m.MacroKeyLoopType = 1;
                 m.MacroKeyLoopNum = 7;
                 Current().Keys[k].Action = {kMacroFunction, 0, 0};
                 Current().Keys[k].MacroKeyIndex = 20 + k;
             }
             controller_->AssignMacroNumbers();
             const KeyAction a = Current().Keys[1].Action;
             return Bytes{a.Function, a.Data1, a.Data2};
         }},
        {"step-press-a-delay-5000", [&] { return Step(0x41, 0, 0, 5000); }},
        {"step-release-a-last", [&] { return Step(0x41, 0x80, 0, 0); }},
        {"step-left-button", [&] { return Step(0xE0, 0, 0, 0); }},
        {"step-forward-button", [&] { return Step(0xE4, 0, 0, 0); }},
        {"step-move-left", [&] { return Step(0xE5, 0, 0xFF, 0); }},
        {"step-move-down", [&] { return Step(0xE6, 0, 0x01, 0); }},
        {"step-wheel-up", [&] { return Step(0xE7, 0, 0xFF, 0); }},
        {"step-right-gui-release", [&] { return Step(0x5C, 0x80, 0, 0); }},
        {"step-right-alt", [&] { return Step(0xA5, 0, 0, 0); }},
        {"step-f13-no-usage", [&] { return Step(0x7C, 0, 0, 0); }},
        {"step-power-key", [&] { return Step(0xF0, 0, 0, 0); }},
    };

    const auto golden = LoadGolden();
    ASSERT_FALSE(golden.empty());
    for (const auto& [name, expected] : golden) {
        SCOPED_TRACE(name);
        auto it = build.find(name);
        ASSERT_NE(it, build.end()) << "no builder for this case";
        // Each case starts from a fresh model, mouse and sequence counter.
        TearDown();
        SetUp();
        const Bytes actual = it->second();
        Bytes want = expected;
        if (want.size() < actual.size()) want.resize(actual.size(), 0);
        EXPECT_EQ(HexLine(actual), HexLine(want));
    }
    for (const auto& [name, fn] : build)
        EXPECT_TRUE(golden.count(name)) << "case " << name << " missing from file";
}

TEST(SequenceCounterTest, StartsAtOneAndWrapsFrom255ToZero) {
    SequenceCounter seq;
    EXPECT_EQ(seq.Take(), 1);
    seq.Set(255);
    EXPECT_EQ(seq.Take(), 255);
    EXPECT_EQ(seq.Take(), 0);
    EXPECT_EQ(seq.Take(), 1);
}

} // namespace
} // namespace tarvik::test
