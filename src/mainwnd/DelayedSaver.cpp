#include "mainwnd/DelayedSaver.h"

#include "model/SettingsModel.h"

#include <utility>

namespace tarvik {

DelayedSaver::DelayedSaver(PostFn post)
    : post_(std::move(post)), alive_(std::make_shared<DelayedSaver*>(this)) {}

DelayedSaver::~DelayedSaver() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
    alive_.reset();
}

std::unique_ptr<const DelayedSaver::Copy> DelayedSaver::CopyOf(const SettingsModel& model) {
    return std::make_unique<const Copy>(Copy{model.Tables(), model.Store()});
}

void DelayedSaver::Save(const SettingsModel& model, int scope, bool report) {
    // Only what the files hold is copied; the copy never tells listeners anything.
    Enqueue(CopyOf(model), scope, report);
}

void DelayedSaver::Enqueue(std::unique_ptr<const Copy> copy, int scope, bool report) {
    {
        std::lock_guard lock(mutex_);
        if (queue_.empty() || !queue_.back().PlainSave()) queue_.emplace_back();
        // A save still waiting takes the newer copy and what both are due.
        Job& job = queue_.back();
        job.copy = std::move(copy);
        if (scope == kAllSlots)
            job.all = true;
        else if (scope >= 0 && scope < kProfileCount)
            job.slotBits = static_cast<std::uint8_t>(job.slotBits | (1u << scope));
        job.report = job.report || report;
        if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
    }
    wake_.notify_all();
}

void DelayedSaver::Export(const SettingsModel& model, int slot, std::filesystem::path path, Done done) {
    Job job;
    job.copy = CopyOf(model);
    job.exportPath = std::move(path);
    job.exportSlot = slot;
    job.exportDone = std::move(done);
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(job));
        if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
    }
    wake_.notify_all();
}

void DelayedSaver::AfterWrites(Done done) {
    Job job;
    job.after = std::move(done);
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(job));
        if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
    }
    wake_.notify_all();
}

bool DelayedSaver::Busy() const {
    std::lock_guard lock(mutex_);
    return writing_ || !queue_.empty();
}

FileResult DelayedSaver::LastResult() const {
    std::lock_guard lock(mutex_);
    return last_;
}

void DelayedSaver::Drain() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return !writing_ && queue_.empty(); });
}

FileResult DelayedSaver::Write(Job& job) {
    const SettingsTables& tables = job.copy->tables;
    const SettingsStore& store = job.copy->store;
    if (!job.exportPath.empty()) return store.WriteProfileFile(tables, job.exportSlot, job.exportPath);
    if (job.all) return store.SaveSettingsAndProfiles(tables);
    FileResult first;
    for (int k = 0; k < kProfileCount; ++k) {
        if (!(job.slotBits & (1u << k))) continue;
        FileResult r = store.SaveProfile(tables, k);
        if (first && !r) first = std::move(r);
    }
    return first;
}

void DelayedSaver::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
        if (queue_.empty()) return; // stopping with nothing left to write
        Job job = std::move(queue_.front());
        queue_.pop_front();
        std::weak_ptr<DelayedSaver*> weak = alive_;
        if (job.after) {
            FileResult failed = std::exchange(failed_, FileResult{});
            idle_.notify_all();
            if (!post_) continue;
            post_([weak, done = std::move(job.after), failed = std::move(failed)] {
                if (weak.lock()) done(failed);
            });
            continue;
        }
        writing_ = true;
        lock.unlock();
        FileResult result = Write(job);
        job.copy.reset();
        lock.lock();
        writing_ = false;
        if (job.exportPath.empty() && !result && failed_) failed_ = result;
        if (job.exportPath.empty()) last_ = result;
        idle_.notify_all();
        if (!post_) continue;
        if (!job.exportPath.empty()) {
            post_([weak, done = std::move(job.exportDone), result = std::move(result)] {
                if (weak.lock() && done) done(result);
            });
            continue;
        }
        post_([weak, report = job.report, result = std::move(result)] {
            if (auto self = weak.lock(); self && (*self)->done_) (*self)->done_(result, report);
        });
    }
}

} // namespace tarvik
