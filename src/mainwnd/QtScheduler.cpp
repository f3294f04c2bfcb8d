#include "mainwnd/QtScheduler.h"

#include <algorithm>

namespace tarvik {

QtScheduler::~QtScheduler() {
    for (auto& [id, slot] : slots_) slot.timer->stop();
}

void QtScheduler::Arm(TaskId id, Millis delay, bool repeats, std::function<void()> run) {
    Slot& s = slots_[id];
    if (!s.timer) {
        s.timer = std::make_unique<QTimer>();
        QObject::connect(s.timer.get(), &QTimer::timeout, this, [this, id] { Fire(id); });
    }
    s.run = std::move(run);
    s.repeats = repeats;
    s.timer->setSingleShot(!repeats);
    // A repeating task with no period would run without pause.
    const auto ms = delay.count();
    s.timer->start(static_cast<int>(repeats && ms <= 0 ? 1 : std::max<long long>(ms, 0)));
}

void QtScheduler::Disarm(TaskId id) {
    if (auto it = slots_.find(id); it != slots_.end()) it->second.timer->stop();
}

bool QtScheduler::Armed(TaskId id) const {
    const auto it = slots_.find(id);
    return it != slots_.end() && it->second.timer->isActive();
}

void QtScheduler::Fire(TaskId id) {
    // A single-shot timer is already stopped here; the task may arm itself
    // (or another) again while it runs, so it runs from a copy.
    const std::function<void()> run = slots_[id].run;
    if (run) run();
}

} // namespace tarvik
