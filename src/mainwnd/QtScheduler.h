// The program's Scheduler: one single-shot or repeating QTimer per task, on
// the thread that owns the scheduler (the UI thread).
#pragma once

#include <QObject>
#include <QTimer>

#include <map>
#include <memory>

#include "device/Scheduler.h"

namespace tarvik {

class QtScheduler final : public QObject, public Scheduler {
public:
    QtScheduler() = default;
    ~QtScheduler() override;
    QtScheduler(const QtScheduler&) = delete;
    QtScheduler& operator=(const QtScheduler&) = delete;

    using Scheduler::Arm;
    using Scheduler::Armed;
    using Scheduler::Disarm;
    void Arm(TaskId id, Millis delay, bool repeats, std::function<void()> run) override;
    void Disarm(TaskId id) override;
    bool Armed(TaskId id) const override;

private:
    struct Slot {
        std::unique_ptr<QTimer> timer;
        std::function<void()> run;
        bool repeats = false;
    };
    void Fire(TaskId id);

    std::map<TaskId, Slot> slots_;
};

} // namespace tarvik
