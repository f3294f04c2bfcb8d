// The one thread that talks to the mouse: every feature-report write and read,
// the sequence counter and the pacing. The UI thread submits jobs (a planned
// send, a status query, the factory-reset command) and gets the results back
// as posted calls, so it never waits for the device.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "device/FeatureReport.h"
#include "device/HidBackend.h"
#include "device/Pacer.h"
#include "device/Protocol.h"
#include "device/SendPlanner.h"
#include "text/JobThread.h"

namespace tarvik {

enum class StatusOutcome { NoDevice, WriteFailed, ReadFailed, NoAnswer, Foreign, Answered, Interrupted };

// What the device said to a status query.
struct StatusExchange {
    StatusOutcome outcome = StatusOutcome::NoDevice;
    int attempts = 0;
    std::optional<StatusReply> reply;
};

enum class StepOutcome {
    Paused,  // a pause-only step
    Written, // the report reached the mouse
    Failed,  // the write failed
    Skipped, // a chunk after a failed chunk of the same macro
};

class DeviceWorker {
public:
    explicit DeviceWorker(Pacer& pacer);
    // Stops and joins.
    ~DeviceWorker();
    DeviceWorker(const DeviceWorker&) = delete;
    DeviceWorker& operator=(const DeviceWorker&) = delete;

    using Job = std::function<void()>;
    // Runs `job` on the worker thread after the jobs submitted before it.
    // Ignored once the worker is stopping.
    void Submit(Job job);
    // Ends a pause in progress and joins the thread; a job that is running
    // returns at its next step. The jobs not started then run on the calling
    // thread without touching the device (they see Stopping()), so each still
    // reports back. Idempotent.
    void Stop();
    bool Stopping() const;

    // The sequence counter of every report. Touch it only while no job runs.
    SequenceCounter& Sequence() { return sequence_; }

    // ---- for jobs, on the worker thread

    // Carries out a plan on `target` (null only for a plan without writes):
    // each report stamped with the next sequence
    // number and written, each pause through the pacer, a failed macro chunk
    // skipping the rest of its macro. `onStep` hears each step's outcome in
    // order. False when the worker was stopped before the end.
    bool RunPlan(const SendPlan& plan, hid::Device* target,
                 const std::function<void(std::size_t step, StepOutcome outcome)>& onStep);
    // Command 0x20, 10 ms, read the reply; asked once more (a new sequence
    // number) when the reply has no payload yet.
    StatusExchange RunStatusQuery(hid::Device& target);
    // Stamps the report with the next sequence number and writes it.
    bool Write(hid::Device& target, FeatureReport& report);
    // False when the worker is stopping (the pause may have been cut short).
    bool Pause(Millis duration);

private:
    Pacer& pacer_;
    SequenceCounter sequence_;
    // Last: its thread ends before the members the jobs use go.
    JobThread jobs_{JobThread::AtStop::CancelRest};
};

} // namespace tarvik
