#include "gti/registr_old/reg_system.h"
#include "gti/registr_old/root_testing.h"

#include "gti/registr_old/InstrPipes/instr_items.h"
#include "gti/registr_old/all_params.h"
#include "gti/registr_old/calc_values.h"
#include "gti/registr_old/candle_counter.h"
#include "gti/registr_old/comm_hub.h"
#include "gti/registr_old/comm_protocols.h"
#include "gti/registr_old/config.h"
#include "gti/registr_old/data_storage.h"
#include "gti/registr_old/delayed_depth.h"
#include "gti/registr_old/err_log.h"
#include "gti/registr_old/par_tabl.h"
#include "gti/registr_old/pore_opt.h"
#include "gti/registr_old/pumps_tanks.h"
#include "gti/registr_old/race_info.h"
#include "gti/registr_old/race_total.h"
#include "gti/registr_old/real_time_file.h"
#include "gti/registr_old/registr_log.h"
#include "gti/registr_old/text_storage.h"
#include "gti/registr_old/values.h"
#include "gti/registr_old/view_file.h"
#include "library/lock_object.h"
#include "platform/os/paths.h"
#include "platform/os/sound.h"
#include "platform/os/testing.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/ini_file.h"
#include "platform/ui/message_queue.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using os::testing::read_bytes;
using os::testing::write_bytes;

using root_testing::in_fresh_process;

std::string error_log(reg::System& s) {
    return rtl::cp1251_to_utf8(read_bytes(s.get_exe_path() + "registr.errors.log"));
}

