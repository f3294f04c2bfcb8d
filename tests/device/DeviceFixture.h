// A settings model in a temporary data folder, the virtual mouse behind the
// in-process backend (with every transfer recorded), a virtual clock for the
// device worker's pacing, a virtual scheduler, the UI-thread queue, the link
// and the controller: the window's device side without a window. The test
// thread plays the UI thread.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "device/DeviceController.h"
#include "device/EventQueue.h"
#include "device/FeatureReport.h"
#include "emulator/SimBackend.h"
#include "emulator/VirtualMouse.h"
#include "model/SettingsModel.h"
#include "text/Language.h"
#include "text/Log.h"

namespace tarvik::test {

// One transfer or pause, in the order they happened.
struct Event {
    char kind; // 'W' written, 'F' write failed, 'R' read, 'P' pause
    std::string path;
    std::vector<std::uint8_t> bytes;
    int pauseMs = 0;
    std::uint8_t Command() const { return bytes.size() > 2 ? bytes[2] : 0; }
};

class Timeline {
public:
    void Add(Event e) {
        std::lock_guard lock(mutex_);
        events_.push_back(std::move(e));
    }
    std::vector<Event> Events() const {
        std::lock_guard lock(mutex_);
        return events_;
    }
    void Clear() {
        std::lock_guard lock(mutex_);
        events_.clear();
    }
    // Successful feature writes only.
    std::vector<Event> Writes() const {
        std::vector<Event> out;
        for (auto& e : Events()) {
            if (e.kind == 'W') out.push_back(e);
        }
        return out;
    }
    std::vector<std::uint8_t> WrittenCommands() const {
        std::vector<std::uint8_t> out;
        for (auto& e : Writes()) out.push_back(e.Command());
        return out;
    }
    // "W07 P60 W06 P60 …": writes by command, failed writes as F, reads as R, pauses.
    std::string Compact() const {
        std::string out;
        char buf[16];
        for (auto& e : Events()) {
            if (!out.empty()) out += ' ';
            if (e.kind == 'P') {
                std::snprintf(buf, sizeof buf, "P%d", e.pauseMs);
            } else if (e.kind == 'R') {
                std::snprintf(buf, sizeof buf, "R");
            } else {
                std::snprintf(buf, sizeof buf, "%c%02X", e.kind, e.Command());
            }
            out += buf;
        }
        return out;
    }

private:
    mutable std::mutex mutex_;
    std::vector<Event> events_;
};

// Records every feature write and read (with the interface path) on a timeline.
class RecordingBackend final : public hid::Backend {
public:
    RecordingBackend(hid::Backend& inner, Timeline& timeline) : inner_(inner), timeline_(timeline) {}
    std::vector<hid::InterfaceInfo> Enumerate() override { return inner_.Enumerate(); }
    std::unique_ptr<hid::Device> Open(const std::string& path) override {
        auto device = inner_.Open(path);
        if (!device) return nullptr;
        return std::make_unique<Recorder>(std::move(device), path, timeline_);
    }
    void SetHotplugHandler(hid::HotplugHandler handler) override {
        inner_.SetHotplugHandler(std::move(handler));
    }

private:
    class Recorder final : public hid::Device {
    public:
        Recorder(std::unique_ptr<hid::Device> inner, std::string path, Timeline& timeline)
            : inner_(std::move(inner)), path_(std::move(path)), timeline_(timeline) {}
        hid::InterfaceInfo Info() const override { return inner_->Info(); }
        bool SetFeature(std::span<const std::uint8_t> data) override {
            const bool ok = inner_->SetFeature(data);
            timeline_.Add({ok ? 'W' : 'F', path_, {data.begin(), data.end()}});
            return ok;
        }
        bool GetFeature(std::span<std::uint8_t> data) override {
            const bool ok = inner_->GetFeature(data);
            if (ok) timeline_.Add({'R', path_, {data.begin(), data.end()}});
            return ok;
        }
        hid::ReadResult ReadInput(std::span<std::uint8_t> data, int timeoutMs) override {
            return inner_->ReadInput(data, timeoutMs);
        }
        void Wake() override { inner_->Wake(); }

