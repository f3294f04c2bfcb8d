#include "mainwnd/Session.h"

#include "device/MacroUpload.h"
#include "macro/ui/LibrarySaver.h"
#include "mainwnd/QtScheduler.h"
#include "model/SettingsModel.h"

namespace tarvik {

Session::Session(SessionSetup setup)
    : model_(setup.model), library_(setup.library), libraryPath_(std::move(setup.libraryPath)),
      backend_(setup.backend) {
    if (setup.scheduler) {
        scheduler_ = setup.scheduler;
    } else {
        ownScheduler_ = std::make_unique<QtScheduler>();
        scheduler_ = ownScheduler_.get();
    }
    link_ = std::make_unique<DeviceLink>(backend_, Poster());
    saving_ = std::make_unique<SaveService>(model_, *scheduler_, Poster());
    // The controller's events go through the session: saving hears the end of
    // every send, the window what it shows.
    DeviceEvents events;
    events.progress = [this](const DeviceProgress& p) {
        if (events_.progress) events_.progress(p);
    };
    events.sendFinished = [this](const ApplyResult& r) {
        saving_->SendFinished();
        if (events_.sendFinished) events_.sendFinished(r);
    };
    events.showOsd = [this](const OsdTexts& texts) {
        if (events_.showOsd) events_.showOsd(texts);
    };
    events.showBattery = [this](const BatteryDisplay& d) {
        if (events_.showBattery) events_.showBattery(d);
    };
    events.noDeviceLeft = [this] {
        if (events_.noDeviceLeft) events_.noDeviceLeft();
    };
    controller_ = std::make_unique<DeviceController>(model_, *link_, setup.pacer, *scheduler_, Poster(),
                                                     std::move(events));
    controller_->SetMacroFinder(LibraryFinder(library_));
    modelListener_ = model_.AddListener([this](int slot, ModelChange what) { OnModelChange(slot, what); });
}

Session::~Session() {
    Shutdown();
    model_.RemoveListener(modelListener_);
    // The controller stops and joins its worker, then saving ends (its writer
    // writes what it holds), then the link joins its readers.
    controller_.reset();
    saving_.reset();
    librarySaver_.reset();
    link_.reset();
}

PostFn Session::Poster() {
    return [this](std::function<void()> call) {
        QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
    };
}

LibrarySaver& Session::MacroLibrarySaver() {
    if (!librarySaver_) librarySaver_ = std::make_unique<LibrarySaver>(libraryPath_);
    return *librarySaver_;
}

void Session::OnModelChange(int slot, ModelChange what) {
    // Changes made past the edits of the window's own handlers (an import,
    // level and rate reports, sensor changes, the factory reset) send the mouse
    // what of them differs from what it holds: the window never shows a value
    // the mouse does not get. An edit's caller requests its send itself.
    if (!started_ || ended_) return;
    if (slot != kAllSlots && slot != model_.GetCurrentProfile() && !Any(what & ModelChange::CurrentSlot))
        return;
    // A profile that becomes current, or is read in, may carry copies of
    // macros edited in the library since: its macro buttons take the
    // library's macros, as the macro manager and the selection show them.
    if (Any(what & (ModelChange::CurrentSlot | ModelChange::Buttons))) controller_->RequestResync();
    if (editDepth_ > 0) return;
    if (const SendGroups groups = SendGroupsFor(what); !groups.Empty()) controller_->RequestSend(groups);
}

void Session::Start(std::function<void(const StatusResult&)> firstStatus) {
    if (started_ || ended_) return;
    started_ = true;
    saving_->TrackChanges();
    // Arrival and removal reach this thread through the event loop.
    controller_->AttachHotplug(Poster());
    // The mouse is taken to hold the current profile: only what differs later is sent.
    controller_->PrimeCaches();
    // The scan arms the status poll and a first send of what differs.
    controller_->ScanDevices();
    if (link_->TakeOwedStatusQuery()) controller_->QueryStatus(std::move(firstStatus));
}

void Session::Shutdown() {
    if (ended_) return;
    ended_ = true;
    if (ending_) ending_();
    saving_->Stop();
    // No arrival or removal after this point; then the worker ends and the
    // readers are woken and joined.
    backend_.SetHotplugHandler({});
    controller_->StopWorker();
    saving_->SavePending();
    link_->Close();
}

} // namespace tarvik
