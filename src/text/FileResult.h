// The one way a file operation tells how it went. A failure says what kind it
// was and why; whoever met it has reported it once through ReportProblem, so a
// caller only decides what follows (an exit status, a notice, a refused step),
// and the compiler makes it look at the result.
#pragma once

#include <filesystem>
#include <string>
#include <utility>

namespace tarvik {

enum class FileError : unsigned char {
    None,       // done
    Missing,    // the file, or a folder on its way, does not exist
    Unreadable, // it exists but could not be opened or read
    Damaged,    // it was read, and a line breaks the format (`line` says which)
    NotWritten, // it could not be created, written or committed; the old file is as it was
};

class [[nodiscard]] FileResult {
public:
    FileResult() = default;
    static FileResult Failure(FileError error, std::string reason, int line = 0) {
        FileResult r;
        r.error = error;
        r.reason = std::move(reason);
        r.line = line;
        return r;
    }

    FileError error = FileError::None;
    // Damaged: the 1-based line at fault (the line after the last one for a
    // file that ends early); 0 otherwise.
    int line = 0;
    std::string reason;

    bool ok() const { return error == FileError::None; }
    explicit operator bool() const { return ok(); }
    // The file could be opened: it was read, perhaps up to a damaged line.
    bool opened() const { return error == FileError::None || error == FileError::Damaged; }
    // "line N: reason", or the reason alone.
    std::string Describe() const {
        if (line <= 0) return reason;
        std::string s = "line ";
        s += std::to_string(line);
        s += ": ";
        s += reason;
        return s;
    }
};

// A damaged file: `line` is the 1-based line at fault.
inline FileResult DamagedAt(int line, std::string reason) {
    return FileResult::Failure(FileError::Damaged, std::move(reason), line);
}

// What a load did with one file it found (or did not find) at start-up. A
// caller can tell a file that was loaded from one that was damaged and replaced
// (its old content kept as .bak) and from one that is there but was left alone.
// A file left alone (Unreadable, Kept) is never saved over in that run: the
// program works on defaults in memory for it.
enum class LoadState : unsigned char {
    Loaded,     // read as it stood
    Missing,    // not there: defaults in memory, and written
    Replaced,   // damaged: kept as .bak (or equal to a kept copy), defaults written
    Unreadable, // there, but it could not be opened or read, or is no regular file
    Kept,       // damaged, but no copy of it could be kept (or the load could not
                // take the folder's lock), so it was not replaced
};

struct LoadOutcome {
    LoadState state = LoadState::Loaded;
    FileResult read;              // ok, or why the file was refused
    std::filesystem::path backup; // Replaced: the copy that holds the old content
    FileResult write;             // the defaults written in its place (ok when none were due)

    explicit operator bool() const { return state == LoadState::Loaded; }
    // The file is there and was left as it was: nothing may be saved over it.
    bool LeftAlone() const { return state == LoadState::Unreadable || state == LoadState::Kept; }
};

// The state a failed read leads to.
inline LoadState StateAfter(const FileResult& read) {
    switch (read.error) {
    case FileError::None:
        return LoadState::Loaded;
    case FileError::Missing:
        return LoadState::Missing;
    case FileError::Damaged:
        return LoadState::Replaced;
    default:
        return LoadState::Unreadable;
    }
}

} // namespace tarvik
