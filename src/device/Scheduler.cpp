#include "device/Scheduler.h"

namespace tarvik {

void VirtualScheduler::Arm(Task task, Millis delay, bool repeats, std::function<void()> run) {
    Slot& s = At(task);
    s.armed = true;
    s.due = now_ + delay;
    // A repeating task with no period would fall due forever.
    s.period = delay.count() > 0 ? delay : Millis{1};
    s.repeats = repeats;
    s.run = std::move(run);
}

void VirtualScheduler::Disarm(Task task) {
    At(task).armed = false;
}

bool VirtualScheduler::Armed(Task task) const {
    return At(task).armed;
}

std::optional<Millis> VirtualScheduler::DueIn(Task task) const {
    const Slot& s = At(task);
    if (!s.armed) return std::nullopt;
    return s.due - now_;
}

void VirtualScheduler::Fire(Task task) {
    Slot& s = At(task);
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
        // The earliest task due by the end; ties in table order.
        std::optional<Task> next;
        for (const TaskTiming& t : kTaskTimings) {
            const Slot& s = At(t.task);
            if (s.armed && s.due <= end && (!next || s.due < At(*next).due)) next = t.task;
        }
        if (!next) break;
        now_ = std::max(now_, At(*next).due);
        Fire(*next);
    }
    now_ = end;
}

bool VirtualScheduler::RunNow(Task task) {
    if (!At(task).armed) return false;
    Fire(task);
    return true;
}

} // namespace tarvik