int count_lines(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

std::int32_t int_at(const std::string& bytes, std::size_t pos) {
    std::int32_t v;
    std::memcpy(&v, bytes.data() + pos, 4);
    return v;
}

TEST(System, ConstructionBuildsTheComponentsAndReadsNothing) {
    in_fresh_process([] {
        os::testing::TempDir base;
        os::set_program_dir_override(base.path());
        reg::System* s = sys();
        EXPECT_EQ(s, sys());
        EXPECT_EQ(s->get_exe_path(), base.path() + "/");
        EXPECT_FALSE(s->get_reg_active());
        EXPECT_EQ(s->get_module_list().size(), 0);
        EXPECT_EQ(s->get_err_log().get_file_name(), base.path() + "/registr.errors.log");
        for (int v : s->get_global_nums().pos) EXPECT_EQ(v, -1);
        // The named values reach the live components.
        s->get_data_storage().set_depth_z(321);
        EXPECT_EQ(s->get_values().get("DS.DEPTH_Z"), 321);
        s->get_config().w_kol = 7.5f;
        EXPECT_EQ(s->get_values().get("config.w_kol"), 7.5);
        // The configuration publishes through the root's named values.
        s->get_config().fill_to_variables();
        EXPECT_EQ(s->get_values().get_variable("ves0"), "10");
        EXPECT_FALSE(std::filesystem::exists(base / "registr.errors.log"));

        HostData host;
        s->fill_host_data(host);
        EXPECT_FALSE(host.show_recalibration);

        s->register_modules();
        int n = s->get_module_list().size();
        lib::ModuleBaseOld* frame = s->get_module_list().find("DataStorage");
        s->register_modules();
        EXPECT_EQ(s->get_module_list().size(), n);
        EXPECT_EQ(s->get_module_list().find("DataStorage"), frame);
        for (const char* key : {"RaceTotal", "DepthCalc", "CandleCounter", "NasosWork", "ObTrub", "VEmkOpt",
                                "AverageValues", "ParTabl", "DelayedDepth", "RealTimeFile", "PoreOpts", "PoreConstr",
                                "TextRemarks", "MinMaxValues", "PromerInstr2", "Sound", "RaceInfoOld"})
            EXPECT_NE(s->get_module_list().find(key), nullptr) << key;

        // The INI side of the registry: each module keeps its own sections.
        {
            rtl::IniFile ini(base / "modules.ini");
            s->get_module_list().save_to_ini(&ini);
            for (const char* section :
                 {"Sound", "CandleCounter", "DepthCalc", "DepthCalcOpts", "скважина", "конструкция_скважины"})
                EXPECT_TRUE(ini.SectionExists(section)) << section;
        }

        // The vocabulary reads the components the root holds.
        s->get_candle_counter().set(12);
        EXPECT_EQ(s->get_values().get("candles.value"), 12);
        EXPECT_EQ(s->get_values().get("tanks.whole_volume"), 0);
        EXPECT_EQ(s->get_values().get("pore.instr.total_len"), 0);
        std::vector<ValueParam> vocabulary;
        s->get_values().enum_values(vocabulary, false);
        EXPECT_EQ(vocabulary.size(), 34u);

        // The writer's names come through the root into the named values
        // and the set of current files.
        RealTimeFile& writer = s->get_data_storage().get_real_time_file();
        writer.calculate_file_names(base / "data/", 7);
        writer.set_filenames_to_values();
        EXPECT_EQ(s->get_values().get_variable("rtf.time_file_name"), writer.get_time_file_name());
        s->fill_cur_files_list();
        EXPECT_EQ(s->get_cur_files(), (std::set<AnsiString>{writer.get_time_file_name(), writer.get_depth_file_name(),
                                                            writer.get_lag_file_name(), writer.get_fast_file_name()}));
    });
}

TEST(System, RecordingLifecycleAndTheStateFile) {
    in_fresh_process([] {
        os::testing::TempDir base;
        os::set_program_dir_override(base.path());
        reg::System* s = sys();
        s->register_modules();
        DataStorage& ds = s->get_data_storage();
        RaceInfoOld& race = s->get_config().get_race_info();
        RaceTotal& totals = s->get_race_total();
        std::uint32_t now = 1000000;
        totals.set_clock([&] { return now; });
        ds.set_depth_z(100);
        ds.set_depth_cur(90);
        ds.host_counter = 3;
        race.well = "77";
        race.stream_text[2] = "только в потоке";
        s->get_config().get_min_max().add("вес_на_крюке");
        s->get_pore().get_options()->nomer = "77";
        s->get_pore().get_construction()->recalc_to_depth(1500);

        // The folder may come without its separator.
        s->save_to_file(base.path());
        const std::string file = base / "sys.bin";
        std::string saved = read_bytes(file);
        ASSERT_GE(saved.size(), 12u);
        EXPECT_EQ(saved.substr(0, 8), std::string("\x06\x04\x00\x00\x06\x04\x00\x00", 8));
        EXPECT_EQ(int_at(saved, 8), 15);  // the serial modules registered so far
        EXPECT_EQ(saved.substr(12, 14), std::string("AverageValues\0", 14));
        EXPECT_NE(saved.find(std::string("RaceInfoNew\0", 12)), std::string::npos);

        // Everything moves on; a reload brings the state back but keeps the
        // current depths.
        ds.set_depth_z(200);
        ds.set_depth_cur(150);
        ds.host_counter = 9;
        race.well = "другая";
        s->get_pore().get_options()->nomer = "78";
        s->get_pore().get_construction()->recalc_to_depth(1600);
        race.stream_text[2].clear();
        s->get_config().get_min_max().erase(8);
        ds.get_delayed_depth().add_record(DelayedDepthTime(190, 5));
        now = 1000100;
        s->before_work(7, true, base.path() + "/");
        EXPECT_TRUE(s->get_reg_active());
        EXPECT_EQ(s->get_values().get_variable("race_num"), "7");
        EXPECT_EQ(ds.get_depth_z(), 200);
        EXPECT_EQ(ds.get_depth_cur(), 150);
        EXPECT_EQ(ds.host_counter, 3);
        EXPECT_EQ(race.well, "77");
        EXPECT_EQ(s->get_pore().get_options()->nomer, "77");
        EXPECT_EQ(s->get_values().get("pore.constr.total_len"), 1500);
        EXPECT_EQ(race.stream_text[2], "только в потоке");
        EXPECT_EQ(s->get_config().get_min_max().size(), 9);
        // A continued trip takes its totals from the state; nothing restarts.
        EXPECT_EQ(totals.get_start_time(), 0u);
        EXPECT_EQ(s->get_values().get("race.start"), 0);

        HostData host;
        s->fill_host_data(host);
        EXPECT_TRUE(host.show_recalibration);

        now = 1000200;
        s->after_work(base.path() + "/");
        EXPECT_FALSE(s->get_reg_active());
        EXPECT_EQ(totals.get_stop_time(), 1000200u);
        EXPECT_EQ(totals.get_race_stop(), 200);
        EXPECT_EQ(read_bytes(file), saved);  // the host saves, not after_work

        race.well = "новая";
        now = 1000300;
        s->before_work(8, false, base.path() + "/");
        EXPECT_EQ(race.well, "новая");  // nothing loaded
        // A new trip: the lag queue starts at the bottom, the totals afresh.
        EXPECT_EQ(ds.get_delayed_depth().get_value(), 200);
        EXPECT_EQ(totals.get_start_time(), 1000300u);
        EXPECT_EQ(totals.get_stop_time(), 0u);
        EXPECT_EQ(s->get_values().get("race.start"), 200);
        EXPECT_EQ(s->get_values().get("ds.depth_lag"), 200);
        EXPECT_EQ(s->get_values().get_variable("race_num"), "8");
        EXPECT_TRUE(s->get_reg_active());
        EXPECT_FALSE(std::filesystem::exists(base / "registr.errors.log"));
    });
}

TEST(System, AStateFileOfAnotherVersionChangesNothing) {
    in_fresh_process([] {
        os::testing::TempDir base;
        os::set_program_dir_override(base.path());
        reg::System* s = sys();
        s->register_modules();
        s->get_data_storage().set_depth_z(50);
        s->save_to_file(base.path() + "/");
        std::string good = read_bytes(base / "sys.bin");
        s->get_data_storage().set_depth_z(60);

        std::string outer = good;
        outer[0] = 0x07;
        write_bytes(base / "sys.bin", outer);
        s->load_from_file(base.path() + "/");
        EXPECT_EQ(s->get_data_storage().get_depth_z(), 60);
        std::string log = error_log(*s);
        EXPECT_EQ(count_lines(log), 1);
        EXPECT_NE(log.find(") System::load_from_file : Ошибка чтения из файла '" + base.path() +
                           "/sys.bin': Не совпадает версия файла копии системы\r\n"),
                  std::string::npos)
            << log;

        std::string inner = good;
        inner[4] = 0x07;
        write_bytes(base / "sys.bin", inner);
        s->load_from_file(base.path() + "/");
        EXPECT_EQ(s->get_data_storage().get_depth_z(), 60);
        log = error_log(*s);
        EXPECT_EQ(count_lines(log), 2);
        EXPECT_NE(log.find("Serializator::deserialize: incorrect version"), std::string::npos);

        std::filesystem::remove(base / "sys.bin");
        s->load_from_file(base.path() + "/");
        EXPECT_EQ(count_lines(error_log(*s)), 3);
    });
}

TEST(System, ADamagedRecordIsLoggedAndTheOthersStillLoad) {
    in_fresh_process([] {
        os::testing::TempDir base;
        os::set_program_dir_override(base.path());
        reg::System* s = sys();
        s->register_modules();
        s->get_data_storage().set_depth_z(50);
        s->get_config().get_race_info().well = "12";
        s->save_to_file(base.path() + "/");
        std::string bytes = read_bytes(base / "sys.bin");
        // A count of 100000 rows in the alarm limits' record, whose
        // checksum is then made right again.
        auto at = bytes.find(std::string("MinMaxValues\0", 13));
        ASSERT_NE(at, std::string::npos);
        std::size_t data = at + 13 + 4;
        std::int32_t len = int_at(bytes, at + 13);
        std::int32_t huge = 100000;
        std::memcpy(&bytes[data], &huge, 4);
        unsigned sum = 85;
        for (std::int32_t i = 0; i < len; ++i) sum += static_cast<unsigned char>(bytes[data + i]);
        bytes[data + len] = static_cast<char>(sum);
        write_bytes(base / "sys.bin", bytes);

        s->get_data_storage().set_depth_z(60);
        s->get_config().get_race_info().well = "xx";
        s->get_config().get_min_max().add("a");
        s->load_from_file(base.path() + "/");
        EXPECT_EQ(s->get_data_storage().get_depth_z(), 50);
        EXPECT_EQ(s->get_config().get_race_info().well, "12");
        EXPECT_EQ(s->get_config().get_min_max().size(), 9);  // left as it was
        std::string log = error_log(*s);
        EXPECT_EQ(count_lines(log), 1);
        EXPECT_NE(log.find("MinMaxValues"), std::string::npos) << log;
    });
}

TEST(System, AFailedSaveIsLoggedAndLeavesTheOldFile) {
    in_fresh_process([] {
        os::testing::TempDir base;
        os::set_program_dir_override(base.path());
        reg::System* s = sys();
        s->register_modules();
        s->save_to_file(base.path() + "/");
        std::string before = read_bytes(base / "sys.bin");

        s->save_to_file(base.path() + "/missing/");
        std::string log = error_log(*s);
        EXPECT_NE(log.find("System::save_to_file : Ошибка записи в файл '" + base.path() + "/missing/sys.bin': "),
                  std::string::npos)
            << log;

        // A module that fails while the state is written.
        struct Broken : lib::SerialModule {
            void get_serial_list(lib::serial_list& l, unsigned) override {
                if (l.is_writing()) throw std::runtime_error("сломан");
            }
            void get_serial_name(std::string& n) override { n = "Broken"; }
        } broken;
        s->get_module_list().register_module("ZZZ", &broken);
        s->get_data_storage().set_depth_z(1);
        s->save_to_file(base.path() + "/");
        EXPECT_EQ(read_bytes(base / "sys.bin"), before);
        EXPECT_NE(error_log(*s).find("': сломан\r\n"), std::string::npos);
        s->get_module_list().unregister_module(&broken);
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(base.path()))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"registr.errors.log", "sys.bin"}));  // no temporary left
    });
}

