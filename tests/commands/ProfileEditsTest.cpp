// The profile edits on a model in memory: each intent changes the record it
// names, tells the listeners exactly that, and asks for the groups that carry
// it to the mouse; a refused intent, and one that finds the record as asked,
// changes and announces nothing.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "commands/ProfileEdits.h"
#include "model/Lighting.h"
#include "model/PollingRates.h"
#include "model/ProfileRules.h"
#include "model/SettingsModel.h"
#include "text/Language.h"

namespace tarvik {
namespace {

using edits::EditResult;

constexpr int kSlot = 2; // not the current profile: the edits act on the slot they are given

struct Heard {
    int slot;
    ModelChange what;
    friend bool operator==(const Heard&, const Heard&) = default;
};

class ProfileEdits : public ::testing::Test {
protected:
    void SetUp() override {
        Language().Clear();
        Language().Set(20, u"Left Button");
        model_.SensorId = kDefaultSensorId;
        model_.BuildDpiTables();
        Fresh();
        model_.AddListener([this](int slot, ModelChange what) { heard_.push_back({slot, what}); });
    }

    // Every table to its defaults, slot 0 current, nothing heard.
    void Fresh() {
        model_.Ini = model_.DefaultIni();
        for (int s = 0; s < kProfileCount; ++s) model_.ResetProfileToDefaults(s);
        model_.SetCurrentProfile(0);
        heard_.clear();
    }

    ProfileRecord& Rec() { return model_.Profiles[kSlot]; }
    std::u16string Setting(int index) { return Rec().Settings[static_cast<std::size_t>(index)].Value; }

