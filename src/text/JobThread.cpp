#include "text/JobThread.h"

#include <utility>

namespace tarvik {

JobThread::JobThread(AtStop atStop) : atStop_(atStop) {}

JobThread::~JobThread() {
    Stop();
}

bool JobThread::Submit(Job job) {
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return false;
        waiting_.push_back({std::move(job), 0});
        StartLocked();
    }
    wake_.notify_all();
    return true;
}

JobThread::Coalesced JobThread::SubmitCoalescing(int key, Job job, const std::function<void()>& fold) {
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return Coalesced::Refused;
        if (key != 0 && !waiting_.empty() && waiting_.back().key == key) {
            fold();
            return Coalesced::Folded;
        }
        waiting_.push_back({std::move(job), key});
        StartLocked();
    }
    wake_.notify_all();
    return Coalesced::Queued;
}

bool JobThread::Busy() const {
    std::lock_guard lock(mutex_);
    return running_ > 0 || !waiting_.empty();
}

void JobThread::Drain() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return running_ == 0 && waiting_.empty(); });
}

void JobThread::RequestStop() {
    std::deque<Entry> dropped;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        if (atStop_ == AtStop::DropRest) dropped.swap(waiting_);
    }
    wake_.notify_all();
    idle_.notify_all();
    // `dropped` goes here, outside the lock: a job's captures may do anything
    // when they are destroyed.
}

void JobThread::Stop() {
    RequestStop();
    if (OnThread()) return;
    {
        // thread_ is only started while not stopping, so after RequestStop only
        // the joining callers touch it.
        std::lock_guard joining(joinMutex_);
        if (thread_.joinable()) thread_.join();
    }
    {
        std::lock_guard lock(mutex_);
        threadId_ = {};
    }
    if (atStop_ != AtStop::CancelRest) return;
    // The thread has ended; the jobs it left run here, one at a time, in order.
    for (;;) {
        Entry entry;
        {
            std::lock_guard lock(mutex_);
            if (waiting_.empty()) break;
            entry = std::move(waiting_.front());
            waiting_.pop_front();
            ++running_;
        }
        Run(entry);
    }
}

bool JobThread::Stopping() const {
    std::lock_guard lock(mutex_);
    return stopping_;
}

bool JobThread::OnThread() const {
    std::lock_guard lock(mutex_);
    return threadId_ == std::this_thread::get_id();
}

void JobThread::StartLocked() {
    if (thread_.joinable()) return;
    thread_ = std::thread(&JobThread::Loop, this);
    threadId_ = thread_.get_id();
}

void JobThread::Loop() {
    for (;;) {
        Entry entry;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
            if (stopping_ && (atStop_ != AtStop::RunRest || waiting_.empty())) return;
            entry = std::move(waiting_.front());
            waiting_.pop_front();
            ++running_;
        }
        Run(entry);
    }
}

void JobThread::Run(Entry& entry) {
    entry.job();
    // Destroyed before the thread counts as idle: whoever drains may then
    // rely on everything the job held being let go.
    entry.job = nullptr;
    {
        std::lock_guard lock(mutex_);
        --running_;
    }
    idle_.notify_all();
}

} // namespace tarvik
