// The mouse's two USB identities and the interface roles the scan tells apart.
#pragma once

#include <cstdint>
#include <optional>

#include "device/HidBackend.h"

namespace tarvik {

constexpr std::uint16_t kVendorId = 0x248A;
constexpr std::uint16_t kProductIdA = 0x5B2E; // first choice for every command
constexpr std::uint16_t kProductIdB = 0x5B2F; // used only when A has no open feature handle
constexpr std::uint16_t kMouseReportLength = 33;
// The scan looks at this many enumeration positions.
constexpr int kScanPositions = 100;

enum class Identity { A = 0, B = 1 };
constexpr int kIdentityCount = 2;
constexpr Identity kIdentities[] = {Identity::A, Identity::B};
constexpr std::uint16_t ProductIdOf(Identity id) {
    return id == Identity::A ? kProductIdA : kProductIdB;
}
constexpr const char* NameOf(Identity id) {
    return id == Identity::A ? "A" : "B";
}

enum class InterfaceRole { Input, Feature };
constexpr const char* NameOf(InterfaceRole role) {
    return role == InterfaceRole::Input ? "input" : "feature";
}

struct Classification {
    Identity identity;
    InterfaceRole role;
    friend bool operator==(const Classification&, const Classification&) = default;
};

// The identity of a vendor/product pair, or none for anything else.
std::optional<Identity> IdentityOf(std::uint16_t vendorId, std::uint16_t productId);

// Input role first (33-byte input reports), then feature role (33-byte feature
// reports); anything else, and every foreign device, is ignored.
std::optional<Classification> ClassifyInterface(const hid::InterfaceInfo& info);

} // namespace tarvik
