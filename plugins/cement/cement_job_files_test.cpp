// The cementing job's files under faults: a disk that fills, a crash in the
// middle of an element, calibration files that are huge or no files at all,
// links planted where the job's files belong, a report program planted in
// the data folder.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <thread>

#include "gti/registr_old/par_tabl.h"
#include "gti/registr_old/reg_system.h"
#include "gti/registr_old/sys_lock.h"
#include "library/lock_object.h"
#include "platform/os/fault_plan.h"
#include "platform/os/paths.h"
#include "platform/os/testing.h"
#include "platform/rtl/ini_file.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/stdctrls.h"
#include "plugins/cement/cement_files.h"
#include "plugins/cement/cement_form.h"
#include "plugins/cement/cement_points.h"
#include "plugins/cement/cement_report.h"
#include "plugins/cement/cement_testing.h"

namespace {

namespace fs = std::filesystem;
using cement::testing::in_station;
using cement::testing::Job;
using cement::testing::logged;

bool logged_with(const std::string& part) {
    for (const auto& l : logged())
        if (l.find(part) != std::string::npos) return true;
    return false;
}

void set_well(const char* name) {
    lib::Locker hold(sys_lock_obj());
    sys()->get_pore().get_options()->nomer = name;
}

std::size_t points_on_disk(const std::string& path) {
    ChartPoints t;
    cement::load_points_file(path, t);
    return t.points.size();
}

// The disk of `folder` full: every write under it fails as on a full disk
// until clear().
void fill_disk(os::FaultPlan& plan, const std::string& folder) {
    plan.add(os::DiskFault{os::DiskOp::write, ENOSPC, 1, true, folder});
}

// The disk fills during a stage and again at its stop: the stage's files
// stay in memory, the log and the monitor say which, and once the disk has
// room again (the next save, the host's last question) every file is whole.
TEST(CementJobFiles, AFullDiskKeepsTheStagesFilesUntilThereIsRoomAgain) {
    in_station([](const std::string& exe) {
        set_well("7");
        Job job;
        CementPlugin& p = job.plugin;
        p.init();
        const std::string cem = exe + "7/cement/";
        os::FaultPlan disk;
        os::ScopedFaultPlan installed(disk);
        fs::create_directories(cem + "report");
        TCementForm* form = static_cast<TCementForm*>(p.get_form());
        logged().clear();
        fill_disk(disk, cem);

        job.programme({cement::kind_buffer, cement::kind_cement});
        p.command(cement::cmd_next);
        p.start_registration(2, false);
        job.set("cem_rasx", 10);
        for (int i = 0; i < 3; ++i) job.step(1);
        EXPECT_FALSE(p.unwritten_files().empty());
        EXPECT_TRUE(logged_with(cem + "cement_program_2.ini")) << ::testing::PrintToString(logged());
        EXPECT_TRUE(form->lblUnwritten->Visible());
        EXPECT_NE(form->lblUnwritten->Caption().find("2.cem"), std::string::npos) << form->lblUnwritten->Caption();

        // Room again: the next save of the points writes what was kept.
        disk.clear();
        for (int i = 0; i < 6; ++i) job.step(1);
        EXPECT_TRUE(p.unwritten_files().empty()) << ::testing::PrintToString(p.unwritten_files());
        EXPECT_FALSE(form->lblUnwritten->Visible());
        EXPECT_EQ(rtl::IniFile(cem + "cement_program_2.ini").ReadInteger("Item0", "mode", -1), cement::state_running);

        // Full at the stop: nothing of the stage is lost, all of it is named.
        p.command(cement::cmd_next);
        job.step(1);
        p.command(cement::cmd_next);
        fill_disk(disk, cem);
        p.stop_registration();
        ASSERT_EQ(p.job().element, cement::element_finished);
        const auto unwritten = p.unwritten_files();
        for (const char* f : {"cement_program_2.ini", "cement_program_2.rpt", "2.cem"}) {
            bool named = false;
            for (const auto& u : unwritten) named |= u.find(cem + f) == 0;
            EXPECT_TRUE(named) << f << " " << ::testing::PrintToString(unwritten);
        }
        std::vector<std::string> asked;
        p.event(reg::pe_unwritten_files, std::any(&asked));
        EXPECT_EQ(asked.size(), unwritten.size());

        disk.clear();
        asked.clear();
        p.event(reg::pe_unwritten_files, std::any(&asked));
        EXPECT_TRUE(asked.empty()) << ::testing::PrintToString(asked);
        rtl::IniFile programme(cem + "cement_program_2.ini");
        EXPECT_EQ(programme.ReadInteger("Item1", "mode", -1), cement::state_done);
        EXPECT_EQ(programme.ReadString("Item0", "V_inc", ""), "0,09");
        EXPECT_EQ(programme.ReadString("Item1", "V_inc", ""), "0,01");
        EXPECT_EQ(points_on_disk(cem + "2.cem"), p.points().points.size());
        auto rpt = cement::read_report_data(cem + "cement_program_2.rpt");
        std::map<std::string, std::string> r(rpt.begin(), rpt.end());
        EXPECT_EQ(r["buf_V"], "0,09");
        EXPECT_TRUE(fs::exists(cem + "report/7_2.realtim"));
        // The remarks once, not once per try: one line per element.
        const std::string remarks = os::testing::read_bytes(cem + "report/cem_V.rem");
        std::size_t lines = 0;
        for (std::size_t at = remarks.find("\r\n"); at != std::string::npos; at = remarks.find("\r\n", at + 2)) ++lines;
        EXPECT_EQ(lines, 2u) << remarks;
    });
}

// A crash (the plug-in gone without a stop) 12 s into an element loses no
// more than the save interval; the stage, started again by the operator in
// the host's new recording, goes on from its saved points to its report.
TEST(CementJobFiles, ACrashMidElementLosesAFewSecondsAndTheStageRunsOn) {
    in_station([](const std::string& exe) {
        set_well("8");
        const std::string cem = exe + "8/cement/";
        std::size_t saved = 0;
        {
            Job job;
            CementPlugin& p = job.plugin;
            p.init();
            job.programme({cement::kind_buffer, cement::kind_cement});
            p.command(cement::cmd_next);
            p.start_registration(3, false);
            job.set("cem_rasx", 10);
            job.set("cem_davl", 20);
            for (int i = 0; i < 4; ++i) job.step(1);
            p.command(cement::cmd_next);
            for (int i = 0; i < 12; ++i) job.step(1);
            saved = points_on_disk(cem + "3.cem");
            EXPECT_GE(saved + std::size_t(CementPlugin::points_save_interval), p.points().points.size());
            // Gone: no stop, no save.
        }
        Job job;
        CementPlugin& p = job.plugin;
        // The station's clock went on: the host starts again 20 s after the
        // first point.
        p.set_date_time_source([&job, start = job.clock.now_ms()] {
            return 46000.0 + (20 + double(job.clock.now_ms() - start) / 1000) / 86400;
        });
        p.init();
        ASSERT_EQ(p.job().stage, 3);
        ASSERT_EQ(p.job().element, 1);
        EXPECT_EQ(p.points().points.size(), saved);
        // The host records its own trip already; the operator's button takes
        // the stage on in it.
        p.start_registration(4, false);
        ASSERT_FALSE(p.registration_running());
        p.show(true);
        TCementForm* form = static_cast<TCementForm*>(p.get_form());
        EXPECT_EQ(form->btnNextProgram->Caption(), "Завершить этап");
        p.command(cement::cmd_next);
        ASSERT_TRUE(p.registration_running());
        EXPECT_EQ(p.job().stage, 3);
        EXPECT_EQ(p.job().element, 1);
        job.set("cem_rasx", 10);
        for (int i = 0; i < 3; ++i) job.step(1);
        EXPECT_GT(p.points().points.size(), saved + 2);
        p.command(cement::cmd_next);
        ASSERT_TRUE(p.finish_requested());
        p.stop_registration();
        ASSERT_EQ(p.job().element, cement::element_finished);
        // The element's volume: the saved seconds, at most the longest step
        // over the crash, and the seconds after it.
        const float v = p.job().program[1].V_inc;
        // Element 0 stored 5 points, the element's first came at its start.
        const double before = double(saved - 6) * 0.01;
        EXPECT_GE(v, before + 0.03 - 1e-4);
        EXPECT_LE(v, before + 0.02 + CementPlugin::max_cycle_step * 0.01 + 1e-4);
        EXPECT_NEAR(p.job().program[1].Q_av, 10.0f, 1e-3);
        EXPECT_TRUE(fs::exists(cem + "cement_program_3.rpt"));
        EXPECT_EQ(rtl::IniFile(cem + "cement_program_3.ini").ReadInteger("Item1", "mode", -1), cement::state_done);
    });
}

// Every file of the job where a link or a FIFO was planted is left as it is
// and named; the file it points to keeps its bytes; the rest of the stage
// is written.
TEST(CementJobFiles, PlantedLinksAndSpecialFilesAreLeftAsTheyAreAndNamed) {
    in_station([](const std::string& exe) {
        set_well("9");
        Job job;
        CementPlugin& p = job.plugin;
        p.init();
        const std::string cem = exe + "9/cement/";
        const std::string outside = exe + "outside.txt";
        os::testing::write_bytes(outside, "outside");
        struct Case {
            std::string file;
            bool fifo;
        };
        const std::vector<Case> cases = {
            {"cement_program_{n}.ini", false}, {"{n}.cem", false},    {"cement_program_{n}.rpt", false},
            {"report/cem_V.rem", false},       {"cement.ini", false}, {"report/9_{n}.realtim", true},
            {"{n}.cem", true},
        };
        p.settings_dialog = [] { return false; };
        int stage = 0;
        for (const Case& c : cases) {
            SCOPED_TRACE(c.file);
            ++stage;
            std::string file = c.file;
            if (const auto at = file.find("{n}"); at != std::string::npos) file.replace(at, 3, std::to_string(stage));
            const std::string path = cem + file;
            fs::remove(path);
            if (c.fifo)
                ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
            else
                fs::create_symlink(outside, path);
            logged().clear();
            job.programme({cement::kind_buffer});
            p.command(cement::cmd_next);
            p.start_registration(stage, false);
            job.set("cem_rasx", 10);
            job.step(1);
            p.command(cement::cmd_next);
            p.stop_registration();
            EXPECT_TRUE(logged_with(path)) << ::testing::PrintToString(logged());
            bool named = false;
            for (const auto& u : p.unwritten_files()) named |= u.find(path) != std::string::npos;
            EXPECT_TRUE(named) << ::testing::PrintToString(p.unwritten_files());
            const fs::file_status st = fs::symlink_status(path);
            EXPECT_TRUE(c.fifo ? fs::is_fifo(st) : fs::is_symlink(st));
            EXPECT_EQ(os::testing::read_bytes(outside), "outside");
            // What no link stood in is written.
            if (c.file != std::string("{n}.cem")) {
                EXPECT_GT(points_on_disk(cem + std::to_string(stage) + ".cem"), 0u);
            }
            fs::remove(path);
            p.command(cement::cmd_next);  // a new programme for the next case
            std::vector<std::string> drop;
            p.event(reg::pe_unwritten_files, std::any(&drop));
        }
    });
}

// Calibration files that are no calibration: refused with their name
// before the hub's lock is taken; a sound one still loads.
TEST(CementJobFiles, CalibrationFilesBeyondReasonAreRefusedWithoutHoldingTheHub) {
    in_station([](const std::string& exe) {
        set_well("6");
        Job job;
        CementPlugin& p = job.plugin;
        p.init();
        p.settings_dialog = [] { return false; };
        const std::string folder = exe + "calibr/";
        fs::create_directories(folder);
        {
            std::ofstream huge(folder + "huge.txt", std::ios::binary);
            huge.seekp(std::streamoff(12) << 30);
            huge.put('\n');
        }
        ASSERT_EQ(::mkfifo((folder + "fifo.txt").c_str(), 0600), 0);
        os::testing::TempDir elsewhere;
        os::testing::write_bytes(elsewhere.path() + "/c.txt", "param_name=cem_rasx\n");
        fs::create_symlink(elsewhere.path() + "/c.txt", folder + "away.txt");
        os::testing::write_bytes(folder + "good.txt",
                                 "param_name=cem_rasx\r\n   1.000000e+00    2.000000e+00\r\n"
                                 "   3.000000e+00    4.000000e+00\r\n");
        fs::create_symlink(folder + "good.txt", folder + "near.txt");
        struct Case {
            const char* file;
            const char* refused;  // what the log says, or null: loaded
        };
        const Case cases[] = {{"calibr/huge.txt", "больше"},
                              {"calibr/fifo.txt", "не обычный файл"},
                              {"calibr/away.txt", "ссылка"},
                              {"calibr/good.txt", nullptr},
                              {"calibr/near.txt", nullptr}};
        int stage = 0;
        for (const Case& c : cases) {
            SCOPED_TRACE(c.file);
            {
                lib::Locker hold(sys_lock_obj());
                ParTabl& t = sys()->get_data_storage().get_par_tabl();
                t[t.find_global("cem_rasx")].points.clear();
            }
            job.programme({cement::kind_buffer});
            p.job().program[0].fluid.calibr_file_name = c.file;
            logged().clear();
            p.command(cement::cmd_next);
            // The element's start in a thread of its own: it must be over
            // long before a huge file could have been read.
            auto started = std::async(std::launch::async, [&] { p.start_registration(++stage, false); });
            if (started.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
                std::fprintf(stderr, "the element's start still reads %s after 60 s\n", c.file);
                std::_Exit(1);
            }
            ASSERT_TRUE(p.registration_running());
            std::size_t points = 0;
            {
                lib::Locker hold(sys_lock_obj());
                ParTabl& t = sys()->get_data_storage().get_par_tabl();
                points = t[t.find_global("cem_rasx")].points.size();
            }
            if (c.refused) {
                EXPECT_TRUE(logged_with(exe + c.file)) << ::testing::PrintToString(logged());
                EXPECT_TRUE(logged_with(c.refused)) << ::testing::PrintToString(logged());
                EXPECT_EQ(points, 0u);
            } else {
                EXPECT_EQ(points, 2u) << ::testing::PrintToString(logged());
            }
            p.command(cement::cmd_next);
            p.stop_registration();
            p.command(cement::cmd_next);
        }
    });
}

// "Отчет" starts the report program from the station's programs only: one
// planted in the station's folder never runs; a missing one, or one another
// user could have changed, is refused and the operator is told what was
// looked for.
TEST(CementJobFiles, TheReportProgramComesFromTheProgramsFolderOrTheOperatorIsTold) {
    in_station([](const std::string& exe) {
        set_well("5");
        Job job;
        CementPlugin& p = job.plugin;
        p.init();
        const std::string planted = exe + "planted_ran";
        os::testing::write_bytes(exe + "Grouttab", "#!/bin/sh\ntouch '" + planted + "'\n");
        fs::permissions(exe + "Grouttab", fs::perms::owner_all);
        // Beside the running program by default, never the station folder.
        EXPECT_EQ(p.report_program(), os::program_path().substr(0, os::program_path().rfind('/')) + "/Grouttab");
        os::testing::TempDir programs;
        const std::string folder = programs.path() + "/bin";
        const std::string ran = programs.path() + "/ran";
        struct Case {
            const char* what;
            bool present;
            fs::perms folder_perms;
            bool starts;
        };
        const Case cases[] = {
            {"missing", false, fs::perms::owner_all, false},
            {"in a folder others may write", true, fs::perms::all, false},
            {"installed", true, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec, true},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.what);
            fs::remove_all(folder);
            fs::create_directories(folder);
            if (c.present) {
                os::testing::write_bytes(folder + "/Grouttab", "#!/bin/sh\necho \"$@\" > '" + ran + "'\n");
                fs::permissions(folder + "/Grouttab", fs::perms::owner_all);
            }
            fs::permissions(folder, c.folder_perms);
            p.set_programs_folder(folder);
            std::vector<ui::MessageBoxRequest> boxes;
            ui::set_message_box_handler([&](const ui::MessageBoxRequest& r) {
                boxes.push_back(r);
                return ui::IDOK;
            });
            p.command(cement::cmd_report);
            ui::set_message_box_handler({});
            if (c.starts) {
                EXPECT_TRUE(boxes.empty());
                for (int waited = 0; waited < 30000 && os::testing::read_bytes(ran).empty(); waited += 20)
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                EXPECT_EQ(os::testing::read_bytes(ran), "-p5\n");
            } else {
                ASSERT_EQ(boxes.size(), 1u);
                EXPECT_NE(boxes[0].text.find(folder + "/Grouttab"), std::string::npos) << boxes[0].text;
                EXPECT_EQ(boxes[0].icon, ui::MessageIcon::Error);
            }
            EXPECT_FALSE(fs::exists(planted));
        }
    });
}

}  // namespace
