// What the program works on while the window shows it: the model, the macro
// library, the device link and its controller, hotplug, saving and the
// scheduler of deferred work. main() builds it before the window and ends it
// after the window's event loop; the window observes it (the model's changes,
// the device's events) and turns the user's actions into changes of it.
//
// Threads: the device worker (the controller's) talks to the mouse, the link's
// reader threads read its reports, the writer thread (SaveService) writes the
// profiles and the library saver's thread the macro library. Their results
// come back as calls posted to this object's thread, the UI thread; a call
// posted when the session is gone is dropped.
#pragma once

#include <QObject>

#include <filesystem>
#include <functional>
#include <memory>

#include "device/DeviceController.h"
#include "device/DeviceLink.h"
#include "device/Pacer.h"
#include "device/Scheduler.h"
#include "mainwnd/SaveService.h"

namespace tarvik {

class LibrarySaver;
class MacroLibrary;
class SettingsModel;
namespace hid {
class Backend;
}

struct SessionSetup {
    SettingsModel& model;
    MacroLibrary& library;
    std::filesystem::path libraryPath; // the main library's file, read again after the macro manager
    hid::Backend& backend;
    Pacer& pacer;
    // The deferred work's timers; none: the session runs its own on Qt timers.
    Scheduler* scheduler = nullptr;
};

class Session : public QObject {
public:
    explicit Session(SessionSetup setup);
    // Shuts down if that has not happened, then the controller stops and joins
    // its worker and the link its readers.
    ~Session() override;
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    SettingsModel& Model() { return model_; }
    MacroLibrary& Library() { return library_; }
    const std::filesystem::path& LibraryPath() const { return libraryPath_; }
    Scheduler& Tasks() { return *scheduler_; }
    DeviceLink& Link() { return *link_; }
    DeviceController& Device() { return *controller_; }
    SaveService& Saving() { return *saving_; }
    // Writes the macro library off the UI thread; made on first use.
    LibrarySaver& MacroLibrarySaver();
    // Queues a call on the UI thread (dropped when the session is gone).
    PostFn Poster();

    // What the window shows of the device. The end of a send reaches saving
    // before it reaches these.
    void SetDeviceEvents(DeviceEvents events) { events_ = std::move(events); }
    // Runs first in Shutdown: the window closes what it shows.
    void SetEnding(std::function<void()> ending) { ending_ = std::move(ending); }

    // The start once the start-up load is done and the window shows the
    // profile: changes count as unsaved from here, hotplug is attached, the
    // caches are primed from the current profile, the devices are scanned
    // (which arms the status poll and a first send of what differs), and a
    // connected mouse is asked its status (`firstStatus` hears the answer).
    void Start(std::function<void(const StatusResult&)> firstStatus = {});
    bool Started() const { return started_; }
    // The end, once: the window's ending, no arrival or removal after it, the
    // device worker stopped (a send in progress stops at its next step),
    // what is pending saved and written, the readers woken and joined.
    void Shutdown();
    bool Ended() const { return ended_; }
    // The desktop session ends: what is pending is written (the program goes on).
    void SavePending() { saving_->SavePending(); }
    // Between these, an edit runs whose caller requests the send the edit
    // returned (the window's handlers, a forwarded command): the model's
    // notifications then repaint, and request no second send.
    void BeginEdit() { ++editDepth_; }
    void EndEdit() { --editDepth_; }

private:
    void OnModelChange(int slot, ModelChange what);

    SettingsModel& model_;
    MacroLibrary& library_;
    std::filesystem::path libraryPath_;
    hid::Backend& backend_;
    std::unique_ptr<Scheduler> ownScheduler_;
    Scheduler* scheduler_ = nullptr;
    DeviceEvents events_;
    std::function<void()> ending_;
    std::unique_ptr<DeviceLink> link_;
    std::unique_ptr<SaveService> saving_;
    std::unique_ptr<DeviceController> controller_;
    std::unique_ptr<LibrarySaver> librarySaver_;
    int modelListener_ = 0;
    int editDepth_ = 0;
    bool started_ = false;
    bool ended_ = false;
};

} // namespace tarvik
