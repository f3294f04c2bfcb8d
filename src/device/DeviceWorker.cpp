#include "device/DeviceWorker.h"

#include <utility>

namespace tarvik {

DeviceWorker::DeviceWorker(Pacer& pacer) : pacer_(pacer) {}

DeviceWorker::~DeviceWorker() {
    Stop();
}

void DeviceWorker::Submit(Job job) {
    jobs_.Submit(std::move(job));
}

void DeviceWorker::Stop() {
    // Stopping first, so a job cut short by the interrupted pause sees it and
    // writes nothing more; then the join. The jobs not started still report
    // back, as interrupted: each sees the worker stopping before it touches the
    // device.
    jobs_.RequestStop();
    pacer_.Interrupt();
    jobs_.Stop();
}

bool DeviceWorker::Stopping() const {
    return jobs_.Stopping();
}

bool DeviceWorker::Write(hid::Device& target, FeatureReport& report) {
    report.bytes[4] = sequence_.Take();
    return target.SetFeature(report.bytes);
}

bool DeviceWorker::Pause(Millis duration) {
    if (Stopping()) return false;
    pacer_.Pause(duration);
    return !Stopping();
}

bool DeviceWorker::RunPlan(const SendPlan& plan, hid::Device* target,
                           const std::function<void(std::size_t, StepOutcome)>& onStep) {
    int failedUnit = 0;
    for (std::size_t i = 0; i < plan.steps.size(); ++i) {
        if (Stopping()) return false;
        const PlannedStep& step = plan.steps[i];
        if (!step.report) {
            if (!Pause(step.pauseAfter)) return false;
            onStep(i, StepOutcome::Paused);
            continue;
        }
        if (step.unit != 0 && step.unit == failedUnit) {
            onStep(i, StepOutcome::Skipped);
            continue;
        }
        FeatureReport report = *step.report;
        const bool ok = target && Write(*target, report);
        if (!ok && step.unit != 0) failedUnit = step.unit;
        onStep(i, ok ? StepOutcome::Written : StepOutcome::Failed);
        if (!Pause(step.pauseAfter)) return false;
    }
    return true;
}

StatusExchange DeviceWorker::RunStatusQuery(hid::Device& target) {
    StatusExchange out;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (Stopping()) {
            out.outcome = StatusOutcome::Interrupted;
            return out;
        }
        ++out.attempts;
        FeatureReport query = FeatureReport::StatusQuery(0);
        if (!Write(target, query)) {
            out.outcome = StatusOutcome::WriteFailed;
            return out;
        }
        if (!Pause(kStatusReadPause)) {
            out.outcome = StatusOutcome::Interrupted;
            return out;
        }
        ReportBytes reply;
        reply.fill(0xFF);
        reply[0] = kFeatureReportId;
        if (!target.GetFeature(reply)) {
            out.outcome = StatusOutcome::ReadFailed;
            return out;
        }
        const ParsedStatusReply parsed = ParseStatusReply(reply);
        if (parsed.kind == StatusReplyKind::Empty) continue;
        if (parsed.kind == StatusReplyKind::Foreign) {
            out.outcome = StatusOutcome::Foreign;
            return out;
        }
        out.outcome = StatusOutcome::Answered;
        out.reply = parsed.reply;
        return out;
    }
    out.outcome = StatusOutcome::NoAnswer;
    return out;
}

} // namespace tarvik
