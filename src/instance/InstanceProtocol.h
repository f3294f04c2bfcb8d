// Where the running instance listens and the lines it understands. Plain C++,
// so any program of the project can reach the running window.
//
// One instance runs per data folder: the window that holds the folder's lock
// (config/tarvik.lock) for its whole life. It listens on a user-only local
// socket and writes the socket's path into the lock file (the owner record),
// so a program finds the owner through the data folder itself, whatever its
// own environment says. A request is one line: a protocol version, a verb and
// optional arguments ("v1 show\n"). Unknown versions and verbs are ignored, and a
// line longer than kMaxRequestLine closes the connection.
//
// A changing command is handed over in three steps, so that it never runs
// after its client gave up: the client sends "v1 ctl <json>", the owner answers
// "v1 ready" without acting, the client sends "v1 go" only while it still waits
// (before its deadline), and the owner carries the command out on "go" alone
// and answers "v1 result <json>" once its files are written.
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
inline constexpr std::string_view kVerbReady = "ready";
inline constexpr std::string_view kVerbGo = "go";

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

// The absolute, normalised data folder (symbolic links resolved where the folder
// exists), so different spellings of one folder meet in one instance.
std::filesystem::path NormalisedDataFolder(const std::filesystem::path& dataFolder);

// "<runtime>/tarvik-<16 hex digits>": the socket is this + ".sock". The digits are a 64-bit FNV-1a hash of
// the normalised data folder. A runtime folder too long for a socket name falls back to
// /tmp/tarvik-runtime-<uid>.
std::filesystem::path InstanceBase(const std::filesystem::path& dataFolder,
                                   const std::filesystem::path& runtimeFolder);

// The owner record in the data folder's lock file: "PID\nPROGRAM\nSOCKET\n".
struct FolderOwner {
    long long pid = 0;
    std::string program;          // the kernel keeps the first 15 bytes of it
    std::filesystem::path socket; // absolute
    friend bool operator==(const FolderOwner&, const FolderOwner&) = default;
};
std::string FormatOwnerRecord(const FolderOwner& owner);
// Nothing for a record of another shape (also an empty one: an owner taking
// the lock right now, or a tarvikctl run, which writes none).
std::optional<FolderOwner> ParseOwnerRecord(std::string_view text);
// The owner the data folder's lock file names, when its process lives and
// still runs the program it names. Meaningful only while the folder's lock is
// held by someone else: a crashed owner leaves its record behind.
std::optional<FolderOwner> LivingFolderOwner(const std::filesystem::path& dataFolder);

// A private folder for the instance socket: $XDG_RUNTIME_DIR, else
// <tmp>/tarvik-runtime-<uid> (tmp: $TMPDIR or /tmp) when it is the user's own,
// else (only when `made` is given) a new folder <tmp>/tarvik-<uid>-XXXXXX made
// for this process (mode 0700; `made` is then set, and the caller removes it
// at its end). Empty when none can be had.
std::filesystem::path InstanceSocketFolder(bool* made = nullptr);

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

// Hands `line` (which ends in "\n") to the instance and hangs up, from a
// program without an event loop (a second start): connects within
// `connectWait`, writes the line within `stepWait`, ends its sending side and
// waits up to `stepWait` for the instance to hang up, so the line is read
// before this program ends. True once the line was written.
bool SendLine(const std::filesystem::path& socketPath, std::string_view line,
              std::chrono::milliseconds connectWait, std::chrono::milliseconds stepWait);

// A changing command handed to the owner in three steps (see above).
struct Handover {
    enum class Outcome {
        Answered,   // `reply` holds the result line without its line end
        NoListener, // nobody listens on the socket (yet): nothing was handed over
        NotTaken,   // no "ready" before `startBy`, or the owner hung up first: the
                    // command was not given the go, and is never carried out
        Unfinished, // given the go, but no result before `finishBy` (or the owner
                    // ended): it may or may not have been carried out
    };
    Outcome outcome = Outcome::NoListener;
    std::string reply;
};
// Sends `line` ("v1 ctl ...\n"), waits for "v1 ready" until `startBy`, then sends
// "v1 go" and waits for the result until `finishBy`.
Handover HandOver(const std::filesystem::path& socketPath, std::string_view line,
                  std::chrono::steady_clock::time_point startBy,
                  std::chrono::steady_clock::time_point finishBy);

} // namespace tarvik::app
