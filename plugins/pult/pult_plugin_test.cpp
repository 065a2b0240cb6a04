#include "plugins/pult/pult_plugin.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <future>
#include <map>
#include <thread>

#include "gti/registr_old/data_storage.h"
#include "gti/registr_old/par_tabl.h"
#include "gti/registr_old/reg_system.h"
#include "gti/registr_old/root_testing.h"
#include "gti/registr_old/sys_lock.h"
#include "gti/registr_old/values.h"
#include "library/lock_object.h"
#include "platform/os/error_log.h"
#include "platform/os/paths.h"
#include "platform/os/testing.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/ini_file.h"
#include "platform/ui/display.h"
#include "platform/ui/extctrls.h"
#include "platform/ui/lists.h"
#include "platform/ui/stdctrls.h"
#include "platform/ui/test_driver.h"
#include "plugins/pult/pult_blocks.h"
#include "plugins/pult/pult_form.h"
#include "plugins/pult/pult_opt_form.h"
#include "plugins/pult/pult_sources.h"

namespace {

using namespace pult;

// What the test's hub reads besides the frame: values by name, and whether
// recording runs.
std::map<std::string, double>& values() {
    static std::map<std::string, double> v;
    return v;
}
bool g_recording = true;
reg::RegPlugin* g_activated = nullptr;
std::vector<std::string>& logged() {
    static std::vector<std::string> lines;
    return lines;
}

void in_station(const std::function<void()>& body) {
    root_testing::in_fresh_process([&] {
        os::testing::TempDir dir;
        os::set_program_dir_override(dir.path());
        body();
    });
}

Param param(const char* name, int channel, std::vector<UnitCalibrPoint> points, const char* short_name = "") {
    Param p;
    p.global_name = name;
    p.name = name;
    p.short_name = short_name;
    p.channel = channel;
    p.points = std::move(points);
    return p;
}

// The plug-in on the real hub, its calibration parameters in the table, the
// test's values registered, the recording switch and activation its own.
struct Console {
    PultPlugin plugin;
    std::vector<std::pair<int, int>> beeps;

