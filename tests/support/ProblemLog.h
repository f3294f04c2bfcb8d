// Collects the problems the code reports, quietly, for the length of a test.
#pragma once

#include <string>
#include <vector>

#include "text/Log.h"

namespace tarvik::test {

class ProblemLog {
public:
    ProblemLog() {
        old_ = SetProblemSink([this](const std::string& m) { lines.push_back(m); }, true);
    }
    ~ProblemLog() { SetProblemSink(old_); }
    ProblemLog(const ProblemLog&) = delete;
    ProblemLog& operator=(const ProblemLog&) = delete;
    std::vector<std::string> lines;

private:
    ProblemSink old_;
};

} // namespace tarvik::test
