#include "mainwnd/DelayedSaver.h"

#include "model/SettingsModel.h"

#include <utility>

namespace tarvik {

namespace {
// The coalescing key of the plain saves: a newer one folds into one waiting.
constexpr int kSaveKey = 1;
} // namespace

DelayedSaver::DelayedSaver(PostFn post)
    : post_(std::move(post)), alive_(std::make_shared<DelayedSaver*>(this)) {}

DelayedSaver::~DelayedSaver() {
    jobs_.Stop(); // writes what is waiting
    alive_.reset();
}

std::unique_ptr<const DelayedSaver::Copy> DelayedSaver::CopyOf(const SettingsModel& model) {
    return std::make_unique<const Copy>(Copy{model.Tables(), model.Store()});
}

void DelayedSaver::SaveRequest::Add(std::unique_ptr<const Copy> newer, int scope, bool reportIt) {
    copy = std::move(newer);
    if (scope == kAllSlots)
        all = true;
    else if (scope >= 0 && scope < kProfileCount)
        slotBits = static_cast<std::uint8_t>(slotBits | (1u << scope));
    report = report || reportIt;
}

void DelayedSaver::Save(const SettingsModel& model, int scope, bool report) {
    // Only what the files hold is copied; the copy never tells listeners anything.
    auto request = std::make_shared<SaveRequest>();
    request->Add(CopyOf(model), scope, report);
    std::lock_guard lock(submitMutex_);
    const auto outcome = jobs_.SubmitCoalescing(
        kSaveKey, [this, request] { RunSave(*request); },
        // A save still waiting takes the newer copy and what both are due.
        [&] { waitingSave_->Add(std::move(request->copy), scope, report); });
    if (outcome == JobThread::Coalesced::Queued) waitingSave_ = request.get();
}

void DelayedSaver::Export(const SettingsModel& model, int slot, std::filesystem::path path, Done done) {
    std::shared_ptr<const Copy> copy = CopyOf(model);
    jobs_.Submit([this, copy, slot, path = std::move(path), done = std::move(done)] {
        RunExport(*copy, slot, path, done);
    });
}

void DelayedSaver::AfterWrites(Done done) {
    jobs_.Submit([this, done = std::move(done)] { RunAfterWrites(done); });
}

bool DelayedSaver::Busy() const {
    return jobs_.Busy();
}

FileResult DelayedSaver::LastResult() const {
    std::lock_guard lock(resultMutex_);
    return last_;
}

void DelayedSaver::Drain() {
    jobs_.Drain();
}

void DelayedSaver::RunSave(SaveRequest& request) {
    const SettingsTables& tables = request.copy->tables;
    const SettingsStore& store = request.copy->store;
    FileResult result;
    if (request.all) {
        result = store.SaveSettingsAndProfiles(tables);
    } else {
        for (int k = 0; k < kProfileCount; ++k) {
            if (!(request.slotBits & (1u << k))) continue;
            FileResult r = store.SaveProfile(tables, k);
            if (result && !r) result = std::move(r);
        }
    }
    request.copy.reset();
    if (!result && failed_) failed_ = result;
    {
        std::lock_guard lock(resultMutex_);
        last_ = result;
    }
    if (!post_) return;
    std::weak_ptr<DelayedSaver*> weak = alive_;
    post_([weak, report = request.report, result = std::move(result)] {
        if (auto self = weak.lock(); self && (*self)->done_) (*self)->done_(result, report);
    });
}

void DelayedSaver::RunExport(const Copy& copy, int slot, const std::filesystem::path& path,
                             const Done& done) {
    FileResult result = copy.store.WriteProfileFile(copy.tables, slot, path);
    if (!post_) return;
    std::weak_ptr<DelayedSaver*> weak = alive_;
    post_([weak, done, result = std::move(result)] {
        if (weak.lock() && done) done(result);
    });
}

void DelayedSaver::RunAfterWrites(const Done& done) {
    FileResult failed = std::exchange(failed_, FileResult{});
    if (!post_) return;
    std::weak_ptr<DelayedSaver*> weak = alive_;
    post_([weak, done, failed = std::move(failed)] {
        if (weak.lock()) done(failed);
    });
}

} // namespace tarvik
