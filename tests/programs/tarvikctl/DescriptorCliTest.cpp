// Runs the built tarvikctl's descriptor command on descriptor files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>

#include "device/linux/Descriptors.h"
#include "support/RunCtl.h"

namespace tarvik {
namespace {

using testdata::Bytes;

// "HEAD 'TAIL'": a command line with a quoted file name (appended, not added
// to a temporary, which GCC 12 misreads at -O2).
std::string Args(const char* head, const std::string& file) {
    std::string line = head;
    line += " '";
    line += file;
    line += "'";
    return line;
}

class DescriptorCliTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string name = "tarvik-descriptor-";
        name += std::to_string(std::random_device{}());
        dir_ = std::filesystem::temp_directory_path() / name;
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    // Writes a file in the test's folder and returns its path.
    std::string File(const std::string& name, const Bytes& bytes) {
        const std::filesystem::path p = dir_ / name;
        std::ofstream(p, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return p.string();
    }
    test::CtlResult Ctl(const std::string& args) { return test::RunTarvikctl(dir_ / "data", args); }

    std::filesystem::path dir_;
};

TEST_F(DescriptorCliTest, PrintsOneLinePerCollectionOrJson) {
    const test::CtlResult text = Ctl(Args("descriptor", File("vendor.bin", testdata::kVendorTwoCollections)));
    ASSERT_EQ(text.status, 0);
    EXPECT_EQ(text.out, "usagePage 0xFF00  usage 0x0002  input 33  output 0  feature 0\n"
                        "usagePage 0xFF00  usage 0x0001  input 0  output 0  feature 33\n");
    EXPECT_TRUE(text.err.empty());

    // Standard input, as JSON.
    const test::CtlResult json =
        Ctl(Args("descriptor --json - <", File("kbd.bin", testdata::kKeyboardWithIds)));
    ASSERT_EQ(json.status, 0) << json.out;
    EXPECT_EQ(nlohmann::json::parse(json.out), nlohmann::json::parse(R"([
        {"usagePage": 1, "usage": 6, "input": 9, "output": 2, "feature": 0},
        {"usagePage": 12, "usage": 1, "input": 3, "output": 0, "feature": 0}])"));
}

TEST_F(DescriptorCliTest, UsageAndInputErrors) {
    Bytes cut = testdata::kVendorTwoCollections;
    cut.pop_back();
    Bytes longest(4096, 0xA4); // pushes and pops leave no collection open
    for (std::size_t i = 1; i < longest.size(); i += 2) longest[i] = 0xB4;
    struct Case {
        std::string args;
        int status;
    };
    const Case cases[] = {
        {"descriptor", 2},
        {"descriptor --json", 2},
        {Args("descriptor", (dir_ / "missing.bin").string()), 1},
        {Args("descriptor", dir_.string()), 1},
        {Args("descriptor", File("cut.bin", cut)), 1},
        {Args("descriptor", File("empty.bin", {})), 1},
        {Args("descriptor - <", File("cut-stdin.bin", cut)), 1},
        {Args("descriptor", File("too-long.bin", Bytes(4097, 0xA4))), 1},
        {Args("descriptor --json", File("4096.bin", longest)), 0},
    };
    for (const Case& c : cases) {
        const test::CtlResult r = Ctl(c.args);
        EXPECT_EQ(r.status, c.status) << c.args;
        if (c.status == 0) {
            EXPECT_EQ(r.out, "[]\n") << c.args;
            continue;
        }
        EXPECT_TRUE(r.out.empty()) << c.args << ": " << r.out;
        ASSERT_EQ(r.err.size(), 1u) << c.args;
        EXPECT_EQ(r.err[0].rfind("tarvikctl: ", 0), 0u) << r.err[0];
    }
}

} // namespace
} // namespace tarvik
