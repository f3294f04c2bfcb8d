#include "device/Pacer.h"

#include <thread>

namespace tarvik {

void SleepPacer::Pause(Millis duration) {
    if (duration.count() > 0) std::this_thread::sleep_for(duration);
}

void VirtualClock::Pause(Millis duration) {
    now_ += duration;
    if (record_) pauses_.push_back(duration);
    if (onPause_) onPause_(duration);
}

} // namespace tarvik
