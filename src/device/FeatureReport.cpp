#include "device/FeatureReport.h"

#include <algorithm>

namespace tarvik {

FeatureReport FeatureReport::Make(std::uint8_t command, std::uint8_t sequence, std::uint8_t byte5,
                                  std::uint8_t length, std::span<const std::uint8_t> payload) {
    FeatureReport r;
    r.bytes[0] = kFeatureReportId;
    r.bytes[1] = 0x01;
    r.bytes[2] = command;
    r.bytes[3] = 0x00;
    r.bytes[4] = sequence;
    r.bytes[5] = byte5;
    r.bytes[6] = length;
    std::copy_n(payload.begin(), std::min(payload.size(), kMaxPayload), r.bytes.begin() + 7);
    return r;
}

FeatureReport FeatureReport::Write(std::uint8_t command, std::uint8_t sequence,
                                   std::span<const std::uint8_t> payload) {
    return Make(command, sequence, 0x01, static_cast<std::uint8_t>(payload.size()), payload);
}

FeatureReport FeatureReport::StatusQuery(std::uint8_t sequence) {
    return Make(kCmdStatusQuery, sequence, 0x00, 0, {});
}

FeatureReport FeatureReport::FactoryReset(std::uint8_t sequence) {
    const std::uint8_t payload[] = {0xFF};
    return Write(kCmdFactoryReset, sequence, payload);
}

namespace {
constexpr char kDigits[] = "0123456789ABCDEF";
}

std::string HexLine(std::span<const std::uint8_t> bytes) {
    std::string out;
    out.reserve(bytes.size() * 3);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i) out += ' ';
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 0x0F];
    }
    return out;
}

std::string HexString(std::span<const std::uint8_t> bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (std::uint8_t b : bytes) {
        out += kDigits[b >> 4];
        out += kDigits[b & 0x0F];
    }
    return out;
}

} // namespace tarvik
