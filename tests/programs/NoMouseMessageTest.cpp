// The one line a program prints when the scan found no mouse.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "programs/Backends.h"

namespace tarvik {
namespace {

TEST(NoMouseMessage, SaysWhatToCheckForTheBackend) {
    const std::vector<hid::RefusedNode> refused = {{"/dev/hidraw3", "Permission denied"},
                                                   {"/dev/hidraw4", "Device or resource busy"}};
    struct Case {
        const char* what;
        const char* backend;
        std::vector<hid::RefusedNode> refused;
        const char* ruleFound;
        std::vector<const char*> said;
        std::vector<const char*> notSaid;
    };
    const Case cases[] = {
        {"hidraw, no rule, nothing refused",
         "linux",
         {},
         "",
         {"no mouse found: check that the mouse is plugged in",
          "the udev rule /usr/lib/udev/rules.d/70-tarvik.rules is not installed"},
         {"refused", "reload"}},
        {"hidraw, the rule installed, two nodes refused",
         "linux",
         refused,
         "/etc/udev/rules.d/70-tarvik.rules",
         {"the udev rule /etc/udev/rules.d/70-tarvik.rules is installed",
          "nodes refused: /dev/hidraw3 (Permission denied), /dev/hidraw4 (Device or resource busy)",
          "sudo udevadm control --reload-rules && sudo udevadm trigger"},
         {"not installed"}},
        {"the simulator's socket",
         "socket:/run/user/1000/mouse.sock",
         {},
         "",
         {"no mouse found (socket:/run/user/1000/mouse.sock): check that tarvik-mousesim serves on "
          "/run/user/1000/mouse.sock"},
         {"udev"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string text =
            NoMouseMessage(c.backend, c.refused, c.ruleFound, "/usr/lib/udev/rules.d/70-tarvik.rules");
        EXPECT_EQ(text.find('\n'), std::string::npos) << text;
        for (const char* part : c.said) EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
        for (const char* part : c.notSaid)
            EXPECT_EQ(text.find(part), std::string::npos) << part << "\n" << text;
    }
}

} // namespace
} // namespace tarvik
