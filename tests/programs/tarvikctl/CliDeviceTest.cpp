// Runs the built tarvikctl's device commands against the virtual mouse on a
// temporary data folder.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>

#include "device/DeviceFixture.h"
#include "macro/MacroLibrary.h"
#include "support/RunCtl.h"

namespace tarvik::test {
namespace {

class CliDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("tarvik-clidev-" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    CtlResult Ctl(const std::string& args) { return test::RunTarvikctl(dir_ / "data", args); }
    static std::vector<std::string> Trace(const CtlResult& r) {
        std::vector<std::string> lines;
        for (const auto& l : r.err) {
            if (l.rfind("W ", 0) == 0 || l.rfind("R ", 0) == 0) lines.push_back(l);
        }
        return lines;
    }
    std::filesystem::path dir_;
};

TEST_F(CliDeviceTest, ApplyTraceIsCompleteAndDeterministic) {
    ASSERT_EQ(Ctl("init").status, 0);
    MacroLibrary library;
    MacroLocation at;
    ASSERT_EQ(library.AddChild(MacroLocation::None(), u"combo", false, &at), MacroLibrary::AddResult::Added);
    MacroKey& m = *library.MacroAt(at);
    m = ClickMacro(u"combo", 5); // 10 steps: 30 bytes, two chunks
    m.MacroKeyIndex = 1;
    m.MacroKeyLoopType = 1;
    ASSERT_TRUE(library.Save(dir_ / "data" / "config" / "MacroLibraryFile.mlf"));
    ASSERT_EQ(Ctl("assign --slot 2 --button 4 macro combo").status, 0);

    const CtlResult first = Ctl("--hid sim --trace apply --slot 2");
    ASSERT_EQ(first.status, 0) << first.out;
    EXPECT_NE(first.out.find("profile 2"), std::string::npos) << first.out;
    const auto trace = Trace(first);
    // Six buttons, 05 06 07 09 0A 08 0B 0C, two macro chunks; numbered from 1.
    ASSERT_EQ(trace.size(), 6u + 8u + 2u);
    const char* order[] = {"04", "04", "04", "04", "04", "04", "05", "06",
                           "07", "09", "0A", "08", "0B", "0C", "0E", "0E"};
    for (std::size_t i = 0; i < trace.size(); ++i) {
        const auto bytes = ParseHexBytes(trace[i].substr(2));
        ASSERT_EQ(bytes.size(), 33u) << trace[i];
        EXPECT_EQ(trace[i].substr(0, 10), std::string("W 0C 01 ") + order[i]) << trace[i];
        EXPECT_EQ(bytes[4], i + 1) << trace[i];
    }
    EXPECT_EQ(trace[4].substr(0, 34), "W 0C 01 04 00 05 01 04 04 90 11 00"); // profile button 3
    EXPECT_EQ(Trace(Ctl("--hid sim --trace apply --slot 2")), trace);

    // The slot became current and was saved.
    const CtlResult show = Ctl("show --json");
    ASSERT_EQ(show.status, 0);
    EXPECT_EQ(nlohmann::json::parse(show.out)["CurrentProfile"], 2) << show.out;
}

// A profile file that cannot be read is not saved over, and the defaults the
// load put in its place are not sent over what the mouse holds: apply says
// why, sends nothing and fails.
TEST_F(CliDeviceTest, ApplyWithAFileItCannotReadSaysSoAndFails) {
    ASSERT_EQ(Ctl("init").status, 0);
    // A folder where the first profile file belongs: it can be neither read nor replaced.
    const auto file = dir_ / "data" / "config" / "default0.psf";
    std::filesystem::remove(file);
    std::filesystem::create_directories(file / "inside");
    const CtlResult r = Ctl("--hid sim --trace apply");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Trace(r).empty());
    std::string err;
    for (const std::string& line : r.err) err += line + "\n";
    EXPECT_NE(err.find("default0.psf: cannot be read: it is a folder"), std::string::npos) << err;
    EXPECT_NE(err.find("the file is not saved over"), std::string::npos) << err;
    EXPECT_TRUE(std::filesystem::is_directory(file / "inside"));
}

TEST_F(CliDeviceTest, DevicesStatusWatchAndReset) {
    const CtlResult devices = Ctl("--hid sim devices --json");
    ASSERT_EQ(devices.status, 0);
    const auto list = nlohmann::json::parse(devices.out);
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0]["identity"], "A");
    EXPECT_EQ(list[0]["role"], "input");
    EXPECT_EQ(list[3]["path"], "sim:B:feature");

    const CtlResult status = Ctl("--hid sim --trace status --json");
    ASSERT_EQ(status.status, 0);
    const auto s = nlohmann::json::parse(status.out);
    EXPECT_EQ(s["sensorId"], "0x3325");
    EXPECT_EQ(s["battery"], 100);
    EXPECT_EQ(s["charge"], "not charging");
    const auto trace = Trace(status);
    ASSERT_EQ(trace.size(), 2u);
    EXPECT_EQ(trace[0].substr(0, 16), "W 0C 01 20 00 01");
    EXPECT_EQ(trace[1].substr(0, 8), "R 0C 01 ");

    const CtlResult watch = Ctl("--hid sim watch --press 2 --timeout 1");
    EXPECT_EQ(watch.status, 0);
    EXPECT_NE(watch.out.find("DPI-2  1200  1000Hz"), std::string::npos) << watch.out;
    EXPECT_NE(watch.out.find("DPI-3  1600  1000Hz"), std::string::npos) << watch.out;

    EXPECT_EQ(Ctl("--hid sim reset").status, 2);
    const CtlResult reset = Ctl("--hid sim --trace reset --yes");
    EXPECT_EQ(reset.status, 0);
    ASSERT_EQ(Trace(reset).size(), 1u);
    EXPECT_EQ(Trace(reset)[0].substr(0, 26), "W 0C 01 0F 00 01 01 01 FF ");

    // Without the mouse (this machine) and without a simulator behind the socket.
    const auto errText = [](const CtlResult& r) {
        std::string all;
        for (const std::string& line : r.err) all += line + "\n";
        return all;
    };
    const CtlResult hidraw = Ctl("--hid linux status");
    EXPECT_EQ(hidraw.status, 1);
    // It says what to check: the mouse, the udev rule (installed or not).
    EXPECT_NE(errText(hidraw).find("no mouse found: check that the mouse is plugged in"), std::string::npos)
        << errText(hidraw);
    EXPECT_NE(errText(hidraw).find("70-tarvik.rules"), std::string::npos) << errText(hidraw);
    const CtlResult socket = Ctl("--hid socket:/nonexistent apply");
    EXPECT_EQ(socket.status, 1);
    EXPECT_NE(errText(socket).find("cannot reach the mouse simulator at /nonexistent"), std::string::npos)
        << errText(socket);
    EXPECT_EQ(Ctl("--hid socket: apply").status, 2);
    // No interface found is a failure, with or without --json.
    for (const char* args :
         {"--hid socket:/nonexistent devices", "--hid socket:/nonexistent devices --json"}) {
        const CtlResult none = Ctl(args);
        EXPECT_EQ(none.status, 1) << args;
        EXPECT_NE(
            errText(none).find("no mouse found (socket:/nonexistent): check that tarvik-mousesim serves"),
            std::string::npos)
            << errText(none);
    }
}

} // namespace
} // namespace tarvik::test
