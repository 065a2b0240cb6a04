// The program's own command line: an option it does not know is told with
// the usage and status 2 before any window or desktop is looked for; the
// help says every status.

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/os/process.h"
#include "platform/os/testing.h"

namespace {

struct Outcome {
    std::optional<int> code;
    std::string said;
};

// The program without a desktop: a window would not get as far as a
// status of its own.
Outcome grouttab(const std::string& argument) {
    os::Process p;
    Outcome r;
    const std::string command =
        "exec env -u DISPLAY -u WAYLAND_DISPLAY '" STATION_BINARY_DIR "/bin/Grouttab' '" + argument + "'";
    if (!p.start({"/bin/sh", {"-c", command}, "", true, false, false})) return r;
    r.code = p.read_lines([&](const std::string& l) { r.said += l + "\n"; }, 60000);
    return r;
}

TEST(GrouttabCommandLine, AnUnknownOptionIsToldWithTheUsage) {
    for (const char* option : {"--bogus", "--p7", "--"}) {
        const Outcome r = grouttab(option);
        EXPECT_EQ(r.code, 2) << option << ": " << r.said;
        EXPECT_NE(r.said.find("Grouttab: unknown option '" + std::string(option) + "'"), std::string::npos) << r.said;
        EXPECT_NE(r.said.find("usage: Grouttab [-pWELL]"), std::string::npos) << r.said;
    }
    const Outcome help = grouttab("--help");
    EXPECT_EQ(help.code, 0) << help.said;
    EXPECT_NE(help.said.find("2 an\nunknown option"), std::string::npos) << help.said;
    // The caller's other words are not options of the program: the window
    // is looked for as ever (and without a desktop it says so).
    const Outcome other = grouttab("-P7");
    EXPECT_EQ(other.code, 1) << other.said;
}

}  // namespace
