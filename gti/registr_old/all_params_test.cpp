#include "gti/registr_old/all_params.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "platform/os/paths.h"
#include "platform/rtl/codepage.h"

namespace {

namespace fs = std::filesystem;

// A program folder of the test's own, so that "fast_params" is read from
// and written to a place nobody else uses.
class AllParamsTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/all_params_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        os::set_program_dir_override(dir_);
    }
    void TearDown() override {
        os::set_program_dir_override("");
        fs::remove_all(dir_);
    }
    void write_fast_params(const std::string& utf8_text) {
        std::ofstream(dir_ + "/fast_params", std::ios::binary) << rtl::utf8_to_cp1251(utf8_text);
    }
    std::string dir_;
};

TEST_F(AllParamsTest, BuiltInRowsAndPlaceholders) {
    const AllParams reg;
    ASSERT_EQ(reg.get_items_count(), 159 + 64);
    EXPECT_EQ(reg.get_param_number("вес_на_крюке"), 0);
    EXPECT_EQ(reg.get_param_number("ВЕС_НА_КРЮКЕ"), 0);
    EXPECT_EQ(reg.get_param_number(" вес_на_крюке"), -1);  // no trimming here
    EXPECT_EQ(reg.get_param_number("__0"), 159);
    EXPECT_EQ(reg.get_param_number("__63"), 222);
    EXPECT_EQ(reg.get_param_number("общий_вес"), 86);
    EXPECT_EQ(reg.get_param_number("метан1"), 122);
    EXPECT_EQ(reg.get_param_number("нет_такого"), -1);
    EXPECT_EQ(reg.get_param_number(static_cast<const char*>(nullptr)), -1);
    EXPECT_EQ(reg.at(111).global_name, "общий_вес");  // the second row of that name
    EXPECT_EQ(reg.at(158).global_name, "скорость_проработки");

    const DefaultParam& hook = reg.at(0);
    EXPECT_EQ(hook.name, "Вес на крюке");
    EXPECT_EQ(hook.short_name, "W кр.");
    EXPECT_EQ(hook.units, "т");
    EXPECT_EQ(hook.channel, 0);
    EXPECT_EQ(hook.range, 20.0f);
    EXPECT_EQ(hook.max_value, 200.0f);
    EXPECT_EQ(hook.averaging, 1);
    EXPECT_EQ(hook.group, 1);

    const DefaultParam& slips = reg.at(reg.get_param_number("положение_клиньев"));
    EXPECT_EQ(slips.range, -1.0f);
    EXPECT_EQ(slips.zero, 1.0f);
    EXPECT_EQ(slips.units, "");
    EXPECT_EQ(slips.channel, 10);

    const DefaultParam& gas = reg.at(reg.get_param_number("максимальный_газ"));
    EXPECT_EQ(gas.kind, 2);
    EXPECT_EQ(gas.group, 5);
    EXPECT_EQ(reg.at(reg.get_param_number("метан_абс")).short_name, "С1");       // Cyrillic С
    EXPECT_EQ(reg.at(reg.get_param_number("метан_отн")).short_name, "C1 отн.");  // Latin C

    const DefaultParam& diff = reg.at(reg.get_param_number("дифф_расход"));
    EXPECT_EQ(diff.min_value, -10.0f);
    EXPECT_EQ(diff.group, 6);

    const DefaultParam& dens = reg.at(reg.get_param_number(ParamVars::radio_dens_in));
    EXPECT_EQ(dens.channel, 19);
    EXPECT_EQ(dens.averaging, 120);

    const DefaultParam& hole = reg.at(159 + 5);
    EXPECT_EQ(hole.name, "__5");
    EXPECT_EQ(hole.short_name, "__5");
    EXPECT_EQ(hole.units, "__5");
    EXPECT_EQ(hole.channel, -1);
    EXPECT_EQ(hole.group, 10);
    EXPECT_EQ(hole.range, 100.0f);
    EXPECT_EQ(hole.max_value, 100.0f);

    // Every built-in row is named, and the tank rows follow their numbers.
    for (int i = 0; i < 159; ++i) EXPECT_FALSE(reg.at(i).global_name.empty()) << i;
    EXPECT_EQ(reg.at(reg.get_param_number(ParamVars::h_emk9)).channel, 33);
    EXPECT_EQ(reg.at(reg.get_param_number(ParamVars::h_emk16)).channel, 34);
    EXPECT_EQ(reg.at(reg.get_param_number(ParamVars::v_emk16)).name, "Объём-16");
}

