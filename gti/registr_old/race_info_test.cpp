#include "gti/registr_old/race_info.h"

#include "platform/os/testing.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/ini_file.h"
#include "platform/rtl/string_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>

namespace {

void fill(RaceInfoOld& r) {
    r.field_name = "Самотлорское";
    r.well = "1234";
    r.well_category = "эксплуатационная";
    r.area = "Пад";
    r.customer = "Заказчик";
    r.prohodka = 150.25;
    r.start_depth = 1000.5;
    r.start_time = 1600000000u;
    r.end_depth = 1150.75;
    r.end_time = 1600086400u;
    r.race_num = 7;
    r.operator_name = "Иванов, Петров";
    r.drill_type = RaceInfoOld::turbine;
    r.bit_type = "III 215,9";
    r.bit_number = "N 77";
    r.bit_diameter = 215.9;
    r.motor_type = "Д-195";
    r.bit_wear_start = "0";
    r.bit_wear_code = "В1С1";
    r.bha = "долото+ЗД";
    r.kavern_koeff = 1.25;
    r.depth_step = 0.2;
    r.time_step = 10;
    r.drill_time = 3600;
    r.circ_time = 100;
    r.spo_time = 200;
    r.prom_time = 300;
    r.prorab_time = 400;
    r.aver_load = 12.5;
    r.aver_pressure = 120;
    r.aver_flow = 32.5;
    r.drill_rate = 4.75;
    r.aver_density = 1.18;
    r.fluid_type = "глинистый";
    r.viscosity = "45";
    r.filtration = "6";
    r.chl = 0.5;
    r.cake = 1.5;
    r.sand = 2;
    r.stability = "0,02";
    r.resistivity = 1.75;
    r.stickiness = "нет";
    r.ph = 8.5;
    r.stream_double = 99.5;
    for (int i = 0; i < 5; ++i) r.stream_text[i] = "поток " + std::to_string(i);
}

TEST(RaceInfoOld, ANewRecord) {
    RaceInfoOld r;
    EXPECT_EQ(r.race_num, 1);
    EXPECT_EQ(r.kavern_koeff, 1.0);
    EXPECT_EQ(r.drill_type, RaceInfoOld::rotary);
    EXPECT_EQ(r.start_time, 0xFFFFFFFFu);
    EXPECT_EQ(r.end_time, 0xFFFFFFFFu);
    EXPECT_EQ(r.bit_diameter, 0.0);
    EXPECT_TRUE(r.well.empty());
}

TEST(RaceInfoOld, FileNamesAndDrillTypeTexts) {
    EXPECT_EQ(RaceInfoOld::get_race_file("/data/скв/0012.realtim"), "/data/скв/0012.rac");
    EXPECT_EQ(RaceInfoOld::get_race_file("/data/скв/0012.fast.realtim"), "/data/скв/0012.rac");
    EXPECT_EQ(RaceInfoOld::get_race_file("C:\\data\\w.1\\0012.realdep"), "C:\\data\\w.1\\0012.rac");
    EXPECT_EQ(RaceInfoOld::get_race_file("/data/w.1/noext"), "");
    EXPECT_EQ(RaceInfoOld::get_drill_type_str(2), "Роторно-турбинное");
    EXPECT_EQ(RaceInfoOld::get_drill_type_str(9), "::ОШИБКА::");
    EXPECT_EQ(RaceInfoOld::get_drill_type_str(-1), "::ОШИБКА::");

    RaceInfoOld r;
    r.drill_type = static_cast<RaceInfoOld::DrillType>(9);
    rtl::StringList list;
    r.fill_to_strings(list);
    EXPECT_EQ(list.Values("способ_бурения"), "::ОШИБКА::");
}

TEST(RaceInfoOld, RacFileRoundTrip) {
    os::testing::TempDir dir;
    RaceInfoOld r;
    fill(r);
    {
        rtl::IniFile ini(dir / "0012.rac");
        r.save(&ini);
    }
    std::ifstream in(dir / "0012.rac", std::ios::binary);
    std::stringstream raw;
    raw << in.rdbuf();
    std::string text = rtl::cp1251_to_utf8(raw.str());
    // Sections in order, the method text derived from the drill type.
    auto pos = [&](const char* s) { return text.find(s); };
    EXPECT_LT(pos("[архивные_данные]"), pos("[настройки_рейса]"));
    EXPECT_LT(pos("[настройки_рейса]"), pos("[начало_рейса]"));
    EXPECT_LT(pos("[начало_рейса]"), pos("[окончание_рейса]"));
    EXPECT_LT(pos("[окончание_рейса]"), pos("[раствор]"));
    EXPECT_NE(pos("способ_бурения=\"Турбинное\"\r\n"), std::string::npos) << text;
    EXPECT_NE(pos("диаметр_долота=215,9\r\n"), std::string::npos) << text;
    EXPECT_NE(pos("CHl=0,5\r\n"), std::string::npos) << text;

    RaceInfoOld back;
    {
        rtl::IniFile ini(dir / "0012.rac");
        back.load(&ini);
    }
    EXPECT_EQ(back.field_name, r.field_name);
    EXPECT_EQ(back.operator_name, r.operator_name);
    EXPECT_EQ(back.bit_type, "III 215,9");
    EXPECT_EQ(back.start_time, r.start_time);
    EXPECT_EQ(back.end_depth, r.end_depth);
    EXPECT_EQ(back.drill_time, 3600);
    EXPECT_EQ(back.kavern_koeff, 1.25);
    EXPECT_EQ(back.depth_step, 0.2);
    EXPECT_EQ(back.ph, 8.5);
    EXPECT_EQ(back.bit_wear_code, "В1С1");
    // Only the engine and the stream know these.
    EXPECT_EQ(back.drill_type, RaceInfoOld::rotary);
    EXPECT_EQ(back.prohodka, 0.0);
    EXPECT_TRUE(back.bha.empty());
    EXPECT_TRUE(back.stream_text[0].empty());
}

TEST(RaceInfoOld, StreamRoundTripKeepsTheFieldsOnlyItHolds) {
    RaceInfoOld r;
    fill(r);
    std::string name;
    r.get_serial_name(name);
    EXPECT_EQ(name, "RaceInfoNew");
    lib::SerialOutputBuffer out;
    r.get_serial_list(out, 1);
    // Drill type first, the enlargement factor last.
    ASSERT_GE(out.size(), 12);
    EXPECT_EQ(out.bytes()[0], 1);
    double last;
    std::memcpy(&last, out.bytes().data() + out.size() - 8, 8);
    EXPECT_EQ(last, 1.25);

    RaceInfoOld back;
    lib::SerialInputBuffer in;
    in.copy_from(out);
    back.get_serial_list(in, 1);
    EXPECT_EQ(in.bytes_left(), 0);
    EXPECT_EQ(back.drill_type, RaceInfoOld::turbine);
    EXPECT_EQ(back.stream_double, 99.5);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(back.stream_text[i], r.stream_text[i]);
    EXPECT_EQ(back.bha, "долото+ЗД");
    EXPECT_EQ(back.prohodka, 150.25);
    EXPECT_EQ(back.end_time, 1600086400u);
    EXPECT_EQ(back.stability, "0,02");
    EXPECT_EQ(back.kavern_koeff, 1.25);

    // The engine view of the same record.
    rtl::StringList strings;
    back.fill_to_strings(strings);
    EXPECT_EQ(strings.Values("способ_бурения2"), "1 (Турбинное)");
    EXPECT_EQ(strings.Values("номер_рейса"), "7");
    EXPECT_EQ(strings.Values("диаметр_долота"), "215,9");
    EXPECT_EQ(strings.Values("нач_время"), "1600000000");
    EXPECT_EQ(strings.IndexOfName("шаг_записи_по_глубине"), -1);
}

}  // namespace
