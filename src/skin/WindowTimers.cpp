#include <QObject>
#include <QTimer>

#include "skin/WindowMessages.h"

namespace tarvik {

WindowTimers::WindowTimers(QObject* owner, std::function<void(int)> onTimer)
    : owner_(owner), onTimer_(std::move(onTimer)) {}

void WindowTimers::Set(int id, int ms) {
    QTimer*& timer = timers_[id];
    if (!timer) {
        timer = new QTimer(owner_);
        QObject::connect(timer, &QTimer::timeout, owner_, [this, id] {
            if (onTimer_) onTimer_(id);
        });
    }
    timer->start(ms < 0 ? 0 : ms);
}

void WindowTimers::Kill(int id) {
    auto it = timers_.find(id);
    if (it != timers_.end() && it->second) it->second->stop();
}

bool WindowTimers::IsArmed(int id) const {
    auto it = timers_.find(id);
    return it != timers_.end() && it->second && it->second->isActive();
}

} // namespace tarvik
