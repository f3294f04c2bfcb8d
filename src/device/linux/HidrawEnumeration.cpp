#include "device/linux/HidrawEnumeration.h"

#include <fcntl.h>
#include <libudev.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <fstream>
#include <iterator>
#include <memory>
#include <system_error>

#include "device/DeviceIds.h"
#include "device/linux/ReportDescriptor.h"

namespace tarvik::hidraw {

namespace {

// The kernel caps report descriptors at 4096 bytes; anything longer is not a descriptor.
constexpr std::size_t kMaxDescriptor = 4096;
constexpr std::size_t kMaxUevent = 16384;

std::optional<std::string> ReadSmallFile(const std::filesystem::path& path, std::size_t limit) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string data;
    data.resize(limit + 1);
    in.read(data.data(), static_cast<std::streamsize>(data.size()));
    if (in.bad()) return std::nullopt;
    data.resize(static_cast<std::size_t>(in.gcount()));
    if (data.size() > limit) data.resize(limit);
    return data;
}

std::optional<std::uint32_t> ParseHex(std::string_view text) {
    if (text.empty()) return std::nullopt;
    std::uint32_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::uint16_t ClampLength(std::size_t n) {
    return static_cast<std::uint16_t>(std::min<std::size_t>(n, 0xFFFF));
}

struct UdevDeleter {
    void operator()(udev* u) const { udev_unref(u); }
    void operator()(udev_enumerate* e) const { udev_enumerate_unref(e); }
    void operator()(udev_device* d) const { udev_device_unref(d); }
};

std::vector<NodeEntry> ListWithUdev() {
    std::vector<NodeEntry> nodes;
    std::unique_ptr<udev, UdevDeleter> ctx(udev_new());
    if (!ctx) return nodes;
    std::unique_ptr<udev_enumerate, UdevDeleter> en(udev_enumerate_new(ctx.get()));
    if (!en) return nodes;
    udev_enumerate_add_match_subsystem(en.get(), "hidraw");
    udev_enumerate_scan_devices(en.get());
    for (udev_list_entry* e = udev_enumerate_get_list_entry(en.get()); e; e = udev_list_entry_get_next(e)) {
        std::unique_ptr<udev_device, UdevDeleter> dev(
            udev_device_new_from_syspath(ctx.get(), udev_list_entry_get_name(e)));
        if (!dev) continue;
        const char* devnode = udev_device_get_devnode(dev.get());
        // The parent is owned by `dev` and must not be released on its own.
        udev_device* hid = udev_device_get_parent_with_subsystem_devtype(dev.get(), "hid", nullptr);
        if (!devnode || !hid) continue;
        const char* hidPath = udev_device_get_syspath(hid);
        if (!hidPath) continue;
        nodes.push_back({devnode, hidPath});
    }
    return nodes;
}

std::vector<NodeEntry> ListInSysfs(const Roots& roots) {
    std::vector<NodeEntry> nodes;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(roots.sys / "class" / "hidraw", ec)) {
        const std::string name = entry.path().filename().string();
        std::string devname = name;
        if (auto uevent = ReadSmallFile(entry.path() / "uevent", kMaxUevent)) {
            // DEVNAME=hidraw3 names the node below /dev.
            std::string_view text = *uevent;
            for (std::size_t pos = 0; pos < text.size();) {
                std::size_t eol = text.find('\n', pos);
                if (eol == std::string_view::npos) eol = text.size();
                std::string_view line = text.substr(pos, eol - pos);
                if (line.substr(0, 8) == "DEVNAME=" && line.size() > 8) devname = std::string(line.substr(8));
                pos = eol + 1;
            }
        }
        nodes.push_back({(roots.dev / devname).string(), entry.path() / "device"});
    }
    return nodes;
}

} // namespace

std::optional<HidId> ParseHidId(std::string_view uevent) {
    for (std::size_t pos = 0; pos < uevent.size();) {
        std::size_t eol = uevent.find('\n', pos);
        if (eol == std::string_view::npos) eol = uevent.size();
        std::string_view line = uevent.substr(pos, eol - pos);
        pos = eol + 1;
        if (line.substr(0, 7) != "HID_ID=") continue;
        line.remove_prefix(7);
        // bus:vendor:product, each a hexadecimal number (4 and 8 digits in practice).
        const std::size_t c1 = line.find(':');
        const std::size_t c2 = c1 == std::string_view::npos ? c1 : line.find(':', c1 + 1);
        if (c2 == std::string_view::npos) return std::nullopt;
        auto bus = ParseHex(line.substr(0, c1));
        auto vendor = ParseHex(line.substr(c1 + 1, c2 - c1 - 1));
        auto product = ParseHex(line.substr(c2 + 1));
        if (!bus || !vendor || !product || *bus > 0xFFFF || *vendor > 0xFFFF || *product > 0xFFFF)
            return std::nullopt;
        return HidId{static_cast<std::uint16_t>(*bus), static_cast<std::uint16_t>(*vendor),
                     static_cast<std::uint16_t>(*product)};
    }
    return std::nullopt;
}