TEST(System, EveryFrameRewritesTheSnapshot) {
    in_fresh_process([] {
        os::testing::TempDir base;
        os::set_program_dir_override(base.path());
        reg::System* s = sys();
        DataStorage& ds = s->get_data_storage();
        Param p;
        for (const char* name : {"давление_на_входе", "тальблок", "вес_на_крюке"}) {
            p.global_name = name;
            ds.get_par_tabl().add(p);
        }
        ds.set_depth_z(1500.5);
        ds.set_depth_cur(1490.25);
        ds.current_values[0] = 120.5;
        ds.current_values[1] = 12.75;
        ds.current_values[2] = 64;
        s->on_data();  // no "data" folder: skipped
        EXPECT_FALSE(std::filesystem::exists(base / "data"));

        std::filesystem::create_directory(base / "data");
        write_bytes(base / "data/kvb.dat", std::string(100, 'x'));
        s->on_data();
        std::string bytes = read_bytes(base / "data/kvb.dat");
        ASSERT_EQ(bytes.size(), 20u);
        float f[5];
        std::memcpy(f, bytes.data(), 20);
        EXPECT_EQ(f[0], 1500.5f);
        EXPECT_EQ(f[1], 1490.25f);
        EXPECT_EQ(f[2], 64.0f);
        EXPECT_EQ(f[3], 12.75f);
        EXPECT_EQ(f[4], 120.5f);
        ds.set_depth_z(1501);
        s->on_data();
        bytes = read_bytes(base / "data/kvb.dat");
        ASSERT_EQ(bytes.size(), 20u);
        std::memcpy(f, bytes.data(), 20);
        EXPECT_EQ(f[0], 1501.0f);  // written over the last snapshot
        EXPECT_EQ(f[4], 120.5f);
    });
}