    SettingsModel model_;
    std::vector<Heard> heard_;
};

// ---- intents that change the record

struct ChangeCase {
    const char* name;
    std::function<void(SettingsModel&, ProfileRecord&)> before; // sets the record up (may be empty)
    std::function<EditResult(SettingsModel&)> edit;
    ModelChange changed;
    SendGroups send;
    std::function<bool(const SettingsModel&, const ProfileRecord&)> holds; // the record afterwards
    Notice notice = Notice::None;
};

std::vector<ChangeCase> ChangeCases() {
    const auto main = SendGroups(SendGroup::MainSettings);
    const auto effect = [](const ProfileRecord& r) { return std::min<std::size_t>(r.Lighting1Mode[0], 9); };
    return {
        {"level value", [](SettingsModel&, ProfileRecord& r) { r.XYSetting[3] = 0; },
         [](SettingsModel& m) { return edits::SetLevelValue(m, kSlot, 3, 10); }, ModelChange::Dpi, main,
         [](const SettingsModel&, const ProfileRecord& r) { return r.XYSetting[3] == 10; }},
        {"level disabled below the current one: the current level stays",
         [](SettingsModel&, ProfileRecord& r) {
             r.DPIOffOnFlag = 0x1F;
             r.CurrentDPILevel = 2;
         },
         [](SettingsModel& m) { return edits::SetLevelEnabled(m, kSlot, 1, false); }, ModelChange::Dpi, main,
         [](const SettingsModel&, const ProfileRecord& r) {
             return r.DPIOffOnFlag == 0x1D && r.CurrentDPILevel == 1 && r.ActiveDpiLevel() == 2;
         }},
        {"level enabled below the current one: the current level stays",
         [](SettingsModel&, ProfileRecord& r) {
             r.DPIOffOnFlag = 0x9D; // level 7 keeps its bit
             r.CurrentDPILevel = 1;
         },
         [](SettingsModel& m) { return edits::SetLevelEnabled(m, kSlot, 1, true); }, ModelChange::Dpi, main,
         [](const SettingsModel&, const ProfileRecord& r) {
             return r.DPIOffOnFlag == 0x9F && r.CurrentDPILevel == 2 && r.ActiveDpiLevel() == 2;
         }},
        {"level enabled as it is",
         [](SettingsModel&, ProfileRecord& r) { r.DPIOffOnFlag = 0x1F; },
         [](SettingsModel& m) { return edits::SetLevelEnabled(m, kSlot, 1, true); },
         ModelChange::None,
         {},
         [](const SettingsModel&, const ProfileRecord& r) { return r.DPIOffOnFlag == 0x1F; }},
        {"level colour",
         {},
         [](SettingsModel& m) { return edits::SetLevelColour(m, kSlot, 7, 0x123456); },
         ModelChange::Dpi,
         main,
         [](const SettingsModel&, const ProfileRecord& r) { return r.DPILevelIndication[7] == 0x123456; }},
        {"current level",
         [](SettingsModel&, ProfileRecord& r) {
             r.DPIOffOnFlag = 0x1F;
             r.CurrentDPILevel = 0;
         },
         [](SettingsModel& m) { return edits::SetCurrentLevel(m, kSlot, 4); }, ModelChange::Dpi, main,
         [](const SettingsModel&, const ProfileRecord& r) { return r.CurrentDPILevel == 4; }},
        {"polling rate", [](SettingsModel&, ProfileRecord& r) { StorePollingRate(r, kPollingRates[3]); },
         [](SettingsModel& m) { return edits::SetPollingRate(m, kSlot, 1); }, ModelChange::Polling, main,
         [](const SettingsModel&, const ProfileRecord& r) {
             return r.PollingRate == std::array<std::uint8_t, 3>{1, 0, 0} && r.PollingRateName == u"250HZ";
         }},
        {"polling rate as it is",
         [](SettingsModel&, ProfileRecord& r) { StorePollingRate(r, kPollingRates[2]); },
         [](SettingsModel& m) { return edits::SetPollingRate(m, kSlot, 2); },
         ModelChange::None,
         {},
         [](const SettingsModel&, const ProfileRecord& r) { return r.PollingRateName == u"500HZ"; }},
        {"lighting effect", [](SettingsModel&, ProfileRecord& r) { r.Lighting1Mode[0] = 1; },
         [](SettingsModel& m) { return edits::SetLightingEffect(m, kSlot, 6, u"Wave"); },
         ModelChange::Lighting, main,
         [](const SettingsModel&, const ProfileRecord& r) {
             return r.Lighting1Mode[0] == 6 && r.Lighting1Name == u"Wave";
         }},
        {"lighting speed of the current effect",
         [](SettingsModel&, ProfileRecord& r) {
             r.Lighting1Mode[0] = 4;
             r.Lighting1Speed[4] = 0;
         },
         [](SettingsModel& m) { return edits::SetLightingSpeed(m, kSlot, 4); }, ModelChange::Lighting, main,
         [](const SettingsModel&, const ProfileRecord& r) { return r.Lighting1Speed[4] == 4; }},
        {"lighting brightness",
         [](SettingsModel&, ProfileRecord& r) {
             r.Lighting1Mode[0] = 3;
             r.Lighting1Brightness[3] = 3;
         },
         [](SettingsModel& m) { return edits::SetLightingBrightness(m, kSlot, 0); }, ModelChange::Lighting,
         main, [](const SettingsModel&, const ProfileRecord& r) { return r.Lighting1Brightness[3] == 0; }},
        {"lighting direction",
         [](SettingsModel&, ProfileRecord& r) { r.Lighting1Direction[r.Lighting1Mode[0]] = 0; },
         [](SettingsModel& m) { return edits::SetLightingDirection(m, kSlot, true); }, ModelChange::Lighting,
         main,
         [effect](const SettingsModel&, const ProfileRecord& r) {
             return r.Lighting1Direction[effect(r)] == 1;
         }},
        {"lighting colour",
         {},
         [](SettingsModel& m) { return edits::SetLightingColour(m, kSlot, 9, 0xABCDEF); },
         ModelChange::Lighting,
         main,
         [effect](const SettingsModel&, const ProfileRecord& r) {
             return r.Lighting1FixedColor[effect(r)][9] == 0xABCDEF;
         }},
        {"lighting colour deselected while enough stay",
         [](SettingsModel&, ProfileRecord& r) {
             r.Lighting1Mode[0] = 2;
             r.Lighting1ColorSelected[2] = {1, 1, 0, 0, 0, 0, 0, 0, 0, 0};
         },
         [](SettingsModel& m) { return edits::SetLightingColourSelected(m, kSlot, 0, false); },
         ModelChange::Lighting, main,
         [](const SettingsModel&, const ProfileRecord& r) { return r.Lighting1ColorSelected[2][0] == 0; }},
        {"lift-off low",
         {},
         [](SettingsModel& m) { return edits::SetLiftOff(m, kSlot, true); },
         ModelChange::Settings,
         main,
         [](const SettingsModel& m, const ProfileRecord&) {
             return m.GetSettingInt(kSlot, kSetLiftDetectionHeight) == 1;
         }},
        {"power-down time",
         {},
         [](SettingsModel& m) { return edits::SetPowerDownTime(m, kSlot, 9); },
         ModelChange::Settings,
         SendGroup::PowerOptions,
         [](const SettingsModel& m, const ProfileRecord&) {
             return m.GetSettingInt(kSlot, kSetPowerDownTime) == 9;
         }},
        {"light on move",
         {},
         [](SettingsModel& m) { return edits::SetLightOnMove(m, kSlot, true); },
         ModelChange::Settings,
         SendGroup::PowerOptions,
         [](const SettingsModel& m, const ProfileRecord&) {
             return m.GetSettingInt(kSlot, kSetMoveLightingOnOffMode) == 1;
         }},
        {"motion wake-up off",
         {},
         [](SettingsModel& m) { return edits::SetMotionWakeup(m, kSlot, false); },
         ModelChange::Settings,
         SendGroup::MotionWakeup,
         [](const SettingsModel& m, const ProfileRecord&) {
             return m.GetSettingInt(kSlot, kSetMotionWakeup) == 0;
         }},
        {"hidden settings normalised",
         [](SettingsModel& m, ProfileRecord&) {
             m.SetSettingInt(kSlot, kSetAccelerationEnable, 7);
             m.SetSettingInt(kSlot, kSetScrollWheelPageEnable, 1);
             m.SetSettingInt(kSlot, kSetXDpi, 9);
             m.SetSettingInt(kSlot, kSetKeyDebounce, 13);
         },
         [](SettingsModel& m) { return edits::NormaliseHiddenSettings(m, kSlot); }, ModelChange::Settings,
         main,
         [](const SettingsModel& m, const ProfileRecord&) {
             return m.GetSettingInt(kSlot, kSetAccelerationEnable) == 0 &&
                    m.GetSettingInt(kSlot, kSetScrollWheelPageEnable) == 1 &&
                    m.GetSettingInt(kSlot, kSetXDpi) == 6 && m.GetSettingInt(kSlot, kSetKeyDebounce) == 12;
         }},
        {"hidden settings already normal",
         {},
         [](SettingsModel& m) { return edits::NormaliseHiddenSettings(m, kSlot); },
         ModelChange::None,
         {},
         [](const SettingsModel& m, const ProfileRecord&) {
             return m.GetSettingInt(kSlot, kSetKeyDebounce) == 12;
         }},
        {"button function",
         {},
         [](SettingsModel& m) {
             return edits::AssignFunction(m, kSlot, 4,
                                          ButtonChoice{u"Right", KeyAction{kFnMouseButton, 0x02, 0x00}});
         },
         ModelChange::Buttons,
         SendGroup::Buttons,
         [](const SettingsModel&, const ProfileRecord& r) {
             return r.Keys[4].Name == u"Right" && r.Keys[4].Action == KeyAction{kFnMouseButton, 0x02, 0x00};
         }},
        {"the last left button is put back, and nothing is sent",
         {},
         [](SettingsModel& m) {
             return edits::AssignFunction(m, kSlot, 0,
                                          ButtonChoice{u"Right", KeyAction{kFnMouseButton, 0x02, 0x00}});
         },
         ModelChange::None,
         {},
         [](const SettingsModel&, const ProfileRecord& r) {
             return r.Keys[0].Action == KeyAction{kFnMouseButton, 0x01, 0x00};
         },
         Notice::LeftButtonKept},
    };
}

TEST_F(ProfileEdits, EachIntentChangesAndAnnouncesWhatItNames) {
    for (const ChangeCase& c : ChangeCases()) {
        SCOPED_TRACE(c.name);
        Fresh();
        if (c.before) c.before(model_, Rec());
        const auto others = model_.Profiles;
        const EditResult r = c.edit(model_);
        EXPECT_FALSE(r.refused) << r.why;
        EXPECT_EQ(r.changed, c.changed);
        EXPECT_EQ(r.send, c.send);
        EXPECT_EQ(r.notice, c.notice);
        EXPECT_TRUE(c.holds(model_, Rec()));
        const std::vector<Heard> expected =
            Any(c.changed) ? std::vector<Heard>{{kSlot, c.changed}} : std::vector<Heard>{};
        EXPECT_EQ(heard_, expected);
        // The other slots and the current profile are left as they were.
        for (int s = 0; s < kProfileCount; ++s)
            if (s != kSlot) {
                EXPECT_TRUE(model_.Profiles[s] == others[s]) << "slot " << s;
            }
        EXPECT_EQ(model_.GetCurrentProfile(), 0);
    }
}

TEST_F(ProfileEdits, SelectingAProfileSendsAllOfIt) {
    for (const int slot : {kSlot, 0}) { // the current one too: it is sent again
        heard_.clear();
        const EditResult r = edits::SelectProfile(model_, slot);
        EXPECT_EQ(model_.GetCurrentProfile(), slot);
        EXPECT_EQ(r.changed, ModelChange::CurrentSlot);
        EXPECT_EQ(r.send, SendGroups::All());
        EXPECT_EQ(heard_, (std::vector<Heard>{{slot, ModelChange::CurrentSlot}}));
    }
}

// ---- refused intents

struct RefusedCase {
    const char* name;
    std::function<void(ProfileRecord&)> before;
    std::function<EditResult(SettingsModel&)> edit;
    Notice notice = Notice::None;
};

TEST_F(ProfileEdits, ARefusedIntentChangesAndAnnouncesNothing) {
    const RefusedCase cases[] = {
        {"slot beyond the five", {}, [](SettingsModel& m) { return edits::SetPollingRate(m, 5, 0); }},
        {"negative slot", {}, [](SettingsModel& m) { return edits::SetMotionWakeup(m, -1, true); }},
        {"level beyond the eight", {}, [](SettingsModel& m) { return edits::SetLevelValue(m, kSlot, 8, 1); }},
        {"step the sensor lacks",
         {},
         [](SettingsModel& m) {
             return edits::SetLevelValue(m, kSlot, 0, static_cast<int>(m.DpiStepCount));
         }},
        {"negative step", {}, [](SettingsModel& m) { return edits::SetLevelValue(m, kSlot, 0, -1); }},
        {"the only enabled level disabled", [](ProfileRecord& r) { r.DPIOffOnFlag = 0x04; },
         [](SettingsModel& m) { return edits::SetLevelEnabled(m, kSlot, 2, false); }},
        {"colour wider than three bytes",
         {},
         [](SettingsModel& m) { return edits::SetLevelColour(m, kSlot, 0, 0x1000000); }},
        {"current level beyond the enabled ones", [](ProfileRecord& r) { r.DPIOffOnFlag = 0x03; },
         [](SettingsModel& m) { return edits::SetCurrentLevel(m, kSlot, 2); }},
        {"polling rate beyond the table",
         {},
         [](SettingsModel& m) { return edits::SetPollingRate(m, kSlot, 4); }},
        {"effect the menu does not offer",
         {},
         [](SettingsModel& m) { return edits::SetLightingEffect(m, kSlot, 7, u"Seven"); }},
        {"effect name with a line break",
         {},
         [](SettingsModel& m) { return edits::SetLightingEffect(m, kSlot, 1, u"Ne\non"); }},
        {"speed beyond its stops",
         {},
         [](SettingsModel& m) { return edits::SetLightingSpeed(m, kSlot, kSpeedStops); }},
        {"brightness beyond its stops",
         {},
         [](SettingsModel& m) { return edits::SetLightingBrightness(m, kSlot, kBrightnessStops); }},
        {"colour slot beyond the ten",
         {},
         [](SettingsModel& m) { return edits::SetLightingColour(m, kSlot, kColourSlots, 0); }},
        {"the last colour of the effect deselected",
         [](ProfileRecord& r) {
             r.Lighting1Mode[0] = 2;
             r.Lighting1ColorSelected[2] = {0, 0, 1, 0, 0, 0, 0, 0, 0, 0};
         },
         [](SettingsModel& m) { return edits::SetLightingColourSelected(m, kSlot, 2, false); },
         Notice::KeepOneColour},
        {"the second-to-last colour of effect 6 deselected",
         [](ProfileRecord& r) {
             r.Lighting1Mode[0] = 6;
             r.Lighting1ColorSelected[6] = {1, 1, 0, 0, 0, 0, 0, 0, 0, 0};
         },
         [](SettingsModel& m) { return edits::SetLightingColourSelected(m, kSlot, 1, false); },
         Notice::KeepTwoColours},
        {"power-down time below the dial",
         {},
         [](SettingsModel& m) { return edits::SetPowerDownTime(m, kSlot, 0); }},
        {"power-down time above the dial",
         {},
         [](SettingsModel& m) { return edits::SetPowerDownTime(m, kSlot, 11); }},
        {"button beyond the six",
         {},
         [](SettingsModel& m) {
             return edits::AssignFunction(m, kSlot, 6, ButtonChoice{u"Right", {kFnMouseButton, 2, 0}});
         }},
        {"function name the profile file could not keep",
         {},
         [](SettingsModel& m) {
             return edits::AssignFunction(m, kSlot, 3, ButtonChoice{u"a\r\nb", {kFnMouseButton, 2, 0}});
         }},
        {"profile beyond the five",
         {},
         [](SettingsModel& m) { return edits::SelectProfile(m, kProfileCount); }},
    };
    for (const RefusedCase& c : cases) {
        SCOPED_TRACE(c.name);
        Fresh();
        if (c.before) c.before(Rec());
        const auto profiles = model_.Profiles;
        const auto ini = model_.Ini;
        const EditResult r = c.edit(model_);
        EXPECT_TRUE(r.refused);
        EXPECT_FALSE(r.why.empty());
        EXPECT_EQ(r.notice, c.notice);
        EXPECT_FALSE(r.Changed());
        EXPECT_TRUE(r.send.Empty());
        EXPECT_TRUE(heard_.empty());
        EXPECT_TRUE(model_.Profiles == profiles);
        EXPECT_TRUE(model_.Ini == ini);
    }
}

// ---- the mouse's own level and rate reports

TEST_F(ProfileEdits, TheMouseReportTakesTheSamePollingRuleAsTheUsersChoice) {
    for (const PollingRateRow& row : kPollingRates) {
        static_cast<void>(edits::SetPollingRate(model_, kSlot, row.index));
        const auto rate = Rec().PollingRate;
        const std::u16string name = Rec().PollingRateName;
        // Another rate first, so that the report has something to change.
        StorePollingRate(Rec(), kPollingRates[(row.index + 1) % kPollingRates.size()]);
        static_cast<void>(TakeLevelAndRateFromMouse(model_, kSlot, Rec().CurrentDPILevel, row.intervalMs));
        EXPECT_EQ(Rec().PollingRate, rate) << row.hz;
        EXPECT_EQ(Rec().PollingRateName, name) << row.hz;
    }
}

TEST_F(ProfileEdits, TheMouseReportAnnouncesWhatItChanged) {
    struct Case {
        const char* name;
        int ordinal;
        std::uint8_t interval;
        ModelChange changed;
        int levelAfter;
        const char16_t* rateAfter;
    };
    // The record starts at level 0 and 1000 Hz.
    const Case cases[] = {
        {"level and rate", 3, 8, ModelChange::Dpi | ModelChange::Polling, 3, u"125HZ"},
        {"rate only", 0, 2, ModelChange::Polling, 0, u"500HZ"},
        {"level only", 1, 1, ModelChange::Dpi, 1, u"1000HZ"},
        {"as it is", 0, 1, ModelChange::None, 0, u"1000HZ"},
        {"an interval the table lacks is 1000 Hz", 0, 5, ModelChange::None, 0, u"1000HZ"},
        {"a level beyond the eight changes nothing", 8, 8, ModelChange::None, 0, u"1000HZ"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fresh();
        Rec().CurrentDPILevel = 0;
        StorePollingRate(Rec(), kPollingRates[3]);
        EXPECT_EQ(TakeLevelAndRateFromMouse(model_, kSlot, c.ordinal, c.interval), c.changed);
        EXPECT_EQ(Rec().CurrentDPILevel, c.levelAfter);
        EXPECT_EQ(Rec().PollingRateName, c.rateAfter);
        const std::vector<Heard> expected =
            Any(c.changed) ? std::vector<Heard>{{kSlot, c.changed}} : std::vector<Heard>{};
        EXPECT_EQ(heard_, expected);
    }
}

} // namespace
} // namespace tarvik
