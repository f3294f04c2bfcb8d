// The saver thread: the order of its writes, the copies it writes, and the
// model's saves handed to it; the session's saving on top of it, on a virtual
// scheduler.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <vector>

#include "device/EventQueue.h"
#include "device/Scheduler.h"
#include "mainwnd/DelayedSaver.h"
#include "mainwnd/SaveService.h"
#include "model/ProfileSlots.h"
#include "model/SettingsModel.h"
#include "support/TempDir.h"
#include "text/Log.h"

namespace tarvik::test {
namespace {

std::u16string NameInFile(const std::filesystem::path& path) {
    ProfileRecord record;
    if (!ReadProfileRecord(path, record)) return u"(unreadable)";
    return record.Settings[kSetProfileName].Value;
}

struct SaverFixture : ::testing::Test {
    TempDir dir;
    SettingsModel model{dir.path()};
    std::mutex mutex;
    std::vector<std::pair<FileResult, bool>> results;
    // Completions run on the saver thread here; the window posts them to its own.
    DelayedSaver saver{[](std::function<void()> call) { call(); }};

    void SetUp() override {
        std::filesystem::create_directories(dir / "config");
        static_cast<void>(model.LoadSettingsModel());
        saver.SetDone([this](const FileResult& r, bool report) {
            std::lock_guard lock(mutex);
            results.emplace_back(r, report);
        });
    }
    std::u16string& Name(int slot) {
        return model.Profiles[static_cast<std::size_t>(slot)].Settings[0].Value;
    }
};

// Whatever mix of whole saves, single profile files and exports is asked for
// in a burst, the files end with the last state: no older copy lands last.
TEST_F(SaverFixture, LastStateWinsInABurst) {
    const auto exported = dir / "exported.psf";
    for (int i = 0; i < 60; ++i) {
        std::u16string name = u"name ";
        name += static_cast<char16_t>(u'A' + i % 26);
        name += static_cast<char16_t>(u'0' + i / 26);
        Name(0) = name;
        Name(3) = name;
        switch (i % 3) {
        case 0:
            saver.Save(model, 3);
            break;
        case 1:
            saver.Export(model, 0, exported, {});
            break;
        default:
            saver.Save(model);
            break; // the last one (i = 59)
        }
    }
    saver.Drain();
    EXPECT_FALSE(saver.Busy());
    EXPECT_EQ(NameInFile(model.GetSlotPath(0)), Name(0));
    EXPECT_EQ(NameInFile(model.GetSlotPath(3)), Name(3));
    EXPECT_EQ(NameInFile(exported), u"name G2"); // the last export, i = 58
    std::lock_guard lock(mutex);
    for (const auto& [r, report] : results) EXPECT_TRUE(r.ok()) << r.Describe();
}

// The copies keep the files the model must leave alone: they are not saved
// over, the refusal comes back as a failure and is said once however many
// copies meet it.
TEST_F(SaverFixture, FilesLeftAloneStayAsTheyAre) {
    const auto slotFile = model.GetSlotPath(1);
    const std::string before = ReadBytes(slotFile);
    model.LeaveAllFilesAlone("another program holds the folder");
    std::atomic<int> said{0};
    ProblemSink previous = SetProblemSink(
        [&said](const std::string& m) {
            if (m.find("left as it is") != std::string::npos) ++said;
        },
        true);
    Name(1) = u"Changed";
    saver.Save(model, kAllSlots, true);
    saver.Drain();
    saver.Save(model, 1, true);
    // An answer waiting for the writes gets their failure; the next one, with
    // no write before it, gets none.
    std::vector<FileResult> after;
    saver.AfterWrites([&after](const FileResult& r) { after.push_back(r); });
    saver.AfterWrites([&after](const FileResult& r) { after.push_back(r); });
    saver.Drain();
    SetProblemSink(previous);
    ASSERT_EQ(after.size(), 2u);
    EXPECT_EQ(after[0].error, FileError::NotWritten);
    EXPECT_TRUE(after[1].ok());

    EXPECT_EQ(ReadBytes(slotFile), before);
    EXPECT_EQ(said.load(), 1);
    std::lock_guard lock(mutex);
    ASSERT_EQ(results.size(), 2u);
    for (const auto& [r, report] : results) {
        EXPECT_EQ(r.error, FileError::NotWritten);
        EXPECT_TRUE(report);
    }
}

// With a hand-off the model's own saves return at once and land through the
// saver, in order with the saves before them.
TEST_F(SaverFixture, ModelSavesHandedToTheSaver) {
    std::vector<int> scopes;
    model.SetSaveHandOff([&](const SettingsModel& m, int scope) {
        scopes.push_back(scope);
        saver.Save(m, scope, true);
    });
    const int slot = model.GetShowList(model.GetShowCount());
    const int shown = model.GetShowCount();
    ASSERT_TRUE(AddProfile(model, u"Added").saved.ok());
    ASSERT_TRUE(RenameProfile(model, slot, u"Renamed").saved.ok());
    Name(0) = u"Reset";
    ASSERT_TRUE(model.SaveProfile(0).ok());
    saver.Drain();
    EXPECT_EQ(scopes, (std::vector<int>{kAllSlots, kAllSlots, 0}));
    EXPECT_EQ(NameInFile(model.GetSlotPath(slot)), u"Renamed");
    EXPECT_EQ(NameInFile(model.GetSlotPath(0)), u"Reset");
    SettingsModel reread(dir.path());
    ASSERT_TRUE(reread.ReadSettingsFile(reread.SettingsPath()));
    EXPECT_EQ(reread.GetShowCount(), shown + 1);
}

// The session's saving: the model's changes, the ends of sends and the
// program's end decide when the writer thread writes.
struct SaveServiceFixture : ::testing::Test {
    TempDir dir;
    SettingsModel model{dir.path()};
    VirtualScheduler scheduler;
    EventQueue queue; // the UI thread's posted calls
    std::unique_ptr<SaveService> service;