    private:
        std::unique_ptr<hid::Device> inner_;
        std::string path_;
        Timeline& timeline_;
    };
    hid::Backend& inner_;
    Timeline& timeline_;
};

// A finder over macros kept by MacroKeyIndex, for numbering tests.
struct MacroShelf {
    std::map<std::uint32_t, MacroKey> macros;
    MacroKey& Add(std::uint32_t index, std::u16string name) {
        MacroKey& m = macros[index];
        m.Name = std::move(name);
        m.MacroKeyIndex = index;
        return m;
    }
    MacroKey& Put(std::uint32_t index, MacroKey macro) {
        macro.MacroKeyIndex = index;
        return macros[index] = std::move(macro);
    }
    MacroFinder Finder() {
        return [this](std::uint32_t index) -> const MacroKey* {
            auto it = macros.find(index);
            return it == macros.end() ? nullptr : &it->second;
        };
    }
};

// `clicks` key clicks: press, delay, release (so MacroCommandActionNum = 2 × clicks).
inline MacroKey ClickMacro(std::u16string name, int clicks, std::uint8_t code = 0x41,
                           std::uint32_t delayMs = 20) {
    MacroKey m(std::move(name));
    for (int i = 0; i < clicks; ++i) {
        m.InsertAction(m.MacroActionNum, MacroAction::Press(code));
        m.InsertAction(m.MacroActionNum, MacroAction::Delay(delayMs));
        m.InsertAction(m.MacroActionNum, MacroAction::Release(code));
    }
    m.MacroCommandActionNum = static_cast<std::uint8_t>(2 * clicks);
    return m;
}

class DeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("tarvik-device-" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(dir_ / "config");
        Language().Clear();
        Language().Set(34, u"Disabled");
        timeline_.Clear();
        clock_.Clear();
        model_ = std::make_unique<SettingsModel>(dir_);
        model_->LoadSettingsModel();
        model_->BuildDpiTables();
        mouse_ = std::make_shared<VirtualMouse>();
        sim_ = std::make_unique<SimBackend>(mouse_);
        backend_ = std::make_unique<RecordingBackend>(*sim_, timeline_);
        clock_.SetOnPause([this](Millis d) { timeline_.Add({'P', {}, {}, static_cast<int>(d.count())}); });
        link_ = std::make_unique<DeviceLink>(*backend_, queue_.Poster());
        controller_ =
            std::make_unique<DeviceController>(*model_, *link_, clock_, scheduler_, queue_.Poster());
        controller_->SetMacroFinder(shelf_.Finder());
    }
    void TearDown() override {
        controller_.reset();
        link_.reset();
        Language().Clear();
        std::filesystem::remove_all(dir_);
    }

    ProfileRecord& Current() { return model_->Profiles[model_->GetCurrentProfile()]; }
    // Scan, then take the mouse as holding the current profile (as after start-up).
    void ConnectPrimed() {
        link_->ScanDevices();
        controller_->PrimeCaches();
        Reset();
    }
    void Reset() {
        timeline_.Clear();
        clock_.Clear();
    }
    // Runs what the reader threads and the worker posted until `done` holds
    // (bounded wait, a safety net only).
    bool RunUntil(const std::function<bool()>& done) {
        return queue_.RunUntil(done, std::chrono::seconds(10));
    }
    // Until every job handed to the worker has had its results applied.
    void Settle() {
        EXPECT_TRUE(RunUntil([&] { return !controller_->Busy(); }));
    }
    // One send, waited for.
    ApplyResult Apply() {
        std::optional<ApplyResult> got;
        controller_->ApplyToDevice([&](const ApplyResult& r) { got = r; });
        EXPECT_TRUE(RunUntil([&] { return got.has_value(); }));
        return got.value_or(ApplyResult{});
    }
    StatusResult Status() {
        std::optional<StatusResult> got;
        controller_->QueryStatus([&](const StatusResult& r) { got = r; });
        EXPECT_TRUE(RunUntil([&] { return got.has_value(); }));
        return got.value_or(StatusResult{});
    }
    ResetResult ResetDevice() {
        std::optional<ResetResult> got;
        controller_->FactoryReset([&](const ResetResult& r) { got = r; });
        EXPECT_TRUE(RunUntil([&] { return got.has_value(); }));
        return got.value_or(ResetResult{});
    }

    std::filesystem::path dir_;
    std::unique_ptr<SettingsModel> model_;
    std::shared_ptr<VirtualMouse> mouse_;
    std::unique_ptr<SimBackend> sim_;
    Timeline timeline_;
    std::unique_ptr<RecordingBackend> backend_;
    VirtualClock clock_;
    VirtualScheduler scheduler_;
    EventQueue queue_;
    MacroShelf shelf_;
    std::unique_ptr<DeviceLink> link_;
    std::unique_ptr<DeviceController> controller_;
};

// Collects reported problems for the life of the object.
struct ProblemLog {
    std::vector<std::string> lines;
    ProblemLog() {
        SetProblemSink([this](const std::string& p) { lines.push_back(p); }, true);
    }
    ~ProblemLog() { SetProblemSink({}); }
    long Count(const std::string& part) const {
        return std::count_if(lines.begin(), lines.end(),
                             [&](const std::string& l) { return l.find(part) != std::string::npos; });
    }
};

inline std::vector<std::uint8_t> ParseHexBytes(const std::string& text) {
    std::vector<std::uint8_t> out;
    std::string digits;
    for (char ch : text) {
        if (std::isxdigit(static_cast<unsigned char>(ch))) {
            digits += ch;
            if (digits.size() == 2) {
                out.push_back(static_cast<std::uint8_t>(std::stoul(digits, nullptr, 16)));
                digits.clear();
            }
        }
    }
    return out;
}

} // namespace tarvik::test