bool DevnodeLess(const std::string& a, const std::string& b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const bool da = std::isdigit(static_cast<unsigned char>(a[i])) != 0;
        const bool db = std::isdigit(static_cast<unsigned char>(b[j])) != 0;
        if (da && db) {
            std::size_t ei = i, ej = j;
            while (ei < a.size() && std::isdigit(static_cast<unsigned char>(a[ei]))) ++ei;
            while (ej < b.size() && std::isdigit(static_cast<unsigned char>(b[ej]))) ++ej;
            // Compare the numbers without converting them: strip leading zeros,
            // then the longer one is larger, then digit by digit.
            std::size_t si = i, sj = j;
            while (si + 1 < ei && a[si] == '0') ++si;
            while (sj + 1 < ej && b[sj] == '0') ++sj;
            if (ei - si != ej - sj) return ei - si < ej - sj;
            const int cmp = a.compare(si, ei - si, b, sj, ej - sj);
            if (cmp != 0) return cmp < 0;
            if (ei - i != ej - j) return ei - i < ej - j;
            i = ei;
            j = ej;
            continue;
        }
        if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

std::vector<NodeEntry> ListHidrawNodes(const Roots& roots) {
    return roots.IsSystem() ? ListWithUdev() : ListInSysfs(roots);
}

EnumerationResult DescribeNodes(std::vector<NodeEntry> nodes) {
    std::sort(nodes.begin(), nodes.end(),
              [](const NodeEntry& a, const NodeEntry& b) { return DevnodeLess(a.devnode, b.devnode); });
    EnumerationResult result;
    for (const NodeEntry& node : nodes) {
        auto uevent = ReadSmallFile(node.hidDevice / "uevent", kMaxUevent);
        if (!uevent) continue;
        auto id = ParseHidId(*uevent);
        if (!id) continue;
        auto descriptor = ReadSmallFile(node.hidDevice / "report_descriptor", kMaxDescriptor);
        if (!descriptor) continue;
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(descriptor->data());
        const DescriptorReports reports = ParseReportDescriptor({bytes, descriptor->size()});
        if (reports.collections.empty()) continue;

        if (IdentityOf(id->vendor, id->product)) {
            // Only the mouse's own nodes are opened, and only to learn whether a
            // later Open can succeed.
            const int fd = ::open(node.devnode.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
            if (fd < 0) {
                // A node that is gone went with its device; any other failure
                // is the user's to know about.
                if (errno != ENOENT && errno != ENODEV && errno != ENXIO)
                    result.refused.push_back({node.devnode, errno});
                continue;
            }
            ::close(fd);
        }
        // One interface per top-level collection, each with the node's path, as
        // the platform lists collections: a node holding the mouse's input and
        // feature collections serves both roles.
        for (const CollectionReports& c : reports.collections) {
            hid::InterfaceInfo info;
            info.path = node.devnode;
            info.vendorId = id->vendor;
            info.productId = id->product;
            info.inputReportLength = ClampLength(c.input);
            info.featureReportLength = ClampLength(c.feature);
            result.interfaces.push_back(std::move(info));
        }
    }
    return result;
}

std::vector<std::string> EnumerationResult::Denied() const {
    std::vector<std::string> denied;
    for (const Refusal& r : refused) {
        if (r.error == EACCES || r.error == EPERM) denied.push_back(r.devnode);
    }
    return denied;
}

std::string PermissionProblem(const std::vector<std::string>& denied) {
    std::string text = "no permission to open the mouse's HID node";
    text += denied.size() > 1 ? "s " : " ";
    for (std::size_t i = 0; i < denied.size(); ++i) {
        if (i) text += ", ";
        text += denied[i];
    }
    text += "; install the udev rule ";
    text += InstalledUdevRule().string();
    text += ", run 'sudo udevadm control --reload-rules && sudo udevadm trigger' and replug the mouse";
    return text;
}

std::filesystem::path InstalledUdevRule() {
    return TARVIK_UDEV_RULE;
}

std::vector<std::filesystem::path> UdevRuleFolders() {
    std::vector<std::filesystem::path> folders{InstalledUdevRule().parent_path()};
    for (const char* system : {"/etc/udev/rules.d", "/run/udev/rules.d", "/usr/local/lib/udev/rules.d",
                               "/usr/lib/udev/rules.d", "/lib/udev/rules.d"}) {
        if (std::find(folders.begin(), folders.end(), system) == folders.end()) folders.emplace_back(system);
    }
    return folders;
}

std::filesystem::path FindUdevRule(const std::vector<std::filesystem::path>& folders) {
    const std::filesystem::path name = InstalledUdevRule().filename();
    for (const std::filesystem::path& folder : folders) {
        std::error_code ec;
        if (std::filesystem::is_regular_file(folder / name, ec)) return folder / name;
    }
    return {};
}

} // namespace tarvik::hidraw
