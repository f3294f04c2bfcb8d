#include "device/DeviceIds.h"

namespace tarvik {

std::optional<Identity> IdentityOf(std::uint16_t vendorId, std::uint16_t productId) {
    if (vendorId != kVendorId) return std::nullopt;
    if (productId == kProductIdA) return Identity::A;
    if (productId == kProductIdB) return Identity::B;
    return std::nullopt;
}

std::optional<Classification> ClassifyInterface(const hid::InterfaceInfo& info) {
    auto identity = IdentityOf(info.vendorId, info.productId);
    if (!identity) return std::nullopt;
    if (info.inputReportLength == kMouseReportLength) return Classification{*identity, InterfaceRole::Input};
    if (info.featureReportLength == kMouseReportLength)
        return Classification{*identity, InterfaceRole::Feature};
    return std::nullopt;
}

} // namespace tarvik