TEST(System, AssignCopiesTheStateOfAnotherRoot) {
    in_fresh_process([] {
        os::testing::TempDir one, two;
        reg::System a(one.path()), b(two.path());
        a.register_modules();
        b.register_modules();
        a.get_data_storage().set_depth_z(42);
        a.get_config().get_race_info().bit_diameter = 215.9;
        b.assign(a);
        EXPECT_EQ(b.get_data_storage().get_depth_z(), 42);
        EXPECT_EQ(b.get_config().get_race_info().bit_diameter, 215.9);
        EXPECT_EQ(b.get_values().get("config.race_info.doloto_diametr"), 215.9);
    });
}

TEST(System, TheProtocolsReadTheHubThroughTheRoot) {
    in_fresh_process([] {
        os::testing::TempDir base;
        reg::System root(base.path());
        hardware::HubAccess* hub = &root.get_hub_access();

        EXPECT_EQ(hub->get_config_value("общий_вес_колонны"), 5.0);
        EXPECT_EQ(hub->get_config_value("коэффицент_полиспаста"), 10.0);
        EXPECT_EQ(hub->get_config_value("рот_имп_на_оборот"), 1.0);
        EXPECT_EQ(hub->get_config_value("нет_такого"), 0.0);
        root.get_config().pult_indicator.values[3] = 200;
        EXPECT_EQ(hub->get_indicator_code(3), 200);
        EXPECT_EQ(hub->get_indicator_code(8), -1);
        double max = 0;
        EXPECT_TRUE(hub->get_limit_max("нагрузка", max));
        EXPECT_EQ(max, 30.0);
        EXPECT_FALSE(hub->get_limit_max("вес_на_крюке", max));

        Param p;
        p.global_name = "вес_на_крюке";
        p.range = 2;
        p.zero = 0.5f;
        p.points = {{0.5, 10}, {4.5, 90}};
        root.get_data_storage().get_par_tabl().add(p);
        root.get_data_storage().current_values[0] = 64;
        root.get_data_storage().crush_flags[0] = 1;
        root.get_data_storage().set_depth_z(1200);
        hardware::Calibration cal;
        ASSERT_TRUE(hub->get_calibration("вес_на_крюке", cal));
        EXPECT_EQ(cal.gain, 2.0);
        EXPECT_EQ(cal.offset, 0.5);
        ASSERT_EQ(cal.points.size(), 2u);
        EXPECT_EQ(cal.points[1], (std::pair<double, double>(4.5, 90)));
        EXPECT_FALSE(hub->get_calibration("тальблок", cal));
        EXPECT_EQ(hub->get_average("вес_на_крюке"), 64);
        EXPECT_TRUE(hub->get_failure("вес_на_крюке"));
        EXPECT_EQ(hub->get_bottom_depth(), 1200);

        hub->set_variable("pult.voltage", "24,5");
        EXPECT_EQ(root.get_values().get_variable("pult.voltage"), "24,5");
        EXPECT_EQ(hub->get_float_variable("pult.voltage"), 24.5);

        HostData host;
        root.fill_host_data(host);
        ASSERT_TRUE(host.read_channel);
        EXPECT_EQ(host.read_channel(0), root.get_protocols().get_last_adc_value(0));
    });
}

