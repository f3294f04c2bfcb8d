// The virtual mouse's frame decoding: any byte stream, cut into frames by a
// length byte, must be applied or counted as malformed, and its state must stay
// describable.
#include <cstddef>
#include <cstdint>

#include "device/FeatureReport.h"
#include "emulator/VirtualMouse.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarvik;
    VirtualMouse mouse;
    std::size_t at = 0;
    std::uint64_t frames = 0;
    while (at < size) {
        // Length byte: 33 most of the time so whole frames get through.
        const std::size_t want = data[at] < 0xF0 ? kReportSize : data[at] & 0x3F;
        ++at;
        const std::size_t n = std::min(want, size - at);
        mouse.ApplyFrame(std::span(data + at, n));
        ++frames;
        at += n;
        ReportBytes reply{};
        reply[0] = kFeatureReportId;
        mouse.GetFeature(Identity::A, mouse.Generation(Identity::A), reply);
    }
    // The DPI button reports a level the received DPI page allows.
    mouse.PressDpiButton();
    std::array<std::uint8_t, 33> input{};
    bool woken = false;
    const hid::ReadResult r = mouse.ReadInput(Identity::A, mouse.Generation(Identity::A), input, 0, woken);
    if (r.status != hid::ReadStatus::Report || input[0] != 0x05 || input[4] < 1 || input[4] > 8)
        __builtin_trap();
    const VirtualMouse::State s = mouse.Snapshot();
    if (s.framesReceived != frames || s.malformedFrames > s.framesReceived) __builtin_trap();
    for (const auto& [number, bytes] : s.macros) {
        if (number > 0xFF || bytes.size() > 15 * 25) __builtin_trap();
    }
    const std::string doc = mouse.Dump().dump();
    if (doc.empty()) __builtin_trap();
    return 0;
}
