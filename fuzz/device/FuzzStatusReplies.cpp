// Status replies and input reports decoded and applied on the window's side,
// without the device worker, so that a campaign gets through many inputs: the
// first 33 bytes are a status reply (sensor, battery, charge), the rest input
// reports of 8 bytes (DPI level and polling rate). The sensor follows a known
// code only, a level the mouse cannot mean changes nothing, and the on-screen
// and battery texts stay describable. fuzz_device_replies keeps the round trip
// through the worker.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <unistd.h>

#include "device/DeviceController.h"
#include "device/EventQueue.h"
#include "model/ProfileTable.h"
#include "model/SettingsModel.h"
#include "text/Log.h"

#include "FuzzCheck.h"

namespace tarvik {
namespace {

// No mouse is connected: only the controller's own state is exercised.
class NoBackend final : public hid::Backend {
public:
    std::vector<hid::InterfaceInfo> Enumerate() override { return {}; }
    std::unique_ptr<hid::Device> Open(const std::string&) override { return nullptr; }
    void SetHotplugHandler(hid::HotplugHandler) override {}
};

struct World {
    std::filesystem::path dir;
    std::unique_ptr<SettingsModel> model;
    NoBackend backend;
    VirtualClock clock;
    VirtualScheduler scheduler;
    EventQueue queue;
    std::unique_ptr<DeviceLink> link;
    std::unique_ptr<DeviceController> controller;
    int osdShown = 0;

    World() {
        // The unknown-sensor and bad-level notices would flood the output; the tests check them.
        SetProblemSink({}, true);
        dir = std::filesystem::temp_directory_path() / ("tarvik-fuzz-status-" + std::to_string(getpid()));
        std::filesystem::create_directories(dir / "config");
        model = std::make_unique<SettingsModel>(dir);
        model->LoadSettingsModel();
        model->BuildDpiTables();
        clock.SetRecording(false);
        link = std::make_unique<DeviceLink>(backend, [](std::function<void()>) {});
        DeviceEvents events;
        events.showOsd = [this](const OsdTexts& t) {
            CHECK(!t.title.empty() && !t.value.empty() && !t.rate.empty());
            ++osdShown;
        };
        controller = std::make_unique<DeviceController>(*model, *link, clock, scheduler, queue.Poster(),
                                                        std::move(events));
    }
};

} // namespace
} // namespace tarvik

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarvik;
    static World world;
    DeviceController& c = *world.controller;

    const std::size_t replySize = std::min<std::size_t>(size, kReportSize);
    const ParsedStatusReply parsed = ParseStatusReply(std::span(data, replySize));
    if (replySize < 20) CHECK(parsed.kind == StatusReplyKind::Empty);
    if (parsed.kind == StatusReplyKind::Answer) {
        const auto sensorBefore = world.model->SensorId;
        StatusResult result;
        const bool changed = c.HandleStatusReply(parsed.reply, &result);
        CHECK(result.sensorSaved && changed == result.sensorChanged);
        if (const SensorInfo* known = FindSensorByReportCode(parsed.reply.sensorCode)) {
            CHECK(!result.unknownSensor && world.model->SensorId == known->id);
            CHECK(changed == (known->id != sensorBefore));
        } else {
            CHECK(result.unknownSensor && !changed && world.model->SensorId == sensorBefore);
        }
        CHECK(c.BatteryLevel() == parsed.reply.battery && c.Charge() == parsed.reply.charge);
        if (parsed.reply.charge == ChargeState::Full) CHECK(c.BatteryLevel() == 100);
    }

    for (std::size_t at = replySize; at < size; at += kMouseReportLength) {
        const std::span<const std::uint8_t> report(data + at,
                                                   std::min<std::size_t>(size - at, kMouseReportLength));
        const auto event = ParseInputReport(report);
        if (!event) continue;
        const int levelBefore = c.CurrentDpiLevel();
        const int shownBefore = world.osdShown;
        c.HandleInputReport(*event);
        const ProfileRecord& rec = world.model->Profiles[world.model->GetCurrentProfile()];
        if (event->level >= 1 && event->level <= 8) {
            CHECK(c.CurrentDpiLevel() == event->level - 1 && rec.CurrentDPILevel == event->level - 1);
            CHECK(rec.PollingRate[0] == PollingIndexFromInterval(event->pollingInterval));
            CHECK(rec.PollingRateName == PollingRateName(rec.PollingRate[0]));
            CHECK(world.osdShown == shownBefore + 1);
        } else {
            CHECK(c.CurrentDpiLevel() == levelBefore && world.osdShown == shownBefore);
        }
    }

    const ProfileRecord& rec = world.model->Profiles[world.model->GetCurrentProfile()];
    const OsdTexts t = MakeOsdTexts(rec, c.CurrentDpiLevel(), *world.model);
    CHECK(!t.title.empty() && !t.rate.empty());

    // A poll tick between two queries steps the battery display from what the reply left.
    world.link->RestartStatusPoll();
    const PollResult poll = c.PollTick();
    CHECK(!poll.statusQueried && poll.battery);
    CHECK(poll.battery->level >= 0 && poll.battery->level <= 100);
    CHECK(poll.battery->text == BatteryText(poll.battery->level));
    return 0;
}
