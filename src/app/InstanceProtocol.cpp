#include "app/InstanceProtocol.h"

#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "model/Startup.h"

namespace tarvik::app {

std::optional<InstanceRequest> ParseRequestLine(std::string_view line) {
    if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.size() > kMaxRequestLine) return std::nullopt;
    for (char c : line)
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t') return std::nullopt;
    if (line.substr(0, kProtocolVersion.size()) != kProtocolVersion) return std::nullopt;
    line.remove_prefix(kProtocolVersion.size());
    if (line.empty() || line.front() != ' ') return std::nullopt;
    line.remove_prefix(1);
    const std::size_t space = line.find(' ');
    InstanceRequest r;
    r.verb = std::string(line.substr(0, space));
    if (space != std::string_view::npos) r.args = std::string(line.substr(space + 1));
    if (r.verb.empty()) return std::nullopt;
    return r;
}

std::string FormatRequestLine(std::string_view verb, std::string_view args) {
    std::string line(kProtocolVersion);
    line += ' ';
    line += verb;
    if (!args.empty()) {
        line += ' ';
        line += args;
    }
    line += '\n';
    return line;
}

namespace {

std::uint64_t Fnv1a64(std::string_view bytes) {
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (unsigned char c : bytes) {
        h ^= c;
        h *= 0x100000001b3ull;
    }
    return h;
}

} // namespace

std::filesystem::path InstanceRuntimeFolder() {
    return UserRuntimeFolder();
}

std::filesystem::path NormalisedDataFolder(const std::filesystem::path& dataFolder) {
    std::error_code ec;
    std::filesystem::path p = std::filesystem::absolute(dataFolder, ec);
    if (ec) p = dataFolder;
    std::filesystem::path canonical = std::filesystem::weakly_canonical(p, ec);
    p = ec ? p.lexically_normal() : canonical.lexically_normal();
    // "/a/b/" and "/a/b" are one folder.
    if (!p.has_filename() && p.has_parent_path() && p != p.root_path()) p = p.parent_path();
    return p;
}

std::filesystem::path InstanceBase(const std::filesystem::path& dataFolder,
                                   const std::filesystem::path& runtimeFolder) {
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx",
                  static_cast<unsigned long long>(Fnv1a64(NormalisedDataFolder(dataFolder).native())));
    std::string name = "tarvik-";
    name += hex;
    std::filesystem::path base = runtimeFolder / name;
    constexpr std::size_t kSocketNameRoom = sizeof(sockaddr_un::sun_path) - 1;
    if (runtimeFolder.empty() || base.native().size() + 5 > kSocketNameRoom) {
        const std::filesystem::path fallback = tarvik::PrivateRuntimeFolder();
        base = fallback.empty() ? std::filesystem::path() : fallback / name;
    }
    return base;
}

} // namespace tarvik::app
