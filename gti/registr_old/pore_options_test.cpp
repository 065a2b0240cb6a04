#include "gti/registr_old/pore_options.h"

#include <gtest/gtest.h>

#include <cmath>

#include "gti/registr_old/data_storage.h"
#include "gti/registr_old/race_info.h"
#include "gti/registr_old/values.h"
#include "library/serial/serial_list.h"
#include "platform/os/paths.h"
#include "platform/os/testing.h"
#include "platform/rtl/ini_file.h"

namespace {

void fill_all(BasicPoreOptions& o) {
    int n = 0;
    for (AnsiString* t : {&o.nomer,
                          &o.ploshad,
                          &o.mestorozhdenie,
                          &o.kust,
                          &o.kategoriya,
                          &o.ekspediciya,
                          &o.partiya_gti,
                          &o.ubr,
                          &o.zakazchik,
                          &o.organizaciya,
                          &o.metod,
                          &o.strana,
                          &o.tip_stancii,
                          &o.otryad,
                          &o.operatory,
                          &o.nachalnik_otryada,
                          &o.nachalnik_partii,
                          &o.nachalnik_skvaginy,
                          &o.master,
                          &o.burovaya,
                          &o.nasos,
                          &o.gorizont})
        *t = "текст " + std::to_string(++n);
    double v = 0;
    for (double* d :
         {&o.proekt_glubina, &o.diam_konduktora, &o.bashmak_konduktora, &o.well_diameter, &o.altituda, &o.azimut})
        *d = (v += 1.5);
}

}  // namespace

TEST(PoreOptions, DefaultsAndChecks) {
    pore::Options o;
    EXPECT_EQ(o.strana, "Россия");
    EXPECT_EQ(o.metod, "ГТИ");
    EXPECT_EQ(o.nomer, "");
    EXPECT_EQ(o.gorizont, "");
    EXPECT_EQ(o.proekt_glubina, 0);

    lib::options_list list;
    o.enum_values(list);
    ASSERT_EQ(list.size(), 27);
    EXPECT_EQ(list.get_item(0)->get_ini_name(), "страна");
    EXPECT_EQ(list.get_item(26)->get_ini_name(), "башмак_кондуктора");
    for (int i = 0; i < list.size(); ++i) EXPECT_EQ(list.get_item(i)->get_sect_name(), "скважина");
    EXPECT_EQ(list.get_item(0)->get_sect_disp_name(), "Основные");
    EXPECT_EQ(list.get_item(26)->get_sect_disp_name(), "Конструкция буровой");

    o.proekt_glubina = -5;
    o.well_diameter = NAN;
    o.altituda = -1;
    o.azimut = -5;
    o.check_values();
    EXPECT_EQ(o.proekt_glubina, 0);
    EXPECT_EQ(o.well_diameter, 0);
    EXPECT_EQ(o.altituda, 0);
    EXPECT_EQ(o.azimut, -5);
}

TEST(PoreOptions, TheWellFolderNeverLeavesTheProgramFolder) {
    os::testing::TempDir dir;
    os::set_program_dir_override(dir.path());
    pore::Options o;
    const struct {
        const char* number;
        const char* folder;  // null: no folder
    } cases[] = {
        {"", nullptr},       {"123", "123"},   {" 45-бис ", "45-бис"},
        {"..", nullptr},     {" . ", nullptr}, {"../../etc", ".._.._etc"},
        {"a/b\\c", "a_b_c"}, {"/", "_"},       {"C:x", "C_x"},
        {"a..b", "a..b"},
    };
    for (const auto& c : cases) {
        o.nomer = c.number;
        EXPECT_EQ(o.get_pore_directory(), c.folder ? dir.path() + "/" + c.folder : "") << c.number;
    }
    os::set_program_dir_override("");
}

