// The simulator program as a process of its own, with a scripted scenario,
// read by the station over the pseudo-terminal it names.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <poll.h>
#include <unistd.h>

#include "gti/registr_old/comm_protocols.h"
#include "platform/os/process.h"
#include "platform/os/testing.h"
#include "tools/devsim/scenario.h"
#include "tools/devsim/test_hub.h"

namespace devsim {
namespace {

namespace fs = std::filesystem;

using os::testing::read_line;

TEST(SimulatorProgram, ScriptedConsoleReadByTheStation) {
    fs::path dir = fs::temp_directory_path() / ("devsim_program_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    fs::path script = dir / "rig.txt";
    std::ofstream(script) << "t hook_load pump1\n0 100 60\n100 100 60\n";

    os::Process sim;
    os::SpawnOptions options;
    options.program = std::string(STATION_BINARY_DIR) + "/bin/device_simulator";
    options.args = {"--device",  "console", "--pty",     "--scenario", script.string(), "--period", "100",
                    "--reports", "4",       "--seconds", "120"};
    options.capture_output = true;
    std::string error;
    ASSERT_TRUE(sim.start(options, &error)) << error;
    std::string first = read_line(sim.stdout_fd(), 120000);
    ASSERT_EQ(first.rfind("line: ", 0), 0u) << first;
    std::string path = first.substr(6);

    testing::TestHub hub;
    CommProtocols cp(&hub);
    ASSERT_TRUE(cp.get_port().open(path)) << cp.get_port().last_error();
    cp.configure_port(CommProtocols::console_protocol);
    int good = 0;
    for (int tries = 0; tries < 40 && good < 3; ++tries) {
        CommIncomData d;
        if (!cp.read_data(CommProtocols::console_protocol, &d)) continue;
        ++good;
        EXPECT_EQ(d.channels[ChannelMap::hook_load],
                  ChannelMap::code(ChannelMap::hook_load, RigState{.hook_load = 100}));
        EXPECT_FLOAT_EQ(d.rates[0], 60.0f);
    }
    EXPECT_EQ(good, 3);
    cp.get_port().close();

    std::vector<std::string> lines;
    auto code = sim.read_lines([&](const std::string& l) { lines.push_back(l); }, 120000);
    ASSERT_TRUE(code);
    EXPECT_EQ(*code, 0);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().rfind("done: 4 reports", 0), 0u) << lines.back();
    fs::remove_all(dir);
}

}  // namespace
}  // namespace devsim
