#include "plugins/cement/cement_files.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/os/testing.h"
#include "platform/rtl/ini_file.h"

namespace {

CementProgramElement element(const char* name, int kind, int fluid, int mode) {
    CementProgramElement e;
    e.name = name;
    e.kind = kind;
    e.fluid_type = fluid;
    e.mode = mode;
    e.start = 46000.25;
    e.end = 46000.5;
    e.P_critical = 80;
    return e;
}

TEST(CementProgrammeFile, SavedProgrammeLoadsBackWithItsPlansColumnsAndReport) {
    os::testing::TempDir dir;
    const std::string path = dir / "cement_program_3.ini";
    CementData data;
    data.fluids = {TRastvor::made_by_operator("Вода")};
    data.fixed_fluids[0].calibr_file_name = "cem.clb";
    data.program = {element("Закачка буфера", cement::kind_buffer, 3, cement::state_done),
                    element("Закачка цемента", cement::kind_cement, 0, cement::state_running),
                    element("Продавка", cement::kind_displacement, -1, cement::state_waiting)};
    data.columns = {3, 4};
    data.plan[CementData::plan_volume][CementData::col_cement] = 12.5f;
    TReportOptions report;
    report.works = "Цементирование \"эксплуатационной\" колонны";
    report.pore_kk = 1.25;
    cement::save_programme(path, data, report);

    rtl::IniFile ini(path);
    EXPECT_EQ(ini.ReadString("Main", "Column", "?"), "3 4");  // the reader trims the trailing blank
    EXPECT_EQ(ini.ReadString("Item2", "start", "?"), "30.12.1899");
    EXPECT_EQ(ini.ReadString("Report", "pore_kk", "?"), "1,25");

    // An element reported before: its values come back with the programme.
    rtl::IniFile(path).WriteString("Item0", "V_inc", "2,50");
    rtl::IniFile(path).WriteString("Item0", "P_min", "7,5");
    // What an earlier use of the file left for an element that has not run
    // is no report value of it.
    rtl::IniFile(path).WriteString("Item2", "V_inc", "9,99");
    rtl::IniFile(path).WriteString("Item2", "Q_av", "9,99");
    CementData back;
    back.fluids = data.fluids;
    back.fixed_fluids = data.fixed_fluids;
    TReportOptions report_back;
    ASSERT_TRUE(cement::load_programme(path, back, report_back));
    ASSERT_EQ(back.program.size(), 3u);
    EXPECT_EQ(back.element, 1);
    EXPECT_EQ(back.columns, (std::vector<int>{3, 4}));
    EXPECT_EQ(back.plan[CementData::plan_volume][CementData::col_cement], 12.5f);
    EXPECT_EQ(back.program[0].fluid.name, "Вода");
    EXPECT_EQ(back.program[0].V_inc, 2.5f);
    EXPECT_EQ(back.program[0].P_min, 7.5f);
    EXPECT_EQ(back.program[1].P_min, 10.0f);
    EXPECT_EQ(back.program[1].calibr_file_name(), "cem.clb");
    EXPECT_EQ(back.program[1].P_critical, 80.0f);
    EXPECT_NEAR(back.program[1].start, 46000.25, 1e-6);
    EXPECT_EQ(back.program[2].start, 0.0);  // waiting: saved as 0
    EXPECT_EQ(back.program[2].V_inc, 0.0f);
    EXPECT_EQ(back.program[2].Q_av, 0.0f);
    EXPECT_EQ(report_back.works, report.works);
    EXPECT_EQ(report_back.pore_kk, 1.25);
}

TEST(CementProgrammeFile, RunningIndexFollowsTheStates) {
    struct Case {
        std::vector<int> modes;
        int element;
    };
    const Case cases[] = {{{2, 1, 0}, 1}, {{2, 2, 2}, -2}, {{0, 0, 0}, -1}, {{}, -2}};
    for (const Case& c : cases) {
        os::testing::TempDir dir;
        rtl::IniFile ini(dir / "p.ini");
        ini.WriteInteger("Main", "Count", int(c.modes.size()));
        for (std::size_t i = 0; i < c.modes.size(); ++i)
            ini.WriteInteger("Item" + std::to_string(i), "mode", c.modes[i]);
        CementData data;
        TReportOptions report;
        EXPECT_TRUE(cement::load_programme(dir / "p.ini", data, report));
        EXPECT_EQ(data.element, c.element);
        EXPECT_EQ(data.program.size(), c.modes.size());
    }
}

TEST(CementProgrammeFile, MissingFileChangesNothingAndBadIndexesAreNamed) {
    os::testing::TempDir dir;
    CementData data;
    data.program = {element("a", 0, -1, 1)};
    data.element = 0;
    TReportOptions report;
    EXPECT_FALSE(cement::load_programme(dir / "none.ini", data, report));
    EXPECT_EQ(data.program.size(), 1u);
    EXPECT_EQ(data.element, 0);

    // An empty programme leaves the file alone.
    data.program.clear();
    cement::save_programme(dir / "none.ini", data, report);
    EXPECT_FALSE(std::filesystem::exists(dir / "none.ini"));

    rtl::IniFile ini(dir / "bad.ini");
    ini.WriteInteger("Main", "Count", 2);
    ini.WriteInteger("Item0", "type_rastvor", 7);  // the list has one fluid
    ini.WriteInteger("Item1", "id", 42);
    data.fluids = {TRastvor::made_by_operator("Вода")};
    double trip_bit = 215.9;
    report.bind_bit_diameter(&trip_bit);
    std::vector<std::string> warnings;
    EXPECT_TRUE(cement::load_programme(dir / "bad.ini", data, report, &warnings));
    EXPECT_EQ(warnings.size(), 2u);
    ASSERT_EQ(data.program.size(), 2u);
    EXPECT_EQ(data.program[0].fluid.name, "");
    EXPECT_EQ(data.program[1].name, "null");
    EXPECT_EQ(trip_bit, 215.9);  // the file has none: the trip's stays
}

TEST(CementProgrammeFile, ColumnListText) {
    EXPECT_EQ(cement::format_columns({3, 4}), "3 4 ");
    EXPECT_EQ(cement::format_columns({}), "");
    const std::pair<const char*, std::vector<int>> cases[] = {
        {"3 4 ", {3, 4}}, {"", {}}, {"5", {5}}, {" 2  x 1 -4 1", {1, 2}}, {"99999999999", {}}};
    for (const auto& [text, want] : cases) EXPECT_EQ(cement::parse_columns(text), want) << text;
}

TEST(CementFluidsFile, CountsItemsAndTheEmptyList) {
    os::testing::TempDir dir;
    const std::string path = dir / "cement_rastvor.ini";
    CementData data;
    data.fluids = {TRastvor::made_by_operator("Вода"), TRastvor::made_by_operator("Буровой раствор")};
    data.fluids[1].density = 1.18f;
    data.fixed_fluids[2].calibr_file_name = "gas.clb";
    data.plan[CementData::plan_rate][CementData::col_buffer] = 15;
    cement::save_fluids(path, data);

    CementData back;
    cement::load_fluids(path, back);
    ASSERT_EQ(back.fluids.size(), 2u);
    EXPECT_EQ(back.selected_fluid, 0);
    EXPECT_EQ(back.fluids[1].name, "Буровой раствор");
    EXPECT_NEAR(back.fluids[1].density, 1.18, 1e-6);
    EXPECT_EQ(back.fluids[0].additive, "__название_добавки__");
    EXPECT_EQ(back.fixed_fluids[2].calibr_file_name, "gas.clb");
    EXPECT_EQ(back.plan[CementData::plan_rate][CementData::col_buffer], 15.0f);

    // An empty list writes nothing.
    const std::string before = os::testing::read_bytes(path);
    back.fluids.clear();
    cement::save_fluids(path, back);
    EXPECT_EQ(os::testing::read_bytes(path), before);

    // Count 3 with Item1 missing; Count 0.
    rtl::IniFile ini(dir / "gap.ini");
    ini.WriteInteger("Main", "Count", 3);
    ini.WriteString("Item0", "name", "Вода");
    ini.WriteString("Item2", "name", "Глина");
    cement::load_fluids(dir / "gap.ini", back);
    ASSERT_EQ(back.fluids.size(), 3u);
    EXPECT_EQ(back.fluids[1].name, "null");
    EXPECT_EQ(back.fluids[2].name, "");
    EXPECT_EQ(back.selected_fluid, -1);
    ini.WriteInteger("Main", "Count", 0);
    cement::load_fluids(dir / "gap.ini", back);
    EXPECT_TRUE(back.fluids.empty());
    EXPECT_EQ(back.selected_fluid, 0);
    // A missing file: no list, no fixed-fluid files.
    cement::load_fluids(dir / "none.ini", back);
    EXPECT_TRUE(back.fluids.empty());
    EXPECT_EQ(back.fixed_fluids[2].calibr_file_name, "");
    EXPECT_EQ(back.selected_fluid, -1);
}

TEST(CementJobSettings, DefaultsAndTheScaleRange) {
    os::testing::TempDir dir;
    const std::string path = dir / "cement.ini";
    CementData data;
    EXPECT_EQ(cement::load_last_stage(path), -1);
    EXPECT_TRUE(cement::load_view_settings(path, data));
    EXPECT_EQ(data.chart_scale, 5);
    cement::save_last_stage(path, 4);
    data.digital_density = false;
    data.chart_scale = 11;
    cement::save_view_settings(path, data);
    CementData back;
    EXPECT_EQ(cement::load_last_stage(path), 4);
    EXPECT_FALSE(cement::load_view_settings(path, back));
    EXPECT_EQ(back.chart_scale, 11);
    rtl::IniFile(path).WriteInteger("Main", "chart_scale", 40);
    cement::load_view_settings(path, back);
    EXPECT_EQ(back.chart_scale, 11);
}

TEST(CementDefaultProgramme, NineElementsWithTheListFluids) {
    CementData data;
    data.fluids = {TRastvor::made_by_operator("Буровой раствор"), TRastvor::made_by_operator("Вода")};
    data.fixed_fluids[1].calibr_file_name = "gel.clb";
    cement::make_default_programme(data);
    ASSERT_EQ(data.program.size(), 9u);
    EXPECT_EQ(data.element, -1);
    EXPECT_EQ(data.program[1].fluid_type, 4);  // "Вода" at index 1
    EXPECT_EQ(data.program[7].fluid_type, 3);
    EXPECT_EQ(data.program[3].fixed.calibr_file_name, "gel.clb");
    EXPECT_EQ(data.program[4].fixed.calibr_file_name, "gel.clb");  // waiting carries it
    EXPECT_EQ(data.program[0].fixed.calibr_file_name, "");
}

}  // namespace
