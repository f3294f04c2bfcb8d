// tarvikctl descriptor FILE: the top-level collections of a binary HID report
// descriptor (as in /sys/class/hidraw/hidrawN/device/report_descriptor) with
// the report lengths the scan classifies by. Users attach its output to bug
// reports about a mouse that is not found.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <vector>

#include "device/linux/ReportDescriptor.h"
#include "programs/tarvikctl/Cli.h"

namespace tarvik::cli {
namespace {

// The kernel keeps report descriptors to this size; anything longer is not one.
constexpr std::size_t kMaxDescriptor = 4096;

std::string Hex4(unsigned v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%04X", v);
    return buf;
}

// Reads FILE ("-": standard input). False with the reason in `error`.
bool ReadDescriptor(const std::string& file, std::vector<std::uint8_t>& bytes, std::string& error) {
    std::ifstream f;
    std::istream* in = &std::cin;
    if (file != "-") {
        f.open(file, std::ios::binary);
        if (!f) {
            error = "cannot read ";
            error += file;
            error += ": ";
            error += std::strerror(errno);
            return false;
        }
        in = &f;
    }
    // One byte more than the limit tells a descriptor of exactly the limit from a longer file.
    std::vector<char> buffer(kMaxDescriptor + 1);
    in->read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    const auto n = static_cast<std::size_t>(in->gcount());
    error = file == "-" ? std::string("standard input") : file;
    if (in->bad()) {
        error += ": ";
        error += std::strerror(errno);
        return false;
    }
    if (n > kMaxDescriptor) {
        error += ": longer than 4096 bytes, not a HID report descriptor";
        return false;
    }
    if (n == 0) {
        error += ": empty, not a HID report descriptor";
        return false;
    }
    bytes.assign(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(n));
    return true;
}

void Describe(CliContext& ctx, const std::string& file, bool json) {
    if (file.empty()) {
        std::cerr
            << "tarvikctl: descriptor needs a FILE (a report_descriptor file, or - for standard input)\n";
        ctx.exitCode = kExitUsage;
        return;
    }
    std::vector<std::uint8_t> bytes;
    std::string error;
    if (!ReadDescriptor(file, bytes, error)) {
        std::cerr << "tarvikctl: " << error << "\n";
        ctx.exitCode = kExitFailed;
        return;
    }
    const DescriptorReports reports = ParseReportDescriptor(bytes);
    if (!reports.ok) {
        // What was read of a damaged descriptor would mislead; nothing is printed.
        std::cerr << "tarvikctl: " << (file == "-" ? std::string("standard input") : file)
                  << ": the descriptor is cut short or malformed\n";
        ctx.exitCode = kExitFailed;
        return;
    }
    if (json) {
        nlohmann::ordered_json doc = nlohmann::ordered_json::array();
        for (const CollectionReports& c : reports.collections) {
            doc.push_back({{"usagePage", c.usagePage},
                           {"usage", c.usage},
                           {"input", c.input},
                           {"output", c.output},
                           {"feature", c.feature}});
        }
        std::cout << doc.dump(2) << "\n";
        return;
    }
    for (const CollectionReports& c : reports.collections) {
        std::cout << "usagePage " << Hex4(c.usagePage) << "  usage " << Hex4(c.usage) << "  input " << c.input
                  << "  output " << c.output << "  feature " << c.feature << "\n";
    }
}

struct DescriptorArgs {
    std::string file;
    bool json = false;
};

void RegisterDescriptorCommands(CLI::App& app, CliContext& ctx) {
    auto args = std::make_shared<DescriptorArgs>();
    auto* cmd = app.add_subcommand(
        "descriptor", "show the top-level collections of a HID report descriptor with their report lengths");
    cmd->add_option("FILE", args->file,
                    "binary report descriptor, e.g. /sys/class/hidraw/hidraw0/device/report_descriptor; "
                    "- reads standard input");
    cmd->add_flag("--json", args->json, "print JSON");
    cmd->callback([&ctx, args] { Describe(ctx, args->file, args->json); });
}

RegisterCommands registerDescriptor(35, RegisterDescriptorCommands);

} // namespace
} // namespace tarvik::cli
