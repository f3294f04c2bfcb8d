// Runs the built tarvikctl on a data folder and captures what it prints.
#pragma once

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace tarvik::test {

struct CtlResult {
    int status = -1;              // exit code; -1 when it did not exit normally
    std::string out;              // standard output
    std::vector<std::string> err; // standard error, line by line
};

inline CtlResult RunTarvikctl(const std::filesystem::path& dataDir, const std::string& args) {
    const auto errFile = std::filesystem::temp_directory_path() /
                         ("tarvikctl-stderr-" + std::to_string(std::random_device{}()));
    const std::string cmd = std::string("'") + TARVIK_BINARY_DIR + "/bin/tarvikctl' --data-dir '" +
                            dataDir.string() + "' " + args + " 2>'" + errFile.string() + "'";
    CtlResult r;
    std::FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    const int status = ::pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream in(errFile);
    for (std::string line; std::getline(in, line);) r.err.push_back(line);
    std::error_code ec;
    std::filesystem::remove(errFile, ec);
    return r;
}

} // namespace tarvik::test