    void SetUp() override {
        std::filesystem::create_directories(dir / "config");
        static_cast<void>(model.LoadSettingsModel());
        // The load wrote the files; what follows is the session's own.
        service = std::make_unique<SaveService>(model, scheduler, queue.Poster());
        service->TrackChanges();
    }
    void Change(const std::u16string& name) {
        model.Profiles[0].Settings[kSetProfileName].Value = name;
        model.NotifyChanged(0, ModelChange::Profile);
    }
    std::u16string OnDisk() {
        service->Writer().Drain();
        queue.RunPending();
        return NameInFile(model.GetSlotPath(0));
    }
};

// One save 10 s after the last send, whichever sends came before it.
TEST_F(SaveServiceFixture, DelayedSaveFollowsTheLastSend) {
    const std::u16string before = OnDisk();
    Change(u"Changed");
    EXPECT_TRUE(service->Unsaved());
    service->SendFinished();
    scheduler.Advance(Millis(9000));
    service->SendFinished(); // restarts the 10 s
    scheduler.Advance(Millis(9000));
    EXPECT_EQ(OnDisk(), before);
    EXPECT_TRUE(service->Unsaved());
    scheduler.Advance(Millis(1000));
    EXPECT_EQ(OnDisk(), u"Changed");
    EXPECT_FALSE(service->Unsaved());
    EXPECT_FALSE(service->SaveArmed());
}

// The end writes whatever the files do not hold yet, and only then returns.
TEST_F(SaveServiceFixture, TheEndWritesWhatIsPending) {
    struct Row {
        const char* name;
        bool changed;
        bool sendFinished;
        bool written;
    };
    const Row rows[] = {
        {"a delayed save waiting", true, true, true},
        {"a change whose send has not run", true, false, true},
        {"nothing changed", false, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::u16string before = OnDisk();
        std::u16string name = u"End ";
        name += static_cast<char16_t>(u'0' + (&row - rows));
        if (row.changed) Change(name);
        if (row.sendFinished) service->SendFinished();
        if (!row.changed) model.Profiles[0].Settings[kSetProfileName].Value = name; // never told
        service->SavePending();
        EXPECT_FALSE(service->Writer().Busy());
        EXPECT_EQ(NameInFile(model.GetSlotPath(0)), row.written ? name : before);
        EXPECT_FALSE(service->SaveArmed());
        EXPECT_FALSE(service->Unsaved());
    }
}

// A send the end interrupted still reports its end afterwards: nothing is
// armed that would write once more behind the end's last write.
TEST_F(SaveServiceFixture, ASendEndingAfterTheEndArmsNothing) {
    Change(u"Last");
    service->Stop();
    service->SavePending();
    service->SendFinished();
    EXPECT_FALSE(service->SaveArmed());
    EXPECT_EQ(OnDisk(), u"Last");
}

} // namespace
} // namespace tarvik::test