    Console() {
        {
            lib::Locker hold(sys_lock_obj());
            ParTabl& t = sys()->get_data_storage().get_par_tabl();
            t.add(param("вес_на_крюке", 0, {{0, 0}, {2.5, 250}}, "вес"));
            t.add(param("давление_на_входе", 1, {{0, 0}, {2.5, 40}}));
            t.add(param("момент_ротора", 3, {{0, 0}, {2.5, 50}}));
            t.add(param("момент_на_ключе", 9, {{0, 0}, {2.5, 10}}));
            for (const char* name : {"сумм_газ", "водород", "уровень_в_емкости", "уровень_в_емкости3",
                                     "плотность_на_входе", "плотн_пж_вых_радиоакт"})
                sys()->get_values().register_value(name, "", "", vt_param,
                                                   [n = std::string(name)] { return values()[n]; });
        }
        reg::set_host_callbacks(plugin);
        plugin.set_root(sys());
        plugin.host_get_reg_active = [] { return g_recording; };
        plugin.host_set_plugin_active = [](reg::RegPlugin* p) { g_activated = p; };
        plugin.host_add_error = [](reg::RegPlugin*, const AnsiString& text) { logged().push_back(text); };
        plugin.set_beep([this](int hz, int ms) { beeps.emplace_back(hz, ms); });
        plugin.event(reg::pe_params_changed, {});
    }
    // The command of the block offered, 0 when none.
    int offer() {
        AnsiString header;
        std::vector<char> data;
        if (!plugin.send_data_to_pult(header, data)) return 0;
        EXPECT_EQ(header, "EX_OPTS");
        EXPECT_EQ(data.size(), 202u);
        last = data;
        return std::uint8_t(data[0]) | std::uint8_t(data[1]) << 8;
    }
    static std::string variable(const char* name) { return sys()->get_values().get_variable(name); }
    static void set_variable(const char* name, const std::string& v) { sys()->get_values().set_variable(name, v); }
    std::vector<char> last;
};

TEST(PultPlugin, DescribesItselfAndKeepsItsOptionsInItsSection) {
    in_station([] {
        Console c;
        reg::PluginInfo info;
        c.plugin.fill_plugin_info(info);
        EXPECT_EQ(info.title, "Пульт бурильщика");
        EXPECT_EQ(info.module_name, "PultPlugin");
        EXPECT_EQ(info.menu_caption, "Пульт бурильщика");
        EXPECT_EQ(info.page_visible, 1);
        EXPECT_EQ(info.flags, 7);
        EXPECT_EQ(pult_plugin(), &c.plugin);

        const std::string file = os::program_dir() + "/opts.ini";
        PultOptions o = c.plugin.options_snapshot();
        o.text = "Обед";
        o.degaz_cont_type = dct_manual;
        o.indi_gaz = 3;
        o.light = 12;
        c.plugin.apply_options(o);
        c.plugin.save(file);
        rtl::IniFile ini(file);
        EXPECT_EQ(ini.ReadString("PultPlugin", "degaz_cont_type", ""), "02000000");
        EXPECT_EQ(ini.ReadString("PultPlugin", "indi_gaz", ""), "03000000");
        EXPECT_EQ(ini.ReadInteger("PultPlugin", "light", 0), 12);
        // The phrases each in quotes, the time placeholder first.
        const std::string variants = ini.ReadString("PultPlugin", "text_variants", "");
        EXPECT_EQ(variants.rfind("\"* ТЕКУЩЕЕ ВРЕМЯ *\",\"А где все ?\",\"Авария\",", 0), 0u) << variants;
        EXPECT_NE(variants.find(",\"Так держать\""), std::string::npos);

        PultPlugin::Beep none;
        c.plugin.apply_options(PultOptions());
        c.plugin.load(file);
        const PultOptions back = c.plugin.options_snapshot();
        EXPECT_EQ(back.text, "Обед");
        EXPECT_EQ(back.degaz_cont_type, dct_manual);
        EXPECT_EQ(back.indi_gaz, 3);
        EXPECT_EQ(back.text_variants, PultOptions().text_variants);
    });
}

// The mode is stored as four raw bytes, so a damaged or foreign file can
// hold any number there. The console knows only manual (2) and automatic:
// anything else loads as automatic, which is what its block says, and the
// console is told so at the first chance.
TEST(PultPlugin, AStoredDegasserModeOutsideItsTwoLoadsAsAutomatic) {
    const std::pair<const char*, DegazContType> cases[] = {
        {"00000000", dct_auto}, {"07000000", dct_auto},   {"FFFFFFFF", dct_auto},
        {"01000000", dct_auto}, {"02000000", dct_manual},
    };
    for (const auto& [stored, mode] : cases)
        in_station([stored = stored, mode = mode] {
            const std::string file = os::program_dir() + "/opts.ini";
            {
                rtl::IniFile ini(file);
                ini.WriteString("PultPlugin", "degaz_cont_type", stored);
            }
            Console c;
            std::vector<std::string> errors;
            os::set_error_sink([&](std::string_view m) { errors.emplace_back(m); });
            c.plugin.load(file);
            os::set_error_sink(nullptr);
            const bool known = std::string(stored) == "01000000" || std::string(stored) == "02000000";
            ASSERT_EQ(errors.size(), known ? 0u : 1u) << stored;
            if (!known) {
                EXPECT_NE(errors[0].find("degaz_cont_type"), std::string::npos) << errors[0];
            }
            EXPECT_EQ(c.plugin.options_snapshot().degaz_cont_type, mode) << stored;
            EXPECT_EQ(c.plugin.degaz_mode(), mode) << stored;
            EXPECT_EQ(c.offer(), cmd_light);
            EXPECT_EQ(c.offer(), cmd_degaz) << stored;
            EXPECT_EQ(c.last[2], mode == dct_manual ? 1 : 0) << stored;
            // The window's label agrees with what the console was sent.
            c.plugin.show(true);
            EXPECT_EQ(c.plugin.form()->lblDegazState->Caption(), mode == dct_manual ? "Выключен" : "Авто.") << stored;
        });
}

TEST(PultPlugin, BlockSelectionAndTheCalibrationSequence) {
    in_station([] {
        Console c;
        EXPECT_EQ(c.offer(), cmd_light);  // the first call is forced
        EXPECT_EQ(c.last[2], 7);
        // The console has had no degasser state yet: the automatic mode.
        EXPECT_EQ(c.offer(), cmd_degaz);
        EXPECT_EQ(c.last[2], 0);
        EXPECT_EQ(c.offer(), 0);
        c.plugin.set_degaz(dct_manual, true);
        EXPECT_EQ(c.offer(), cmd_degaz);
        EXPECT_EQ(c.last[2], 3);
        EXPECT_EQ(c.offer(), 0);

        // The tables, one a call; a brightness change in between goes first
        // and the sequence goes on where it stopped.
        c.plugin.calibrate();
        EXPECT_EQ(c.offer(), cmd_short_tables);
        EXPECT_EQ(std::uint8_t(c.last[2]), 2);           // "вес_на_крюке": two points
        EXPECT_EQ(std::uint8_t(c.last[2 + 32 + 1]), 1);  // "давление_на_входе" on channel 1
        EXPECT_EQ(c.offer(), cmd_hook_load_table);
        c.plugin.set_light(3);
        EXPECT_EQ(c.offer(), cmd_light);
        EXPECT_EQ(c.last[2], 3);
        EXPECT_EQ(c.offer(), cmd_pressure_table);
        EXPECT_EQ(c.offer(), cmd_torque_table);
        EXPECT_EQ(c.offer(), cmd_tong_torque_table);
        EXPECT_EQ(std::uint8_t(c.last[3]), 9);
        EXPECT_TRUE(c.beeps.empty());
        EXPECT_EQ(c.offer(), cmd_zero_pressure);
        float zero;
        std::memcpy(&zero, c.last.data() + 2, 4);
        EXPECT_EQ(zero, 10.0f);
        EXPECT_FALSE(c.plugin.options_snapshot().have_to_send_indi);
        EXPECT_EQ(c.beeps, (std::vector<std::pair<int, int>>{{600, 300}}));
        EXPECT_EQ(c.offer(), 0);

        // A host still holding a block it could not send is offered nothing,
        // and the call does not count.
        c.plugin.set_light(4);
        AnsiString header = "EX_OPTS";
        std::vector<char> pending(202, 'x');
        const long calls = PultPlugin::call_count();
        EXPECT_FALSE(c.plugin.send_data_to_pult(header, pending));
        EXPECT_EQ(pending, std::vector<char>(202, 'x'));
        EXPECT_EQ(PultPlugin::call_count(), calls);
        EXPECT_EQ(c.offer(), cmd_light);

        // Every 120th call restores the brightness; a degasser change on
        // that call waits for the next one.
        while (PultPlugin::call_count() % 120 != 0) EXPECT_EQ(c.offer(), 0);
        c.plugin.set_degaz(dct_auto, false);
        EXPECT_EQ(c.offer(), cmd_light);
        EXPECT_EQ(c.offer(), cmd_degaz);
        EXPECT_EQ(c.last[2], 0);
        // Recording starts: the brightness again.
        c.plugin.start_registration(1, false);
        EXPECT_EQ(c.offer(), cmd_light);
    });
}

TEST(PultPlugin, TextLineFromItsSource) {
    in_station([] {
        Console c;
        {
            lib::Locker hold(sys_lock_obj());
            DataStorage& ds = sys()->get_data_storage();
            ds.current_values["вес_на_крюке"] = 112.5;
            ds.set_depth_z(1234.5);
            ds.set_depth_cur(1200.5);
        }
        c.plugin.set_date_time_source([] { return rtl::EncodeDate(2024, 3, 1) + rtl::EncodeTime(9, 5, 59, 0); });
        struct Case {
            const char* text_param;
            const char* text;
            const char* want;
        };
        const Case cases[] = {
            {"", "Обед", "Обед"},
            {"", "  * текущее время * ", "ВРЕМЯ 9:05"},
            {"ds.depth_z", "", "Забой 1234,5м"},
            {"ds.depth_cur", "", "Инстр. 1200,5м"},
            {"вес_на_крюке", "", "ВЕС 112,5"},
            {"нет_такого", "", ""},
            {"wob_optim.pult_text", "", "НАГРУЗКА 12"},
        };
        Console::set_variable("wob_optim.pult_text", "НАГРУЗКА 12");
        for (const Case& k : cases) {
            PultOptions o = c.plugin.options_snapshot();
            o.text_param = k.text_param;
            o.text = k.text;
            c.plugin.apply_options(o);
            c.plugin.data();
            EXPECT_EQ(Console::variable("pult.text"), k.want) << k.text_param << " " << k.text;
        }
        EXPECT_EQ(Console::variable("pult.time_text"), "ВРЕМЯ 9:05");
    });
}

TEST(PultPlugin, IndicatorSources) {
    in_station([] {
        Console c;
        {
            lib::Locker hold(sys_lock_obj());
            sys()->get_data_storage().set_depth_z(100);
            sys()->get_data_storage().set_depth_cur(90.5);
        }
        values() = {{"сумм_газ", 1.5},
                    {"водород", 0.25},
                    {"уровень_в_емкости", 1.1},
                    {"уровень_в_емкости3", 0.7},
                    {"плотность_на_входе", 1.18},
                    {"плотн_пж_вых_радиоакт", 1.21}};
        struct Case {
            int depth, gaz, level, plotn;
            const char *cur_depth, *gas, *level_v, *plotn_v;
        };
        const Case cases[] = {
            {1, 0, 1, 1, "9,5", "1,5", "1,1", "1,18"},
            {0, 3, 3, 2, "90,5", "0,25", "0,7", "1,21"},
            {5, 9, 0, 7, "0", "0", "0", "0"},
        };
        for (const Case& k : cases) {
            PultOptions o = c.plugin.options_snapshot();
            o.indi_depth = k.depth;
            o.indi_gaz = k.gaz;
            o.indi_level = k.level;
            o.indi_plotn = k.plotn;
            c.plugin.apply_options(o);
            c.plugin.data();
            EXPECT_EQ(Console::variable("pult.cur_depth"), k.cur_depth) << k.depth;
            EXPECT_EQ(Console::variable("pult.gaz_indi"), k.gas) << k.gaz;
            EXPECT_EQ(Console::variable("pult.level_indi"), k.level_v) << k.level;
            EXPECT_EQ(Console::variable("pult.plotn_indi"), k.plotn_v) << k.plotn;
        }
    });
}

TEST(PultPlugin, SupplyAlarm) {
    in_station([] {
        Console c;
        auto supply = [&](double volts, double temp, double v5, double v12) {
            Console::set_variable("pult.voltage", rtl::FloatToStr(volts));
            Console::set_variable("pult.tempr", rtl::FloatToStr(temp));
            Console::set_variable("pult.+5v", rtl::FloatToStr(v5));
            Console::set_variable("pult.+12v", rtl::FloatToStr(v12));
            c.beeps.clear();
            g_activated = nullptr;
            c.plugin.data();
            return !c.beeps.empty();
        };
        g_recording = false;
        EXPECT_FALSE(supply(2.0, 25, 5, 12));  // not recording: nothing
        g_recording = true;
        EXPECT_TRUE(supply(2.0, 25, 5, 12));
        EXPECT_EQ(c.beeps, (std::vector<std::pair<int, int>>{{2500, 50}}));
        EXPECT_EQ(g_activated, &c.plugin);
        EXPECT_FALSE(supply(3.3, 80, 5, 12));
        EXPECT_TRUE(supply(3.3, 80.1, 5, 12));
        EXPECT_FALSE(supply(0, 0, 0, 0));  // a console that reports nothing
        // The onset is logged once, not every cycle.
        ASSERT_EQ(logged().size(), 2u);
        EXPECT_EQ(logged()[0], "Питание пульта бурильщика вне допуска: pult.voltage = 2,0 (3 - 3,6)");
        EXPECT_EQ(logged()[1], "Питание пульта бурильщика вне допуска: pult.tempr = 80,1 (-60 - 80)");

        // A sensor on the +12 V channel: that rail is not checked.
        {
            lib::Locker hold(sys_lock_obj());
            sys()->get_data_storage().get_par_tabl().add(param("датчик", 21, {}));
        }
        c.plugin.start_registration(1, false);
        EXPECT_FALSE(supply(3.3, 25, 5, 0.5));
        EXPECT_TRUE(supply(3.3, 25, 4.0, 0.5));
        // Without the check nothing alarms; switched off, activation stays off.
        c.plugin.set_alarm_activation(false);
        EXPECT_TRUE(supply(2.0, 25, 5, 12));
        EXPECT_EQ(g_activated, nullptr);
        PultOptions o = c.plugin.options_snapshot();
        o.use_volt_check = false;
        c.plugin.apply_options(o);
        EXPECT_FALSE(supply(2.0, 25, 5, 12));
    });
}

TEST(PultPlugin, ChangedCalibrationsAreSentAgain) {
    in_station([] {
        Console c;
        auto change = [](const char* name) {
            lib::Locker hold(sys_lock_obj());
            ParTabl& t = sys()->get_data_storage().get_par_tabl();
            t[name].points = {{0, 0}, {1, 5}, {2.5, 77}};
        };
        change("момент_на_ключе");  // sent with the tables, not watched
        sys()->params_changed_signal();
        EXPECT_FALSE(c.plugin.options_snapshot().have_to_send_indi);
        change("момент_ротора");
        sys()->params_changed_signal();
        EXPECT_TRUE(c.plugin.options_snapshot().have_to_send_indi);
        EXPECT_EQ(c.offer(), cmd_light);
        EXPECT_EQ(c.offer(), cmd_degaz);
        EXPECT_EQ(c.offer(), cmd_short_tables);
        EXPECT_EQ(c.offer(), cmd_hook_load_table);

        // The hook load recalibrated after its table went out: the sequence
        // starts again and both of its records carry the new points.
        {
            lib::Locker hold(sys_lock_obj());
            sys()->get_data_storage().get_par_tabl()["вес_на_крюке"].points = {{0, 0}, {1, 30}, {2.5, 260}};
        }
        sys()->params_changed_signal();
        auto expect_new_hook_load = [&c] {
            ASSERT_EQ(c.last.size(), 202u);
            EXPECT_EQ(std::uint8_t(c.last[2]), 3);
            const auto* p = reinterpret_cast<const std::uint8_t*>(c.last.data()) + 2 + 2 + 6 * 2;
            EXPECT_EQ(p[0] | p[1] << 8, 2048);
            float v;
            std::memcpy(&v, p + 2, 4);
            EXPECT_EQ(v, 260.0f);
        };
        EXPECT_EQ(c.offer(), cmd_short_tables);
        expect_new_hook_load();
        EXPECT_EQ(c.offer(), cmd_hook_load_table);
        expect_new_hook_load();
        for (int command : {cmd_pressure_table, cmd_torque_table, cmd_tong_torque_table, cmd_zero_pressure})
            EXPECT_EQ(c.offer(), command);
        EXPECT_EQ(c.offer(), 0);
        // The copies are new: once the tables went out, a second signal
        // changes nothing more.
        EXPECT_FALSE(c.plugin.options_snapshot().have_to_send_indi);
        sys()->params_changed_signal();
        EXPECT_FALSE(c.plugin.options_snapshot().have_to_send_indi);
    });
}

// The hub calls into the plug-in under its lock; another thread that holds
// the plug-in's lock may be waiting for the hub. The plug-in must never call
// the hub with its own lock held.
TEST(PultPlugin, NoHubCallWithThePluginsLockHeld) {
    in_station([] {
        Console c;
        static PultPlugin* plugin = &c.plugin;
        static std::vector<std::string> blocked;
        static int calls = 0;
        // A window handler on another thread takes the plug-in's lock. The
        // callback never waits for it to finish: with the lock held that
        // would hang the test instead of failing it. Its thread is joined
        // once the plug-in's call has returned and let the lock go.
        static std::vector<std::future<void>> others;
        static std::function<void(const char*)> check = [](const char* callback) {
            ++calls;
            auto other = std::async(std::launch::async, [] { plugin->set_light(plugin->options_snapshot().light); });
            if (other.wait_for(std::chrono::seconds(10)) != std::future_status::ready) blocked.push_back(callback);
            others.push_back(std::move(other));
        };
        c.plugin.host_get_float_variable = [](const char*) {
            check("host_get_float_variable");
            return 0.0;
        };
        c.plugin.host_get_value = [](const char*) {
            check("host_get_value");
            return 0.0;
        };
        c.plugin.host_set_variable = [](const char*, const AnsiString&) { check("host_set_variable"); };
        c.plugin.host_get_par_tabl = [](ParTabl&) { check("host_get_par_tabl"); };
        auto call = [](const char* what, const std::function<void()>& body) {
            body();
            for (auto& f : others) f.wait();
            others.clear();
            EXPECT_TRUE(blocked.empty()) << what << " called into the hub with the plug-in's lock held: "
                                         << ::testing::PrintToString(blocked);
            blocked.clear();
        };
        call("data", [&] { c.plugin.data(); });
        c.plugin.calibrate();
        call("send_data_to_pult", [&] {
            for (int i = 0; i < 8; ++i) {
                AnsiString h;
                std::vector<char> d;
                c.plugin.send_data_to_pult(h, d);
            }
        });
        call("the calibration check", [] { sys()->params_changed_signal(); });
        call("start_registration", [&] { c.plugin.start_registration(1, false); });
        EXPECT_GT(calls, 10);
    });
}

// The plug-in's window and settings dialog bound to the plug-in's members.
TEST(PultPlugin, WindowAndSettingsReachTheOptions) {
    in_station([] {
        Console c;
        c.plugin.show(true);
        TPultFrm* f = c.plugin.form();
        ASSERT_NE(f, nullptr);
        f->Show();
        EXPECT_TRUE(c.plugin.window_shown());
        EXPECT_EQ(c.plugin.get_form(), f);
        ASSERT_EQ(f->PultLineComboBox->Items().Count(), 18);
        EXPECT_TRUE(f->btnDegaz->Enabled());  // the test's hub records

        ui::TestDriver drv;
        drv.PressOn(*f->trbLight, ui::VK_END);
        EXPECT_EQ(c.plugin.options_snapshot().light, 15);
        f->PultLineComboBox->SelectByUser(2);
        EXPECT_EQ(c.plugin.options_snapshot().text, "Авария");
        drv.Click(*f->SignalButton);
        EXPECT_EQ(Console::variable("signal"), "");
        ui::headless_display()->ExpectModal([&](ui::TCustomForm& d) {
            auto& dg = static_cast<TDegazForm&>(d);
            drv.Click(*dg.rbtnManual);
            drv.Click(*dg.btnDegazOn);
            drv.Click(*dg.btnOk);
        });
        drv.Click(*f->btnDegaz);
        EXPECT_EQ(c.plugin.degaz_mode(), dct_manual);
        EXPECT_TRUE(c.plugin.degaz_on());

        // Settings: OK applies the dialog's copy, and the window follows it;
        // a recalibration the hub reported meanwhile stays due.
        ui::headless_display()->ExpectModal([&](ui::TCustomForm& d) {
            auto& dlg = static_cast<TOptForm&>(d);
            drv.Click(*dlg.cbAlarm);
            {
                lib::Locker hold(sys_lock_obj());
                sys()->get_data_storage().get_par_tabl()["вес_на_крюке"].points = {{0, 0}, {2, 100}};
            }
            sys()->params_changed_signal();
            drv.Click(*dlg.btnOk);
        });
        EXPECT_FALSE(c.plugin.options_snapshot().have_to_send_indi);
        c.plugin.event(reg::pe_options, {});
        EXPECT_TRUE(c.plugin.options_snapshot().have_to_send_indi);
        EXPECT_FALSE(c.plugin.options_snapshot().use_volt_check);
        EXPECT_EQ(c.plugin.options_snapshot().light, 15);
        EXPECT_FALSE(f->lbl5v->Visible());

        // Leaving: the line the operator typed is kept.
        f->PultLineComboBox->SetText("Подъём");
        c.plugin.finalize();
        EXPECT_EQ(c.plugin.options_snapshot().text, "Подъём");
    });
}

}  // namespace
