#include "mainwnd/SaveService.h"

#include "model/SettingsModel.h"

namespace tarvik {

SaveService::SaveService(SettingsModel& model, Scheduler& scheduler, PostFn post)
    : model_(model), scheduler_(scheduler), saver_(std::move(post)) {
    // A change that came while the writer wrote is saved again after it.
    saver_.SetDone([this](const FileResult& r, bool report) {
        if (stopped_) return;
        if (report && !r && failureShown_) failureShown_(r);
        if (resaveNeeded_) SaveInBackground();
    });
    // The model's own saves go to the writer too, behind the writes before
    // them; a failure is shown when the write has run.
    model_.SetSaveHandOff([this](const SettingsModel& m, int scope) { saver_.Save(m, scope, true); });
    listener_ = model_.AddListener([this](int, ModelChange) {
        if (saver_.Busy()) resaveNeeded_ = true;
        if (tracking_) unsaved_ = true;
    });
}

SaveService::~SaveService() {
    scheduler_.Disarm(kTaskSaveProfiles);
    model_.RemoveListener(listener_);
    model_.SetSaveHandOff({}); // later saves write on the calling thread
}

void SaveService::SendFinished() {
    // The results of sends the end interrupted still arrive: the end has
    // written everything, so they arm nothing.
    if (stopped_) return;
    scheduler_.Arm(kTaskSaveProfiles, kSaveDelay, false, [this] { SaveInBackground(); });
}

void SaveService::SaveInBackground() {
    resaveNeeded_ = false;
    unsaved_ = false; // the copy holds them
    // As the save on this thread does: the current slot is stored in the settings table.
    model_.SetCurrentProfile(model_.GetCurrentProfile());
    saver_.Save(model_);
}

void SaveService::SavePending() {
    // A delayed save that is still waiting, or a change whose send (and so its
    // delayed save) has not come yet, joins the writes on the writer thread;
    // then this waits until all are written.
    if (scheduler_.Armed(kTaskSaveProfiles)) {
        scheduler_.Disarm(kTaskSaveProfiles);
        static_cast<void>(
            model_.SaveSettingsAndProfiles()); // handed over; a failure is reported by the model
    } else if (unsaved_) {
        SaveInBackground();
    }
    unsaved_ = false;
    saver_.Drain();
}

} // namespace tarvik
