// What the mouse sends back, handled as the window handles it: the first 33
// bytes are the status reply to a status query (possibly changing the sensor
// and the battery state), the rest are input reports read by a reader thread
// (level/rate changes applied to the profile, display texts, caches re-primed).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <unistd.h>

#include "device/DeviceController.h"
#include "device/EventQueue.h"
#include "model/SettingsModel.h"
#include "text/Log.h"

namespace tarvik {
namespace {

// One feature interface of identity A whose status reply is the fuzz input.
class ReplyBackend final : public hid::Backend {
public:
    std::vector<std::uint8_t> reply;

    std::vector<hid::InterfaceInfo> Enumerate() override { return {Info()}; }
    std::unique_ptr<hid::Device> Open(const std::string&) override { return std::make_unique<Dev>(*this); }
    void SetHotplugHandler(hid::HotplugHandler) override {}
    static hid::InterfaceInfo Info() { return {"fuzz:A:feature", kVendorId, kProductIdA, 0, 33}; }

private:
    struct Dev final : hid::Device {
        explicit Dev(ReplyBackend& b) : b_(b) {}
        hid::InterfaceInfo Info() const override { return ReplyBackend::Info(); }
        bool SetFeature(std::span<const std::uint8_t>) override { return true; }
        bool GetFeature(std::span<std::uint8_t> data) override {
            const std::size_t n = std::min(data.size(), b_.reply.size());
            if (n) std::memcpy(data.data(), b_.reply.data(), n);
            return true;
        }
        hid::ReadResult ReadInput(std::span<std::uint8_t>, int) override {
            return {hid::ReadStatus::Failed, 0};
        }
        void Wake() override {}
        ReplyBackend& b_;
    };
};

struct World {
    std::filesystem::path dir;
    std::unique_ptr<SettingsModel> model;
    ReplyBackend backend;
    VirtualClock clock;
    VirtualScheduler scheduler;
    EventQueue queue;
    std::unique_ptr<DeviceLink> link;
    std::unique_ptr<DeviceController> controller;

    World() {
        // The unknown-sensor notice would flood the output; it is checked by the tests.
        SetProblemSink({}, true);
        dir = std::filesystem::temp_directory_path() / ("tarvik-fuzz-replies-" + std::to_string(getpid()));
        std::filesystem::create_directories(dir / "config");
        model = std::make_unique<SettingsModel>(dir);
        model->LoadSettingsModel();
        model->BuildDpiTables();
        clock.SetRecording(false);
        link = std::make_unique<DeviceLink>(backend, [](std::function<void()>) {});
        controller = std::make_unique<DeviceController>(*model, *link, clock, scheduler, queue.Poster());
        link->ScanDevices();
    }
};

} // namespace
} // namespace tarvik

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarvik;
    static World world;
    const std::size_t replySize = std::min<std::size_t>(size, kReportSize);
    world.backend.reply.assign(data, data + replySize);
    // The query runs on the device worker; its answer is applied here.
    bool answered = false;
    world.controller->QueryStatus([&](const StatusResult&) { answered = true; });
    while (!answered) world.queue.RunOne(std::chrono::milliseconds(100));
    for (std::size_t at = replySize; at < size; at += kMouseReportLength) {
        const std::span<const std::uint8_t> report(data + at,
                                                   std::min<std::size_t>(size - at, kMouseReportLength));
        if (const auto event = ParseInputReport(report)) world.controller->HandleInputReport(*event);
    }
    const ProfileRecord& rec = world.model->Profiles[world.model->GetCurrentProfile()];
    const OsdTexts t = MakeOsdTexts(rec, world.controller->CurrentDpiLevel(), *world.model);
    if (t.title.empty() || t.rate.empty()) __builtin_trap();
    world.controller->PollTick();
    while (world.controller->Busy()) world.queue.RunOne(std::chrono::milliseconds(100));
    return 0;
}
