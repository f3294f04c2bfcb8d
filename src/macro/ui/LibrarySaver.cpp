#include "macro/ui/LibrarySaver.h"

#include <utility>

namespace tarvik {

LibrarySaver::LibrarySaver(std::filesystem::path file) : file_(std::move(file)) {
    worker_ = std::thread([this] { Run(); });
}

LibrarySaver::~LibrarySaver() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    worker_.join();
}

void LibrarySaver::Save(const MacroLibrary& library, Done done) {
    ++pending_;
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back({library.Clone(), std::move(done)});
    }
    wake_.notify_one();
}

void LibrarySaver::Run() {
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
            if (jobs_.empty()) return; // stopping, and everything written
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        FileResult result = job.copy.Save(file_, MacroLocation::None());
        // The saver outlives this call: its destructor joins the thread first,
        // and a result posted to a saver that is gone by then is dropped.
        QMetaObject::invokeMethod(
            this,
            [this, done = std::move(job.done), result = std::move(result)] {
                --pending_;
                if (done) done(result);
            },
            Qt::QueuedConnection);
    }
}

} // namespace tarvik
