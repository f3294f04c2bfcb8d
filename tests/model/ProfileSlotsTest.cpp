#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <random>

#include "model/ProfileSlots.h"
#include "text/Language.h"

namespace tarvik {
namespace {

class ProfileSlotsTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("tarvik-slots-" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(dir_ / "config");
        Language().Clear();
        for (int i = 0; i < 5; ++i)
            Language().Set(85 + i, u"Profile " + std::u16string(1, char16_t(u'1' + i)));
        model_ = std::make_unique<SettingsModel>(dir_);
        model_->LoadSettingsModel();
    }
    void TearDown() override {
        Language().Clear();
        std::filesystem::remove_all(dir_);
    }
    std::array<int, 5> List() const {
        std::array<int, 5> l{};
        for (int i = 0; i < 5; ++i) l[static_cast<std::size_t>(i)] = model_->GetShowList(i);
        return l;
    }
    // The model as the next start would see it.
    SettingsModel Reloaded() const {
        SettingsModel m(dir_);
        m.LoadSettingsModel();
        return m;
    }
    std::filesystem::path dir_;
    std::unique_ptr<SettingsModel> model_;
};

TEST_F(ProfileSlotsTest, AddUsesFirstHiddenSlotAndSaves) {
    ASSERT_EQ(model_->GetShowCount(), 3);
    model_->Profiles[3].Settings[kSetPowerDownTime].Value = u"9"; // stale content of the hidden slot
    SlotResult r = AddProfile(*model_, u"Sniper");
    EXPECT_TRUE(r.changed);
    EXPECT_EQ(r.slot, 3);
    EXPECT_EQ(model_->GetShowCount(), 4);
    EXPECT_EQ(model_->Profiles[3].Settings[kSetProfileName].Value, u"Sniper");
    EXPECT_EQ(model_->Profiles[3].Settings[kSetPowerDownTime].Value, u"6"); // reset to defaults

    SettingsModel again = Reloaded();
    EXPECT_EQ(again.GetShowCount(), 4);
    EXPECT_EQ(again.Profiles[3].Settings[kSetProfileName].Value, u"Sniper");
}

TEST_F(ProfileSlotsTest, DeleteRotatesShowListAndNextAddReusesTheEnd) {
    model_->SetShowCount(4);
    SlotResult r = DeleteProfile(*model_, 1);
    EXPECT_TRUE(r.changed);
    EXPECT_EQ(List(), (std::array<int, 5>{0, 2, 3, 4, 1}));
    EXPECT_EQ(model_->GetShowCount(), 3);
    EXPECT_EQ(AddProfile(*model_, u"Next").slot, 4);

    SettingsModel again = Reloaded();
    EXPECT_EQ(again.GetShowList(4), 1);
    EXPECT_EQ(again.GetShowCount(), 4);
}

TEST_F(ProfileSlotsTest, RefusalsNameTheirNoticeAndChangeNothing) {
    struct Case {
        const char* what;
        std::function<SlotResult(SettingsModel&)> op;
        Notice notice;
    };
    const Case cases[] = {
        {"delete current", [](SettingsModel& m) { return DeleteProfile(m, m.GetCurrentProfile()); },
         Notice::CurrentProfileNotDeletable},
        {"add empty name", [](SettingsModel& m) { return AddProfile(m, u""); }, Notice::EmptyProfileName},
        {"rename empty", [](SettingsModel& m) { return RenameProfile(m, 2, u""); }, Notice::EmptyProfileName},
        // A line break would split the name's line: the next start would reset the slot.
        {"add with a line feed", [](SettingsModel& m) { return AddProfile(m, u"a\nb"); }, Notice::None},
        {"rename with a line feed", [](SettingsModel& m) { return RenameProfile(m, 1, u"a\nb"); },
         Notice::None},
        {"rename with a line-ending carriage return",
         [](SettingsModel& m) { return RenameProfile(m, 1, u"ab\r"); }, Notice::None},
        {"add when all shown",
         [](SettingsModel& m) {
             m.SetShowCount(5);
             return AddProfile(m, u"Sixth");
         },
         Notice::NoFreeProfileSlot},
        {"delete hidden slot", [](SettingsModel& m) { return DeleteProfile(m, 4); }, Notice::None},
    };
    for (const Case& c : cases) {
        auto before = model_->Profiles;
        SlotResult r = c.op(*model_);
        EXPECT_FALSE(r.changed) << c.what;
        EXPECT_EQ(r.notice, c.notice) << c.what;
        EXPECT_EQ(model_->Profiles, before) << c.what;
        EXPECT_EQ(r.refusal.empty(), std::string(c.what).find("line") == std::string::npos) << c.what;
        TearDown(); // a fresh data folder for the next case
        SetUp();
    }
}

// A kill between the two saves of an add must not leave config.ini showing the
// new slot while its file still holds the old profile: the profile file comes
// first, and config.ini waits for it.
TEST_F(ProfileSlotsTest, AddWritesTheProfileBeforeTheSettingsThatShowIt) {
    const auto slotFile = dir_ / "config" / "default3.psf";
    std::filesystem::remove(slotFile);
    std::filesystem::create_directories(slotFile / "in-the-way"); // the rename over it fails
    const SlotResult r = AddProfile(*model_, u"Sniper");
    EXPECT_TRUE(r.changed);
    EXPECT_EQ(r.saved.error, FileError::NotWritten);
    std::filesystem::remove_all(slotFile);
    SettingsModel again = Reloaded();
    EXPECT_EQ(again.GetShowCount(), 3); // config.ini does not show slot 3
}

// A profile file the load left alone (slot 1: a folder in its place) refuses
// the operations that would change it, before they change anything; the
// other slots and config.ini are saved as usual, also when the window changed
// the refused slot's tables directly.
TEST_F(ProfileSlotsTest, AFileLeftAloneFailsOnlyTheOperationsThatNeedIt) {
    const auto slotFile = dir_ / "config" / "default1.psf";
    std::filesystem::remove(slotFile);
    std::filesystem::create_directories(slotFile / "inside");
    model_->LoadSettingsModel();
    model_->SetShowCount(1); // the next add shows slot 1
    const std::filesystem::path good = dir_ / "config" / "default2.psf";
    struct Case {
        const char* what;
        std::function<FileResult(SettingsModel&)> op;
    };
    const Case refused[] = {
        {"rename", [](SettingsModel& m) { return RenameProfile(m, 1, u"Lost").saved; }},
        {"add", [](SettingsModel& m) { return AddProfile(m, u"Lost").saved; }},
        {"import", [&good](SettingsModel& m) { return m.ImportProfile(1, good); }},
    };
    for (const Case& c : refused) {
        const auto profiles = model_->Profiles;
        const auto pairs = model_->Ini;
        EXPECT_EQ(c.op(*model_).error, FileError::NotWritten) << c.what;
        EXPECT_EQ(model_->Profiles, profiles) << c.what;
        EXPECT_EQ(model_->Ini, pairs) << c.what;
    }
    model_->Profiles[1].Settings[kSetPowerDownTime].Value = u"9"; // as the window's tables do
    ASSERT_TRUE(SelectProfile(*model_, 2).changed);
    EXPECT_EQ(RenameProfile(*model_, 0, u"Kept").saved.error, FileError::NotWritten); // slot 1's refusal
    SettingsModel again = Reloaded();
    EXPECT_EQ(again.Profiles[0].Settings[kSetProfileName].Value, u"Kept");
    EXPECT_EQ(again.GetCurrentProfile(), 2);
    EXPECT_TRUE(std::filesystem::is_directory(slotFile / "inside"));
}

TEST_F(ProfileSlotsTest, RenameAndSelect) {
    EXPECT_TRUE(RenameProfile(*model_, 2, u"Work = fast").changed);
    EXPECT_EQ(Reloaded().Profiles[2].Settings[kSetProfileName].Value, u"Work = fast");
    EXPECT_TRUE(SelectProfile(*model_, 2).changed);
    EXPECT_EQ(model_->GetCurrentProfile(), 2);
    EXPECT_FALSE(SelectProfile(*model_, 7).changed);
}

} // namespace
} // namespace tarvik
