// tarvik-mousesim as a process on a temporary socket, driven by tarvikctl
// --hid socket:PATH and by its own ctl commands, as a user would.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <cstring>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "ChildProcess.h"
#include "device/FeatureReport.h"
#include "device/MacroUpload.h"
#include "device/Protocol.h"
#include "model/SettingsModel.h"

namespace tarvik::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string kBin = std::string(TARVIK_BINARY_DIR) + "/bin/";

class MouseSimProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "tarvik-simproc-XXXXXX").string();
        dir_ = mkdtemp(pattern.data());
        socket_ = (dir_ / "mouse.sock").string();
        ASSERT_TRUE(daemon_.Start({kBin + "tarvik-mousesim", "--socket", socket_}, dir_ / "daemon"));
        ASSERT_TRUE(WaitUntil([&] { return Ctl({"dump"}).exitCode == 0; }, 10s)) << daemon_.Err();
    }
    void TearDown() override {
        daemon_.Kill();
        fs::remove_all(dir_);
    }

    RunResult Ctl(const std::vector<std::string>& args) {
        std::vector<std::string> argv = {kBin + "tarvik-mousesim", "ctl", "--socket", socket_};
        argv.insert(argv.end(), args.begin(), args.end());
        return RunProgram(argv, dir_ / ("ctl" + std::to_string(runs_++)));
    }
    std::vector<std::string> Tarvikctl(const std::vector<std::string>& args) {
        std::vector<std::string> argv = {kBin + "tarvikctl", "--data-dir", (dir_ / "data").string(), "--hid",
                                         "socket:" + socket_};
        argv.insert(argv.end(), args.begin(), args.end());
        return argv;
    }
    RunResult RunTarvikctl(const std::vector<std::string>& args) {
        return RunProgram(Tarvikctl(args), dir_ / ("tarvikctl" + std::to_string(runs_++)));
    }
    nlohmann::json Dump() {
        RunResult r = Ctl({"dump", "--json"});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return nlohmann::json::parse(r.out, nullptr, false);
    }

    fs::path dir_;
    std::string socket_;
    ChildProcess daemon_;
    int runs_ = 0;
};