TEST(System, TheEventLogStampsTheTripOfTheConfiguration) {
    in_fresh_process([] {
        os::testing::TempDir base;
        reg::System root(base.path());
        std::filesystem::create_directory(base / "log");
        RegistrLogOld& log = root.get_registr_log();
        log.set_file_name(base.path(), "log", "events.log");
        root.get_config().nomer_dolbleniya = 12;
        {
            // As the host callback does: under the hub lock.
            lib::Locker hold(sys_lock_obj());
            log.add("событие");
        }
        while (ui::main_queue().process_messages() > 0) {}
        auto entries = log.read_entries();
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries[0].race, 12);
        EXPECT_EQ(read_bytes(base / "log/events.log").substr(0, 3), "12 ");
    });
}

TEST(System, TheRemarksTravelInTheStateFile) {
    in_fresh_process([] {
        os::testing::TempDir base;
        reg::System root(base.path());
        root.register_modules();
        text::Storage& remarks = root.get_remarks();
        EXPECT_EQ(root.get_module_list().find("TextRemarks"), static_cast<lib::ModuleBaseOld*>(&remarks));
        text::Record r;
        r.time = 1234;
        r.text = "на забое";
        remarks.add_record(r);
        r.time = 99;
        remarks.add_record(r);
        remarks.delete_record(0);
        root.save_to_file(base.path());
        EXPECT_NE(read_bytes(base / "sys.bin").find(std::string("text::Storage\0", 14)), std::string::npos);

        reg::System other(base.path());
        other.register_modules();
        other.load_from_file(base.path());
        ASSERT_EQ(other.get_remarks().size(), 1);
        EXPECT_EQ(other.get_remarks()[0].text, "на забое");
        ASSERT_EQ(other.get_remarks().get_deleted_records().size(), 1u);
        EXPECT_EQ(other.get_remarks().get_deleted_records()[0].time, 99u);
        EXPECT_FALSE(std::filesystem::exists(base / "registr.errors.log"));
    });
}

