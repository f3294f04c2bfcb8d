#include "emulator/SimBackend.h"

namespace tarvik {

namespace {

hid::InterfaceInfo InfoOf(Identity id, InterfaceRole role) {
    hid::InterfaceInfo info;
    info.path = SimBackend::PathOf(id, role);
    info.vendorId = kVendorId;
    info.productId = ProductIdOf(id);
    info.inputReportLength = role == InterfaceRole::Input ? kMouseReportLength : 0;
    info.featureReportLength = role == InterfaceRole::Feature ? kMouseReportLength : 0;
    return info;
}

// Every call goes through the mouse's lock, which a blocked read releases
// while it waits, so feature calls and a read may overlap on one handle.
class SimDevice final : public hid::Device {
public:
    SimDevice(std::shared_ptr<VirtualMouse> mouse, Identity id, InterfaceRole role)
        : mouse_(std::move(mouse)), id_(id), role_(role), generation_(mouse_->Generation(id)) {}

    hid::InterfaceInfo Info() const override { return InfoOf(id_, role_); }
    bool SetFeature(std::span<const std::uint8_t> data) override {
        return role_ == InterfaceRole::Feature && mouse_->SetFeature(id_, generation_, data);
    }
    bool GetFeature(std::span<std::uint8_t> data) override {
        return role_ == InterfaceRole::Feature && mouse_->GetFeature(id_, generation_, data);
    }
    hid::ReadResult ReadInput(std::span<std::uint8_t> data, int timeoutMs) override {
        if (role_ != InterfaceRole::Input) return {hid::ReadStatus::Failed, 0};
        return mouse_->ReadInput(id_, generation_, data, timeoutMs, woken_);
    }
    void Wake() override { mouse_->Wake(woken_); }

private:
    std::shared_ptr<VirtualMouse> mouse_;
    Identity id_;
    InterfaceRole role_;
    std::uint64_t generation_;
    bool woken_ = false; // guarded by the mouse's lock
};

} // namespace

SimBackend::SimBackend(std::shared_ptr<VirtualMouse> mouse) : mouse_(std::move(mouse)) {}

SimBackend::~SimBackend() {
    if (listener_) mouse_->RemoveHotplugListener(listener_);
}

std::string SimBackend::PathOf(Identity id, InterfaceRole role) {
    return std::string("sim:") + NameOf(id) + ":" + NameOf(role);
}

std::vector<hid::InterfaceInfo> SimBackend::Enumerate() {
    std::vector<hid::InterfaceInfo> list;
    for (Identity id : kIdentities) {
        if (!mouse_->Plugged(id)) continue;
        list.push_back(InfoOf(id, InterfaceRole::Input));
        list.push_back(InfoOf(id, InterfaceRole::Feature));
    }
    return list;
}

std::unique_ptr<hid::Device> SimBackend::Open(const std::string& path) {
    for (Identity id : kIdentities) {
        for (InterfaceRole role : {InterfaceRole::Input, InterfaceRole::Feature}) {
            if (path == PathOf(id, role)) {
                if (!mouse_->Plugged(id)) return nullptr;
                return std::make_unique<SimDevice>(mouse_, id, role);
            }
        }
    }
    return nullptr;
}

void SimBackend::SetHotplugHandler(hid::HotplugHandler handler) {
    if (listener_) mouse_->RemoveHotplugListener(listener_);
    listener_ = handler ? mouse_->AddHotplugListener(std::move(handler)) : 0;
}

} // namespace tarvik
