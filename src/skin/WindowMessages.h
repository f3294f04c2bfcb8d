// Window messages and numbered timers of the skinned windows.
//
// A window answers numbered messages through its message table: rows of
// {first, last, handler}, searched in order, the first row whose range holds
// the message number handles it. Controls notify their window this way (the
// message is the control's command id, lParam the event code).
//
// Numbered timers map a window's timer ids to QTimers with the usual rules:
// a timer repeats until it is killed, and setting an armed timer restarts it.
#pragma once

#include <cassert>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

class QObject;
class QTimer;

namespace tarvik {

using WParam = std::uintptr_t;
using LParam = std::intptr_t;
using LResult = std::intptr_t;

class MessageTable {
public:
    using Handler = std::function<LResult(int msg, WParam wParam, LParam lParam)>;

    // A range whose ends are swapped would match nothing, silently.
    void Add(int first, int last, Handler handler) {
        assert(first <= last);
        rows_.push_back({first, last, std::move(handler)});
    }
    void Add(int msg, Handler handler) { Add(msg, msg, std::move(handler)); }

    // A member handler of the window: LResult T::OnSomething(int msg, WParam, LParam).
    template <class T> void Add(int first, int last, T* window, LResult (T::*handler)(int, WParam, LParam)) {
        Add(first, last,
            [window, handler](int m, WParam w, LParam l) { return (window->*handler)(m, w, l); });
    }

    // Runs the handler of the first row whose range holds `msg`. Returns false
    // (result untouched) when no row does.
    bool Dispatch(int msg, WParam wParam, LParam lParam, LResult& result) const {
        for (const Row& row : rows_) {
            if (msg < row.first || msg > row.last) continue;
            Handler h = row.handler; // the handler may change the table
            result = h(msg, wParam, lParam);
            return true;
        }
        return false;
    }

    bool Handles(int msg) const {
        for (const Row& row : rows_)
            if (msg >= row.first && msg <= row.last) return true;
        return false;
    }

private:
    struct Row {
        int first;
        int last;
        Handler handler;
    };
    std::vector<Row> rows_;
};

class WindowTimers {
public:
    // `owner` parents the QTimers; `onTimer` receives the id of each expiry.
    WindowTimers(QObject* owner, std::function<void(int id)> onTimer);

    // Arms timer `id` to fire every `ms` milliseconds; an armed timer restarts.
    void Set(int id, int ms);
    // Stops timer `id`; an unknown or stopped timer is left alone.
    void Kill(int id);
    bool IsArmed(int id) const;

private:
    QObject* owner_;
    std::function<void(int)> onTimer_;
    std::map<int, QTimer*> timers_; // owned by `owner_` through QObject parenthood
};

} // namespace tarvik
