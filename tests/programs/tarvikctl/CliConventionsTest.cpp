// The conventions every command of tarvikctl and tarvik-mousesim shares: exit
// codes, errors as one line that starts with the program's name, the program's
// options after a command, --version.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "support/RunCtl.h"

namespace tarvik::test {
namespace {

namespace fs = std::filesystem;

class CliConventions : public ::testing::Test {
protected:
    void SetUp() override {
        std::string name = "tarvik-cliconv-";
        name += std::to_string(std::random_device{}());
        dir_ = fs::temp_directory_path() / name;
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Replaces every "{D}" in `args` with the test's folder.
    std::string Expand(std::string args) const {
        for (std::size_t at; (at = args.find("{D}")) != std::string::npos;)
            args.replace(at, 3, dir_.string());
        return args;
    }
    CtlResult Run(const std::string& program, const std::string& args) const {
        // The simulated data folder and the simulator's default socket lie in the test's folder.
        std::string env = "HOME='";
        env += dir_.string();
        env += "' XDG_CONFIG_HOME='";
        env += (dir_ / "config").string();
        env += "' XDG_RUNTIME_DIR='";
        env += dir_.string();
        env += "' TARVIK_HID= TARVIK_DATA_DIR=";
        return RunProgramLine(ProgramBinary(program), env, Expand(args));
    }

    fs::path dir_;
};

TEST_F(CliConventions, FailuresExitOneOrTwoWithOneLinePerErrorStartingWithTheProgramName) {
    struct Case {
        const char* program;
        const char* args;
        int status;
        const char* said; // a part of the error
    };
    const Case cases[] = {
        // The command line is wrong: 2, never the parser's own codes.
        {"tarvikctl", "", 2, "subcommand is required"},
        {"tarvikctl", "frobnicate", 2, "not expected: frobnicate"},
        {"tarvikctl", "profile frobnicate", 2, "not expected: frobnicate"},
        {"tarvikctl", "show --bogus", 2, "--bogus"},
        {"tarvikctl", "show stray", 2, "stray"},
        {"tarvikctl", "show --slot 7", 2, "--slot"},
        {"tarvikctl", "show --json --raw", 2, "excludes"},
        {"tarvikctl", "--lock-timeout -1 show", 2, "--lock-timeout"},
        {"tarvikctl", "--lock-timeout nan profile rename 1 X", 2, "--lock-timeout"},
        {"tarvikctl", "--lock-timeout inf show", 2, "--lock-timeout"},
        {"tarvikctl", "--lock-timeout 1e9 show", 2, "--lock-timeout"},
        {"tarvikctl", "--hid nowhere apply", 2, "unknown HID backend \"nowhere\""},
        {"tarvikctl", "apply --hid socket:", 2, "socket: needs"},
        {"tarvikctl", "reset --hid sim", 2, "needs --yes"},
        {"tarvikctl", "assign --button 2 warp", 2, "unknown function \"warp\""},
        {"tarvikctl", "profile rename 9 x", 2, "SLOT"},
        {"tarvikctl", "check {D}/notes.txt", 2, "unsupported file type"},
        {"tarvikctl", "descriptor", 2, "needs a FILE"},
        // The operation failed: 1.
        {"tarvikctl", "--hid socket:{D}/none.sock apply", 1, "no mouse found (socket:"},
        {"tarvikctl", "status --hid linux", 1, "no mouse found: check that the mouse is plugged in"},
        {"tarvikctl", "import --slot 1 {D}/missing.psf", 1, "missing.psf"},
        {"tarvikctl", "descriptor {D}/missing", 1, "cannot read"},
        {"tarvikctl", "macro export --path Nothing {D}/x.mkf", 1, "no node \"Nothing\""},
        {"tarvik-mousesim", "--bogus", 2, "--bogus"},
        {"tarvik-mousesim", "ctl", 2, "subcommand"},
        {"tarvik-mousesim", "ctl plug C", 2, "IDENTITY"},
        {"tarvik-mousesim", "ctl --socket {D}/none.sock set-sensor 300", 2, "sensor code"},
        {"tarvik-mousesim", "ctl dump --socket {D}/none.sock", 1, "cannot reach the daemon"},
        {"tarvik-mousesim", "--socket {D}/no/such/folder/mouse.sock", 1, "mouse.sock"},
    };
    for (const Case& c : cases) {
        std::string commandLine = c.program;
        commandLine += " ";
        commandLine += c.args;
        SCOPED_TRACE(commandLine);
        const CtlResult r = Run(c.program, c.args);
        EXPECT_EQ(r.status, c.status) << r.Err();
        ASSERT_FALSE(r.err.empty());
        std::string prefix = c.program;
        prefix += ": ";
        for (const std::string& line : r.err) EXPECT_EQ(line.rfind(prefix, 0), 0u) << line;
        EXPECT_NE(r.Err().find(c.said), std::string::npos) << r.Err();
        // A usage error stops before the command runs.
        if (c.status == 2) {
            EXPECT_TRUE(r.out.empty()) << r.out;
        }
    }
}

TEST_F(CliConventions, ProgramOptionsMayFollowTheCommand) {
    struct Case {
        const char* before; // the options in front of the command
        const char* after;  // the same behind it (or behind a nested command)
    };
    const Case cases[] = {
        {"--hid sim --trace apply --slot 1", "apply --slot 1 --trace --hid sim"},
        {"--data-dir {D}/data show --slot 2", "show --slot 2 --data-dir {D}/data"},
        {"--data-dir {D}/data --lock-timeout 1 profile rename 3 Mine",
         "profile rename 3 Mine --lock-timeout 1 --data-dir {D}/data"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.after);
        fs::remove_all(dir_ / "data");
        fs::remove_all(dir_ / "config");
        const CtlResult first = Run("tarvikctl", c.before);
        ASSERT_EQ(first.status, 0) << first.Err();
        fs::remove_all(dir_ / "data");
        fs::remove_all(dir_ / "config");
        const CtlResult second = Run("tarvikctl", c.after);
        EXPECT_EQ(second.status, 0) << second.Err();
        EXPECT_EQ(second.out, first.out);
        EXPECT_EQ(second.err, first.err);
        EXPECT_FALSE(first.out.empty());
    }
}

TEST_F(CliConventions, VersionOnEveryProgram) {
    for (const char* program : {"tarvikctl", "tarvik-mousesim", "tarvik"}) {
        SCOPED_TRACE(program);
        // The window is built only with the GUI.
        if (!fs::exists(ProgramBinary(program))) continue;
        const CtlResult r = RunProgramLine(ProgramBinary(program), "QT_QPA_PLATFORM=offscreen", "--version");
        EXPECT_EQ(r.status, 0) << r.Err();
        std::string version = program;
        version += " " TARVIK_VERSION "\n";
        EXPECT_EQ(r.out, version);
        EXPECT_TRUE(r.err.empty()) << r.Err();
    }
}

} // namespace
} // namespace tarvik::test
