// Deferred and repeated work on the UI thread, named by what it does. The
// device side has two tasks: sending the changes 20 ms after the last one and
// polling the device every second. Other owners (the session's saving, the
// window) number their own tasks from kFirstOwnTask up. The program runs them
// on Qt timers, tests and tarvikctl on a VirtualScheduler.
#pragma once

#include <array>
#include <chrono>
#include <functional>
#include <map>
#include <optional>

namespace tarvik {

using Millis = std::chrono::milliseconds;

enum class Task : int { SendChanges, PollStatus };
constexpr int kTaskCount = 2;

// A task's number: the device side's Task values, or a number an owner gives
// its own task (kFirstOwnTask and up, distinct per owner).
using TaskId = int;
constexpr TaskId IdOf(Task task) {
    return static_cast<TaskId>(task);
}
constexpr TaskId kFirstOwnTask = 100;

struct TaskTiming {
    Task task;
    const char* name;
    Millis delay;
    bool repeats;
};

inline constexpr std::array<TaskTiming, kTaskCount> kTaskTimings = {{
    {Task::SendChanges, "send changes", Millis{20}, false},
    {Task::PollStatus, "poll status", Millis{1000}, true},
}};

constexpr const TaskTiming& TimingOf(Task task) {
    return kTaskTimings[static_cast<std::size_t>(task)];
}

// Timers with restart semantics: arming an armed task restarts it, so a burst
// of changes makes one send after the last of them. A one-shot task is
// disarmed before it runs. Everything runs on the UI thread.
class Scheduler {
public:
    virtual ~Scheduler() = default;
    virtual void Arm(TaskId id, Millis delay, bool repeats, std::function<void()> run) = 0;
    virtual void Disarm(TaskId id) = 0;
    virtual bool Armed(TaskId id) const = 0;

    void Arm(Task task, Millis delay, bool repeats, std::function<void()> run) {
        Arm(IdOf(task), delay, repeats, std::move(run));
    }
    // Arms a device task with its own timing.
    void Arm(Task task, std::function<void()> run) {
        const TaskTiming& t = TimingOf(task);
        Arm(IdOf(task), t.delay, t.repeats, std::move(run));
    }
    void Disarm(Task task) { Disarm(IdOf(task)); }
    bool Armed(Task task) const { return Armed(IdOf(task)); }
};

// A scheduler on a clock that moves only when told to.
class VirtualScheduler final : public Scheduler {
public:
    void Arm(TaskId id, Millis delay, bool repeats, std::function<void()> run) override;
    void Disarm(TaskId id) override;
    bool Armed(TaskId id) const override;
    using Scheduler::Arm;
    using Scheduler::Armed;
    using Scheduler::Disarm;

    Millis Now() const { return now_; }
    // Time until the task runs; none when it is not armed.
    std::optional<Millis> DueIn(TaskId id) const;
    std::optional<Millis> DueIn(Task task) const { return DueIn(IdOf(task)); }
    // Time until the first armed task runs; none when nothing is armed.
    std::optional<Millis> NextDueIn() const;
    // Moves the clock forward, running every task that falls due on the way,
    // in time order (a repeating task as often as it falls due; ties by number).
    void Advance(Millis by);
    // Runs an armed task now, as if its time had come.
    bool RunNow(TaskId id);
    bool RunNow(Task task) { return RunNow(IdOf(task)); }

private:
    struct Slot {
        bool armed = false;
        Millis due{0};
        Millis period{0};
        bool repeats = false;
        std::function<void()> run;
    };
    void Fire(TaskId id);

    Millis now_{0};
    std::map<TaskId, Slot> slots_;
};

} // namespace tarvik
