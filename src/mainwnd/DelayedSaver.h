// The delayed save off the UI thread: config.ini and the five profile files,
// each written to a temporary file, flushed to the disk and renamed, take tens
// of milliseconds. The UI thread copies the tables (microseconds) and a saver
// thread writes the copy. One write runs at a time; a newer copy that arrives
// meanwhile waits, and replaces an older one that is still waiting.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "device/DeviceLink.h"
#include "text/FileResult.h"

namespace tarvik {

class SettingsModel;

class DelayedSaver {
public:
    // `post` runs the completion on the UI thread.
    explicit DelayedSaver(PostFn post);
    // Writes what is waiting, then ends the thread.
    ~DelayedSaver();
    DelayedSaver(const DelayedSaver&) = delete;
    DelayedSaver& operator=(const DelayedSaver&) = delete;

    // Copies the settings table and the profiles of `model` and has them written.
    void Save(const SettingsModel& model);
    // A copy is being written or waits to be.
    bool Busy() const;
    // Returns once nothing is being written or waiting (a save on the UI thread
    // must not be overtaken by an older copy).
    void Drain();
    // Called on the UI thread after each write with its result (a failure has
    // been reported by the model).
    void SetDone(std::function<void(const FileResult&)> done) { done_ = std::move(done); }

private:
    void Run();

    PostFn post_;
    std::function<void(const FileResult&)> done_;
    mutable std::mutex mutex_;
    std::condition_variable wake_, idle_;
    std::unique_ptr<SettingsModel> waiting_;
    bool writing_ = false;
    bool stop_ = false;
    std::thread thread_;
    std::shared_ptr<DelayedSaver*> alive_;
};

} // namespace tarvik
