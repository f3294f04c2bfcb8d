// The wire protocol between tarvik-mousesim and its clients (docs/mousesim-protocol.md):
// length-prefixed frames on a Unix stream socket. This is the codec only: frame
// splitting, message encoding and decoding. Decoding never trusts a length and
// never reads past its input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "device/HidBackend.h"

namespace tarvik::simproto {

// Longest message body (type byte and payload); a longer length prefix is a
// broken stream.
constexpr std::size_t kMaxBody = 65536;
constexpr std::size_t kPrefix = 4;
// Longest string or report in one message (a dump of the mouse's state is the
// longest text); no message carries two such fields.
constexpr std::size_t kMaxField = 60000;
// Longest interface list in one message.
constexpr std::size_t kMaxInterfaces = 100;

enum class Type : std::uint8_t {
    // client -> daemon
    Enumerate = 0x01,  // request
    Open = 0x02,       // request, text = path
    Close = 0x03,      // handle; no reply
    SetFeature = 0x04, // request, handle, data
    GetFeature = 0x05, // request, handle, data (report ID and length of the report to read)
    Watch = 0x06,      // request: send Hotplug messages to this connection; answered with a ControlReply
    Plug = 0x10,       // request, code = identity (0 A, 1 B)
    Unplug = 0x11,     // request, code = identity
    PressDpi = 0x12,   // request, code = level 1-8, 0 = the next enabled level
    SetBattery = 0x13, // request, code = percent, code2 = charge state (0 not charging, 1 charging, 2 full)
    SetSensor = 0x14,  // request, code = sensor code
    Dump = 0x15,       // request, code = 1 for JSON
    // daemon -> client
    EnumerateReply = 0x81,  // request, interfaces
    OpenReply = 0x82,       // request, handle (0 = refused), info
    SetFeatureReply = 0x84, // request, code = 1 ok / 0 failed
    GetFeatureReply = 0x85, // request, code = ok, data
    Input = 0x86,           // handle, data: one input report
    Gone = 0x87,            // handle: its device was unplugged; the handle is dead
    Hotplug = 0x88,         // code = 0 arrival / 1 removal
    ControlReply = 0x90,    // request, code = ok, text
    Error = 0xFF,           // request (0 when unknown), text: a message that could not be decoded
};

// One message; which fields travel depends on the type (see Type).
struct Message {
    Type type = Type::Error;
    std::uint32_t request = 0;
    std::uint32_t handle = 0;
    std::uint8_t code = 0;
    std::uint8_t code2 = 0;
    std::string text;
    std::vector<std::uint8_t> data;
    hid::InterfaceInfo info;
    std::vector<hid::InterfaceInfo> interfaces;
    friend bool operator==(const Message&, const Message&) = default;
};

// The whole frame: length prefix (little endian) and body. Fields longer than
// the limits above are cut to them.
std::vector<std::uint8_t> Encode(const Message& message);

// Decodes one body (without the prefix). Unknown types, short bodies and bytes
// left over are errors; `error` says which.
std::optional<Message> Decode(std::span<const std::uint8_t> body, std::string* error = nullptr);

// Splits a byte stream into bodies. Bytes arrive in any pieces; Next() returns
// the bodies in order. A length prefix of 0 or above kMaxBody breaks the
// stream for good (the other side is not speaking this protocol).
class FrameReader {
public:
    enum class Status { Body, NeedMore, Broken };
    void Feed(std::span<const std::uint8_t> bytes);
    Status Next(std::vector<std::uint8_t>& body);
    bool Broken() const { return broken_; }
    // Bytes buffered but not yet returned (a frame in transit).
    std::size_t Pending() const { return buffer_.size() - start_; }

private:
    std::vector<std::uint8_t> buffer_;
    std::size_t start_ = 0;
    bool broken_ = false;
};

} // namespace tarvik::simproto
