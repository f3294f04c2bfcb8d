#include <gtest/gtest.h>

#include "model/MacroRecords.h"

namespace tarvik {
namespace {

MacroKey WithSteps(std::size_t n) {
    MacroKey m(u"m");
    for (std::size_t i = 0; i < n; ++i)
        m.InsertAction(i, MacroAction::FromValue(static_cast<std::uint32_t>(i + 1)));
    return m;
}

TEST(MacroRecords, StepKinds) {
    EXPECT_EQ(MacroAction::FromBytes(3, 0, 0x0F, 0xA0).DelayMs(), 4000u);
    EXPECT_TRUE(MacroAction::FromBytes(5, 0, 0, 1).IsDelay());
    EXPECT_EQ(MacroAction::Delay(50), MacroAction::FromBytes(3, 0, 0, 0x32));
    EXPECT_EQ(MacroAction::Move(MacroAction::kMoveX, -1).MoveAmount(), -1);
    EXPECT_TRUE(MacroAction::Release(0xE0).IsRelease());
    EXPECT_TRUE(MacroAction::Press(0x41).IsKey());
    EXPECT_TRUE(MacroAction::FromBytes(0x04, 0, 0, 0).IsDelay()); // b0 0-7 is always a delay
    EXPECT_EQ(MacroAction::FromValue(0x32000003u), MacroAction::FromBytes(3, 0, 0, 0x32));
}

TEST(MacroRecords, InsertClampsToTheCount) {
    MacroKey m = WithSteps(10);
    ASSERT_TRUE(m.InsertAction(400, MacroAction::Press(0x04)));
    EXPECT_EQ(m.MacroActionNum, 11u);
    EXPECT_EQ(m.AllAction[10], MacroAction::Press(0x04));
    EXPECT_EQ(m.AllAction[9], MacroAction::FromValue(10));

    ASSERT_TRUE(m.InsertAction(0, MacroAction::Press(0x05)));
    EXPECT_EQ(m.AllAction[0], MacroAction::Press(0x05));
    EXPECT_EQ(m.AllAction[1], MacroAction::FromValue(1));
    EXPECT_EQ(m.MacroActionNum, 12u);
}

TEST(MacroRecords, FullMacroRefusesInsertion) {
    MacroKey m = WithSteps(MacroKey::kMaxActions);
    const MacroKey before = m;
    EXPECT_FALSE(m.InsertAction(5, MacroAction::Press(0x04)));
    EXPECT_EQ(m, before);
    // A count read from a file beyond the slots is also full.
    m.MacroActionNum = 400;
    EXPECT_FALSE(m.InsertAction(0, MacroAction::Press(0x04)));
    EXPECT_EQ(m.ValidCount(), MacroKey::kMaxActions);
}

TEST(MacroRecords, RemoveShiftsDownAndClearsTheLastSlot) {
    MacroKey m = WithSteps(MacroKey::kMaxActions);
    ASSERT_TRUE(m.RemoveAction(0));
    EXPECT_EQ(m.MacroActionNum, 335u);
    EXPECT_EQ(m.AllAction[0], MacroAction::FromValue(2));
    EXPECT_EQ(m.AllAction[334], MacroAction::FromValue(336));
    EXPECT_EQ(m.AllAction[335], MacroAction{});
    EXPECT_FALSE(m.RemoveAction(335)); // past the end
    EXPECT_FALSE(m.SetAction(336, MacroAction::Press(1)));
    EXPECT_TRUE(m.SetAction(335, MacroAction::Press(1)));
    EXPECT_EQ(m.MacroActionNum, 335u); // SetAction leaves the count
    EXPECT_EQ(m.GetAction(400), m.AllAction[0]);

    MacroKey huge;
    huge.MacroActionNum = 1000; // as read from a hand-edited file
    EXPECT_TRUE(huge.RemoveAction(0));
    EXPECT_FALSE(huge.RemoveAction(400));
}

} // namespace
} // namespace tarvik
