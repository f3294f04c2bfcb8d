// Every pause the device code makes goes through a Pacer, so the mouse's pacing
// (60 ms after a command, 10 ms before the status read) is real on the device
// and virtual in tests and benchmarks.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

namespace tarvik {

using Millis = std::chrono::milliseconds;

class Pacer {
public:
    virtual ~Pacer() = default;
    virtual void Pause(Millis duration) = 0;
    // Ends a pause in progress and every later one at once (the device worker
    // is stopping). Thread-safe.
    virtual void Interrupt() {}
};

// Sleeps the calling thread, until Interrupt().
class SleepPacer final : public Pacer {
public:
    void Pause(Millis duration) override;
    void Interrupt() override;

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool interrupted_ = false;
};

// A clock that only advances when paused: records each pause and can run a
// callback at every pause (tests use it to unplug the mouse mid-send). Paused
// by one thread at a time (the device worker); read when it is idle.
class VirtualClock final : public Pacer {
public:
    void Pause(Millis duration) override;

    Millis Now() const { return now_; }
    const std::vector<Millis>& Pauses() const { return pauses_; }
    void Clear() {
        pauses_.clear();
        now_ = Millis{0};
    }
    void SetOnPause(std::function<void(Millis)> onPause) { onPause_ = std::move(onPause); }
    // Keeps only the running total (benchmarks pause millions of times).
    void SetRecording(bool record) { record_ = record; }

private:
    Millis now_{0};
    std::vector<Millis> pauses_;
    std::function<void(Millis)> onPause_;
    bool record_ = true;
};

} // namespace tarvik
