#include "device/Scheduler.h"

#include <algorithm>

namespace tarvik {

void VirtualScheduler::Arm(TaskId id, Millis delay, bool repeats, std::function<void()> run) {
    Slot& s = slots_[id];
    s.armed = true;
    s.due = now_ + delay;
    // A repeating task with no period would fall due forever.
    s.period = delay.count() > 0 ? delay : Millis{1};
    s.repeats = repeats;
    s.run = std::move(run);
}

void VirtualScheduler::Disarm(TaskId id) {
    if (auto it = slots_.find(id); it != slots_.end()) it->second.armed = false;
}

bool VirtualScheduler::Armed(TaskId id) const {
    const auto it = slots_.find(id);
    return it != slots_.end() && it->second.armed;
}

std::optional<Millis> VirtualScheduler::DueIn(TaskId id) const {
    const auto it = slots_.find(id);
    if (it == slots_.end() || !it->second.armed) return std::nullopt;
    return it->second.due - now_;
}

std::optional<Millis> VirtualScheduler::NextDueIn() const {
    std::optional<Millis> next;
    for (const auto& [id, s] : slots_)
        if (s.armed && (!next || s.due - now_ < *next)) next = s.due - now_;
    if (next && *next < Millis{0}) next = Millis{0};
    return next;
}

void VirtualScheduler::Fire(TaskId id) {
    Slot& s = slots_[id];
    if (s.repeats) {
        s.due += s.period;
    } else {
        s.armed = false;
    }
    // A copy: the task may arm itself (or another) again while it runs.
    const std::function<void()> run = s.run;
    if (run) run();
}

void VirtualScheduler::Advance(Millis by) {
    const Millis end = now_ + by;
    for (;;) {
        // The earliest task due by the end; ties by number.
        std::optional<TaskId> next;
        Millis nextDue{0};
        for (const auto& [id, s] : slots_) {
            if (s.armed && s.due <= end && (!next || s.due < nextDue)) {
                next = id;
                nextDue = s.due;
            }
        }
        if (!next) break;
        now_ = std::max(now_, nextDue);
        Fire(*next);
    }
    now_ = end;
}

bool VirtualScheduler::RunNow(TaskId id) {
    if (!Armed(id)) return false;
    Fire(id);
    return true;
}

} // namespace tarvik
