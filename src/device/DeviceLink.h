// The connection to the mouse: which of its interfaces are present, the open
// feature handle per identity (commands go to A, else B), and one reader thread
// per identity that blocks on the input interface and hands each level/rate
// report to the UI thread. When an identity's input and feature interfaces are
// one node, the node is opened once: the reader and the feature calls share it.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "device/DeviceIds.h"
#include "device/HidBackend.h"
#include "device/Protocol.h"

namespace tarvik {

// Queues a call on the UI thread (the window's event loop, or EventQueue).
using PostFn = std::function<void(std::function<void()>)>;

class DeviceLink {
public:
    DeviceLink(hid::Backend& backend, PostFn post);
    ~DeviceLink();
    DeviceLink(const DeviceLink&) = delete;
    DeviceLink& operator=(const DeviceLink&) = delete;

    // Called on the UI thread, in report order, for each 5/6 input report.
    void SetInputHandler(std::function<void(Identity, const InputEvent&)> handler) {
        inputHandler_ = std::move(handler);
    }

    // Probes enumeration positions 0..99, then for each identity: present ->
    // reader running and feature handle open; absent -> feature handle closed
    // and its path forgotten. Sets the poll counter to 19.
    void ScanDevices();

    // Feature handle A if open, else B, else null.
    hid::Device* SendTarget();
    // The same handle, shared: the device worker keeps it open for a job even
    // when a scan closes it meanwhile (its writes then fail).
    std::shared_ptr<hid::Device> SendTargetHandle();
    // The identity SendTarget() would use.
    std::optional<Identity> SendTargetIdentity() const;

    bool Present(Identity id) const { return at(id).present; }
    bool Connected() const { return connected_; }
    bool FeatureOpen(Identity id) const { return at(id).feature != nullptr; }
    bool ReaderRunning(Identity id) const { return at(id).readerRunning.load(); }
    const std::string& FeaturePath(Identity id) const { return at(id).featurePath; }
    int FeatureIndex(Identity id) const { return at(id).featureIndex; }
    const std::string& InputPath(Identity id) const { return at(id).inputPath; }
    int InputIndex(Identity id) const { return at(id).inputIndex; }

    // The status query due when a mouse is next connected: owed at start and
    // again once the last device went away.
    void OweStatusQuery() { statusQueryOwed_ = true; }
    // True once, when a mouse is connected and the status query is owed: the
    // caller queries it now.
    bool TakeOwedStatusQuery();
    bool StatusQueryOwed() const { return statusQueryOwed_; }

    // The 1 s status poll: a tick counter, the status queried on every 21st tick.
    // True when this tick queries the status (the count starts again).
    bool StatusPollTick();
    // The query comes on the second tick from now (after a scan, an arrival or a removal).
    void StatusPollSoon() { pollCounter_ = kPollQueryTick - 1; }
    // The query comes on the next tick.
    void StatusPollNow() { pollCounter_ = kPollQueryTick; }
    // A full interval from now (the mouse was just busy with a send or a reset).
    void RestartStatusPoll() { pollCounter_ = 0; }
    int StatusPollCount() const { return pollCounter_; }

    // Wakes and joins both readers (at shutdown, or before a backend goes away).
    void StopReaders();
    // Stops the readers and closes both feature handles.
    void Close();

    hid::Backend& Backend() { return backend_; }

private:
    struct IdentityState {
        // Feature handle and reader device are the same object when both
        // roles are one node.
        std::shared_ptr<hid::Device> feature;
        std::string featurePath;
        int featureIndex = -1;
        std::string inputPath;
        int inputIndex = -1;
        bool present = false;
        std::atomic<bool> readerRunning{false};
        std::atomic<bool> stopReader{false};
        std::shared_ptr<hid::Device> readerDevice;
        std::thread reader;
    };

    IdentityState& at(Identity id) { return states_[static_cast<int>(id)]; }
    const IdentityState& at(Identity id) const { return states_[static_cast<int>(id)]; }
    void Probe(int position, const hid::InterfaceInfo& info);
    void StartReader(Identity id);
    void OpenFeature(Identity id);
    void ReaderLoop(Identity id, std::shared_ptr<hid::Device> device, std::size_t length);

    static constexpr int kPollQueryTick = 20;

    hid::Backend& backend_;
    PostFn post_;
    bool statusQueryOwed_ = true;
    int pollCounter_ = 0;
    std::function<void(Identity, const InputEvent&)> inputHandler_;
    std::array<IdentityState, kIdentityCount> states_;
    bool connected_ = false;
    // Calls posted by a reader check this before touching the link, so a call
    // that runs after the link is gone does nothing.
    std::shared_ptr<DeviceLink*> alive_;
};

} // namespace tarvik
