// One thread that runs submitted jobs one at a time, in the order they were
// submitted. The device worker and the file writers each own one: whoever
// submits never waits for the job, only (at the end) for the thread.
//
// A job may be submitted with a coalescing key: when the job waiting last in
// line has the same key, the new request is folded into it instead of queued
// behind it (a newer copy of the same files replaces the waiting one). Only the
// last waiting job is considered, so a request never moves ahead of a job
// submitted between the two.
//
// Stopping refuses new jobs, lets the running job finish and ends the thread;
// what happens to the jobs still waiting is the owner's choice (AtStop).
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace tarvik {

class JobThread {
public:
    using Job = std::function<void()>;

    enum class AtStop {
        RunRest,    // the waiting jobs still run on the thread before it ends (writers)
        DropRest,   // the waiting jobs are destroyed without running
        CancelRest, // the waiting jobs run on the thread that stops, after the
                    // thread ended, with Stopping() true: each can report
                    // itself as cancelled without doing its work
    };

    // The thread starts with the first job.
    explicit JobThread(AtStop atStop);
    // Stop().
    ~JobThread();
    JobThread(const JobThread&) = delete;
    JobThread& operator=(const JobThread&) = delete;

    // Queues `job` behind the jobs submitted before it. False (and `job` is
    // destroyed) once stopping.
    bool Submit(Job job);
    // Like Submit, with a coalescing key (not 0). When the job waiting last in
    // line carries `key`, `fold` runs instead, on the calling thread under the
    // queue's lock, before that job can start: it hands the new request to the
    // waiting job, and `job` is destroyed. Queued or folded, the request is
    // carried out; once stopping it is refused (neither runs).
    enum class Coalesced { Queued, Folded, Refused };
    Coalesced SubmitCoalescing(int key, Job job, const std::function<void()>& fold);

    // A job runs or waits.
    bool Busy() const;
    // Returns once no job runs or waits. Not from a job (it would wait for itself).
    void Drain();

    // Refuses new jobs and has the thread end after its running job (RunRest:
    // after the waiting ones too). Does not wait; lets the owner interrupt the
    // running job before Stop() joins. Idempotent.
    void RequestStop();
    // RequestStop(), waits for the thread to end and disposes of the waiting
    // jobs as AtStop says. From a job on the thread itself it only requests the
    // stop (the thread cannot wait for itself); the owner's later Stop() joins.
    // Idempotent.
    void Stop();
    bool Stopping() const;
    // The calling thread is this object's thread.
    bool OnThread() const;

private:
    struct Entry {
        Job job;
        int key = 0;
    };
    void StartLocked();
    void Loop();
    // Runs a job taken from the queue (counted as running) and counts it done.
    void Run(Entry& entry);

    const AtStop atStop_;
    mutable std::mutex mutex_;
    std::condition_variable wake_, idle_;
    std::deque<Entry> waiting_;
    int running_ = 0; // jobs running: the thread's, or the ones Stop() cancels
    bool stopping_ = false;
    std::mutex joinMutex_;
    std::thread thread_;
    std::thread::id threadId_; // under mutex_: the running thread's, or none
};

} // namespace tarvik
