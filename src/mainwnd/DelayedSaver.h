// Every file write the window causes, off the UI thread: config.ini and the
// five profile files, each written to a temporary file, flushed to the disk
// and renamed, take tens of milliseconds. The UI thread copies the tables
// (microseconds) and a saver thread writes the copy. Writes run one at a time
// in the order they were asked for; a newer copy that arrives while a save
// still waits replaces it and writes what both were due, so an older copy
// never has the last word and a change made during a write is written after it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>

#include "device/DeviceLink.h"
#include "model/ModelChanges.h"
#include "model/SettingsStore.h"
#include "model/SettingsTables.h"
#include "text/FileResult.h"
#include "text/JobThread.h"

namespace tarvik {

class SettingsModel;

class DelayedSaver {
public:
    using Done = std::function<void(const FileResult&)>;

    // `post` runs the completions on the UI thread.
    explicit DelayedSaver(PostFn post);
    // Writes what is waiting, then ends the thread.
    ~DelayedSaver();
    DelayedSaver(const DelayedSaver&) = delete;
    DelayedSaver& operator=(const DelayedSaver&) = delete;

    // Copies what the files of `model` need and has `scope` written: kAllSlots
    // for config.ini and the five profiles, a slot for its file. `report`: a
    // failure of this write is to be shown to the user (SetDone).
    void Save(const SettingsModel& model, int scope = kAllSlots, bool report = false);
    // Writes the slot of a copy of `model` to `path` (an export), after the
    // writes asked for before it; `done` runs on the UI thread with the result.
    void Export(const SettingsModel& model, int slot, std::filesystem::path path, Done done);
    // Runs `done` on the UI thread once every write asked for before it has
    // run, with the first failure among them (an export reports its own).
    void AfterWrites(Done done);
    // A write runs or waits.
    bool Busy() const;
    // Returns once nothing is being written or waiting (the end of the program).
    void Drain();
    // The result of the newest save of config.ini or profile files (not of an
    // export): a failure means the files do not hold the newest tables.
    FileResult LastResult() const;
    // Called on the UI thread after each save with its result (a failure has
    // been logged by the model) and whether a save asked to report it.
    void SetDone(std::function<void(const FileResult&, bool report)> done) { done_ = std::move(done); }

private:
    // What a write needs: the tables and the store that writes them, copied
    // whole on the UI thread (the model's listeners and hand-off stay behind).
    struct Copy {
        SettingsTables tables;
        SettingsStore store;
    };
    static std::unique_ptr<const Copy> CopyOf(const SettingsModel& model);
    // A save of config.ini and profile files; one still waiting takes the
    // requests that come after it.
    struct SaveRequest {
        std::unique_ptr<const Copy> copy;
        bool all = false;          // config.ini and the five profiles
        std::uint8_t slotBits = 0; // profile files, one bit each
        bool report = false;
        void Add(std::unique_ptr<const Copy> newer, int scope, bool reportIt);
    };
    // On the saver thread.
    void RunSave(SaveRequest& request);
    void RunExport(const Copy& copy, int slot, const std::filesystem::path& path, const Done& done);
    void RunAfterWrites(const Done& done);

    PostFn post_;
    std::function<void(const FileResult&, bool)> done_;
    mutable std::mutex resultMutex_;
    FileResult last_;   // the newest save's result, under resultMutex_
    FileResult failed_; // the first failure since the last AfterWrites (saver thread)
    std::mutex submitMutex_;
    SaveRequest* waitingSave_ = nullptr; // the newest save queued (submitMutex_); only
                                         // touched while it still waits
    std::shared_ptr<DelayedSaver*> alive_;
    // Last: its thread ends before the members the jobs use go.
    JobThread jobs_{JobThread::AtStop::RunRest};
};

} // namespace tarvik
