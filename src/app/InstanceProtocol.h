// Where the running instance listens and the lines it understands. Plain C++,
// so any program of the project can reach the running window.
//
// One instance runs per user and data folder. It holds a lock file and listens
// on a user-only local socket, both named after a hash of the data folder in the
// user's runtime folder. A request is one line: a protocol version, a verb and
// optional arguments ("v1 show\n"). Unknown versions and verbs are ignored, and a
// line longer than kMaxRequestLine closes the connection.
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tarvik::app {

inline constexpr std::string_view kProtocolVersion = "v1";
// A request line holds a command of tarvikctl with its arguments and file paths.
inline constexpr std::size_t kMaxRequestLine = 16384;
// The longest answer line a client reads.
inline constexpr std::size_t kMaxReplyLine = 65536;
// The bring-up request of a second start.
inline constexpr std::string_view kVerbShow = "show";
// A changing command of tarvikctl, carried out by the window: "v1 ctl <json>",
// answered with "v1 result <json>".
inline constexpr std::string_view kVerbCtl = "ctl";
inline constexpr std::string_view kVerbResult = "result";

struct InstanceRequest {
    std::string verb;
    std::string args; // the rest of the line after one space, untouched
    friend bool operator==(const InstanceRequest&, const InstanceRequest&) = default;
};

// "v1 show" -> {show, ""}; "v1 open /a b" -> {open, "/a b"}. A trailing "\n" or
// "\r\n" is dropped. Another version, an empty verb or a line with a NUL or a
// control character gives nothing, and so does a line longer than `maxLength`
// (an answer line may be up to kMaxReplyLine long).
std::optional<InstanceRequest> ParseRequestLine(std::string_view line,
                                                std::size_t maxLength = kMaxRequestLine);
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

// Whether a living process holds the instance lock "<base>.lock". The lock
// file names its owner: the process id on its first line, the program's name
// on the second. A lock whose process is gone, or whose process id now belongs
// to a program of another name, is stale (the next instance takes it over).
bool InstanceLockHeld(const std::filesystem::path& base);

// One request and its answer over "<base>.sock", from a program without an
// event loop (tarvikctl).
struct Exchange {
    enum class Outcome {
        Answered,   // `reply` holds the answer line without its line end
        NoListener, // nobody listens on the socket (yet)
        NoAnswer,   // no (complete) answer before the deadline
        Closed,     // the instance hung up without an answer, or sent a line too long
    };
    Outcome outcome = Outcome::NoListener;
    std::string reply;
};
// Connects, writes `line` (which ends in "\n") and reads one answer line, all
// before `deadline`. Never waits past it, whatever the other side does.
Exchange ExchangeLine(const std::filesystem::path& socketPath, std::string_view line,
                      std::chrono::steady_clock::time_point deadline);

} // namespace tarvik::app
