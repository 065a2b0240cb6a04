// A modal dialog of the host's window in front of a live recording: the
// simulated unit on a pseudo-terminal, the host in this process with the
// headless display, a dialog opened from the window's turn and left open.
// Frames and records go on arriving while it is open, and the run's end
// lets it go as its Cancel would.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "gti/registr_old/root_testing.h"
#include "platform/ui/application.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/display.h"
#include "platform/ui/forms.h"
#include "platform/ui/message_queue.h"
#include "tools/station_host/host_window.h"
#include "tools/station_host/rig_testing.h"

namespace station_host {
namespace {

TEST(DialogTurns, TheRecordingGoesOnBehindADialogAndTheRunsEndLetsItGo) {
    root_testing::in_fresh_process([] {
        testing::StationRig rig;
        ASSERT_TRUE(rig.start_simulator({"--seconds", "30"}));
        HostOptions o = rig.host_options();
        o.duration_s = 7;
        o.time_step = 1;

        // Nobody answers the dialog: only the run's end may close it.
        ui::HeadlessDisplay* hd = ui::headless_display();
        ASSERT_NE(hd, nullptr);
        const int saved_idle = hd->IdleTimeoutMs();
        hd->SetIdleTimeoutMs(60000);
        bool opened = false;
        HostStats at_open, at_close;
        ui::TModalResult answer = ui::mrNone;
        {
            Host host(o, rig.progress(), rig.errors());
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
            EXPECT_EQ(host.run(-1), 0) << rig.host_output();
        }
        hd->SetIdleTimeoutMs(saved_idle);
        ASSERT_TRUE(opened) << rig.host_output();
        EXPECT_EQ(answer, ui::mrCancel);
        EXPECT_GE(at_close.frames - at_open.frames, 3) << rig.host_output();
        EXPECT_GE(at_close.time_records - at_open.time_records, 3) << rig.host_output();
        EXPECT_GE(at_close.cycles - at_open.cycles, 3);
    });
}

TEST(RecordingView, TheWindowFollowsAPluginsStopAndItsNewTrip) {
    root_testing::in_fresh_process([] {
        testing::StationRig rig;
        ASSERT_TRUE(rig.start_simulator({"--seconds", "40"}));
        HostOptions o = rig.host_options();
        o.duration_s = 30;
        o.time_step = 1;
        o.trip = 3;
        std::vector<RecordingView> seen;  // one per phase
        Host host(o, rig.progress(), rig.errors());
        int stop[2];
        ASSERT_EQ(::pipe2(stop, O_NONBLOCK | O_CLOEXEC), 0);
        // As a plug-in asks the host's main window: message 1033, wParam 2
        // to stop, 0 for a new trip.
        const auto ask = [](int request) { ui::post_message(ui::Application().Handle(), 1033, request, 0); };
        host.on_turn = [&] {
            const RecordingView v = recording_view(&host, host.trip());
            const std::size_t phase = seen.size();
            if (phase == 0 && host.stats().time_records >= 2) {
                seen.push_back(v);
                ask(2);
            } else if (phase == 1 && !host.recording()) {
                seen.push_back(v);
                ask(0);
            } else if (phase == 2 && host.recording() && host.stats().frames > 0 && !host.line_quiet()) {
                seen.push_back(v);
                const char c = 1;
                EXPECT_EQ(::write(stop[1], &c, 1), 1);
            }
        };
        EXPECT_EQ(host.run(stop[0]), 0) << rig.host_output();
        ::close(stop[0]);
        ::close(stop[1]);
        ASSERT_EQ(seen.size(), 3u) << rig.host_output();
        const RecordingView &before = seen[0], &stopped = seen[1], &again = seen[2];
        EXPECT_EQ(before.state, RecordingState::recording);
        EXPECT_EQ(before.title, "Станция — рейс 3");
        EXPECT_NE(before.status.find("Линия: данные идут"), std::string::npos) << before.status;
        EXPECT_TRUE(before.can_stop && !before.can_start && !before.can_resume);

        EXPECT_EQ(stopped.state, RecordingState::stopped);
        EXPECT_EQ(stopped.title, "Станция — рейс 3 (запись остановлена)");
        EXPECT_NE(stopped.status.find("запись остановлена"), std::string::npos) << stopped.status;
        EXPECT_EQ(stopped.status.find("данные идут"), std::string::npos) << stopped.status;
        EXPECT_TRUE(!stopped.can_stop && stopped.can_start && stopped.can_resume);

        EXPECT_EQ(again.state, RecordingState::recording);
        EXPECT_EQ(again.title, "Станция — рейс 4");
        EXPECT_TRUE(again.can_stop && !again.can_start);

        // Between runs, nothing is recorded.
        const RecordingView none = recording_view(nullptr, 4);
        EXPECT_EQ(none.state, RecordingState::stopped);
        EXPECT_FALSE(none.can_stop);
    });
}

TEST(DialogTurns, TheRecordingGoesOnWhileTheStartsQuestionIsOpen) {
    // A plug-in asks at its first show (as the cementing plug-in does when
    // its last programme had finished); nobody answers it here. (The
    // cementing plug-in itself is tried so in a host of its own under the
    // virtual X server: its code is linked into this test program too.)
    root_testing::in_fresh_process([] {
        testing::StationRig rig;
        rig.add_plugin(std::string(STATION_BINARY_DIR) + "/test_plugins/station_host/recorder.so", "recorder.so");
        ::setenv("STATION_HOST_PLUGIN_ASK", "1", 1);
        ASSERT_TRUE(rig.start_simulator({"--seconds", "40"}));
        HostOptions o = rig.host_options();
        o.duration_s = 8;
        o.time_step = 1;
        // Questions are forms, as on the desktop, left open longer than the
        // run: only the run's end lets it go.
        ui::set_message_box_handler(ui::ShowMessageForm);
        ui::HeadlessDisplay* hd = ui::headless_display();
        ASSERT_NE(hd, nullptr);
        hd->SetIdleTimeoutMs(15000);
        bool asked = false;
        HostStats at_open, at_close;
        {
            Host host(o, rig.progress(), rig.errors());
            DialogTurns dialogs(host);
            host.on_turn = [&] {
                ui::Application().ProcessMessages();
                bool open = false;
                for (int i = 0; i < ui::Screen().FormCount(); ++i)
                    open = open || (ui::Screen().Forms(i)->Modal() &&
                                    ui::Screen().Forms(i)->Caption() == "Рейс завершен");
                if (!open) return;
                if (!asked) at_open = host.stats();
                asked = true;
                at_close = host.stats();
            };
            EXPECT_EQ(host.run(-1), 0) << rig.host_output();
        }
        ASSERT_TRUE(asked) << rig.host_output();
        EXPECT_GE(at_close.time_records - at_open.time_records, 4) << rig.host_output();
        EXPECT_GE(at_close.cycles - at_open.cycles, 4);
    });
}

}  // namespace
}  // namespace station_host
