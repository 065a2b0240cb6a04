// The cementing monitor on a running station: the host in this process with
// the cementing plug-in from its plug-ins folder, the simulated
// cementing-control station on a pseudo-terminal, and the operator pressing
// the monitor's buttons (start, settings, next, continue after a broken-off
// recording, finish) between the host's reads of the line.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "gti/registr_old/reg_plugin_manager.h"
#include "gti/registr_old/reg_system.h"
#include "gti/registr_old/root_testing.h"
#include "gti/registr_old/sys_lock.h"
#include "library/lock_object.h"
#include "platform/os/testing.h"
#include "platform/rtl/ini_file.h"
#include "platform/ui/application.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/display.h"
#include "platform/ui/edits.h"
#include "platform/ui/message_queue.h"
#include "platform/ui/pages.h"
#include "platform/ui/stdctrls.h"
#include "plugins/cement/cement_files.h"
#include "plugins/cement/cement_form.h"
#include "plugins/cement/cement_options_form.h"
#include "plugins/cement/cement_plugin.h"
#include "plugins/cement/cement_testing.h"
#include "tools/station_host/rig_testing.h"
#include "tools/station_host/station_setup.h"

#ifdef STATION_CEMENT_PLUGIN

namespace station_host {
namespace {

namespace fs = std::filesystem;

using station_host::testing::has;

// The station's table with the cementing parameters on the station's
// channels, well "101" with the stage programme of three elements, and the
// plug-in in the plug-ins folder: a link to the build's library, so that
// this process and the host's loader share one copy of it. With finished
// the stage's elements are all done: the programme has been run through.
void prepare(const testing::StationRig& rig, bool finished = false) {
    // The well's construction: casing to 1800 m, open hole to 2500 m.
    const std::string programme = prepare_cement_station(rig.station().string(), "101",
                                                         {{7, 0, 1800, 244.5f, 273}, {8, 1800, 2500, 215.9f, 215.9f}});
    if (finished) {
        rtl::IniFile prog(programme);
        for (int i = 0; i < 3; ++i) prog.WriteInteger("Item" + std::to_string(i), "mode", cement::state_done);
    }
    rig.add_plugin(STATION_CEMENT_PLUGIN, "cement.so", true);
}

// The host of this process on the simulator's line, with the station and
// the plug-ins prepare() made, at the cementing station's protocol.
HostOptions on_station(const testing::StationRig& rig) {
    HostOptions o = rig.host_options();
    o.protocol = "СКЦ";
    o.start_depth = 2500;
    return o;
}

TEST(CementMonitorOnStation, TheButtonsRunAJobOnTheSimulatedStation) {
    root_testing::in_fresh_process([] {
        testing::StationRig rig;
        const fs::path& root = rig.root();
        prepare(rig);
        rig.write_script("t pressure density temperature flow\n"
                         "0 40 1.20 20 10\n"
                         "100 90 1.80 30 10\n");
        ASSERT_TRUE(rig.start_simulator({"--device", "cement", "--seconds", "60"}));

        HostOptions o = on_station(rig);
        o.trip = 1;
        o.duration_s = 22;
        Host host(o, rig.progress(), rig.errors());

        // The operator's script: at each second of the run, one press.
        ui::HeadlessDisplay& screen = *ui::headless_display();
        const auto start = std::chrono::steady_clock::now();
        int step = 0;
        TCementForm* form = nullptr;
        std::vector<std::string> seen;  // the next button's caption at each press
        SectionsResult profile;
        // The window is no page of a shown form here: its buttons are
        // pressed as the host's scripted operator presses them.
        auto press = [&](ui::TButton* b) {
            seen.push_back(form->btnNextProgram->Caption());
            b->Click();
        };
        host.on_turn = [&] {
            const double t = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            if (!host.system() || host.system()->get_plugin_manager().get_size() == 0) return;
            form = dynamic_cast<TCementForm*>(host.system()->get_plugin_manager().get_item(0)->get_form());
            if (!form) return;
            const double at[] = {2, 5, 7, 10, 12, 15, 18};
            if (step >= int(std::size(at)) || t < at[step]) return;
            switch (step++) {
                case 0: press(form->btnNextProgram); break;  // start: a new trip
                case 1:                                      // settings: the buffer's limit and a plan
                    screen.ExpectModal([&](ui::TCustomForm& f) {
                        auto& d = static_cast<TCementOptionsForm&>(f);
                        d.edPmax->SetText("75");
                        d.MyButton1->Click();
                    });
                    press(form->btnOptions);
                    break;
                case 2: press(form->btnNextProgram); break;  // the cement slurry
                case 3:
                    // The recording breaks off (the host stops it), and the
                    // operator continues the running element.
                    ui::post_message(ui::Application().Handle(), cement::host_message, cement::request_stop, 0);
                    break;
                case 4: press(form->btnNextProgram); break;  // continue
                case 5:
                    press(form->btnNextProgram);  // the displacement
                    break;
                case 6:
                    profile = form->shown_sections;
                    form->SaveToPng(cement::testing::png_folder() + "cement_monitor_on_station.png");
                    press(form->btnNextProgram);  // finish: the host stops
                    break;
            }
        };
        const int code = host.run(-1);
        EXPECT_EQ(code, 0) << rig.host_output();
        EXPECT_EQ(step, 7) << rig.host_output();
        EXPECT_EQ(seen, (std::vector<std::string>{"Начать программу", "Следующий этап", "Следующий этап",
                                                  "Следующий этап", "Следующий этап", "Завершить этап"}))
            << rig.host_output();
        EXPECT_TRUE(has(rig.host_lines(), "trip 2 started on a plug-in's request")) << rig.host_output();
        EXPECT_TRUE(has(rig.host_lines(), "trip 2 continued on a plug-in's request")) << rig.host_output();
        EXPECT_TRUE(has(rig.host_lines(), "trip 2 stopped on a plug-in's request")) << rig.host_output();

        // The profile the window drew: the casing and the open hole.
        ASSERT_EQ(profile.items.size(), 2u);
        EXPECT_EQ(profile.items[0].bottom, 1800.0f);
        EXPECT_EQ(profile.items[1].outer_diameter, 215.9f);
        EXPECT_EQ(profile.items[1].bottom, 2500.0f);

        // The stage's programme: three elements done in order, the limit the
        // operator set on the buffer, each element with the flow's volume.
        CementData job;
        TReportOptions report;
        const fs::path cement = root / "station" / "101" / "cement";
        ASSERT_TRUE(cement::load_programme((cement / "cement_program_2.ini").string(), job, report));
        ASSERT_EQ(job.program.size(), 3u);
        EXPECT_EQ(job.element, cement::element_finished);
        EXPECT_EQ(job.program[0].P_critical, 75.0f);
        for (const auto& e : job.program) {
            EXPECT_EQ(e.mode, cement::state_done) << e.name;
            EXPECT_GT(e.end, e.start) << e.name;
        }
    });
}

// A window around the run shows the plug-in's form in its page, as the
// station host's window does: the plug-in is shown for the first time once,
// so a finished stage asks once whether to begin a new one.
TEST(CementMonitorOnStation, AFinishedStageIsAskedAboutOnceInTheHostsWindow) {
    root_testing::in_fresh_process([] {
        testing::StationRig rig;
        prepare(rig, true);
        rig.write_script("t pressure density temperature flow\n"
                         "0 40 1.20 20 10\n");
        ASSERT_TRUE(rig.start_simulator({"--device", "cement", "--seconds", "20"}));

        HostOptions o = on_station(rig);
        o.duration_s = 2;
        int asked = 0;
        const ui::MessageBoxHandler before = ui::set_message_box_handler([&](const ui::MessageBoxRequest& r) {
            if (r.caption == "Рейс завершен") ++asked;
            return ui::IDNO;
        });
        ui::TForm window(nullptr);
        auto* pages = new ui::TPageControl(&window);
        pages->SetParent(&window);
        pages->SetAlign(ui::alClient);
        {
            Host host(o, rig.progress(), rig.errors());
            host.on_started = [&](Host& h) {
                reg::RegPluginManager& plugins = h.system()->get_plugin_manager();
                lib::Locker hold(sys_lock_obj());
                plugins.fill_to_tab_control(pages);
                for (int i = 0; i < plugins.get_size(); ++i)
                    if (const auto* d = plugins.get_plugin_data(i); d && d->page)
                        plugins.show_tab_sheet(d->page, d->page->Width(), d->page->Height());
            };
            EXPECT_EQ(host.run(-1), 0) << rig.host_output();
        }
        ui::set_message_box_handler(before);
        EXPECT_EQ(asked, 1) << rig.host_output();
    });
}

}  // namespace
}  // namespace station_host

#endif
