// One place for the problems the program survives silently in the window: a
// damaged file replaced with defaults, a device that misbehaved. Each is written
// to stderr once as "<program>: <reason>", and handed to an optional sink so the
// command-line tool and the tests can see them.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tarvik {

using ProblemSink = std::function<void(const std::string&)>;

// The name that starts every line on stderr ("tarvik" until a program sets its
// own). Each main() sets it once, before anything is reported.
void SetProgramName(std::string name);
const std::string& ProgramName();

// Logs one problem. Duplicate messages in a row are written once.
void ReportProblem(const std::string& message);

// Installs a sink that receives every reported problem (in addition to stderr,
// unless `quiet`). Returns the previous sink.
ProblemSink SetProblemSink(ProblemSink sink, bool quiet = false);

// Collects the problems reported on this thread while it lives (the start-up
// load returns them to its caller). Collectors nest; each sees every problem.
class ProblemCollector {
public:
    ProblemCollector();
    ~ProblemCollector();
    ProblemCollector(const ProblemCollector&) = delete;
    ProblemCollector& operator=(const ProblemCollector&) = delete;

    const std::vector<std::string>& Problems() const { return problems_; }
    std::vector<std::string> Take() { return std::move(problems_); }

private:
    friend void ReportProblem(const std::string& message);
    ProblemCollector* outer_;
    std::vector<std::string> problems_;
};

} // namespace tarvik
