// The bytes of a UTF-16LE file (byte-order mark first) with a CR before every
// LF, for the fuzzers' check that CR LF line ends read as LF; nothing when
// the bytes hold a CR already (a CR of the file's own before a LF would then
// join the line end, and the two readings differ by design).
#pragma once

#include <optional>
#include <string>
#include <string_view>

inline std::optional<std::string> WithCarriageReturns(std::string_view bytes) {
    if (bytes.size() < 2) return std::nullopt;
    std::string out(bytes.substr(0, 2));
    std::size_t i = 2;
    for (; i + 1 < bytes.size(); i += 2) {
        const auto lo = static_cast<unsigned char>(bytes[i]);
        const auto hi = static_cast<unsigned char>(bytes[i + 1]);
        if (hi == 0 && lo == '\r') return std::nullopt;
        if (hi == 0 && lo == '\n') out.append("\r\0", 2);
        out.append(bytes.substr(i, 2));
    }
    out.append(bytes.substr(i));
    return out;
}