TEST(PoreOptions, ModuleStreamOrderAndRoundTrip) {
    pore::Options o;
    fill_all(o);
    lib::SerialOutputBuffer out;
    o.get_serial_list(out, 1);

    // Read back field by field in the station's order.
    lib::SerialInputBuffer in;
    in.copy_from(out);
    std::vector<std::string> texts(22);
    std::vector<double> numbers(6);
    for (int i = 0; i < 20; ++i) in | texts[static_cast<std::size_t>(i)];
    for (int i = 0; i < 5; ++i) in | numbers[static_cast<std::size_t>(i)];
    in | texts[20] | texts[21] | numbers[5];
    EXPECT_EQ(in.position(), in.size());
    EXPECT_EQ(texts[0], o.nomer);
    EXPECT_EQ(texts[2], o.mestorozhdenie);
    EXPECT_EQ(texts[3], o.kategoriya);
    EXPECT_EQ(texts[19], o.nasos);
    EXPECT_EQ(texts[20], o.kust);
    EXPECT_EQ(texts[21], o.gorizont);
    EXPECT_EQ(numbers[3], o.well_diameter);
    EXPECT_EQ(numbers[4], o.altituda);
    EXPECT_EQ(numbers[5], o.azimut);

    pore::Options back;
    lib::SerialInputBuffer in2;
    in2.copy_from(out);
    back.get_serial_list(in2, 1);
    lib::SerialOutputBuffer again;
    back.get_serial_list(again, 1);
    EXPECT_EQ(again.bytes(), out.bytes());
}

TEST(PoreOptions, IniRoundTrip) {
    os::testing::TempDir dir;
    pore::Options o;
    fill_all(o);
    o.save_to_ini(dir / "well.ini");
    pore::Options back;
    back.load_from_ini(dir / "well.ini");
    EXPECT_EQ(back.nomer, o.nomer);
    EXPECT_EQ(back.nachalnik_partii, o.nachalnik_partii);
    EXPECT_EQ(back.altituda, o.altituda);
    EXPECT_EQ(back.diam_konduktora, 3);
    rtl::IniFile ini(dir / "well.ini");
    EXPECT_EQ(ini.ReadString("скважина", "страна", ""), "текст 12");
}

TEST(PoreOptions, PublishedAsVariablesAndToTheTripRecord) {
    pore::Options o;
    o.nomer = "1234";
    o.ploshad = "Северная";
    o.zakazchik = "Заказчик";
    o.kust = "7";
    o.mestorozhdenie = "Поле";
    o.kategoriya = "разведочная";
    o.proekt_glubina = 2500.5;
    o.gorizont = "Ю1";
    o.azimut = 45;
    o.diam_konduktora = 324;
    o.bashmak_konduktora = 500;

    DataStorage frame;
    Values values(&frame);
    o.fill_variables(values);
    o.fill_rated_variables(values);
    EXPECT_EQ(values.get_variable("pore.pore"), "1234");
    EXPECT_EQ(values.get_variable("pore.area"), "Северная");
    EXPECT_EQ(values.get_variable("pore.origin"), "Заказчик");
    EXPECT_EQ(values.get_variable("pore.kust"), "7");
    EXPECT_EQ(values.get_variable("pore.designed_depth"), "2500,5");
    EXPECT_EQ(values.get_variable("pore.rated_horizon"), "Ю1");
    EXPECT_EQ(values.get_float_variable("pore.rated_azimut"), 45);
    EXPECT_EQ(values.get_variable("pore.diam_kondukora"), "324");
    EXPECT_EQ(values.get_variable("pore.bashmak_konduktora"), "500");

    RaceInfoOld trip;
    o.fill_race_archive_options(trip);
    EXPECT_EQ(trip.well, "1234");
    EXPECT_EQ(trip.area, "Северная");
    EXPECT_EQ(trip.field_name, "Поле");
    EXPECT_EQ(trip.well_category, "разведочная");
    EXPECT_EQ(trip.customer, "Заказчик");
}
