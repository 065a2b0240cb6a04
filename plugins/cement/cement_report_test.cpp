#include "plugins/cement/cement_report.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>

#include "library/time_conv.h"
#include "platform/os/testing.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/ini_file.h"

namespace {

std::map<std::string, std::string> as_map(const std::vector<std::pair<std::string, std::string>>& pairs) {
    return {pairs.begin(), pairs.end()};
}

CementProgramElement element(const char* name, int kind, int fluid, float v, double start, double end) {
    CementProgramElement e;
    e.name = name;
    e.kind = kind;
    e.fluid_type = fluid;
    e.V_inc = v;
    e.start = start;
    e.end = end;
    e.mode = cement::state_done;
    return e;
}

TEST(CementElementReport, RunningSumsMassesAndAverages) {
    os::testing::TempDir dir;
    const std::string path = dir / "cement_program_1.ini";
    CementData data;
    data.plan[CementData::plan_density][CementData::col_cement] = 1.8f;
    data.fluids = {TRastvor::made_by_operator("Вода")};
    data.program = {element("Закачка буфера", cement::kind_buffer, 3, 4, 0, 0),
                    element("Закачка цемента", cement::kind_cement, 0, 10, 0, 0),
                    element("Продавка", cement::kind_displacement, 3, 20, 0, 0)};
    data.program[0].fluid.name = "Вода";
    // Samples of the cement element: pressure 12, 8, 15.
    data.program[1].rate_sum = 30;
    data.program[1].density_sum = 5.4f;
    data.program[1].P_min = 8;
    data.program[1].P_max = 15;
    data.program[1].samples = 3;
    for (int i = 0; i < 3; ++i) {
        data.samples = i == 1 ? 3 : 0;
        cement::write_element_report(path, data, i, false);
    }

    rtl::IniFile ini(path);
    EXPECT_EQ(ini.ReadString("Report", "version", ""), "1.0");
    EXPECT_EQ(ini.ReadString("Item0", "Vsumm", ""), "4,00");
    EXPECT_EQ(ini.ReadString("Item0", "cem_Vsumm", ""), "0,00");
    EXPECT_EQ(ini.ReadString("Item0", "rastvor_name", ""), "Вода");
    EXPECT_EQ(ini.ReadString("Item1", "Vsumm", ""), "14,00");
    EXPECT_EQ(ini.ReadString("Item1", "cem_Vsumm", ""), "10,00");
    EXPECT_EQ(ini.ReadString("Item1", "cem_M", ""), "18,00");
    EXPECT_EQ(ini.ReadString("Item1", "cem_Msumm", ""), "18,00");
    EXPECT_EQ(ini.ReadString("Item1", "rastvor_name", ""), "Цемент");
    EXPECT_EQ(ini.ReadString("Item1", "Q_av", ""), "10,00");
    EXPECT_EQ(ini.ReadString("Item1", "Pl_av", ""), "1,80");
    EXPECT_EQ(ini.ReadString("Item1", "P_min", ""), "8,0");
    EXPECT_EQ(ini.ReadString("Item1", "P_max", ""), "15,0");
    EXPECT_EQ(ini.ReadString("Item2", "cem_Vsumm", ""), "10,00");
    EXPECT_EQ(ini.ReadString("Item2", "cem_M", ""), "0,00");
    EXPECT_EQ(ini.ReadString("Item2", "Vsumm", ""), "34,00");
    EXPECT_EQ(data.samples, 0);

    // Remaking leaves the averages in the file.
    rtl::IniFile(path).WriteString("Item1", "Q_av", "kept");
    cement::write_element_report(path, data, 1, true);
    EXPECT_EQ(ini.ReadString("Item1", "Q_av", ""), "kept");
    // An index outside the programme does nothing.
    cement::write_element_report(path, data, 7, false);
    EXPECT_FALSE(ini.SectionExists("Item7"));
}

cement::WellReportInfo well_with(int elements) {
    cement::WellReportInfo w;
    w.number = "1234";
    w.area = "Северная";
    w.kust = "7";
    w.customer = "Заказчик";
    for (int i = 0; i < elements; ++i) {
        pore::ConstrElement e("Колонна " + std::to_string(i));
        e.bottom = float(100 * (i + 1));
        e.inner_diameter = float(300 - 50 * i);
        e.outer_diameter = float(320 - 50 * i);
        w.construction.push_back(e);
    }
    w.construction[1].enabled = false;
    w.construction_length = 100.0 * elements;
    w.bit_diameter = 215.9;
    for (const AnsiString& c : cement::default_columns()) w.params.emplace_back(c, c, "", c, 0.0f, 100.0f);
    return w;
}

TEST(CementReportData, KeysFromTheJobTheWellAndTheOptions) {
    struct Case {
        std::vector<int> columns;
        std::map<std::string, std::string> expect;
        std::vector<std::string> absent;
    };
    const Case cases[] = {
        {{}, {{"curr_depth1", ""}, {"curr_dia3", ""}}, {"prev_column", "curr_column", "curr_outer_dia1"}},
        // Element 1 is not used: the previous column is element 0.
        {{2, 3},
         {{"prev_column", "Колонна 0"},
          {"prev_depth", "100,0"},
          {"prev_dia", "300,0"},
          {"curr_column", "Колонна 2"},
          {"curr_depth1", "300"},
          {"curr_outer_dia2", "170"},
          {"curr_depth3", ""}},
         {"curr_outer_dia3"}},
        {{0, 9}, {{"prev_column", ""}, {"curr_column", "Колонна 0"}, {"curr_depth2", ""}}, {"curr_outer_dia2"}},
    };
    for (const Case& c : cases) {
        os::testing::TempDir dir;
        CementData data;
        data.columns = c.columns;
        data.program = {element("Закачка цемента", cement::kind_cement, 0, 10.5f, 46000.25, 46000.5),
                        element("Ожидание", cement::kind_waiting, -1, 3, 46000.5, 46000.75),
                        element("Продавка", cement::kind_displacement, 3, 20, 46000.0, 46001.0 + 1.0 / 24)};
        data.plan[CementData::plan_rate][CementData::col_gas_cement] = 7.5f;
        TReportOptions report;
        double bit = 215.9;
        report.bind_bit_diameter(&bit);
        report.works = "Цементирование";
        cement::write_report_data(dir / "cement/cement_program_2", 2, data, report, ChartPoints(), well_with(4));
        auto got = as_map(cement::read_report_data(dir / "cement/cement_program_2.rpt"));
        for (const auto& [k, v] : c.expect) EXPECT_EQ(got[k], v) << k;
        for (const auto& k : c.absent) EXPECT_EQ(got.count(k), 0u) << k;
        EXPECT_EQ(got["name"], "1234");
        EXPECT_EQ(got["куст"], "7");
        EXPECT_EQ(got["заказчик"], "Заказчик");
        EXPECT_EQ(got["start_time"], "06:00");
        EXPECT_EQ(got["end_time"], "01:00");
        EXPECT_EQ(got["gazocem_planQ"], "7,50");
        EXPECT_EQ(got["cem_V"], "10,50");
        EXPECT_EQ(got["Vsumm"], "30,50");  // the waiting element's volume does not count
        EXPECT_EQ(got["prod_V"], "20,00");
        EXPECT_EQ(got["prodav_time"], "01:00:00");  // 25 hours as a time of day
        EXPECT_EQ(got["doloto_diametr"], "216");    // the report options' form is the one kept
        EXPECT_EQ(got["works"], "Цементирование");
        EXPECT_EQ(got["pore_depth"], "400,0");
    }
}

TEST(CementReportData, EmptyProgrammeHasNoTimesAndPointsMakeTheDiagramAndRemarks) {
    os::testing::TempDir dir;
    CementData data;
    TReportOptions report;
    cement::write_report_data(dir / "cement/cement_program_1", 1, data, report, ChartPoints(), well_with(2));
    auto got = as_map(cement::read_report_data(dir / "cement/cement_program_1.rpt"));
    EXPECT_EQ(got["start_time"], "");
    EXPECT_EQ(got["end_time"], "");
    EXPECT_EQ(got["Vsumm"], "0,00");

    // Two elements start between the same two points; a third after the last.
    const double t0 = rtl::EncodeDate(2026, 3, 1) + rtl::EncodeTime(10, 0, 0, 0);
    const double sec = 1.0 / 86400;
    data.program = {element("Первый \"этап\"", cement::kind_buffer, -1, 1, t0 + 0.5 * sec, 0),
                    element("Второй", cement::kind_cement, 0, 1, t0 + 0.7 * sec, 0),
                    element("Третий", cement::kind_displacement, -1, 1, t0 + 10 * sec, 0)};
    ChartPoints points;
    points.set_default_columns();
    for (int k = 0; k < 3; ++k) points.points.push_back({t0 + k * sec, std::vector<float>(9, float(k))});
    cement::write_report_data(dir / "cement/cement_program_1", 1, data, report, points, well_with(2));
    const std::string rem = os::testing::read_bytes(dir / "cement/report/cem_V.rem");
    const auto u1 = lib::datetime_to_unix(t0 + sec), u2 = lib::datetime_to_unix(t0 + 2 * sec);
    EXPECT_EQ(rem, "0 0 " + std::to_string(u1) +
                       " 0  \"\xCF\xE5\xF0\xE2\xFB\xE9 \\\"\xFD\xF2\xE0\xEF\\\"\" 0 0 7 16777215\r\n" + "0 0 " +
                       std::to_string(u2) + " 0  \"\xC2\xF2\xEE\xF0\xEE\xE9\" 0 0 7 16777215\r\n");

    FileStorage diagram;
    ASSERT_TRUE(diagram.add_file(dir / "cement/report/1234_1.realtim", false));
    EXPECT_EQ(diagram.get_data_size(), 3);
    EXPECT_EQ(diagram.text_values().get_text("скважина"), "1234");
    EXPECT_EQ(diagram.text_values().get_text("prod_V"), "1,00");
    // A remake appends the remarks again.
    cement::write_report_data(dir / "cement/cement_program_1", 1, data, report, points, well_with(2));
    EXPECT_EQ(os::testing::read_bytes(dir / "cement/report/cem_V.rem").size(), 2 * rem.size());
}

// A stage stopped after its buffer: the elements it never started (one
// still carrying times of an earlier stage) get no mark and lend it no
// times; the line's silence is said at its start, from when to when.
TEST(CementReportData, OnlyStartedElementsAreMarkedAndSilencesSayWhen) {
    os::testing::TempDir dir;
    const double t0 = rtl::EncodeDate(2026, 3, 1) + rtl::EncodeTime(10, 0, 0, 0);
    const double sec = 1.0 / 86400;
    CementData data;
    data.program = {element("Закачка буфера", cement::kind_buffer, -1, 0.02f, t0 + 0.5 * sec, t0 + 30 * sec),
                    element("Закачка цемента", cement::kind_cement, 0, 0, t0 - 3600 * sec, t0 - 60 * sec),
                    element("Продавка", cement::kind_displacement, -1, 0, 0, 0)};
    data.program[1].mode = data.program[2].mode = cement::state_waiting;
    data.silences = {{t0 + 1.5 * sec, t0 + 21.5 * sec}};
    ChartPoints points;
    points.set_default_columns();
    for (int k : {0, 1, 22, 23}) points.points.push_back({t0 + k * sec, std::vector<float>(9, 1.0f)});
    TReportOptions report;
    cement::write_report_data(dir / "cement/cement_program_1", 1, data, report, points, well_with(2));
    auto got = as_map(cement::read_report_data(dir / "cement/cement_program_1.rpt"));
    EXPECT_EQ(got["start_time"], "10:00");
    EXPECT_EQ(got["end_time"], "10:00");
    const auto line = [](double t, const char* text) {
        return rtl::utf8_to_cp1251(cement::remark_line(lib::datetime_to_unix(t), text)) + "\r\n";
    };
    EXPECT_EQ(os::testing::read_bytes(dir / "cement/report/cem_V.rem"),
              line(t0 + sec, "Закачка буфера") +
                  line(t0 + 1.5 * sec, "Нет данных от СКЦ с 10:00:01 по 10:00:21"));
}

TEST(CementReportData, PointsWithoutADateAreLeftOutOfTheDiagram) {
    // Times a damaged points file can hand back: none of them is a date the
    // diagram can carry, and none may cost the report of the other points.
    const double t0 = rtl::EncodeDate(2026, 3, 1) + rtl::EncodeTime(10, 0, 0, 0);
    const double bad_times[] = {std::nan(""), INFINITY, -INFINITY, 1e12, -1e7};
    for (const double bad : bad_times) {
        os::testing::TempDir dir;
        CementData data;
        data.program = {element("Закачка буфера", cement::kind_buffer, -1, 1, t0, t0 + 0.001)};
        ChartPoints points;
        points.set_default_columns();
        points.points.push_back({t0, std::vector<float>(9, 1.0f)});
        points.points.push_back({bad, std::vector<float>(9, 2.0f)});
        points.points.push_back({t0 + 1.0 / 86400, std::vector<float>(9, 3.0f)});
        TReportOptions report;
        ASSERT_NO_THROW(
            cement::write_report_data(dir / "cement/cement_program_1", 1, data, report, points, well_with(2)))
            << bad;
        FileStorage diagram;
        ASSERT_TRUE(diagram.add_file(dir / "cement/report/1234_1.realtim", false)) << bad;
        EXPECT_EQ(diagram.get_data_size(), 2) << bad;
        EXPECT_EQ(os::testing::read_bytes(dir / "cement/report/cem_V.rem"),
                  rtl::utf8_to_cp1251(cement::remark_line(lib::datetime_to_unix(t0), "Закачка буфера")) + "\r\n")
            << bad;
    }
}

TEST(CementReportOptions, CaptionsKeysAndTheBitDiameterBinding) {
    TReportOptions report;
    double trip_bit = 0;
    report.bind_bit_diameter(&trip_bit);
    lib::options_list list;
    report.enum_values(list);
    ASSERT_EQ(list.size(), 15);
    EXPECT_EQ(list.get_item(5)->get_display_name(), "Вид  работ");
    EXPECT_EQ(list.get_item(2)->get_ini_name(), "doloto_diametr");
    for (int i = 0; i < list.size(); ++i) EXPECT_EQ(list.get_item(i)->get_sect_name(), "Report");
    list.get_item(2)->set("190,5");
    EXPECT_EQ(trip_bit, 190.5);
}

}  // namespace
