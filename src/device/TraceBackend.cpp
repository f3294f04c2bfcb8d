#include "device/TraceBackend.h"

#include <cstdio>
#include <mutex>
#include <string>

#include "device/FeatureReport.h"

namespace tarvik {

namespace {

class TraceDevice final : public hid::Device {
public:
    TraceDevice(std::unique_ptr<hid::Device> inner, std::shared_ptr<TraceSink> sink)
        : inner_(std::move(inner)), sink_(std::move(sink)) {}
    hid::InterfaceInfo Info() const override { return inner_->Info(); }
    bool SetFeature(std::span<const std::uint8_t> data) override {
        (*sink_)('W', data);
        return inner_->SetFeature(data);
    }
    bool GetFeature(std::span<std::uint8_t> data) override {
        const bool ok = inner_->GetFeature(data);
        if (ok) (*sink_)('R', data);
        return ok;
    }
    hid::ReadResult ReadInput(std::span<std::uint8_t> data, int timeoutMs) override {
        const hid::ReadResult r = inner_->ReadInput(data, timeoutMs);
        if (r.status == hid::ReadStatus::Report) (*sink_)('R', data.first(std::min(r.length, data.size())));
        return r;
    }
    void Wake() override { inner_->Wake(); }

private:
    std::unique_ptr<hid::Device> inner_;
    std::shared_ptr<TraceSink> sink_;
};

class TraceBackend final : public hid::Backend {
public:
    TraceBackend(std::unique_ptr<hid::Backend> inner, TraceSink sink)
        : inner_(std::move(inner)), sink_(std::make_shared<TraceSink>(std::move(sink))) {}
    std::vector<hid::InterfaceInfo> Enumerate() override { return inner_->Enumerate(); }
    std::unique_ptr<hid::Device> Open(const std::string& path) override {
        auto device = inner_->Open(path);
        if (!device) return nullptr;
        return std::make_unique<TraceDevice>(std::move(device), sink_);
    }
    void SetHotplugHandler(hid::HotplugHandler handler) override {
        inner_->SetHotplugHandler(std::move(handler));
    }
    std::vector<hid::RefusedNode> Refused() const override { return inner_->Refused(); }

private:
    std::unique_ptr<hid::Backend> inner_;
    std::shared_ptr<TraceSink> sink_;
};

} // namespace

TraceSink StderrTrace() {
    auto mutex = std::make_shared<std::mutex>();
    return [mutex](char direction, std::span<const std::uint8_t> bytes) {
        const std::string line = std::string(1, direction) + " " + HexLine(bytes) + "\n";
        std::lock_guard lock(*mutex);
        std::fputs(line.c_str(), stderr);
        std::fflush(stderr);
    };
}

std::unique_ptr<hid::Backend> WithTrace(std::unique_ptr<hid::Backend> inner, TraceSink sink) {
    return std::make_unique<TraceBackend>(std::move(inner), std::move(sink));
}

} // namespace tarvik
