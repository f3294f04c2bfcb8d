// What the model's listeners hear: each named operation tells which slot
// changed and what, so a window repaints that; a refused one tells nothing.
#include "ModelFixture.h"

#include <functional>
#include <map>

#include "model/ProfileSlots.h"

namespace tarvik::test {
namespace {

TEST(ModelChanges, ListenersHearWhatChangedAndMayRemoveThemselves) {
    SettingsModel m;
    std::vector<std::pair<int, ModelChange>> heard;
    int self = 0;
    self = m.AddListener([&](int slot, ModelChange what) {
        heard.emplace_back(slot, what);
        m.RemoveListener(self);
    });
    int calls = 0;
    m.AddListener([&](int, ModelChange) { ++calls; });
    m.NotifyChanged(2, ModelChange::Dpi | ModelChange::Polling);
    m.NotifyChanged(kAllSlots, ModelChange::Sensor);
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].first, 2);
    EXPECT_TRUE(Any(heard[0].second & ModelChange::Polling));
    EXPECT_FALSE(Any(heard[0].second & ModelChange::Lighting));
    EXPECT_EQ(calls, 2);
}

using Heard = std::map<int, ModelChange>; // slot → every change heard for it

struct NotifyCase {
    const char* what;
    std::function<void(SettingsModel&, const std::filesystem::path& exported)> op;
    Heard expected;
};

class Notifications : public ModelTest {};

TEST_F(Notifications, EachOperationTellsWhatItChanged) {
    using C = ModelChange;
    const std::vector<NotifyCase> cases = {
        {"select", [](SettingsModel& m, auto&) { (void)SelectProfile(m, 2); }, {{2, C::CurrentSlot}}},
        {"add",
         [](SettingsModel& m, auto&) { (void)AddProfile(m, u"New"); },
         {{3, C::Profile | C::ShowList}}},
        {"rename", [](SettingsModel& m, auto&) { (void)RenameProfile(m, 1, u"R"); }, {{1, C::ProfileName}}},
        {"delete", [](SettingsModel& m, auto&) { (void)DeleteProfile(m, 2); }, {{2, C::ShowList}}},
        {"refused delete of the current profile",
         [](SettingsModel& m, auto&) { (void)DeleteProfile(m, 0); },
         {}},
        {"refused add without a name", [](SettingsModel& m, auto&) { (void)AddProfile(m, u""); }, {}},
        {"import", [](SettingsModel& m, auto& file) { (void)m.ImportProfile(4, file); }, {{4, C::Profile}}},
        {"import of a missing file changes nothing",
         [](SettingsModel& m, auto& file) { (void)m.ImportProfile(4, file.parent_path() / "none.psf"); },
         {}},
        {"sensor change",
         [](SettingsModel& m, auto&) { (void)m.ChangeSensor(0x3395); },
         {{kAllSlots, C::Sensor | C::Dpi}}},
        {"reset", [](SettingsModel& m, auto&) { m.ResetProfileToDefaults(2); }, {{2, C::Profile}}},
        {"reset of no slot", [](SettingsModel& m, auto&) { m.ResetProfileToDefaults(7); }, {}},
        {"start-up load",
         [](SettingsModel& m, auto&) { (void)m.LoadSettingsModel(); },
         {{kAllSlots, C::All}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(dir / "config");
        SettingsModel m(dir.path());
        FirstStart(m);
        const auto exported = dir / "exported.psf";
        ASSERT_TRUE(m.ExportProfile(1, exported));
        Heard heard;
        m.AddListener([&](int slot, ModelChange what) { heard[slot] = heard[slot] | what; });
        c.op(m, exported);
        EXPECT_EQ(heard, c.expected);
    }
}

} // namespace
} // namespace tarvik::test
