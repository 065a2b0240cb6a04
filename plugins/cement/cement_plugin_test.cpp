#include "plugins/cement/cement_plugin.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "gti/registr_old/all_params.h"
#include "gti/registr_old/comm_protocols.h"
#include "gti/registr_old/reg_system.h"
#include "gti/registr_old/sys_lock.h"
#include "library/lock_object.h"
#include "platform/rtl/ini_file.h"
#include "platform/rtl/string_list.h"
#include "platform/ui/application.h"
#include "platform/ui/message_queue.h"
#include "plugins/cement/cement_form.h"
#include "plugins/cement/cement_points.h"
#include "plugins/cement/cement_report.h"
#include "plugins/cement/cement_testing.h"

namespace {

namespace fs = std::filesystem;
using cement::testing::in_station;
using cement::testing::logged;

// The plug-in's own job: plans whose volumes and rate the integration's
// results are checked against.
struct Job : cement::testing::Job {
    void programme(const std::vector<int>& kinds) {
        elements(kinds);
        CementData& d = plugin.job();
        d.plan[CementData::plan_volume][CementData::col_buffer] = 2.0f;
        d.plan[CementData::plan_volume][CementData::col_cement] = 10.0f;
        d.plan[CementData::plan_rate][CementData::col_cement] = 12.0f;
    }
};

TEST(CementPluginObject, DescribesItselfRegistersItsParametersAndItsRow) {
    in_station([](const std::string&) {
        const int rows = sys()->get_protocols().protocol_count();
        {
            Job job;
            reg::PluginInfo info;
            job.plugin.fill_plugin_info(info);
            EXPECT_EQ(info.title, "Контроль цементирования");
            EXPECT_EQ(info.module_name, "plugin.cement");
            EXPECT_EQ(job.plugin.class_name(), "CementPlugin");
            EXPECT_EQ(cement_plugin(), &job.plugin);
            rtl::StringList names;
            sys()->get_protocols().enum_protocols(&names);
            EXPECT_EQ(names[job.plugin.protocol_row()], "СКЦ");
            const AllParams& all = get_all_params();
            const int n = all.get_param_number("cem_rasx");
            ASSERT_GE(n, 0);
            EXPECT_EQ(all.at(n).units, "л/c");
            EXPECT_EQ(all.at(n).channel, 3);
            EXPECT_EQ(all.at(all.get_param_number("cem_Vsumm")).max_value, 1000.0f);
            // Before any cycle the live map yields 0; the window is made once.
            EXPECT_EQ(job.plugin.live_value("cem_V_pc"), 0.0f);
            ui::TForm* f = job.plugin.get_form();
            EXPECT_EQ(job.plugin.get_form(), f);
            // A host that frees the window first: the plug-in makes a new one.
            delete f;
            EXPECT_NE(job.plugin.get_form(), nullptr);
            lib::options_list plans;
            job.plugin.enum_plan_options(plans);
            EXPECT_EQ(plans.size(), 12);
        }
        // Gone with the plug-in: the hub can no longer reach it.
        EXPECT_EQ(sys()->get_protocols().protocol_count(), rows);
        EXPECT_EQ(cement_plugin(), nullptr);
    });
}

TEST(CementPluginJob, VolumesFollowTheFlowOfRunningPumpingElements) {
    in_station([](const std::string& exe) {
        Job job;
        job.programme({cement::kind_buffer, cement::kind_waiting, cement::kind_cement, cement::kind_displacement});
        CementPlugin& p = job.plugin;
        // Recording that nobody asked for does nothing.
        p.start_registration(3, false);
        EXPECT_FALSE(p.registration_running());

        p.command(cement::cmd_next);  // idle: asks the host for a new trip
        EXPECT_TRUE(p.may_start());
        p.start_registration(3, false);
        ASSERT_TRUE(p.registration_running());
        EXPECT_EQ(p.job().element, 0);
        EXPECT_EQ(p.job().stage, 3);

        job.set("cem_rasx", 10);  // l/s
        job.set("cem_davl", 12);
        job.step(2);
        EXPECT_NEAR(job.hub("cem_V"), 0.02, 1e-6);
        EXPECT_NEAR(p.live_value("cem_V_pc"), 1.0, 1e-4);  // of 2 m3
        // No time, a clock set back, and a long pause: nothing, nothing, 10 s.
        job.step(0);
        job.step(-5);
        EXPECT_NEAR(job.hub("cem_V"), 0.02, 1e-6);
        job.step(3600);
        EXPECT_NEAR(job.hub("cem_V"), 0.12, 1e-6);
        job.set("cem_rasx", -4);
        job.step(2);
        EXPECT_NEAR(job.hub("cem_V"), 0.12, 1e-6);

        // Waiting: the flow adds nothing; the stage volume starts anew.
        job.set("cem_rasx", 10);
        p.command(cement::cmd_next);
        EXPECT_EQ(p.job().element, 1);
        EXPECT_NEAR(p.job().program[0].V_inc, 0.12, 1e-6);
        EXPECT_EQ(p.job().program[0].mode, cement::state_done);
        job.step(5);
        EXPECT_EQ(job.hub("cem_V"), 0.0);
        EXPECT_EQ(p.live_value("cem_V_pc"), 0.0f);  // waiting has no plan

        p.command(cement::cmd_next);
        job.step(1);
        EXPECT_NEAR(job.hub("cem_V"), 0.01, 1e-6);
        EXPECT_NEAR(job.hub("cem_Vsumm"), 0.13, 1e-6);
        EXPECT_NEAR(job.hub("cem_plan_rasx"), 12.0, 1e-6);
        EXPECT_NEAR(p.link().published().volume, 0.01, 1e-6);

        // Past the last element: the host is asked to stop, and the stop
        // closes the element and writes the stage's files.
        p.command(cement::cmd_next);
        job.step(1);
        p.command(cement::cmd_next);
        EXPECT_TRUE(p.finish_requested());
        EXPECT_EQ(p.job().element, 3);
        p.stop_registration();
        EXPECT_EQ(p.job().element, cement::element_finished);
        EXPECT_EQ(p.job().program[3].mode, cement::state_done);
        EXPECT_GT(p.job().program[3].V_inc, 0.0f);

        const std::string cement = exe + "/cement/";
        EXPECT_TRUE(fs::exists(cement + "cement_program_3.ini"));
        EXPECT_TRUE(fs::exists(cement + "3.cem"));
        EXPECT_TRUE(fs::exists(cement + "report/_3.realtim"));
        auto report = cement::read_report_data(cement + "cement_program_3.rpt");
        std::map<std::string, std::string> r(report.begin(), report.end());
        EXPECT_EQ(r["buf_V"], "0,12");
        EXPECT_EQ(r["cem_V"], "0,01");
        ChartPoints back;
        EXPECT_EQ(cement::load_points_file(cement + "3.cem", back), cement::PointsRead::ok);
        EXPECT_EQ(back.points.size(), p.points().points.size());
    });
}

TEST(CementPluginJob, HostRequestsGoToTheApplicationWindow) {
    in_station([](const std::string&) {
        std::vector<std::pair<int, bool>> requests;  // wparam, continuing at arrival
        Job job;
        CementPlugin& p = job.plugin;
        ui::MessageWindow host([&](int msg, std::intptr_t w, std::intptr_t) {
            if (msg == cement::host_message) requests.emplace_back(int(w), p.continuing());
        });
        ui::Application().SetHandle(host.handle());
        auto deliver = [] {
            while (ui::main_queue().process_messages() > 0) {}
        };
        job.programme({cement::kind_buffer, cement::kind_cement});
        p.command(cement::cmd_next);
        deliver();
        p.start_registration(1, false);
        p.stop_registration();        // the recording broke off mid-element
        p.command(cement::cmd_next);  // continue it
        deliver();
        EXPECT_TRUE(p.continuing());
        p.start_registration(1, true);
        EXPECT_EQ(p.job().element, 0);  // continuing does not advance
        job.step(1);                    // the first point re-integrates
        EXPECT_FALSE(p.continuing());
        p.command(cement::cmd_next);
        p.command(cement::cmd_next);
        while (ui::main_queue().process_messages() > 0) {}
        EXPECT_EQ(requests, (std::vector<std::pair<int, bool>>{{0, false}, {1, true}, {2, false}}));

        // No main window: nothing is sent.
        ui::Application().SetHandle(0);
        p.stop_registration();
        p.command(cement::cmd_next);
        while (ui::main_queue().process_messages() > 0) {}
        EXPECT_EQ(requests.size(), 3u);
    });
}

TEST(CementPluginJob, StepBackReintegratesTheStoredPoints) {
    in_station([](const std::string& exe) {
        Job job;
        CementPlugin& p = job.plugin;
        job.programme({cement::kind_buffer, cement::kind_cement});
        p.command(cement::cmd_next);
        p.start_registration(1, false);
        job.set("cem_rasx", 10);
        for (int i = 0; i < 3; ++i) job.step(1);
        p.command(cement::cmd_next);  // too early: step back
        ASSERT_EQ(p.job().element, 1);
        p.command(cement::cmd_back);
        EXPECT_EQ(p.job().element, 0);
        EXPECT_EQ(p.job().program[1].mode, cement::state_waiting);
        EXPECT_EQ(p.job().program[0].mode, cement::state_running);
        // The stage volume is the buffer's again, integrated over its points.
        EXPECT_NEAR(job.hub("cem_V"), 0.03, 1e-5);
        EXPECT_NEAR(job.hub("cem_Vsumm"), 0.03, 1e-5);
        // Commands that do not apply change nothing.
        p.command(cement::cmd_back);
        EXPECT_EQ(p.job().element, 0);
        p.command(42);
        EXPECT_EQ(p.job().element, 0);
        // The report program is not there: its start fails with the cause
        // logged, and the job goes on.
        logged().clear();
        p.set_programs_folder(exe + "programs");
        p.command(cement::cmd_report);
        bool named = false;
        for (const auto& l : logged()) named = named || l.find("Grouttab") != std::string::npos;
        EXPECT_TRUE(named) << ::testing::PrintToString(logged());
        EXPECT_TRUE(p.registration_running());
    });
}

// The station falls silent for ten cycles: a frame vouches for 1.5 s, so
// the volume grows by 0,015 m3 past the last frame and then not at all, no
// point is stored for a cycle that counted nothing, the window's values are stale, and the
// silence is logged and kept from when to when.
TEST(CementPluginJob, ASilentLineAddsNoVolumeAndStoresNoPoint) {
    in_station([](const std::string&) {
        Job job;
        CementPlugin& p = job.plugin;
        job.programme({cement::kind_buffer, cement::kind_cement});
        p.command(cement::cmd_next);
        p.start_registration(1, false);
        job.set("cem_rasx", 10);
        for (int i = 0; i < 3; ++i) job.step(1);
        const double last_frame = p.job().program[0].start + 3.0 / 86400;
        const std::size_t points = p.points().points.size();
        logged().clear();
        for (int i = 0; i < 10; ++i) job.step(1, true);
        EXPECT_NEAR(job.hub("cem_V"), 0.045, 1e-6);
        EXPECT_NEAR(job.hub("cem_Vsumm"), 0.045, 1e-6);
        EXPECT_EQ(p.points().points.size(), points + 2);  // the cycles the last frame covered
        EXPECT_TRUE(p.live().stale);
        EXPECT_NEAR(p.live().silent_since, last_frame, 1e-8);
        ASSERT_EQ(logged().size(), 1u) << ::testing::PrintToString(logged());
        EXPECT_EQ(logged()[0].rfind("Нет данных от СКЦ с ", 0), 0u) << logged()[0];

        // Frames again: the first covers nothing before it, the next a second.
        job.step(1);
        EXPECT_NEAR(job.hub("cem_V"), 0.045, 1e-6);
        EXPECT_FALSE(p.live().stale);
        job.step(1);
        EXPECT_NEAR(job.hub("cem_V"), 0.055, 1e-6);
        EXPECT_EQ(p.points().points.size(), points + 4);
        ASSERT_EQ(p.job().silences.size(), 1u);
        EXPECT_NEAR(p.job().silences[0].from, last_frame, 1e-8);
        EXPECT_NEAR((p.job().silences[0].to - p.job().silences[0].from) * 86400, 11, 1e-3);
        EXPECT_EQ(logged().back().rfind("Нет данных от СКЦ было с ", 0), 0u) << logged().back();

        // A silence that lasts to the stop ends there; a new stage has none.
        for (int i = 0; i < 4; ++i) job.step(1, true);
        p.stop_registration();
        ASSERT_EQ(p.job().silences.size(), 2u);
        EXPECT_GT(p.job().silences[1].to, p.job().silences[1].from);
        p.new_stage(2);
        EXPECT_TRUE(p.job().silences.empty());
    });
}

// Stepped back to, an element's average is that of all its own samples
// (and of those taken while the element it was closed for ran).
TEST(CementPluginJob, StepBackKeepsTheAverageOfTheElementsOwnSamples) {
    in_station([](const std::string&) {
        Job job;
        CementPlugin& p = job.plugin;
        job.programme({cement::kind_buffer, cement::kind_cement});
        job.set("cem_rasx", 10);
        job.set("cem_davl", 30);
        p.command(cement::cmd_next);
        p.start_registration(1, false);
        for (int i = 0; i < 3; ++i) job.step(1);
        p.command(cement::cmd_next);
        for (int i = 0; i < 2; ++i) job.step(1);
        p.command(cement::cmd_back);
        job.set("cem_davl", 5);
        job.step(1);
        p.command(cement::cmd_next);
        const CementProgramElement& buffer = p.job().program[0];
        EXPECT_EQ(buffer.samples, 8);
        EXPECT_FLOAT_EQ(buffer.Q_av, 10.0f);
        EXPECT_FLOAT_EQ(buffer.P_min, 5.0f);
        EXPECT_FLOAT_EQ(buffer.P_max, 30.0f);
        EXPECT_EQ(rtl::IniFile(p.programme_path(1)).ReadString("Item0", "Q_av", ""), "10,00");
    });
}

TEST(CementPluginJob, FilesThatCannotBeReadOrWrittenStopNeitherTheHostNorTheJob) {
    in_station([](const std::string& exe) {
        {
            lib::Locker hold(sys_lock_obj());
            sys()->get_pore().get_options()->nomer = "5";
        }
        // A folder where the job settings and the fluids list belong, a file
        // where the report folder belongs.
        fs::create_directories(exe + "5/cement/cement.ini");
        fs::create_directories(exe + "params/cement/cement_rastvor.ini");
        os::testing::write_bytes(exe + "5/cement/report", "");
        Job job;
        CementPlugin& p = job.plugin;
        logged().clear();
        ASSERT_NO_THROW(p.init());
        EXPECT_EQ(p.well_name(), "5");
        EXPECT_EQ(p.job().chart_scale, 5);
        EXPECT_TRUE(p.job().fluids.empty());
        EXPECT_EQ(p.points().columns, cement::default_columns());
        auto named = [](const std::string& what) {
            for (const auto& l : logged())
                if (l.find(what) != std::string::npos) return true;
            return false;
        };
        EXPECT_TRUE(named("5/cement/cement.ini")) << ::testing::PrintToString(logged());
        EXPECT_TRUE(named("cement_rastvor.ini")) << ::testing::PrintToString(logged());

        // The last stage cannot be saved: each element still starts afresh
        // and is reported, and the stop keeps the programme and the points.
        job.programme({cement::kind_buffer, cement::kind_cement});
        p.command(cement::cmd_next);
        p.start_registration(2, false);
        job.set("cem_rasx", 10);
        for (int i = 0; i < 3; ++i) job.step(1);
        p.command(cement::cmd_next);
        ASSERT_EQ(p.job().element, 1);
        EXPECT_EQ(p.job().program[1].mode, cement::state_running);
        EXPECT_NEAR(p.job().program[0].V_inc, 0.03, 1e-5);
        EXPECT_NEAR(job.hub("cem_V"), 0.0, 1e-6);
        job.step(1);
        EXPECT_NEAR(job.hub("cem_V"), 0.01, 1e-5);
        p.command(cement::cmd_next);
        logged().clear();
        p.stop_registration();
        EXPECT_EQ(p.job().element, cement::element_finished);
        EXPECT_NEAR(p.job().program[1].V_inc, 0.01, 1e-5);
        EXPECT_TRUE(fs::exists(exe + "5/cement/cement_program_2.rpt"));
        EXPECT_TRUE(named("realtim")) << ::testing::PrintToString(logged());
        rtl::IniFile programme(exe + "5/cement/cement_program_2.ini");
        EXPECT_EQ(programme.ReadInteger("Item1", "mode", 0), cement::state_done);
        EXPECT_EQ(programme.ReadString("Item1", "V_inc", ""), "0,01");
        ChartPoints back;
        EXPECT_EQ(cement::load_points_file(exe + "5/cement/2.cem", back), cement::PointsRead::ok);
        EXPECT_EQ(back.points.size(), p.points().points.size());
        ASSERT_NO_THROW(p.finalize());
    });
}

TEST(CementPluginJob, WellsAndStagesFromTheJobSettings) {
    in_station([](const std::string& exe) {
        {
            lib::Locker hold(sys_lock_obj());
            sys()->get_pore().get_options()->nomer = "77/2";
        }
        {
            Job job;
            job.plugin.init();
            EXPECT_EQ(job.plugin.well_name(), "77_2");
            EXPECT_TRUE(fs::is_directory(exe + "77_2/cement/report"));
            EXPECT_EQ(job.plugin.points().columns, cement::default_columns());
            job.programme({cement::kind_buffer});
            job.plugin.command(cement::cmd_next);
            job.plugin.start_registration(4, false);
            job.step(1);
            job.plugin.stop_registration();
            job.plugin.job().chart_scale = 99;
            job.plugin.finalize();
        }
        rtl::IniFile ini(exe + "77_2/cement/cement.ini");
        EXPECT_EQ(ini.ReadInteger("Main", "laststupen", 0), 4);
        EXPECT_EQ(ini.ReadInteger("Main", "chart_scale", 0), 99);
        Job again;
        again.plugin.init();  // continues stage 4
        EXPECT_EQ(again.plugin.job().stage, 4);
        EXPECT_EQ(again.plugin.job().program.size(), 1u);
        EXPECT_EQ(again.plugin.job().chart_scale, 11);
        EXPECT_FALSE(again.plugin.points().points.empty());
        // Digital density: channel 30 from the start.
        EXPECT_EQ(get_all_params().at(get_all_params().get_param_number("cem_plotn")).channel, 30);
    });
}

}  // namespace
