#include "gti/registr_old/config.h"

#include "gti/registr_old/data_storage.h"
#include "gti/registr_old/par_tabl.h"
#include "gti/registr_old/values.h"
#include "platform/os/testing.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/ini_file.h"
#include "platform/rtl/string_list.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

std::string file_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream raw;
    raw << in.rdbuf();
    return rtl::cp1251_to_utf8(raw.str());
}

std::string option(Config& c, const std::string& full_name) {
    lib::options_list l;
    c.enum_values(l);
    for (int i = 0; i < l.size(); ++i)
        if (l.get_item(i)->get_full_name() == full_name) return l.get_item(i)->get();
    return "<none>";
}

TEST(Config, TheTableDefaultsWin) {
    Config c;
    EXPECT_EQ(c.dlina_mernogo, 12.0f);
    EXPECT_EQ(c.zero_pressure, 10.0f);
    EXPECT_FALSE(c.pult_buttons);
    EXPECT_EQ(c.circ_by_pressure, 0);
    EXPECT_EQ(c.port, "COM1");
    EXPECT_EQ(c.remote_computer, "::не задано::");
    // The pumps' own construction values give way to the table's.
    EXPECT_EQ(c.nasos(0).volume, 0.0f);
    EXPECT_EQ(c.nasos(2).fill_koeff, 0.8f);
    EXPECT_EQ(c.nasos(1).calc_volume(1), 0.0);
    EXPECT_NEAR(NasosOpt().calc_volume(1), 6.4, 1e-6);
    try {
        c.nasos(3);
        FAIL() << "pump 4 exists";
    } catch (const std::out_of_range& e) {
        EXPECT_STREQ(e.what(), "array::operator[]");
    }
    for (int v : c.pult_indicator.values) EXPECT_EQ(v, -1);
    EXPECT_EQ(c.get_race_info().race_num, 1);
    EXPECT_EQ(c.get_min_max().size(), 8);
    EXPECT_EQ(c.host_floats[0], 100.0f);
    EXPECT_EQ(c.host_floats[2], 2.0f);

    EXPECT_EQ(option(c, "прочие_настройки.двойной_насос3"), "Нет");
    EXPECT_EQ(option(c, "задержанная_глубина.время_отставания"), "0,0000");
    EXPECT_EQ(option(c, "связь.use_net_uso"), "0");

    const std::string tabs = "\t\t\t\t   ";
    EXPECT_EQ(c.lag_params, "электропроводность_на_выходе," + tabs + "температура_на_выходе,плотность_на_выходе," +
                                tabs + "метан_абс,этан_абс,пропан_абс,бутан_абс,пентан_абс,гексан_абс," + tabs +
                                "метан_отн,этан_отн,пропан_отн,бутан_отн,пентан_отн,гексан_отн," + tabs +
                                "максимальный_газ,сумм_газ,сумм_газ2");
}

