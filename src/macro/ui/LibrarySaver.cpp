#include "macro/ui/LibrarySaver.h"

#include <utility>

namespace tarvik {

LibrarySaver::LibrarySaver(std::filesystem::path file) : file_(std::move(file)) {}

LibrarySaver::~LibrarySaver() {
    jobs_.Stop(); // writes what was asked for
}

void LibrarySaver::Save(const MacroLibrary& library, Done done) {
    ++pending_;
    auto copy = std::make_shared<MacroLibrary>(library.Clone());
    jobs_.Submit([this, copy, done = std::move(done)] {
        FileResult result = copy->Save(file_, MacroLocation::None());
        // The saver outlives this call: its destructor joins the thread first,
        // and a result posted to a saver that is gone by then is dropped.
        QMetaObject::invokeMethod(
            this,
            [this, done, result = std::move(result)] {
                --pending_;
                if (done) done(result);
            },
            Qt::QueuedConnection);
    });
}

} // namespace tarvik
