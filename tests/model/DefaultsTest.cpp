#include "ModelFixture.h"

namespace tarvik::test {
namespace {

using Defaults = ModelTest;

TEST_F(Defaults, ResetUsesTheLanguageTable) {
    SettingsTables m;
    EXPECT_EQ(m.Profiles[2].DPIOffOnFlag, 0x7F); // never loaded
    m.SensorId = 0x3325;
    m.BuildDpiTables();
    m.Profiles[2].Keys[0].Macro.MacroActionNum = 5;
    m.Profiles[2].Keys[0].MacroKeyIndex = 9;
    m.ResetProfileToDefaults(2);
    const ProfileRecord& r = m.Profiles[2];
    EXPECT_EQ(r.Settings[0], (ProfileSetting{u"ProfileName", u"Profil 3 — Jeu"}));
    EXPECT_EQ(r.DPIOffOnFlag, 0x1F);
    EXPECT_EQ(r.ActiveDpiLevel(), 1);
    EXPECT_EQ(r.Keys[5].Name, u"DPI Loop");
    EXPECT_EQ(r.Keys[5].Action, (KeyAction{0x40, 0x01, 0x00}));
    EXPECT_EQ(r.Keys[0].Macro.MacroActionNum, 0u);
    EXPECT_EQ(r.Keys[0].MacroKeyIndex, 0u);
    EXPECT_EQ(r.Lighting2Name, u"Néon");
    for (int level = 0; level < 5; ++level) EXPECT_NE(m.ShownDpi(2, level), 0);

    // Defaults made under another language keep that language's names.
    Language().Set(87, u"Other");
    EXPECT_EQ(m.Profiles[2].Settings[0].Value, u"Profil 3 — Jeu");

    // No such slot: nothing changes.
    const auto before = m.Profiles;
    m.ResetProfileToDefaults(7);
    m.ResetProfileToDefaults(-1);
    EXPECT_EQ(m.Profiles, before);
}

TEST_F(Defaults, ActiveDpiLevel) {
    struct Case {
        std::uint8_t flag, ordinal;
        int level;
    };
    const Case cases[] = {
        {0x1F, 0, 0}, {0x1F, 1, 1}, {0x1F, 4, 4}, {0x1F, 5, -1}, {0x14, 0, 2},  {0x14, 1, 4},
        {0x80, 0, 7}, {0x00, 0, 0}, {0x00, 9, 0}, {0xFF, 7, 7},  {0xFF, 8, -1}, {0xFF, 255, -1},
    };
    for (const auto& c : cases) {
        ProfileRecord r;
        r.DPIOffOnFlag = c.flag;
        r.CurrentDPILevel = c.ordinal;
        EXPECT_EQ(r.ActiveDpiLevel(), c.level) << int(c.flag) << " " << int(c.ordinal);
    }
}

TEST_F(Defaults, SettingAccessors) {
    SettingsTables m;
    m.Profiles[1].Settings[kSetKeyDebounce].Value = u"12";
    m.Profiles[1].Settings[kSetPowerDownTime].Value = u"abc";
    EXPECT_EQ(m.GetSettingInt(1, kSetKeyDebounce), 12);
    EXPECT_EQ(m.GetSettingInt(1, kSetPowerDownTime), 0);
    m.SetSettingInt(1, kSetPowerDownTime, -7);
    EXPECT_EQ(m.Profiles[1].Settings[kSetPowerDownTime].Value, u"-7");
    EXPECT_EQ(m.GetSettingInt(5, 0), 0);
    EXPECT_EQ(m.GetSettingInt(1, 20), 0);
    // Slots and indexes outside the table change nothing.
    const auto before = m.Profiles;
    m.SetSettingInt(-1, 0, 3);
    m.SetSettingInt(5, 0, 3);
    m.SetSettingInt(1, 20, 3);
    m.SetSettingInt(1, -1, 3);
    EXPECT_EQ(m.Profiles, before);

    // Indexes of XYSetting beyond the table and levels beyond eight show 0.
    m.SensorId = 0x3395;
    m.BuildDpiTables();
    m.Profiles[0].XYSetting = {519, 520, 0xFFFF, 0, 0, 0, 0, 0};
    EXPECT_EQ(m.ShownDpi(0, 0), 26000);
    EXPECT_EQ(m.ShownDpi(0, 1), 0);
    EXPECT_EQ(m.ShownDpi(0, 2), 0);
    EXPECT_EQ(m.ShownDpi(0, 8), 0);
    EXPECT_EQ(m.ShownDpi(0, -1), 0);
}

TEST_F(Defaults, SettingsPairsFallBackWhenOutOfRange) {
    SettingsModel m(dir.path());
    m.Ini = m.DefaultIni();
    struct Case {
        int pair;
        std::u16string value;
        int current, count, list3;
    };
    const Case cases[] = {
        {kIniCurrentProfile, u"4", 4, 3, 3},  {kIniCurrentProfile, u"5", 0, 3, 3},
        {kIniCurrentProfile, u"-1", 0, 3, 3}, {kIniCurrentProfile, u"x", 0, 3, 3},
        {kIniShowCount, u"5", 0, 5, 3},       {kIniShowCount, u"6", 0, 3, 3},
        {kIniShowCount, u"0", 0, 3, 3},       {kIniShowList0 + 3, u"0", 0, 3, 0},
        {kIniShowList0 + 3, u"99", 0, 3, 3},
    };
    for (const auto& c : cases) {
        SettingsTables t;
        t.Ini = m.Ini;
        t.Ini[static_cast<std::size_t>(c.pair)].Value = c.value;
        EXPECT_EQ(t.GetCurrentProfile(), c.current) << ToUtf8(c.value);
        EXPECT_EQ(t.GetShowCount(), c.count) << ToUtf8(c.value);
        EXPECT_EQ(t.GetShowList(3), c.list3) << ToUtf8(c.value);
    }
    EXPECT_EQ(m.GetShowList(5), 0);
    EXPECT_TRUE(m.GetSlotPath(5).empty());
    m.SetShowList(4, 1);
    m.SetShowCount(4);
    m.SetCurrentProfile(2);
    EXPECT_EQ(m.GetShowList(4), 1);
    EXPECT_EQ(m.GetShowCount(), 4);
    EXPECT_EQ(m.GetCurrentProfile(), 2);
    m.SetCurrentProfile(5); // ignored
    EXPECT_EQ(m.GetCurrentProfile(), 2);
    EXPECT_EQ(m.GetSlotPath(3), dir / "config" / "default3.psf");
}

TEST_F(Defaults, AssignMacroCopiesValidSteps) {
    MacroKey source(u"Combo");
    source.MacroKeyIndex = 12;
    source.MacroKeyLoopType = 4;
    source.MacroKeyLoopNum = 3;
    source.MacroCommandActionNum = 2;
    source.InsertAction(0, MacroAction::Press(0x41));
    source.InsertAction(1, MacroAction::Release(0x41));
    source.AllAction[100] = MacroAction::Press(0x42); // stale slot beyond the count

    KeySlot slot;
    slot.Macro.AllAction[200] = MacroAction::Press(0x43);
    slot.AssignMacro(&source);
    EXPECT_EQ(slot.Macro.Name, u"Combo");
    EXPECT_EQ(slot.Macro.MacroKeyIndex, 12u);
    EXPECT_EQ(slot.Macro.MacroKeyLoopType, 4);
    EXPECT_EQ(slot.Macro.MacroKeyLoopNum, 3);
    EXPECT_EQ(slot.Macro.MacroCommandActionNum, 2);
    EXPECT_EQ(slot.Macro.MacroActionNum, 2u);
    EXPECT_EQ(slot.Macro.AllAction[1], MacroAction::Release(0x41));
    EXPECT_EQ(slot.Macro.AllAction[100], MacroAction{});
    EXPECT_EQ(slot.Macro.AllAction[200], MacroAction{});

    // A count above the slots copies the 336 slots and stops there.
    source.MacroActionNum = 1000;
    slot.AssignMacro(&source);
    EXPECT_EQ(slot.Macro.MacroActionNum, 336u);
    EXPECT_EQ(slot.Macro.AllAction[100], MacroAction::Press(0x42));

    slot.AssignMacro(&slot.Macro); // its own macro
    EXPECT_EQ(slot.Macro.AllAction[100], MacroAction::Press(0x42));
    slot.AssignMacro(nullptr);
    EXPECT_EQ(slot.Macro.MacroActionNum, 0u);
    EXPECT_EQ(slot.Macro.Name, u"Combo");
}

} // namespace
} // namespace tarvik::test