TEST_F(AllParamsTest, AtOutsideTheRowsThrows) {
    AllParams reg;
    for (int i : {-1, 223}) {
        try {
            reg.at(i);
            ADD_FAILURE() << i;
        } catch (const std::out_of_range& e) {
            EXPECT_STREQ(e.what(), "invalid vector<T> subscript");
        }
    }
}

TEST_F(AllParamsTest, GroupNames) {
    EXPECT_EQ(AllParams::get_group_name(0), "");
    EXPECT_EQ(AllParams::get_group_name(1), "ТИ");
    EXPECT_EQ(AllParams::get_group_name(7), "Эксперементальные");
    EXPECT_EQ(AllParams::get_group_name(10), "Входящие");
    EXPECT_EQ(AllParams::get_group_name(11), "???????");
    EXPECT_EQ(AllParams::get_group_name(-1), "???????");
}

TEST_F(AllParamsTest, SettingsDialogNames) {
    AllParams reg;
    EXPECT_TRUE(reg.test_param("плотн_пж_вх_радиоакт", AllParams::has_options_dialog));
    EXPECT_TRUE(reg.test_param("плотн_пж_вых_радиоакт", AllParams::has_options_dialog));
    EXPECT_FALSE(reg.test_param("плотн_пж_вх_радиоакт", static_cast<AllParams::ParamTest>(1)));
    EXPECT_FALSE(reg.test_param("ПЛОТН_ПЖ_ВХ_РАДИОАКТ", AllParams::has_options_dialog));  // exact
    EXPECT_FALSE(reg.test_param("cem_plotn", AllParams::has_options_dialog));
    reg.add_digit_params("cem_plotn");
    reg.add_digit_params("cem_plotn");
    EXPECT_TRUE(reg.test_param("cem_plotn", AllParams::has_options_dialog));
    EXPECT_EQ(reg.remove_digit_params("cem_plotn"), 1);
    EXPECT_EQ(reg.remove_digit_params("cem_plotn"), 0);
    EXPECT_FALSE(reg.test_param("cem_plotn", AllParams::has_options_dialog));
}

TEST_F(AllParamsTest, RegisteredRows) {
    AllParams reg;
    reg.register_param("Давление цем.", "P цем", "атм", "cem_davl", 0, 1, 0, 100, 0, 0, 400, 0);
    EXPECT_EQ(reg.get_items_count(), 224);
    EXPECT_EQ(reg.get_param_number("CEM_DAVL"), 223);
    EXPECT_EQ(reg.at(223).max_value, 400.0f);
    EXPECT_EQ(reg.at(223).extra, "");

    // A second row of the same name is appended but never found by name;
    // the thirteen-argument form sets the extra text of the first.
    reg.register_param("доп", 1, 2, 3, 4, 5, 6, 7, 1, "cem_davl", "кратко", "ед", "имя");
    EXPECT_EQ(reg.get_items_count(), 225);
    EXPECT_EQ(reg.get_param_number("cem_davl"), 223);
    EXPECT_EQ(reg.at(223).extra, "доп");
    EXPECT_EQ(reg.at(224).extra, "");
    EXPECT_EQ(reg.at(224).name, "имя");
    EXPECT_EQ(reg.at(224).units, "ед");
    EXPECT_EQ(reg.at(224).min_value, 6.0f);
    EXPECT_EQ(reg.at(224).kind, 1);
}