TEST(Config, SavesAndLoadsInItsSectorsAndPublishesTwoVariables) {
    os::testing::TempDir dir;
    const std::string file = dir / "registr.ini";
    Config c;
    c.dol_koeff = 151.5f;
    c.nasos(1).volume = 12.25f;
    c.nasos(2).double_acting = true;
    c.port = "tcp:host:4001";
    c.get_min_max().add("вес_на_крюке");
    c.save_to_ini(file);

    std::string text = file_text(file);
    for (const char* line : {"[рейс]\r\nномер_долбления=1\r\n", "[ДОЛ]\r\nкоэффицент_ДОЛа=151,5\r\n",
                             "объем_насоса2=12,25\r\n", "двойной_насос3=1\r\n", "порт=\"tcp:host:4001\"\r\n",
                             "[MinMaxValues]\r\nsize=9\r\n", "[звуковое_предупреждение]\r\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;

    DataStorage ds;
    Values values(&ds);
    Config back;
    back.attach(&ds, &values);
    {
        rtl::IniFile ini(file);
        ini.WriteString("настройки_распознавания", "нулевой_вес", "12,5");
        ini.WriteString("связь", "тип_пульта_бурильщика", "-6");
        ini.WriteString("связь", "кнопки_на_пульте", "1");
    }
    back.load_from_ini(file);
    EXPECT_EQ(back.dol_koeff, 151.5f);
    EXPECT_EQ(back.nasos(1).volume, 12.25f);
    EXPECT_TRUE(back.nasos(2).double_acting);
    EXPECT_EQ(back.port, "tcp:host:4001");
    EXPECT_EQ(back.get_min_max().size(), 9);
    // Console type -6 forces the buttons off and circulation by pressure on.
    EXPECT_EQ(back.pult_type, -6);
    EXPECT_FALSE(back.pult_buttons);
    EXPECT_EQ(back.circ_by_pressure, 1);
    EXPECT_EQ(values.get_variable("ves0"), "12,5");
    EXPECT_EQ(values.get_variable("KoefPolispast"), "10");
    EXPECT_EQ(values.get_float_variable("ves0"), 12.5);
}

TEST(Config, ConsoleTypeRules) {
    struct Case {
        int type;
        bool buttons;
        int circ;
    } cases[] = {{-6, false, 1}, {-1, false, 0}, {-2, true, 1}, {0, true, 1}};
    for (const auto& c : cases) {
        Config cfg;
        cfg.pult_type = c.type;
        cfg.pult_buttons = true;
        cfg.circ_by_pressure = 1;
        cfg.check();
        EXPECT_EQ(cfg.pult_buttons, c.buttons) << c.type;
        EXPECT_EQ(cfg.circ_by_pressure, c.circ) << c.type;
    }
}

TEST(Config, CurrentPumpAndRotorValuesComeFromTheFrame) {
    DataStorage ds;
    Param p;
    for (const char* name : {"ходы_насоса1", "ходы_насоса2", "ходы_насоса3", "обороты_ротора"}) {
        p.global_name = name;
        ds.get_par_tabl().add(p);
    }
    ds.current_values[0] = 11;
    ds.current_values[2] = 33;
    ds.current_values[3] = 60;
    Config c;
    EXPECT_EQ(c.get_nas0(), 0);  // not attached
    c.attach(&ds, nullptr);
    EXPECT_EQ(c.get_nas0(), 11);
    EXPECT_EQ(c.get_nas1(), 0);
    EXPECT_EQ(c.get_nas2(), 33);
    EXPECT_EQ(c.get_rotor(), 60);
    c.fill_to_variables();  // no named values attached: nothing to do

    rtl::StringList kinds{"x"};
    Config::dril_types_to_strings(&kinds);
    EXPECT_EQ(kinds.CommaText(), "Роторное,Турбинное,Роторно-турбинное,Электробурение");
}

TEST(GlobalNums, PositionsOfTheWellKnownParameters) {
    GlobalNums nums;
    for (int v : nums.pos) EXPECT_EQ(v, -1);

    DataStorage ds;
    Param p;
    for (int i = 0; i < GlobalNums::count; ++i) {
        if (std::string(GlobalNums::names[i]) == "дмк1") continue;
        p.global_name = GlobalNums::names[i];
        ds.get_par_tabl().add(p);
    }
    nums.calculate(ds);
    int expected = 0;
    for (int i = 0; i < GlobalNums::count; ++i) {
        if (i == GlobalNums::dmk1) {
            EXPECT_EQ(nums[GlobalNums::dmk1], -1);
            continue;
        }
        EXPECT_EQ(nums.pos[static_cast<std::size_t>(i)], expected++) << GlobalNums::names[i];
    }
}

TEST(UserInterfaceOpt, ColoursInTheirSection) {
    os::testing::TempDir dir;
    UserInterfaceOpt ui;
    ui.frames_color = 0x123456;
    ui.indi_color = 0x00FF00;
    ui.gr_font_name = "DejaVu Sans";
    ui.save(dir / "ui.ini");
    std::string text = file_text(dir / "ui.ini");
    EXPECT_EQ(text.find("[colors]\r\ngr_font_size=8\r\ngr_font_name=\"DejaVu Sans\"\r\nframes_color=1193046\r\n"), 0u)
        << text;

    UserInterfaceOpt back;
    back.load(dir / "ui.ini");
    EXPECT_EQ(back.frames_color, 0x123456);
    back.default_gr();
    EXPECT_EQ(back.frames_color, 0x808080);
    EXPECT_EQ(back.indi_color, 0x00FF00);
    back.default_toppan();
    EXPECT_EQ(back.indi_color, 0xFFFFFF);
    // The button face darkened channel by channel.
    EXPECT_EQ(back.dark_face, rtl::ColorToRGB(rtl::clBtnFace) - 0x202020);
    EXPECT_EQ(back.light_face, rtl::ColorToRGB(rtl::clBtnFace) - 0x080808);
}

}  // namespace