TEST(System, TheViewFileSamplesTheFrame) {
    in_fresh_process([] {
        os::testing::TempDir base;
        reg::System root(base.path());
        vf::ViewFile& view = root.get_view_file();
        ASSERT_TRUE(view.set_name(base / "day.view")) << view.last_error();
        AllParams& all = get_all_params();
        // A parameter registered beyond the file's 512 columns.
        while (all.get_items_count() < 520)
            all.register_param("доп", "доп", "", "доп_" + std::to_string(all.get_items_count()), 0, 1, 0, 1, 0, 0, 1,
                               0);
        const std::string beyond = "доп_519";
        const int far = all.get_param_number(beyond);
        ASSERT_GE(far, 512);

        DataStorage& ds = root.get_data_storage();
        for (const char* name : {"давление_на_входе", "вес_на_крюке"}) {
            Param p;
            p.global_name = name;
            ds.get_par_tabl().add(p);
        }
        Param p;
        p.global_name = beyond;
        ds.get_par_tabl().add(p);
        ds.current_values[0] = 12;
        ds.current_values[1] = 64;
        ds.current_values[2] = 99;
        ds.set_depth_z(1200);
        ds.set_depth_cur(1100);
        root.get_candle_counter().set(12);
        root.get_candle_counter().set_pipe(3);
        ASSERT_TRUE(view.add_record());

        // Columns follow the registry's numbers, not the table's positions.
        const int n = all.get_param_number("вес_на_крюке");
        EXPECT_EQ(view.get_value(n, 0), 64);
        EXPECT_EQ(view.get_value(all.get_param_number("давление_на_входе"), 0), 12);
        vf::Overhead o = view.get_overhead(0);
        EXPECT_EQ(o.pipes, 12.3f);
        EXPECT_EQ(o.depth_z, 1200.0f);
        EXPECT_EQ(o.depth_cur, 1100.0f);
        int stored = 0;
        for (int c = 0; c < vf::max_params; ++c)
            if (view.get_value(c, 0) != 0) ++stored;
        EXPECT_EQ(stored, 2);
    });
}

