// The job thread: the order of its jobs, folding a request into the waiting
// job, draining, and what each stop policy does with the jobs still waiting.
// A gate holds the first job running so the others are known to wait.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "text/JobThread.h"

namespace tarvik::test {
namespace {

class Gate {
public:
    void Open() {
        {
            std::lock_guard lock(mutex_);
            open_ = true;
        }
        cv_.notify_all();
    }
    void Wait() {
        std::unique_lock lock(mutex_);
        cv_.wait(lock, [this] { return open_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool open_ = false;
};

// What the jobs did, from whichever thread ran them.
struct Record {
    std::mutex mutex;
    std::vector<std::string> ran;
    void Add(std::string what) {
        std::lock_guard lock(mutex);
        ran.push_back(std::move(what));
    }
    std::string Joined() {
        std::lock_guard lock(mutex);
        std::string out;
        for (const std::string& r : ran) out += (out.empty() ? "" : "|") + r;
        return out;
    }
};

// Submits a job that waits at `gate`, and returns once it runs.
void HoldThread(JobThread& jobs, Gate& gate, int key = 0) {
    auto started = std::make_shared<Gate>(); // outlives this call if need be
    const auto job = [started, &gate] {
        started->Open();
        gate.Wait();
    };
    if (key == 0)
        ASSERT_TRUE(jobs.Submit(job));
    else
        ASSERT_EQ(jobs.SubmitCoalescing(key, job, [] {}), JobThread::Coalesced::Queued);
    started->Wait();
}

// Each request is "label:key"; a folded request adds its label to the job
// waiting last. The first job (key 1) is running while they are submitted.
TEST(JobThreadTest, OrderAndCoalescing) {
    struct Case {
        std::vector<std::pair<std::string, int>> requests;
        std::string ran;
    };
    const Case cases[] = {
        {{{"a", 0}, {"b", 0}, {"c", 0}}, "a|b|c"}, // submission order
        {{{"a", 0}, {"b", 0}}, "a|b"},             // key 0 never folds
        {{{"a", 1}, {"b", 1}, {"c", 1}}, "abc"},   // folded into the waiting job, not the running one
        {{{"a", 1}, {"x", 0}, {"b", 1}}, "a|x|b"}, // never moved ahead of a job between
        {{{"a", 1}, {"b", 2}, {"c", 2}, {"d", 1}}, "a|bc|d"}, // only the last waiting job is considered
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ran);
        Record record;
        Gate gate;
        JobThread jobs(JobThread::AtStop::RunRest);
        HoldThread(jobs, gate, 1);
        std::shared_ptr<std::string> last;
        for (const auto& request : c.requests) {
            const std::string& label = request.first;
            const auto key = request.second;
            auto labels = std::make_shared<std::string>(label);
            auto job = [&record, labels] { record.Add(*labels); };
            if (key == 0) {
                ASSERT_TRUE(jobs.Submit(job));
                last = nullptr;
                continue;
            }
            const auto outcome = jobs.SubmitCoalescing(key, job, [&] { *last += label; });
            if (outcome == JobThread::Coalesced::Queued) last = labels;
        }
        EXPECT_TRUE(jobs.Busy());
        gate.Open();
        jobs.Drain();
        EXPECT_FALSE(jobs.Busy());
        EXPECT_EQ(record.Joined(), c.ran);
    }
}

// Three jobs wait behind a running one when the thread is stopped, by Stop()
// or by the destructor.
TEST(JobThreadTest, StopWithJobsWaiting) {
    using AtStop = JobThread::AtStop;
    struct Case {
        AtStop atStop;
        bool byDestructor;
        std::string ran; // the waiting jobs that ran, and on which thread
    };
    const Case cases[] = {
        {AtStop::RunRest, false, "1 worker|2 worker|3 worker"},
        {AtStop::RunRest, true, "1 worker|2 worker|3 worker"},
        {AtStop::DropRest, false, ""},
        {AtStop::DropRest, true, ""},
        {AtStop::CancelRest, false, "1 stopper|2 stopper|3 stopper"},
        {AtStop::CancelRest, true, "1 stopper|2 stopper|3 stopper"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.atStop) * 2 + c.byDestructor);
        Record record;
        Gate gate;
        auto held = std::make_shared<int>(0); // held by every waiting job
        std::atomic<bool> notStopping{false};
        const auto stopper = std::this_thread::get_id();
        std::thread releaser;
        {
            auto jobs = std::make_unique<JobThread>(c.atStop);
            HoldThread(*jobs, gate);
            for (int i = 1; i <= 3; ++i) {
                ASSERT_TRUE(jobs->Submit([&, i, held, self = jobs.get()] {
                    if (!self->Stopping()) notStopping = true;
                    record.Add(std::to_string(i) +
                               (std::this_thread::get_id() == stopper ? " stopper" : " worker"));
                }));
            }
            // The running job ends only once the stop was asked for, so the
            // other three are still waiting when it is.
            releaser = std::thread([&gate, self = jobs.get()] {
                while (!self->Stopping()) std::this_thread::yield();
                gate.Open();
            });
            if (c.byDestructor) {
                jobs.reset();
            } else {
                jobs->Stop();
                EXPECT_FALSE(jobs->Busy());
                EXPECT_FALSE(jobs->Submit([&] { record.Add("after stop"); }));
                EXPECT_EQ(jobs->SubmitCoalescing(
                              1, [] {}, [&] { record.Add("folded after stop"); }),
                          JobThread::Coalesced::Refused);
                jobs->Stop(); // idempotent
            }
        }
        releaser.join();
        EXPECT_EQ(record.Joined(), c.ran);
        EXPECT_FALSE(notStopping);      // each one that ran saw Stopping()
        EXPECT_EQ(held.use_count(), 1); // every job destroyed, run or not
    }
}

// Drain returns only after the running job, and the one waiting behind it.
// The running job is let go only once Drain was called, so a Drain that
// returned early finds it unfinished.
TEST(JobThreadTest, DrainWhileAJobRuns) {
    for (const int behind : {0, 1}) {
        SCOPED_TRACE(behind);
        Gate gate, started;
        std::atomic<int> done{0};
        std::atomic<bool> draining{false};
        JobThread jobs(JobThread::AtStop::RunRest);
        ASSERT_TRUE(jobs.Submit([&] {
            started.Open();
            gate.Wait();
            ++done;
        }));
        for (int i = 0; i < behind; ++i) ASSERT_TRUE(jobs.Submit([&] { ++done; }));
        started.Wait();
        EXPECT_TRUE(jobs.Busy());
        std::thread opener([&] {
            while (!draining) std::this_thread::yield();
            gate.Open();
        });
        draining = true;
        jobs.Drain();
        EXPECT_EQ(done, 1 + behind);
        EXPECT_FALSE(jobs.Busy());
        opener.join();
        jobs.Drain(); // idle: returns at once
    }
}

// A job may stop its own thread: that only asks for the stop, and the owner's
// Stop() later joins and cancels the jobs that waited.
TEST(JobThreadTest, StopFromAJob) {
    Record record;
    Gate gate;
    JobThread jobs(JobThread::AtStop::CancelRest);
    ASSERT_TRUE(jobs.Submit([&] {
        EXPECT_TRUE(jobs.OnThread());
        gate.Wait();
        jobs.Stop();
        record.Add(jobs.Stopping() ? "stopped itself" : "still running");
    }));
    ASSERT_TRUE(jobs.Submit([&] { record.Add(jobs.OnThread() ? "ran on thread" : "cancelled"); }));
    EXPECT_FALSE(jobs.OnThread());
    gate.Open();
    while (!jobs.Stopping()) std::this_thread::yield();
    jobs.Stop();
    EXPECT_EQ(record.Joined(), "stopped itself|cancelled");
}

} // namespace
} // namespace tarvik::test
