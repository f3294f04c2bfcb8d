// Planning a send on the UI thread: from the current profile and the report
// caches, the list of reports to write in order, the pause after each, and the
// cache commit each successful write makes. The device worker carries the plan
// out; nothing here touches a device or sleeps.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "device/FeatureReport.h"
#include "device/Pacer.h"
#include "device/ReportCache.h"

namespace tarvik {

constexpr Millis kCommandPause{60};
constexpr Millis kStatusReadPause{10};

// A macro that needs more chunks than byte 5 can number: never sent.
struct RefusedMacro {
    int button = 0;
    std::uint8_t number = 0;
    std::u16string name;
    int chunks = 0;
    std::uint32_t macroKeyIndex = 0;
    std::uint8_t steps = 0;
};

struct PlannedStep {
    // Written with the next sequence number; none: the step is a pause only.
    std::optional<FeatureReport> report;
    Millis pauseAfter{0};
    // Nonzero for the chunks of one macro: after a chunk that failed, the rest
    // of its unit (writes and their pauses) is skipped.
    int unit = 0;
    // A failed write keeps this group requested, so the next send retries it
    // (settings and buttons; a macro is compared on every send anyway).
    std::optional<SendGroup> retryGroup;
    // Applied on the UI thread when the write succeeded (for a macro, on its
    // last chunk: every chunk arrived).
    CacheCommit commit;
};

struct SendPlan {
    std::vector<PlannedStep> steps;
    int writes = 0;
    std::vector<RefusedMacro> refusedMacros;
};

// The steps of one send, in the order and with the pacing the mouse expects:
// for the requested groups, buttons (six positions, 60 ms each, written where
// changed), then 05 06 07 09 0A 08, 0B, 0C where changed (60 ms after each);
// then each macro button's macro where changed (60 ms after each chunk) and
// 60 ms per macro button. Without a send target nothing is written: settings
// and buttons are left out entirely, macro buttons keep their pause.
// The macro numbers must have been assigned already.
SendPlan PlanSend(const ProfileRecord& rec, std::span<const std::uint16_t> dpiDeviceCodes,
                  const ReportCache& cache, SendGroups groups, bool hasTarget);

// The macros of `rec`'s macro buttons taken as delivered (after the numbering);
// a macro that could never be sent is not.
void PrimeMacros(ReportCache& cache, const ProfileRecord& rec);

} // namespace tarvik
