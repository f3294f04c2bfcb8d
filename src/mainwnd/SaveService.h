// The one owner of saving the profiles and config.ini while the program runs.
// It listens to the model's changes and to the end of each send, keeps what is
// not yet written, and owns the writer thread (DelayedSaver):
// - a change counts as unsaved once the session has started;
// - the end of a send (whether or not anything was sent) arms the delayed save
//   10 s later, restarted by every send; it writes a copy of the tables;
// - a change that comes while the writer is busy is saved again after it;
// - the model's own saves (profile operations, imports, a sensor change, the
//   factory reset's profile file) are handed to the same thread;
// - at the end, a save that is waiting or a change not yet handed over is
//   written, and the end waits until everything is on disk.
#pragma once

#include <functional>

#include "device/DeviceLink.h"
#include "device/Scheduler.h"
#include "mainwnd/DelayedSaver.h"
#include "text/FileResult.h"

namespace tarvik {

class SettingsModel;

// The delayed save's task and its delay after the last send.
constexpr TaskId kTaskSaveProfiles = kFirstOwnTask;
constexpr Millis kSaveDelay{10000};

class SaveService {
public:
    // `post` runs the writer's completions on the UI thread.
    SaveService(SettingsModel& model, Scheduler& scheduler, PostFn post);
    // The model's saves write on the calling thread again; what the writer
    // still holds is written before the thread ends.
    ~SaveService();
    SaveService(const SaveService&) = delete;
    SaveService& operator=(const SaveService&) = delete;

    // From now on a change of the model is unsaved until a copy is handed over.
    void TrackChanges() { tracking_ = true; }
    // A change the window made itself (its send is requested): saved after
    // the send, or at the end if that comes sooner.
    void NoteChange() { unsaved_ = true; }
    // A send finished: the delayed save is (re)armed.
    void SendFinished();
    // Hands a copy of the tables to the writer now.
    void SaveInBackground();
    // The end of the program or the desktop session: what waits is written,
    // and this returns once the writer is idle.
    void SavePending();
    // After this no completion shows anything, and neither a resave nor the
    // end of a send arms a save by itself (SavePending still writes).
    void Stop() { stopped_ = true; }

    bool Unsaved() const { return unsaved_; }
    bool SaveArmed() const { return scheduler_.Armed(kTaskSaveProfiles); }
    DelayedSaver& Writer() { return saver_; }
    // The newest save's result (see DelayedSaver::LastResult).
    FileResult LastResult() const { return saver_.LastResult(); }
    // Shows a failed write the user is to hear about (on the UI thread).
    void SetFailureShown(std::function<void(const FileResult&)> shown) { failureShown_ = std::move(shown); }

private:
    SettingsModel& model_;
    Scheduler& scheduler_;
    DelayedSaver saver_;
    std::function<void(const FileResult&)> failureShown_;
    int listener_ = 0;
    bool tracking_ = false;
    bool stopped_ = false;
    bool resaveNeeded_ = false; // the model changed while the writer was busy
    bool unsaved_ = false;      // changed since the last copy was handed to the writer
};

} // namespace tarvik
