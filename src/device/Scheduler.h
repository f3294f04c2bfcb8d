// The deferred and repeated work of the device side, named by what it does:
// sending the changes 20 ms after the last one, saving the profiles 10 s after
// the last send, polling the device every second. The window runs them on its
// numbered timers, tests and tarvikctl on a VirtualScheduler.
#pragma once

#include <array>
#include <chrono>
#include <functional>
#include <optional>

namespace tarvik {

using Millis = std::chrono::milliseconds;

enum class Task : int { SendChanges, SaveProfiles, PollStatus };
constexpr int kTaskCount = 3;

struct TaskTiming {
    Task task;
    const char* name;
    Millis delay;
    bool repeats;
    int windowTimerId; // the main window's timer that runs it
};

inline constexpr std::array<TaskTiming, kTaskCount> kTaskTimings = {{
    {Task::SendChanges, "send changes", Millis{20}, false, 30},
    {Task::SaveProfiles, "save profiles", Millis{10000}, false, 70},
    {Task::PollStatus, "poll status", Millis{1000}, true, 110},
}};

constexpr const TaskTiming& TimingOf(Task task) {
    return kTaskTimings[static_cast<std::size_t>(task)];
}

// Timers with the window's SetTimer semantics: arming an armed task restarts
// it, so a burst of changes makes one send after the last of them. A one-shot
// task is disarmed before it runs. Everything runs on the UI thread.
class Scheduler {
public:
    virtual ~Scheduler() = default;
    virtual void Arm(Task task, Millis delay, bool repeats, std::function<void()> run) = 0;
    virtual void Disarm(Task task) = 0;
    virtual bool Armed(Task task) const = 0;

    // Arms a task with its own timing.
    void Arm(Task task, std::function<void()> run) {
        const TaskTiming& t = TimingOf(task);
        Arm(task, t.delay, t.repeats, std::move(run));
    }
};

// A scheduler on a clock that moves only when told to.
class VirtualScheduler final : public Scheduler {
public:
    void Arm(Task task, Millis delay, bool repeats, std::function<void()> run) override;
    void Disarm(Task task) override;
    bool Armed(Task task) const override;
    using Scheduler::Arm;

    Millis Now() const { return now_; }
    // Time until the task runs; none when it is not armed.
    std::optional<Millis> DueIn(Task task) const;
    // Moves the clock forward, running every task that falls due on the way,
    // in time order (a repeating task as often as it falls due).
    void Advance(Millis by);
    // Runs an armed task now, as if its time had come.
    bool RunNow(Task task);

private:
    struct Slot {
        bool armed = false;
        Millis due{0};
        Millis period{0};
        bool repeats = false;
        std::function<void()> run;
    };
    Slot& At(Task task) { return slots_[static_cast<std::size_t>(task)]; }
    const Slot& At(Task task) const { return slots_[static_cast<std::size_t>(task)]; }
    void Fire(Task task);

    Millis now_{0};
    std::array<Slot, kTaskCount> slots_{};
};

} // namespace tarvik
