// The in-process backend on a VirtualMouse: each plugged identity shows an input
// interface (33-byte input reports) and a feature interface (33-byte feature
// reports), with paths "sim:A:input", "sim:A:feature", "sim:B:…".
#pragma once

#include <memory>

#include "device/HidBackend.h"
#include "emulator/VirtualMouse.h"

namespace tarvik {

class SimBackend final : public hid::Backend {
public:
    explicit SimBackend(std::shared_ptr<VirtualMouse> mouse);
    ~SimBackend() override;

    std::vector<hid::InterfaceInfo> Enumerate() override;
    std::unique_ptr<hid::Device> Open(const std::string& path) override;
    void SetHotplugHandler(hid::HotplugHandler handler) override;

    VirtualMouse& Mouse() { return *mouse_; }

    static std::string PathOf(Identity id, InterfaceRole role);

private:
    std::shared_ptr<VirtualMouse> mouse_;
    int listener_ = 0;
};

} // namespace tarvik
