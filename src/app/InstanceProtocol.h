// Where the running instance listens and the lines it understands. Plain C++,
// so any program of the project can reach the running window.
//
// One instance runs per user and data folder. It holds a lock file and listens
// on a user-only local socket, both named after a hash of the data folder in the
// user's runtime folder. A request is one line: a protocol version, a verb and
// optional arguments ("v1 show\n"). Unknown versions and verbs are ignored, and a
// line longer than kMaxRequestLine closes the connection.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tarvik::app {

inline constexpr std::string_view kProtocolVersion = "v1";
inline constexpr std::size_t kMaxRequestLine = 4096;
// The bring-up request of a second start.
inline constexpr std::string_view kVerbShow = "show";

struct InstanceRequest {
    std::string verb;
    std::string args; // the rest of the line after one space, untouched
    friend bool operator==(const InstanceRequest&, const InstanceRequest&) = default;
};

// "v1 show" -> {show, ""}; "v1 open /a b" -> {open, "/a b"}. A trailing "\n" or
// "\r\n" is dropped. Another version, an empty verb or a line with a NUL or a
// control character gives nothing.
std::optional<InstanceRequest> ParseRequestLine(std::string_view line);
// "v1 VERB[ ARGS]\n".
std::string FormatRequestLine(std::string_view verb, std::string_view args = {});

// $XDG_RUNTIME_DIR when it is an absolute folder, else /tmp/tarvik-runtime-<uid>
// (created with mode 0700; refused when another user owns it or it is a link).
// Empty when neither is usable.
std::filesystem::path InstanceRuntimeFolder();

// The absolute, normalised data folder (symbolic links resolved where the folder
// exists), so different spellings of one folder meet in one instance.
std::filesystem::path NormalisedDataFolder(const std::filesystem::path& dataFolder);

// "<runtime>/tarvik-<16 hex digits>": the lock is this + ".lock", the socket this
// + ".sock". The digits are a 64-bit FNV-1a hash of the normalised data folder.
// A runtime folder too long for a socket name falls back to /tmp/tarvik-runtime-<uid>.
std::filesystem::path InstanceBase(const std::filesystem::path& dataFolder,
                                   const std::filesystem::path& runtimeFolder);

} // namespace tarvik::app
