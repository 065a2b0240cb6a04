// A modal dialog of the host's window in front of a live recording: the
// simulated unit on a pseudo-terminal, the host in this process with the
// headless display, a dialog opened from the window's turn and left open.
// Frames and records go on arriving while it is open, and the run's end
// lets it go as its Cancel would.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "gti/registr_old/root_testing.h"
#include "platform/os/testing.h"
#include "platform/ui/application.h"
#include "platform/ui/display.h"
#include "platform/ui/forms.h"
#include "tools/station_host/child_testing.h"
#include "tools/station_host/host_window.h"

namespace station_host {
namespace {

namespace fs = std::filesystem;

TEST(DialogTurns, TheRecordingGoesOnBehindADialogAndTheRunsEndLetsItGo) {
    root_testing::in_fresh_process([] {
        os::testing::TempDir dir;
        const fs::path root = dir.path();
        fs::create_directories(root / "plugins");
        testing::ChildProgram sim(std::string(STATION_BINARY_DIR) + "/bin/device_simulator",
                                  {"--pty", "--seconds", "30"}, true);
        ASSERT_EQ(sim.first_line().rfind("line: ", 0), 0u) << sim.first_line();
        HostOptions o;
        o.port = sim.first_line().substr(6);
        o.well_folder = (root / "well").string();
        o.plugin_folder = (root / "plugins").string();
        o.duration_s = 7;
        o.time_step = 1;

        // Nobody answers the dialog: only the run's end may close it.
        ui::HeadlessDisplay* hd = ui::headless_display();
        ASSERT_NE(hd, nullptr);
        const int saved_idle = hd->IdleTimeoutMs();
        hd->SetIdleTimeoutMs(60000);
        std::vector<std::string> lines;
        bool opened = false;
        HostStats at_open, at_close;
        ui::TModalResult answer = ui::mrNone;
        {
            Host host(
                o, [&](const std::string& l) { lines.push_back(l); },
                [&](const std::string& l) { lines.push_back("error: " + l); });
            DialogTurns dialogs(host);
            host.on_turn = [&] {
                ui::Application().ProcessMessages();
                if (opened || host.stats().time_records < 2) return;
                opened = true;
                at_open = host.stats();
                ui::TForm dialog(nullptr);
                dialog.SetCaption("Промер инструмента");
                answer = dialog.ShowModal();
                at_close = host.stats();
            };
            EXPECT_EQ(host.run(-1), 0) << ::testing::PrintToString(lines);
        }
        hd->SetIdleTimeoutMs(saved_idle);
        ASSERT_TRUE(opened) << ::testing::PrintToString(lines);
        EXPECT_EQ(answer, ui::mrCancel);
        EXPECT_GE(at_close.frames - at_open.frames, 3) << ::testing::PrintToString(lines);
        EXPECT_GE(at_close.time_records - at_open.time_records, 3) << ::testing::PrintToString(lines);
        EXPECT_GE(at_close.cycles - at_open.cycles, 3);
    });
}

}  // namespace
}  // namespace station_host