TEST_F(MouseSimProcessTest, ApplySendsTheProfileThatTheDumpShows) {
    RunResult r = RunTarvikctl({"apply"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("sent to A"), std::string::npos) << r.out;

    SettingsModel model(dir_ / "data");
    model.LoadSettingsModel();
    model.BuildDpiTables();
    const ProfileRecord& rec = model.Profiles[model.GetCurrentProfile()];
    const nlohmann::json doc = Dump();
    ASSERT_FALSE(doc.is_discarded());
    EXPECT_EQ(doc["malformedFrames"], 0);
    EXPECT_EQ(doc["dpiPage"], HexString(BuildDpiPage(rec, model)));
    EXPECT_EQ(doc["colors"], HexString(BuildColours(rec)));
    EXPECT_EQ(doc["polling"], PollingCode(rec));
    EXPECT_EQ(doc["liftOff"], LiftOffCode(rec));
    EXPECT_EQ(doc["debounce"], DebounceValue(rec));
    const PowerOptions power = PowerOptionBytes(rec);
    EXPECT_EQ(doc["power"], nlohmann::json::array({power[0], power[1]}));
    EXPECT_EQ(doc["motionWakeup"], MotionWakeupValue(rec));
    const LightingPage light = BuildLightingPage(rec);
    ASSERT_TRUE(doc["lighting"].is_string());
    EXPECT_EQ(HexString(light).rfind(doc["lighting"].get<std::string>(), 0), 0u) << doc["lighting"];
    // The button page as the link builds it: three bytes per button position.
    const ButtonPage page = BuildButtonPage(rec);
    for (int p = 0; p < kKeyCount; ++p) {
        EXPECT_EQ(doc["buttons"][p], HexString(std::span(page).subspan(2 + 3 * p, 3))) << "position " << p;
    }
}

TEST_F(MouseSimProcessTest, CommandsMoveToBWhenAIsUnplugged) {
    ASSERT_EQ(Ctl({"unplug", "A"}).exitCode, 0);
    RunResult r = RunTarvikctl({"apply"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("sent to B"), std::string::npos) << r.out;
    const nlohmann::json doc = Dump();
    EXPECT_EQ(doc["plugged"]["A"], false);
    EXPECT_GT(doc["framesReceived"].get<int>(), 0);

    ASSERT_EQ(Ctl({"unplug", "B"}).exitCode, 0);
    r = RunTarvikctl({"apply"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("no mouse found"), std::string::npos) << r.err;
    // Refusals are reported, not ignored.
    r = Ctl({"press-dpi"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("no identity is plugged"), std::string::npos) << r.err;
}

// Two watching clients at once: a DPI press reaches both, unplugging A keeps
// them running on B, unplugging B too ends them with "no device left".
TEST_F(MouseSimProcessTest, DpiPressesAndRemovalsReachEveryWatcher) {
    ChildProcess watchers[2];
    for (int i = 0; i < 2; ++i)
        ASSERT_TRUE(
            watchers[i].Start(Tarvikctl({"watch", "--timeout", "60"}), dir_ / ("watch" + std::to_string(i))));
    const auto bothShow = [&](const std::string& text) {
        return WaitUntil(
            [&] {
                // The watchers may still be connecting: press again until both have seen it.
                if (watchers[0].Out().find(text) == std::string::npos ||
                    watchers[1].Out().find(text) == std::string::npos) {
                    return false;
                }
                return true;
            },
            1s);
    };
    bool seen = false;
    for (int attempt = 0; attempt < 20 && !seen; ++attempt) {
        ASSERT_EQ(Ctl({"press-dpi", "2"}).exitCode, 0);
        seen = bothShow("(level 2,");
    }
    ASSERT_TRUE(seen) << watchers[0].Out() << watchers[0].Err() << watchers[1].Out() << watchers[1].Err();

    ASSERT_EQ(Ctl({"unplug", "A"}).exitCode, 0);
    seen = false;
    for (int attempt = 0; attempt < 20 && !seen; ++attempt) {
        ASSERT_EQ(Ctl({"press-dpi", "3"}).exitCode, 0);
        seen = bothShow("(level 3,");
    }
    ASSERT_TRUE(seen) << watchers[0].Out() << watchers[0].Err();
    for (ChildProcess& w : watchers) EXPECT_TRUE(w.Running()) << w.Err();

    ASSERT_EQ(Ctl({"unplug", "B"}).exitCode, 0);
    for (ChildProcess& w : watchers) {
        ASSERT_TRUE(w.Wait(10s)) << w.Out() << w.Err();
        EXPECT_EQ(w.ExitCode(), 0) << w.Err();
        EXPECT_NE(w.Err().find("no device left"), std::string::npos) << w.Err();
    }
}

TEST_F(MouseSimProcessTest, GarbageDoesNotStopTheDaemonAndSigtermRemovesTheSocket) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, socket_.data(), socket_.size());
    for (const std::string& junk : {std::string("GET / HTTP/1.0\r\n\r\n"),
                                    std::string("\x05\x00\x00\x00\x01", 5), std::string(70000, '\xFF')}) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        ::send(fd, junk.data(), junk.size(), MSG_NOSIGNAL);
        ::close(fd); // gone in the middle of whatever it was sending
    }
    EXPECT_EQ(Ctl({"set-battery", "30", "--charging"}).exitCode, 0);
    const nlohmann::json doc = Dump();
    EXPECT_EQ(doc["battery"], 30);
    EXPECT_EQ(doc["chargeState"], 1);

    daemon_.Signal(SIGTERM);
    ASSERT_TRUE(daemon_.Wait(10s));
    EXPECT_EQ(daemon_.ExitCode(), 0) << daemon_.Err();
    EXPECT_FALSE(fs::exists(socket_));
    // A daemon that is gone is a failed operation, not a wrong command line.
    EXPECT_EQ(Ctl({"dump"}).exitCode, 1);
}

} // namespace
} // namespace tarvik::test
