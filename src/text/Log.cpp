#include "text/Log.h"

#include <cstdio>
#include <mutex>

namespace tarvik {
namespace {
std::mutex g_mutex;
ProblemSink g_sink;
bool g_quiet = false;
std::string g_last;
std::string g_program = "tarvik";
thread_local ProblemCollector* t_collector = nullptr;
} // namespace

ProblemCollector::ProblemCollector() : outer_(t_collector) {
    t_collector = this;
}

ProblemCollector::~ProblemCollector() {
    t_collector = outer_;
}

void SetProgramName(std::string name) {
    std::lock_guard lock(g_mutex);
    g_program = std::move(name);
}

const std::string& ProgramName() {
    return g_program;
}

void ReportProblem(const std::string& message) {
    for (ProblemCollector* c = t_collector; c; c = c->outer_) c->problems_.push_back(message);
    ProblemSink sink;
    {
        std::lock_guard lock(g_mutex);
        if (message == g_last) return;
        g_last = message;
        if (!g_quiet) std::fprintf(stderr, "%s: %s\n", g_program.c_str(), message.c_str());
        sink = g_sink;
    }
    if (sink) sink(message);
}

ProblemSink SetProblemSink(ProblemSink sink, bool quiet) {
    std::lock_guard lock(g_mutex);
    ProblemSink old = std::move(g_sink);
    g_sink = std::move(sink);
    g_quiet = quiet;
    g_last.clear();
    return old;
}

} // namespace tarvik
