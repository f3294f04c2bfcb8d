// The 33-byte feature report 0x0C that carries every command to the mouse, and
// the 8-bit sequence counter that numbers them.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace tarvik {

constexpr std::size_t kReportSize = 33;
constexpr std::uint8_t kFeatureReportId = 0x0C;
constexpr std::size_t kMaxPayload = kReportSize - 7; // bytes 7..32

// Command codes (report byte 2).
enum Command : std::uint8_t {
    kCmdSetButton = 0x04,
    kCmdDpiLevels = 0x05,
    kCmdDpiColours = 0x06,
    kCmdPollingRate = 0x07,
    kCmdLighting = 0x08,
    kCmdLiftOff = 0x09,
    kCmdDebounce = 0x0A,
    kCmdPowerOptions = 0x0B,
    kCmdMotionWakeup = 0x0C,
    kCmdMacroChunk = 0x0E,
    kCmdFactoryReset = 0x0F,
    kCmdStatusQuery = 0x20,
};

using ReportBytes = std::array<std::uint8_t, kReportSize>;

// Numbers the reports: starts at 1, and 255 is followed by 0.
class SequenceCounter {
public:
    std::uint8_t Take() { return value_++; }
    std::uint8_t Peek() const { return value_; }
    void Set(std::uint8_t value) { value_ = value; }

private:
    std::uint8_t value_ = 1;
};

// One frame: 0C 01 command 00 sequence byte5 length payload, zero-filled.
struct FeatureReport {
    ReportBytes bytes{};

    // Payloads longer than the 26 payload bytes are cut off.
    static FeatureReport Make(std::uint8_t command, std::uint8_t sequence, std::uint8_t byte5,
                              std::uint8_t length, std::span<const std::uint8_t> payload);
    // A settings write: byte 5 = 1, length = payload size.
    static FeatureReport Write(std::uint8_t command, std::uint8_t sequence,
                               std::span<const std::uint8_t> payload);
    static FeatureReport StatusQuery(std::uint8_t sequence);
    static FeatureReport FactoryReset(std::uint8_t sequence);

    std::uint8_t Command() const { return bytes[2]; }
    std::uint8_t Sequence() const { return bytes[4]; }
};

// "0C 01 07 ..." — upper-case hex, one blank between bytes.
std::string HexLine(std::span<const std::uint8_t> bytes);
// Plain upper-case hex without blanks, for JSON documents.
std::string HexString(std::span<const std::uint8_t> bytes);

} // namespace tarvik