// The hub's vocabulary, as the station names its values. The well's own
// entries ("pore.*") belong to the well data and are checked there.
TEST(System, TheVocabularyNamesEveryHubValue) {
    struct Entry {
        const char* name;
        const char* title;
        const char* unit;
        int type;
    };
    static const Entry expected[] = {
        {"candles.value", "Количество свечей", "", 3},
        {"candles.pipe", "Количество трубок", "", 3},
        {"candles.value_out", "Количество свечей вне скважины", "", 3},
        {"candles.pipe_out", "Количество трубок вне скважины", "", 3},
        {"ds.depth_z", "Глубина забоя", "м", 0},
        {"ds.depth_cur", "Глубина инструмента", "м", 0},
        {"ds.depth_lag", "Задержанная глубина", "м", 0},
        {"race.lag_time2", "Время до выхода метки", "", 2},
        {"race.prohodka", "Проходка за рейс", "м", 0},
        {"race.start", "Глубина начала рейса", "м", 0},
        {"race.circ_time", "Время циркуляции", "", 1},
        {"race.nasos_rastvor_volume", "V перекаченного р-ра", "м3", 0},
        {"race.spo_time", "Время СПО", "", 1},
        {"race.spo_up_time", "Время подъема инструмента", "", 1},
        {"race.spo_down_time", "Время спуска инструмента", "", 1},
        {"race.drill_time", "Время бурения", "", 1},
        {"race.registr_time", "Время регистрации", "", 1},
        {"race.prorab_time", "Время проработки", "", 1},
        {"race.prom_time", "Время промывки", "", 1},
        {"race.other_time", "Прочее время", "", 1},
        {"tanks.active_volume", "V р-ра в актив. ёмкостях", "м3", 0},
        {"tanks.doliv_volume", "V р-ра в долив. ёмкостях", "м3", 0},
        {"tanks.in_volume", "V р-ра в приёмных ёмкостях", "м3", 0},
        {"tanks.whole_volume", "V р-ра во всех ёмкостях", "м3", 0},
        {"config.race_info.doloto_diametr", "Диаметр долота", "мм", 0},
        {"config.race_info.kavern_koeff", "Коэффициент кавернозности", "", 0},
        {"ds.depth_uz", "Над забоем", "м", 0},
        {"config.w_kol", "Общий вес колонны", "т", 0},
    };
    in_fresh_process([] {
        os::testing::TempDir base;
        reg::System root(base.path());
        Values& values = root.get_values();
        std::vector<ValueParam> list;
        values.enum_values(list, false);
        for (const Entry& e : expected) {
            auto it =
                std::find_if(list.begin(), list.end(), [&](const ValueParam& p) { return p.global_name == e.name; });
            ASSERT_NE(it, list.end()) << e.name;
            EXPECT_EQ(it->name, e.title) << e.name;
            EXPECT_EQ(it->units, e.unit) << e.name;
            EXPECT_EQ(static_cast<int>(it->type), e.type) << e.name;
        }

        // A scripted trip: six cycles through every operation.
        DataStorage& ds = root.get_data_storage();
        Param inflow;
        inflow.global_name = "расход_на_входе";
        ds.get_par_tabl().add(inflow);
        ds.current_values[0] = 20;  // l/s
        ds.set_depth_z(500);
        ds.set_depth_cur(400);
        root.before_work(1, false, base.path() + "/");
        RaceTotal& race = root.get_race_total();
        struct Cycle {
            OperType op;
            double depth_cur;
        };
        for (const Cycle& c : {Cycle{1, 410}, Cycle{1, 405}, Cycle{1, 405}, Cycle{2, 405}, Cycle{3, 405}, Cycle{4, 405},
                               Cycle{0, 405}}) {
            ds.set_operation(c.op);
            ds.set_depth_cur(c.depth_cur);
            race.calculate();
            root.on_data();
        }
        struct Count {
            const char* name;
            double value;
        };
        for (const Count& c : {Count{"race.spo_time", 3}, Count{"race.spo_down_time", 1}, Count{"race.spo_up_time", 1},
                               Count{"race.drill_time", 1}, Count{"race.prorab_time", 1}, Count{"race.prom_time", 1},
                               Count{"race.other_time", 1}, Count{"race.registr_time", 7}, Count{"race.circ_time", 7}})
            EXPECT_EQ(values.get(c.name), c.value) << c.name;
        EXPECT_DOUBLE_EQ(values.get("race.nasos_rastvor_volume"), 7 * 0.02);
        EXPECT_EQ(values.get("race.start"), 500);
        EXPECT_EQ(values.get("ds.depth_uz"), 95);

        // Live: changing a source changes the next read.
        candles::CandleCounter& candles = root.get_candle_counter();
        VEmkOpts& tanks = root.get_tanks();
        RaceInfoOld& trip = root.get_config().get_race_info();
        DelayedDepth& lag = ds.get_delayed_depth();
        struct Live {
            const char* name;
            std::function<void()> change;
            std::function<double()> source;
        };
        const Live live[] = {
            {"candles.value", [&] { candles.set(17); }, [] { return 17.0; }},
            {"candles.pipe", [&] { candles.set_pipe(3); }, [] { return 3.0; }},
            {"candles.value_out", [&] { candles.set_max_count(40); }, [] { return 23.0; }},
            {"candles.pipe_out", [&] {}, [&] { return double(candles.get_out_pipe()); }},
            {"ds.depth_z", [&] { ds.set_depth_z(512.5); }, [] { return 512.5; }},
            {"ds.depth_cur", [&] { ds.set_depth_cur(450.25); }, [] { return 450.25; }},
            {"ds.depth_uz", [] {}, [] { return 512.5 - 450.25; }},
            {"race.prohodka", [&] { race.calculate(); }, [&] { return race.get_prohodka(); }},
            {"ds.depth_lag",
             [&] {
                 lag.clear();
                 lag.add_record(DelayedDepthTime(505, 5));
                 lag.add_record(DelayedDepthTime(509, 20));
                 lag.process_records(5);
                 lag.calc(1, 1.0f);
             },
             [] { return 505.0; }},
            {"race.lag_time2", [] {}, [&] { return double(lag.get_time_to_depth_out()); }},
            {"tanks.whole_volume",
             [&] {
                 tanks[0].calc_volume(2);
                 tanks[1].set_in_tank(true);
                 tanks[1].set_doliv(false);
                 tanks[1].calc_volume(1);
                 tanks[2].set_used(false);
                 tanks[2].calc_volume(0.5f);
                 tanks.calc_total();
             },
             [] { return 105.0; }},
            {"tanks.active_volume", [] {}, [] { return 90.0; }},
            {"tanks.doliv_volume", [] {}, [&] { return double(tanks.get_whole_doliv_v()); }},
            {"tanks.in_volume", [] {}, [] { return 30.0; }},
            {"config.race_info.doloto_diametr", [&] { trip.bit_diameter = 215.9; }, [] { return 215.9; }},
            {"config.race_info.kavern_koeff", [&] { trip.kavern_koeff = 1.15; }, [] { return 1.15; }},
            // A float option, widened: 0.1f is not 0.1.
            {"config.w_kol", [&] { root.get_config().w_kol = 0.1f; }, [] { return double(0.1f); }},
        };
        for (const Live& l : live) {
            l.change();
            EXPECT_EQ(values.get(l.name), l.source()) << l.name;
        }
        EXPECT_NE(values.get("race.prohodka"), 0);
        EXPECT_NE(values.get("race.lag_time2"), 0);
        EXPECT_NE(values.get("config.w_kol"), 0.1);
        // The trip times are whole counts of cycles.
        for (const char* name : {"race.circ_time", "race.spo_time", "race.registr_time"}) {
            double v = values.get(name);
            EXPECT_EQ(v, std::floor(v)) << name;
        }
    });
}

}  // namespace

