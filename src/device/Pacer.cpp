#include "device/Pacer.h"

namespace tarvik {

void SleepPacer::Pause(Millis duration) {
    if (duration.count() <= 0) return;
    std::unique_lock lock(mutex_);
    cv_.wait_for(lock, duration, [this] { return interrupted_; });
}

void SleepPacer::Interrupt() {
    {
        std::lock_guard lock(mutex_);
        interrupted_ = true;
    }
    cv_.notify_all();
}

void VirtualClock::Pause(Millis duration) {
    now_ += duration;
    if (record_) pauses_.push_back(duration);
    if (onPause_) onPause_(duration);
}

} // namespace tarvik
