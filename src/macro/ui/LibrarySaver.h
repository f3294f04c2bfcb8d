// Saves a macro library without keeping the UI thread waiting for the disk: a
// copy of the library is taken on the UI thread, a worker thread writes it
// (temporary file, flush, rename), and the result comes back on the UI thread.
// Saves are written in the order they were asked for, so the file ends with
// the latest copy.
#pragma once

#include <QObject>

#include <filesystem>
#include <functional>

#include "macro/MacroLibrary.h"
#include "text/JobThread.h"

namespace tarvik {

class LibrarySaver : public QObject {
public:
    using Done = std::function<void(const FileResult&)>;

    explicit LibrarySaver(std::filesystem::path file);
    // Writes what was asked for before it returns, so no save is lost.
    ~LibrarySaver() override;
    LibrarySaver(const LibrarySaver&) = delete;
    LibrarySaver& operator=(const LibrarySaver&) = delete;

    const std::filesystem::path& File() const { return file_; }

    // Saves a copy of `library` with the selection line -1, 0, 0, 0; `done`
    // runs on this object's thread with the result (not after the saver went).
    void Save(const MacroLibrary& library, Done done);
    // Saves asked for whose result has not been delivered yet.
    int Pending() const { return pending_; }

private:
    std::filesystem::path file_;
    int pending_ = 0; // UI thread only
    // Last: its thread ends before the members the jobs use go.
    JobThread jobs_{JobThread::AtStop::RunRest};
};

} // namespace tarvik