TEST(System, TheWellDataFeedsTheVocabularyTheCalculationsAndTheTripHeader) {
    in_fresh_process([] {
        os::testing::TempDir base;
        reg::System root(base.path());
        pore::PoreOpt& well = root.get_pore();
        // The old accessors reach the new owners.
        EXPECT_EQ(&root.get_instr_items(), well.get_instr());
        EXPECT_EQ(&root.get_race_total(), &root.get_calc_values().get_race_total());
        EXPECT_EQ(&root.get_tanks(), &root.get_calc_values().get_tanks());
        EXPECT_EQ(&root.get_candle_counter(), &root.get_calc_values().get_candle_counter());

        pore::Construction& c = *well.get_construction();
        c.at(1).enabled = true;
        c.at(1).bottom = 500;
        c.at(1).inner_diameter = 300;
        c.at(8).enabled = true;
        c.at(8).top = 500;
        c.at(8).bottom = 1500;
        c.at(8).inner_diameter = 200;
        instr::Items& s = *well.get_instr();
        instr::Elem& pipes = s.get(s.add_new());
        pipes.type = instr::elem_type::stand;
        pipes.count = 10;
        pipes.lengths = {12.5f, 12.5f};
        pipes.diameter = 100;
        pipes.wall = 10;
        root.get_config().get_race_info().kavern_koeff = 1.5;
        root.get_candle_counter().set(4);
        root.get_candle_counter().set_pipe(1);

        Values& v = root.get_values();
        const double hole = M_PI / 4 * (0.3 * 0.3 * 500 + 0.2 * 0.2 * 1000);
        const double steel_per_m = M_PI / 4 * (0.1 * 0.1 - 0.08 * 0.08);
        EXPECT_NEAR(v.get("pore.constr.total_volume"), 1.5 * hole, 1e-3);
        EXPECT_NEAR(v.get("pore.rastvor_volume"), 1.5 * hole - steel_per_m * (4 * 25 + 12.5), 1e-3);
        EXPECT_EQ(v.get("pore.constr.total_len"), 1500);
        EXPECT_EQ(v.get("pore.constr.column_bottom"), 500);
        EXPECT_EQ(v.get("pore.instr.total_count"), 10);
        EXPECT_EQ(v.get("pore.instr.total_len"), 250);

        // One frame through the root's calculations.
        Param p;
        p.global_name = "глубина_инстр_пром";
        root.get_data_storage().get_par_tabl().add(p);
        calc::CalcValuesData frame{&well, &root.get_data_storage(), 1};
        root.get_calc_values().calc_and_store(frame);
        EXPECT_EQ(root.get_data_storage().current_values["глубина_инстр_пром"], 250);
        EXPECT_FALSE(std::filesystem::exists(base / "registr.errors.log"));

        // The trip header takes the well description.
        pore::Options& o = *well.get_options();
        o.mestorozhdenie = "Поле";
        o.nomer = "12";
        o.ubr = "УБР-3";
        o.partiya_gti = "партия 5";
        o.operatory = "Иванов";
        o.master = "Петров";
        o.kust = "9";
        o.well_diameter = 215.9;
        RealTimeFile& writer = root.get_data_storage().get_real_time_file();
        std::filesystem::create_directories(base / "data");
        writer.calculate_file_names(base / "data/", 3);
        writer.start_save_thread();
        writer.save_begin_race_data(writer.get_time_file_name(), true);
        EXPECT_TRUE(writer.wait_until_written(std::chrono::seconds(60)));
        writer.stop_save_thread();
        const std::string header = rtl::cp1251_to_utf8(read_bytes(writer.get_time_file_name()));
        for (const char* line : {"месторождение=Поле", "скважина=12", "убр=УБР-3", "партия_гти=партия 5",
                                 "оператор=Иванов", "мастер=Петров", "куст=9", "диаметр_скважины=215,9"})
            EXPECT_NE(header.find(line), std::string::npos) << line;
    });
}
