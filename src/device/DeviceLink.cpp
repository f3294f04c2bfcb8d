#include "device/DeviceLink.h"

#include <vector>

namespace tarvik {

DeviceLink::DeviceLink(hid::Backend& backend, PostFn post)
    : backend_(backend), post_(std::move(post)), alive_(std::make_shared<DeviceLink*>(this)) {}

DeviceLink::~DeviceLink() {
    Close();
    alive_.reset();
}

void DeviceLink::Probe(int position, const hid::InterfaceInfo& info) {
    const auto cls = ClassifyInterface(info);
    if (!cls) return;
    IdentityState& s = at(cls->identity);
    if (cls->role == InterfaceRole::Input) {
        // An input path already stored is kept; the reader empties it when it ends.
        if (s.inputPath.empty()) {
            s.inputIndex = position;
            s.inputPath = info.path;
        }
        return;
    }
    if (s.featurePath.empty()) {
        s.present = true;
        s.featureIndex = position;
        s.featurePath = info.path;
    } else if (s.featurePath == info.path) {
        s.present = true;
    }
}

void DeviceLink::ScanDevices() {
    connected_ = false;
    for (auto& s : states_) s.present = false;
    const std::vector<hid::InterfaceInfo> list = backend_.Enumerate();
    const int limit = std::min<int>(static_cast<int>(list.size()), kScanPositions);
    for (int i = 0; i < limit; ++i) Probe(i, list[static_cast<std::size_t>(i)]);
    connected_ = at(Identity::A).present || at(Identity::B).present;
    for (Identity id : kIdentities) {
        IdentityState& s = at(id);
        if (s.present) {
            StartReader(id);
            if (!s.feature) OpenFeature(id);
        } else {
            s.feature.reset();
            s.featurePath.clear();
        }
    }
    StatusPollSoon();
}

bool DeviceLink::TakeOwedStatusQuery() {
    if (!connected_ || !statusQueryOwed_) return false;
    statusQueryOwed_ = false;
    return true;
}

bool DeviceLink::StatusPollTick() {
    if (pollCounter_ < kPollQueryTick) {
        ++pollCounter_;
        return false;
    }
    pollCounter_ = 0;
    return true;
}

void DeviceLink::OpenFeature(Identity id) {
    IdentityState& s = at(id);
    s.feature.reset();
    // A node that is also the input interface is not opened a second time: the
    // running reader's device, verified for this identity, takes the feature
    // calls as well.
    if (s.readerDevice && s.readerRunning.load() && s.inputPath == s.featurePath) {
        s.feature = s.readerDevice;
        return;
    }
    // Opened by the path the probe verified, so a reordered enumeration cannot
    // hand us another interface.
    auto device = backend_.Open(s.featurePath);
    if (!device) return;
    const hid::InterfaceInfo info = device->Info();
    if (IdentityOf(info.vendorId, info.productId) != id) return;
    s.feature = std::move(device);
}

hid::Device* DeviceLink::SendTarget() {
    if (auto& a = at(Identity::A).feature) return a.get();
    if (auto& b = at(Identity::B).feature) return b.get();
    return nullptr;
}

std::shared_ptr<hid::Device> DeviceLink::SendTargetHandle() {
    if (auto& a = at(Identity::A).feature) return a;
    return at(Identity::B).feature;
}

std::optional<Identity> DeviceLink::SendTargetIdentity() const {
    if (at(Identity::A).feature) return Identity::A;
    if (at(Identity::B).feature) return Identity::B;
    return std::nullopt;
}

void DeviceLink::StartReader(Identity id) {
    IdentityState& s = at(id);
    if (s.readerRunning.load()) return;
    // A reader that left its loop has nothing more to do; collect it first. One
    // that left without being asked to stop did so because its read failed, and
    // its device is not read again.
    std::shared_ptr<hid::Device> failed;
    if (s.reader.joinable()) {
        s.reader.join();
        if (!s.stopReader.load()) failed = s.readerDevice;
    }
    s.readerDevice.reset();
    // The feature handle already holds the node when both roles are one node.
    const bool sameNode = s.feature && !s.inputPath.empty() && s.featurePath == s.inputPath;
    std::shared_ptr<hid::Device> device;
    if (sameNode && s.feature != failed)
        device = s.feature;
    else if (!s.inputPath.empty())
        device = backend_.Open(s.inputPath);
    if (!device || IdentityOf(device->Info().vendorId, device->Info().productId) != id) {
        // Recorded again by the next scan.
        s.inputPath.clear();
        return;
    }
    // The shared node failed under the old reader: the fresh handle serves both roles.
    if (sameNode && s.feature == failed) s.feature = device;
    const std::size_t length = std::max<std::size_t>(device->Info().inputReportLength, 1);
    s.readerDevice = std::move(device);
    s.stopReader = false;
    s.readerRunning = true;
    s.reader = std::thread(&DeviceLink::ReaderLoop, this, id, s.readerDevice, length);
}

void DeviceLink::ReaderLoop(Identity id, std::shared_ptr<hid::Device> device, std::size_t length) {
    IdentityState& s = at(id);
    std::vector<std::uint8_t> buffer(length, 0xFF);
    buffer[0] = kInputReportId;
    const std::weak_ptr<DeviceLink*> weak = alive_;
    for (;;) {
        const hid::ReadResult r = device->ReadInput(buffer, -1);
        if (r.status == hid::ReadStatus::Failed) break;
        if (r.status == hid::ReadStatus::Woken) {
            if (s.stopReader.load()) break;
            continue;
        }
        if (r.status != hid::ReadStatus::Report) continue;
        const auto event = ParseInputReport(std::span(buffer.data(), std::min(r.length, buffer.size())));
        if (event && post_) {
            post_([weak, id, ev = *event] {
                if (auto self = weak.lock(); self && (*self)->inputHandler_) (*self)->inputHandler_(id, ev);
            });
        }
    }
    s.readerRunning = false;
    if (post_ && !s.stopReader.load()) {
        // The input path is UI-thread state: forget it there, so the next scan
        // records the input interface again.
        post_([weak, id] {
            if (auto self = weak.lock(); self && !(*self)->ReaderRunning(id))
                (*self)->at(id).inputPath.clear();
        });
    }
}

void DeviceLink::StopReaders() {
    for (auto& s : states_) {
        s.stopReader = true;
        if (s.readerDevice) s.readerDevice->Wake();
    }
    for (auto& s : states_) {
        if (s.reader.joinable()) s.reader.join();
        s.readerDevice.reset();
        s.readerRunning = false;
    }
}

void DeviceLink::Close() {
    StopReaders();
    for (auto& s : states_) s.feature.reset();
}

} // namespace tarvik
