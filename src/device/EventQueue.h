// A small UI-thread queue for programs without a window event loop (tarvikctl,
// tests): other threads Post calls, the owning thread runs them in order.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include "device/DeviceLink.h"

namespace tarvik {

class EventQueue {
public:
    void Post(std::function<void()> call);
    PostFn Poster() {
        return [this](std::function<void()> call) { Post(std::move(call)); };
    }
    // Runs the calls queued now (and any they queue); returns how many ran.
    std::size_t RunPending();
    // Waits up to `timeout` for a call and runs it; false when none came.
    bool RunOne(std::chrono::milliseconds timeout);
    // Runs calls until `done` holds or `timeout` has passed; returns done().
    bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> calls_;
};

} // namespace tarvik
