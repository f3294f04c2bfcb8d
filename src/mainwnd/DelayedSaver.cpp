#include "mainwnd/DelayedSaver.h"

#include "model/SettingsModel.h"

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

void DelayedSaver::Save(const SettingsModel& model) {
    // Only what the files hold is copied; the copy never tells listeners anything.
    auto copy = std::make_unique<SettingsModel>(model.DataFolder());
    copy->Ini = model.Ini;
    copy->Profiles = model.Profiles;
    copy->SensorId = model.SensorId;
    {
        std::lock_guard lock(mutex_);
        waiting_ = std::move(copy);
        if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
    }
    wake_.notify_all();
}

bool DelayedSaver::Busy() const {
    std::lock_guard lock(mutex_);
    return writing_ || waiting_ != nullptr;
}

void DelayedSaver::Drain() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return !writing_ && !waiting_; });
}

void DelayedSaver::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stop_ || waiting_; });
        if (!waiting_) return; // stopping with nothing left to write
        std::unique_ptr<SettingsModel> copy = std::move(waiting_);
        writing_ = true;
        lock.unlock();
        FileResult result = copy->SaveSettingsAndProfiles();
        copy.reset();
        lock.lock();
        writing_ = false;
        idle_.notify_all();
        std::weak_ptr<DelayedSaver*> weak = alive_;
        if (post_) {
            post_([weak, result = std::move(result)] {
                if (auto self = weak.lock(); self && (*self)->done_) (*self)->done_(result);
            });
        }
    }
}

} // namespace tarvik