TEST_F(AllParamsTest, IncomingParametersTakeOverPlaceholders) {
    AllParams reg;
    reg.add_incoming_param("Внешний", "Вн", "ед", "внешний_0", 5, 2, 9, 10, 1, 0, 10, 1);
    EXPECT_EQ(reg.get_param_number("внешний_0"), 159);
    EXPECT_EQ(reg.get_param_number("__0"), -1);
    EXPECT_EQ(reg.at(159).group, 9);
    EXPECT_EQ(reg.at(159).channel, 5);
    // A name the registry has already takes nothing.
    reg.add_incoming_param("x", "x", "x", "вес_на_крюке", 0, 1, 10, 1, 0, 0, 1, 0);
    reg.add_incoming_param("x", "x", "x", "внешний_0", 0, 1, 10, 1, 0, 0, 1, 0);
    EXPECT_EQ(reg.get_incoming_count(), 1);
    EXPECT_EQ(reg.get_param_number("__1"), 160);
    for (int n = 1; n < 40; ++n)
        reg.add_incoming_param("p", "p", "", "внешний_" + std::to_string(n), -1, 1, 10, 1, 0, 0, 1, 0);
    EXPECT_EQ(reg.get_incoming_count(), 32);
    EXPECT_EQ(reg.get_param_number("внешний_31"), 190);
    EXPECT_EQ(reg.get_param_number("внешний_32"), -1);  // the 33rd does nothing
    EXPECT_EQ(reg.get_param_number("__32"), 191);
    EXPECT_EQ(reg.get_items_count(), 223);
}

TEST_F(AllParamsTest, AllParamsAsParameters) {
    const AllParams reg;
    std::vector<Param> out(3);
    reg.get_all_params(out);
    ASSERT_EQ(out.size(), 223u);
    EXPECT_EQ(out[1].global_name, "давление_на_входе");
    EXPECT_EQ(out[1].range, 250.0f);
    EXPECT_TRUE(out[1].points.empty());

    Param p;
    p.points = {{1, 2}};
    p.ext_info.set("half_life", "3");
    reg.at(reg.get_param_number("максимальный_газ")).assign_to(p);
    EXPECT_EQ(p.global_name, "максимальный_газ");
    EXPECT_EQ(p.kind, 2);
    EXPECT_EQ(p.points.size(), 1u);  // left as it was
    EXPECT_EQ(p.ext_info.get("half_life"), "3");
}

TEST_F(AllParamsTest, FastListDefaultsWhenMissing) {
    AllParams reg;
    EXPECT_EQ(reg.fast_params().CommaText(), "вес_на_крюке,давление_на_входе,момент_ротора,нагрузка,тальблок");
}

TEST_F(AllParamsTest, FastListKeepsOnlyKnownNamesAndIsWrittenBack) {
    write_fast_params("тальблок\r\nнет_такого\r\nи_такого\r\nГЛУБИНА_ЗАБОЯ\r\n");
    {
        AllParams reg;
        EXPECT_EQ(reg.fast_params().CommaText(), "тальблок,ГЛУБИНА_ЗАБОЯ");
        reg.fast_params().Add("нагрузка");
    }
    AllParams again;
    EXPECT_EQ(again.fast_params().CommaText(), "тальблок,ГЛУБИНА_ЗАБОЯ,нагрузка");
}

TEST_F(AllParamsTest, FastListOfUnknownNamesOnlyGivesTheDefaults) {
    write_fast_params("нет_такого\r\nи_такого\r\n");
    AllParams reg;
    EXPECT_EQ(reg.fast_params().Count(), 5);
    EXPECT_EQ(reg.fast_params()[0], "вес_на_крюке");
}

TEST_F(AllParamsTest, UnwritableFolderIsIgnoredAtExit) {
    auto reg = std::make_unique<AllParams>();
    fs::remove_all(dir_);
    EXPECT_NO_THROW(reg.reset());
}

}  // namespace
