#include "device/EventQueue.h"

namespace tarvik {

void EventQueue::Post(std::function<void()> call) {
    {
        std::lock_guard lock(mutex_);
        calls_.push_back(std::move(call));
    }
    cv_.notify_all();
}

std::size_t EventQueue::RunPending() {
    std::size_t ran = 0;
    for (;;) {
        std::function<void()> call;
        {
            std::lock_guard lock(mutex_);
            if (calls_.empty()) return ran;
            call = std::move(calls_.front());
            calls_.pop_front();
        }
        call();
        ++ran;
    }
}

bool EventQueue::RunOne(std::chrono::milliseconds timeout) {
    std::function<void()> call;
    {
        std::unique_lock lock(mutex_);
        if (!cv_.wait_for(lock, timeout, [this] { return !calls_.empty(); })) return false;
        call = std::move(calls_.front());
        calls_.pop_front();
    }
    call();
    return true;
}

bool EventQueue::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return done();
        RunOne(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now));
    }
    return true;
}

} // namespace tarvik
