#include "library/LAS_file.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "library/LAS_file_generated.h"
#include "platform/os/testing.h"
#include "platform/rtl/codepage.h"

namespace {

using os::testing::read_bytes;

namespace fs = std::filesystem;
using lib::las::file;
using lib::las::file_value;
using lib::las::text_headers;

// The public sample files, kept in the repository as they were published.
std::string las_samples() {
    const std::string dir = std::string(STATION_SOURCE_DIR) + "/library/testdata/las";
    return fs::is_directory(dir + "/standard") ? dir : "";
}

#define REQUIRE_SAMPLES(dir)           \
    const std::string dir = las_samples(); \
    if (dir.empty())                   \
    STATION_SKIP_UNLESS_CI("no LAS samples in " STATION_SOURCE_DIR "/library/testdata/las")

// A fresh folder for the test, with the files it writes.
class TempDir {
public:
    std::string file(const std::string& name) const { return dir_ / name; }
    std::string write(const std::string& name, const std::string& bytes) const {
        std::ofstream out(file(name), std::ios::binary);
        out << bytes;
        return file(name);
    }

private:
    os::testing::TempDir dir_;
};

std::string blanks(int n) { return std::string(static_cast<std::size_t>(n), ' '); }

const std::string kHeaderComment = "#MNEM.UNIT" + blanks(39) + "DATA DESCRIPTION ON MNEMONIC\r\n#" +
                                   std::string(23, '-') + " " + std::string(28, '-') + " " + std::string(23, '-') +
                                   "\r\n";

std::shared_ptr<text_headers> headers(const file& las, char letter) {
    return std::dynamic_pointer_cast<text_headers>(las.find_block(letter));
}

const file_value& line_of(const file& las, char letter, const std::string& name) {
    auto block = headers(las, letter);
    if (!block) throw std::runtime_error(std::string("no section ") + letter);
    int index = block->find_param(name);
    if (index < 0) throw std::runtime_error("no line " + name);
    return block->item_by_index(index);
}

TEST(LasHeaderLine, FieldsAsTheStandardDefinesThem) {
    struct Case {
        const char* line;
        const char* name;
        const char* unit;
        const char* value;
        const char* description;
    } cases[] = {
        {"STRT.M  1000.0: START DEPTH", "STRT", "M", "1000.0", "START DEPTH"},
        {" STRT    .M      1000.0 : START DEPTH", "STRT", "M", "1000.0", "START DEPTH"},
        {"STRT.M 1000.0:START DEPTH", "STRT", "M", "1000.0", "START DEPTH"},
        {" STRT.M        1670.000000:", "STRT", "M", "1670.000000", ""},
        {"NULL    .               -999.25   :NULL VALUE", "NULL", "", "-999.25", "NULL VALUE"},
        {"TCS .hh:mm 21:30 23-JAN-2001:   Time Circ. Stopped", "TCS", "hh:mm", "21:30 23-JAN-2001",
         "Time Circ. Stopped"},
        {" DT  .US/м     \t\t     :  2  SONIC TRANSIT TIME", "DT", "US/м", "", "2  SONIC TRANSIT TIME"},
        {"DEPT.M:", "DEPT", "M", "", ""},
        {"BS.              216 mm  :BS", "BS", "", "216 mm", "BS"},
        {"ГЛУБ.м 1500,5 : Глубина забоя", "ГЛУБ", "м", "1500,5", "Глубина забоя"},
    };
    for (const auto& c : cases) {
        file_value v;
        ASSERT_TRUE(lib::las::detailed::parse_header_line(c.line, v)) << c.line;
        EXPECT_EQ(v.name, c.name) << c.line;
        EXPECT_EQ(v.unit, c.unit) << c.line;
        EXPECT_EQ(v.data, c.value) << c.line;
        EXPECT_EQ(v.description, c.description) << c.line;
    }
    for (const char* bad : {"no dot and no colon", "MNEM.UNIT 12 without colon", "NAME : value.with dot", ""}) {
        file_value v;
        EXPECT_FALSE(lib::las::detailed::parse_header_line(bad, v)) << bad;
    }
}

// Every sample reads with the curves, units and values a reader of the
// standard sees in it.
TEST(LasSamples, StandardExamples) {
    REQUIRE_SAMPLES(dir);
    {
        file las;
        las.load(dir + "/standard/sample_2.0.las");
        auto curves = headers(las, 'c');
        ASSERT_EQ(las.get_param_count(), 8);
        const char* names[] = {"DEPT", "DT", "RHOB", "NPHI", "SFLU", "SFLA", "ILM", "ILD"};
        const char* units[] = {"M", "US/M", "K/M3", "V/V", "OHMM", "OHMM", "OHMM", "OHMM"};
        for (int i = 0; i < 8; ++i) {
            EXPECT_EQ(curves->item_by_index(i).name, names[i]);
            EXPECT_EQ(curves->item_by_index(i).unit, units[i]);
        }
        EXPECT_EQ(curves->item_by_index(1).data, "60 520 32 00");
        EXPECT_EQ(curves->item_by_index(1).description, "2  SONIC TRANSIT TIME");
        EXPECT_EQ(las.get_dept_index(), 0);
        EXPECT_EQ(line_of(las, 'w', "COMP").data, "ANY OIL COMPANY INC.");
        EXPECT_EQ(line_of(las, 'w', "STEP").data, "-0.1250");
        EXPECT_EQ(line_of(las, 'p', "MUD").data, "GEL CHEM");
        EXPECT_EQ(line_of(las, 'v', "WRAP").data, "NO");
        EXPECT_DOUBLE_EQ(las.get_values().get_null_value(), -999.25);
        auto other = std::dynamic_pointer_cast<lib::las::simple_headers>(las.find_block('o'));
        ASSERT_TRUE(other);
        ASSERT_EQ(other->size(), 2);
        EXPECT_EQ(other->get(1), "     between 625 metres and 615 metres to be invalid.");
        const auto& v = las.get_values();
        ASSERT_EQ(v.size(), 3);
        const double row0[] = {1670.0, 123.45, 2550.0, 0.45, 123.45, 123.45, 110.2, 105.6};
        for (int c = 0; c < 8; ++c) EXPECT_DOUBLE_EQ(v.at(c, 0), row0[c]) << c;
        EXPECT_DOUBLE_EQ(v.depth(1), 1669.875);
        EXPECT_DOUBLE_EQ(v.depth(2), 1669.75);
    }
    {
        file las;
        las.load(dir + "/standard/sample_2.0_based.las");
        ASSERT_EQ(las.get_param_count(), 3);
        EXPECT_EQ(headers(las, 'c')->item_by_index(0).name, "ETIM");
        EXPECT_EQ(headers(las, 'c')->item_by_index(2).unit, "PSIG");
        EXPECT_EQ(las.get_dept_index(), -1);
        EXPECT_EQ(line_of(las, 'p', "GDEPT").data, "3456.5");
        ASSERT_EQ(las.get_values().size(), 6);
        EXPECT_DOUBLE_EQ(las.get_values().at(2, 2), 16564.2421);
        EXPECT_DOUBLE_EQ(las.get_values().at(0, 5), 1.5);
    }
    {
        file las;
        las.load(dir + "/standard/sample_2.0_minimal.las");
        ASSERT_EQ(las.get_param_count(), 8);
        EXPECT_EQ(headers(las, 'c')->item_by_index(2).unit, "VOL/VOL");
        EXPECT_EQ(line_of(las, 'w', "FLD").data, "WILDCAT");
        ASSERT_EQ(las.get_values().size(), 2);
        EXPECT_DOUBLE_EQ(las.get_values().at(7, 1), 123.4);
        EXPECT_DOUBLE_EQ(las.get_values().depth(1), 634.875);
    }
    {
        // Wrapped: the depth on a line of its own, 35 values over five lines.
        file las;
        las.load(dir + "/standard/sample_2.0_wrapped.las");
        ASSERT_EQ(las.get_param_count(), 36);
        const auto& v = las.get_values();
        ASSERT_EQ(v.size(), 2);
        EXPECT_DOUBLE_EQ(v.depth(0), 910.0);
        EXPECT_DOUBLE_EQ(v.at(1, 0), -999.25);
        EXPECT_DOUBLE_EQ(v.at(2, 0), 2692.7075);
        EXPECT_DOUBLE_EQ(v.at(8, 0), -1.5010);
        EXPECT_DOUBLE_EQ(v.at(28, 0), 0.9529);
        EXPECT_DOUBLE_EQ(v.at(35, 0), 0.0);
        EXPECT_DOUBLE_EQ(v.depth(1), 909.875);
        EXPECT_DOUBLE_EQ(v.at(28, 1), 1.0);
        EXPECT_DOUBLE_EQ(v.at(32, 1), 14.1428);
    }
}

TEST(LasSamples, RealWorldVariants) {
    REQUIRE_SAMPLES(dir);
    const std::string var = dir + "/variants/";
    {
        // Wrapped, comment lines before the first section, a section heading
        // with a colon, and the curve list repeated in comments.
        file las;
        las.load(var + "1001178549.las");
        ASSERT_EQ(las.get_param_count(), 27);
        EXPECT_EQ(headers(las, 'c')->item_by_index(7).name, "NCNPL");
        EXPECT_EQ(headers(las, 'c')->item_by_index(7).unit, "PERCNT");
        EXPECT_EQ(headers(las, 'c')->item_by_index(26).description, "27 MICRO NORMAL 2\"");
        EXPECT_EQ(line_of(las, 'w', "LOC").data, "C,NW,NE, 28-30S-39W");
        EXPECT_EQ(line_of(las, 'p', "LONG").data, "-101.58701");
        const auto& v = las.get_values();
        ASSERT_EQ(v.size(), 5);
        EXPECT_DOUBLE_EQ(v.depth(0), 1783.5);
        EXPECT_DOUBLE_EQ(v.at(14, 0), 50.6465);
        EXPECT_DOUBLE_EQ(v.at(22, 0), 0.4533);
        EXPECT_DOUBLE_EQ(v.at(26, 0), -999.25);
        EXPECT_DOUBLE_EQ(v.depth(4), 1784.5);
        EXPECT_DOUBLE_EQ(v.at(24, 4), 93.2671);
    }
    {
        file las;
        las.load(var + "6038187_v1.2_short.las");
        ASSERT_EQ(las.get_param_count(), 9);
        EXPECT_EQ(headers(las, 'c')->item_by_index(2).unit, "G/CM3");
        EXPECT_EQ(line_of(las, 'w', "FLD").data, "");  // value and description empty
        EXPECT_EQ(line_of(las, 'w', "FLD").description, "");
        EXPECT_EQ(line_of(las, 'p', "PURP").data, "Cased hole stratigraphy");
        EXPECT_DOUBLE_EQ(las.get_values().get_null_value(), -99999);
        ASSERT_EQ(las.get_values().size(), 121);
        EXPECT_DOUBLE_EQ(las.get_values().at(1, 0), 101.78);
        EXPECT_DOUBLE_EQ(las.get_values().depth(120), 18.0);
        EXPECT_DOUBLE_EQ(las.get_values().at(8, 120), 65.3776);
    }
    {
        file las;
        las.load(var + "blank_line.las");
        ASSERT_EQ(las.get_param_count(), 1);
        EXPECT_EQ(headers(las, 'c')->item_by_index(0).unit, "ft");
        EXPECT_EQ(headers(las, 'c')->item_by_index(0).description, "Depth Index");
        EXPECT_EQ(line_of(las, 'w', "STEP").data, "0.0833333333333333");
        EXPECT_EQ(las.get_values().size(), 0);
    }
    {
        file las;
        las.load(var + "colon_pick_end.las");
        EXPECT_EQ(line_of(las, 'p', "TCS").unit, "hh:mm");
        EXPECT_EQ(line_of(las, 'p', "TCS").data, "21:30 23-JAN-2001");
        EXPECT_EQ(line_of(las, 'p', "MUD").data, "GEL CHEM");
        EXPECT_EQ(line_of(las, 'p', "BS").data, "200.0000");
        EXPECT_EQ(las.get_values().size(), 3);
    }
    {
        // Values a writer could not format ("-1.#IND") are missing values.
        file las;
        las.load(var + "null_policy_ind.las");
        ASSERT_EQ(las.get_param_count(), 4);
        EXPECT_EQ(line_of(las, 'w', "COMP").data, "Drillers & Producers, Inc.");
        const auto& v = las.get_values();
        ASSERT_EQ(v.size(), 10);
        EXPECT_DOUBLE_EQ(v.at(1, 0), 141.53386454);
        EXPECT_DOUBLE_EQ(v.at(2, 0), -999.25);
        EXPECT_DOUBLE_EQ(v.at(3, 9), -999.25);
        EXPECT_DOUBLE_EQ(v.depth(9), 2454.5);
    }
    {
        file las;
        las.load(var + "sample_2.0-small-neg-values.las");
        EXPECT_DOUBLE_EQ(las.get_values().at(2, 0), -0.0733);
        EXPECT_DOUBLE_EQ(las.get_values().at(2, 1), 0.0);
        EXPECT_DOUBLE_EQ(las.get_values().at(3, 2), 0.45);
    }
    {
        file las;
        las.load(var + "sample_cyrillic_depth_unit.las");  // UTF-8
        EXPECT_EQ(headers(las, 'c')->item_by_index(0).unit, "метер");
        EXPECT_EQ(headers(las, 'c')->item_by_index(1).unit, "US/м");
        // A version 1.2 file: its well items hold their values after the colon.
        EXPECT_EQ(line_of(las, 'w', "COMP").data, "# ANY OIL COMPANY LTD.");
        EXPECT_EQ(line_of(las, 'w', "COMP").description, "COMPANY");
        EXPECT_EQ(line_of(las, 'w', "STRT").data, "1670.000000");
        EXPECT_EQ(line_of(las, 'w', "STRT").description, "");
        EXPECT_DOUBLE_EQ(las.get_values().at(7, 2), 105.6);
    }
    for (const char* name :
         {"sample_2.0_inf_uwi.las", "sample_2.0_inf_uwi_leading_zero.las", "sample_2.0_inf_api_leading_zero.las"}) {
        file las;
        las.load(var + name);
        auto well = headers(las, 'w');
        int id = well->find_param("UWI") >= 0 ? well->find_param("UWI") : well->find_param("API");
        ASSERT_GE(id, 0) << name;
        EXPECT_TRUE(well->item_by_index(id).data == "300E074350061450" ||
                    well->item_by_index(id).data == "05001095820000")
            << name;  // identifiers stay text
    }
}

// The variants that only change the layout give the values of the first
// standard example.
TEST(LasSamples, LayoutVariantsReadLikeTheStandardExample) {
    REQUIRE_SAMPLES(dir);
    file reference;
    reference.load(dir + "/standard/sample_2.0.las");
    for (const char* name : {"sample_2.0.las", "sample_2.0_tab_dlm.las", "sample_2.0_universal_newline.las",
                             "sample_2.0_empty_other_section.las", "sample_2.0_wrong_stop_value.las", "sample_2.1.las",
                             "colon_pick_end.las"}) {
        SCOPED_TRACE(name);
        file las;
        las.load(dir + "/variants/" + name);
        ASSERT_EQ(las.get_param_count(), 8);
        for (int i = 0; i < 8; ++i) {
            EXPECT_EQ(headers(las, 'c')->item_by_index(i).name, headers(reference, 'c')->item_by_index(i).name);
            EXPECT_EQ(headers(las, 'c')->item_by_index(i).unit, headers(reference, 'c')->item_by_index(i).unit);
        }
        for (const char* well_line : {"STRT", "STEP", "NULL", "COMP", "UWI"})
            EXPECT_EQ(line_of(las, 'w', well_line).data, line_of(reference, 'w', well_line).data) << well_line;
        ASSERT_EQ(las.get_values().size(), 3);
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 8; ++c) EXPECT_EQ(las.get_values().at(c, r), reference.get_values().at(c, r));
    }
}

// Reading every sample, writing it and reading the result again keeps the
// headers and the values.
TEST(LasSamples, EverySampleSurvivesARewrite) {
    REQUIRE_SAMPLES(dir);
    TempDir tmp;
    int files = 0;
    for (const char* sub : {"/standard", "/variants"}) {
        for (const auto& entry : fs::directory_iterator(dir + sub)) {
            if (entry.path().extension() != ".las") continue;
            SCOPED_TRACE(entry.path().string());
            ++files;
            file first;
            first.load(entry.path().string());
            first.get_values().set_precision(6);
            std::string copy = tmp.file("copy.las");
            {
                std::ofstream out(copy, std::ios::binary);
                first.save(out);
            }
            file second;
            second.load(copy);
            ASSERT_EQ(second.get_param_count(), first.get_param_count());
            for (char letter : {'v', 'w', 'c', 'p'}) {
                auto a = headers(first, letter);
                auto b = headers(second, letter);
                if (!a) continue;
                ASSERT_TRUE(b) << letter;
                ASSERT_EQ(a->size(), b->size()) << letter;
                for (int i = 0; i < a->size(); ++i) {
                    EXPECT_EQ(a->item_by_index(i).name, b->item_by_index(i).name);
                    EXPECT_EQ(a->item_by_index(i).unit, b->item_by_index(i).unit);
                    EXPECT_EQ(a->item_by_index(i).data, b->item_by_index(i).data);
                    EXPECT_EQ(a->item_by_index(i).description, b->item_by_index(i).description);
                }
            }
            ASSERT_EQ(second.get_values().size(), first.get_values().size());
            for (int r = 0; r < first.get_values().size(); ++r)
                for (int c = 0; c < first.get_param_count(); ++c)
                    EXPECT_NEAR(second.get_values().at(c, r), first.get_values().at(c, r), 5e-7) << r << "," << c;
        }
    }
    EXPECT_EQ(files, 23);
}

// What the station writes, byte for byte: Windows-1251, CR LF, the value
// ending in column 53, the NULL line added to the well section.
TEST(LasWriter, WritesTheStationLayout) {
    file las;
    las.set_standart_version_info();
    las.get_well_block()->add("WELL", "", "Скв. 12", "Скважина");
    auto curves = las.get_curve_block();
    curves->add("DEPT", "м", "", "Глубина");
    curves->add("WOB", "т", "", "Вес на крюке");
    int r = las.get_values().add();
    las.get_values().at(0, r) = 1669.875;
    las.get_values().at(1, r) = -12.5;
    r = las.get_values().add();
    las.get_values().at(0, r) = 1670;
    std::ostringstream out;
    las.save(out);
    const std::string expected =
        std::string("~Version information block\r\n") + kHeaderComment + "VERS." + blanks(44) +
        "2.00: CWLS log ASCII Standart\r\n" + "WRAP." + blanks(46) + "NO: One line per depth step\r\n" +
        "~Well information block\r\n" + kHeaderComment + "WELL." + blanks(41) + "Скв. 12: Скважина\r\n" + "NULL." +
        blanks(43) + "-9999: NULL VALUE\r\n" + "~Curve information block\r\n" + kHeaderComment + "DEPT.м" + blanks(47) +
        ": Глубина\r\n" + "WOB .т" + blanks(47) + ": Вес на крюке\r\n" + "#\r\n~ASCII Log Data\r\n" + "1669.875" +
        blanks(4) + "-12.50000 \r\n" + "1670.0" + blanks(5) + "-9999.00000 \r\n";
    EXPECT_EQ(out.str(), rtl::utf8_to_cp1251(expected));
}

TEST(LasWriter, EmptyFileAndLongFields) {
    {
        file las;
        std::ostringstream out;
        las.save(out);
        EXPECT_EQ(out.str(), "~Well information block\r\n" + kHeaderComment + "NULL." + blanks(43) +
                                 "-9999: NULL VALUE\r\n#\r\n~ASCII Log Data\r\n");
    }
    // A value too long for its field still stands apart from the unit.
    file las;
    std::string unit(30, 'U');
    std::string value(40, '7');
    las.get_param_block()->add("LONGMNEMONIC", unit, value, "d");
    las.get_param_block()->add("X", unit + unit, "1", "");
    TempDir tmp;
    std::string name = tmp.file("long.las");
    {
        std::ofstream out(name, std::ios::binary);
        las.save(out);
    }
    file back;
    back.load(name);
    EXPECT_EQ(line_of(back, 'p', "LONGMNEMONIC").unit, unit);
    EXPECT_EQ(line_of(back, 'p', "LONGMNEMONIC").data, value);
    EXPECT_EQ(line_of(back, 'p', "X").unit, unit + unit);
    EXPECT_EQ(line_of(back, 'p', "X").data, "1");
    EXPECT_EQ(line_of(back, 'p', "X").description, "");
}

// A header in Russian, with a null value of the file's own, read back from
// Windows-1251 and from a DOS file.
TEST(LasRoundTrip, CyrillicHeaderAndValues) {
    TempDir tmp;
    file las;
    las.set_standart_version_info();
    las.get_values().set_null_value(-999.25);
    auto well = las.get_well_block();
    well->add("WELL", "", "Скважина №5-бис", "Скважина");
    well->add("FLD", "", "Ёлкинское", "Месторождение");
    well->add("STRT", "м", "1000.0", "Начальная глубина");
    auto curves = las.get_curve_block();
    curves->add("DEPT", "м", "", "Глубина");
    curves->add("ВЕС", "тс", "", "Вес на крюке: среднее");
    curves->add("ДАВЛ", "кгс/см2", "", "Давление на входе");
    const double rows[][3] = {{1000.0, 12.5, 101.25}, {1000.125, -0.00001, -999.25}, {1000.25, 1e6, 0.0}};
    for (const auto& row : rows) {
        int r = las.get_values().add();
        for (int c = 0; c < 3; ++c) las.get_values().at(c, r) = row[c];
    }
    std::string name = tmp.file("rus.las");
    {
        std::ofstream out(name, std::ios::binary);
        las.save(out);
    }
    std::string bytes = read_bytes(name);
    EXPECT_NE(bytes.find(rtl::utf8_to_cp1251("Ёлкинское")), std::string::npos);
    EXPECT_EQ(bytes.find("\xD0\x81"), std::string::npos);  // no UTF-8 on disk

    auto check = [&](const file& back) {
        EXPECT_EQ(line_of(back, 'w', "WELL").data, "Скважина №5-бис");
        EXPECT_EQ(line_of(back, 'w', "FLD").data, "Ёлкинское");
        EXPECT_EQ(line_of(back, 'w', "STRT").unit, "м");
        EXPECT_EQ(line_of(back, 'w', "NULL").data, "-999.25");
        auto c = headers(back, 'c');
        ASSERT_EQ(c->size(), 3);
        EXPECT_EQ(c->item_by_index(1).name, "ВЕС");
        EXPECT_EQ(c->item_by_index(2).unit, "кгс/см2");
        EXPECT_EQ(c->find_param("дАвЛ"), 2);
        // The description's own colon is taken for the delimiter: the
        // standard's last-colon rule, which a writer cannot escape.
        EXPECT_EQ(c->item_by_index(1).description, "среднее");
        EXPECT_DOUBLE_EQ(back.get_values().get_null_value(), -999.25);
        ASSERT_EQ(back.get_values().size(), 3);
        for (int r = 0; r < 3; ++r)
            for (int col = 0; col < 3; ++col) EXPECT_DOUBLE_EQ(back.get_values().at(col, r), rows[r][col]);
    };
    file back;
    back.load(name);
    check(back);

    // The same text in code page 866, as DOS tools write it.
    std::string dos = rtl::utf8_to_cp866(rtl::cp1251_to_utf8(bytes));
    std::string dos_name = tmp.write("dos.las", dos);
    file detected;
    detected.load(dos_name);
    check(detected);
    file from_dos;
    from_dos.set_coding(lib::las::detailed::dos);
    from_dos.load(dos_name);
    check(from_dos);
    // Told the wrong code page, the reader believes it.
    file told;
    told.set_coding(lib::las::detailed::windows);
    told.load(dos_name);
    EXPECT_NE(line_of(told, 'w', "FLD").data, "Ёлкинское");
}

TEST(LasReader, ShortAndBadRowsTakeTheNullValue) {
    TempDir tmp;
    std::string name = tmp.write("rows.las",
                                 "~V\nVERS. 2.0 :\nWRAP. NO :\n~W\nNULL. -999.25 : null\n"
                                 "~C\nDEPT.M :\nA.X :\nB.Y :\n~A\n"
                                 "10.0 1.5\n"
                                 "\n"
                                 "   \t  \n"
                                 "10.5 abc 2.5 99 98\n"
                                 "# a comment row\n"
                                 "11,0 +3e2 -.5\n");
    file las;
    las.load(name);
    const auto& v = las.get_values();
    ASSERT_EQ(v.size(), 3);
    EXPECT_EQ(v.get_column_count(), 3);
    EXPECT_DOUBLE_EQ(v.at(1, 0), 1.5);
    EXPECT_DOUBLE_EQ(v.at(2, 0), -999.25);  // missing
    EXPECT_DOUBLE_EQ(v.at(1, 1), -999.25);  // not a number
    EXPECT_DOUBLE_EQ(v.at(2, 1), 2.5);      // extra values dropped
    EXPECT_DOUBLE_EQ(v.depth(2), 11.0);
    EXPECT_DOUBLE_EQ(v.at(1, 2), 300.0);
    EXPECT_DOUBLE_EQ(v.at(2, 2), -0.5);
    EXPECT_THROW(v.at(3, 0), std::out_of_range);
    try {
        v.at(0, 3);
        FAIL();
    } catch (const std::out_of_range& e) {
        EXPECT_STREQ(e.what(), "invalid vector<T> subscript");
    }
}

bool has_warning(const file& las, const std::string& part) {
    for (const auto& w : las.get_warnings())
        if (w.find(part) != std::string::npos) return true;
    return false;
}

// Files whose headers and data do not agree: nothing shifts a value under
// another curve's name, nothing is dropped without a warning, and the
// well's NULL value and a 1.2 file's well items survive a rewrite.
TEST(LasReader, HeadersAndDataThatDoNotAgreeAreReadSafelyAndTold) {
    struct Case {
        const char* what;
        const char* text;
        std::function<void(const file&)> check;
        std::vector<const char*> warnings;
    };
    const std::vector<Case> cases = {
        {"curve line without a colon",
         "~C\nDEPT.M : depth\nTEST .cps\nGR  .API : gamma\n~A\n100.0 7 55\n",
         [](const file& las) {
             auto curves = headers(las, 'c');
             ASSERT_EQ(curves->size(), 3);
             EXPECT_EQ(curves->item_by_index(1).name, "TEST");
             EXPECT_EQ(curves->item_by_index(1).unit, "cps");
             EXPECT_EQ(curves->item_by_index(1).description, "");
             EXPECT_EQ(curves->item_by_index(2).name, "GR");
             EXPECT_DOUBLE_EQ(las.get_values().at(1, 0), 7);
             EXPECT_DOUBLE_EQ(las.get_values().at(2, 0), 55);
         },
         {"~C: the line \"TEST .cps\" has no colon; read as \"TEST\" with the unit \"cps\""}},
        {"rows wider and narrower than the curve list",
         "~C\nDEPT.M :\nA.X :\n~A\n1 2 3\n4 5\n6\n7 8 9 10\n",
         [](const file& las) {
             EXPECT_EQ(las.get_values().size(), 4);
             EXPECT_DOUBLE_EQ(las.get_values().at(1, 2), -9999);
         },
         {"~A: 3 data rows hold 1 to 4 values where the curve list has 2 curves"}},
        {"data before the curves",
         "~A\n1 2\n~C\nDEPT.M :\n",
         [](const file& las) { EXPECT_EQ(las.get_values().get_column_count(), 0); },
         {"~A: 1 data rows hold 2 values where the curve list has 0 curves"}},
        {"values that are not numbers",
         "~W\nNULL. -999.25 : null\n~C\nDEPT.M :\nA.X :\nB.Y :\n~A\n1 abc 0\n2 - 1,5\n",
         [](const file& las) {
             EXPECT_DOUBLE_EQ(las.get_values().at(1, 0), -999.25);  // missing, not a measured 0
             EXPECT_DOUBLE_EQ(las.get_values().at(2, 0), 0);
             EXPECT_DOUBLE_EQ(las.get_values().at(1, 1), -999.25);
             EXPECT_DOUBLE_EQ(las.get_values().at(2, 1), 1.5);
         },
         {"~A: 2 data values are not numbers; they read as the NULL value -999.25"}},
        {"NULL without data",
         "~W\nNULL. -999.25 : null\n~C\nDEPT.M :\n",
         [](const file& las) { EXPECT_DOUBLE_EQ(las.get_values().get_null_value(), -999.25); },
         {}},
        {"version 1.2 well items",
         "~V\nVERS. 1.2 : CWLS LOG ASCII STANDARD -VERSION 1.2\n~W\nSTRT.M 10.0 : \nNULL. -1 : \n"
         "COMP.  COMPANY: ANY OIL COMPANY LTD.\nWELL. WELL : \nSTRANGE LINE\n",
         [](const file& las) {
             EXPECT_EQ(line_of(las, 'w', "STRT").data, "10.0");
             EXPECT_EQ(line_of(las, 'w', "NULL").data, "-1");
             EXPECT_EQ(line_of(las, 'w', "COMP").data, "ANY OIL COMPANY LTD.");
             EXPECT_EQ(line_of(las, 'w', "COMP").description, "COMPANY");
             EXPECT_EQ(line_of(las, 'w', "WELL").data, "");
             EXPECT_EQ(line_of(las, 'w', "WELL").description, "WELL");
         },
         {"~W: the line \"STRANGE LINE\" is not a header line; skipped"}},
    };
    TempDir tmp;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        file las;
        las.load(tmp.write("case.las", c.text));
        c.check(las);
        EXPECT_EQ(las.get_warnings().size(), c.warnings.size()) << ::testing::PrintToString(las.get_warnings());
        for (const char* w : c.warnings) EXPECT_TRUE(has_warning(las, w)) << w;
        // Written and read again: the same file, told nothing new.
        const std::string copy = tmp.file("copy.las");
        {
            std::ofstream out(copy, std::ios::binary);
            las.save(out);
        }
        file again;
        again.load(copy);
        c.check(again);
        EXPECT_DOUBLE_EQ(again.get_values().get_null_value(), las.get_values().get_null_value());
    }
    // A 1.2 file is written as 2.0, or a reader would swap the items back.
    file old;
    old.load(tmp.write("old.las", cases.back().text));
    std::ostringstream out;
    old.save(out);
    EXPECT_NE(out.str().find("VERS." + blanks(44) + "2.00: CWLS log ASCII Standart\r\n"), std::string::npos)
        << out.str();
    EXPECT_TRUE(old.get_warnings().size() == 1);
    old.clear();
    EXPECT_TRUE(old.get_warnings().empty());
}

TEST(LasReader, WrappedDataThatDoesNotFillItsStepsIsRefused) {
    TempDir tmp;
    const std::string head = "~Version\nVERS. 2.0 :\nWRAP. YES : wrapped\n~Curves\nDEPT.M :\nA.X :\nB.Y :\nC.Z :\n~A\n";
    struct Case {
        const char* data;
        const char* error;
    } cases[] = {
        {"100.0\n1 2\n3\n100.5\n4 5\n", "ends inside depth step 2 (3 of 4 values)"},
        {"100.0\n1 2 3 100.5\n4 5 6\n", "depth step 1 of the wrapped data ends inside a line"},
    };
    for (const auto& c : cases) {
        std::string name = tmp.write("wrapped.las", head + c.data);
        file las;
        try {
            las.load(name);
            FAIL() << c.data;
        } catch (const std::runtime_error& e) {
            std::string what = e.what();
            EXPECT_NE(what.find("LAS file '" + name + "'"), std::string::npos) << what;
            EXPECT_NE(what.find(c.error), std::string::npos) << what;
        }
        EXPECT_TRUE(las.get_blocks().empty());
        EXPECT_EQ(las.get_values().size(), 0);
    }
    // Whole steps read, each across as many lines as it takes.
    std::string name = tmp.write("good.las", head + "100.0\n1 2\n3\n100.5\n4\n5 6\n");
    file las;
    las.load(name);
    ASSERT_EQ(las.get_values().size(), 2);
    EXPECT_DOUBLE_EQ(las.get_values().at(3, 0), 3);
    EXPECT_DOUBLE_EQ(las.get_values().at(2, 1), 5);
    // Written back one step per line, and said so.
    std::ostringstream out;
    las.save(out);
    EXPECT_NE(out.str().find("WRAP." + blanks(46) + "NO: One line per depth step\r\n"), std::string::npos);
    EXPECT_NE(out.str().find("100.5" + blanks(9) + "4.00000" + blanks(4) + "5.00000" + blanks(4) + "6.00000 \r\n"),
              std::string::npos);
}

TEST(LasReader, MissingFileAndSectionsOfTheWrongKind) {
    file las;
    las.get_param_block()->add("X");
    try {
        las.load("/nonexistent/folder/well.las");
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Could not open file '/nonexistent/folder/well.las'");
    }
    EXPECT_TRUE(las.get_blocks().empty());
    TempDir tmp;
    las.get_param_block();
    las.load(tmp.write("empty.las", ""));  // an empty file is an empty log
    EXPECT_TRUE(las.get_blocks().empty());

    las.get_other_info_block(true);
    EXPECT_THROW(las.get_other_info_block(false), std::logic_error);
    EXPECT_TRUE(std::dynamic_pointer_cast<lib::las::simple_headers>(las.get_other_info_block(true)));
    try {
        las.get_param_block()->item_by_index(0);
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "heavy_vector<T>::check_item_index");
    }
}

TEST(LasModel, RowsFollowTheCurveSection) {
    file las;
    las.get_values().set_null_value(-1);
    las.get_curve_block()->add("DEPT", "m", "", "");
    int r = las.get_values().add();
    EXPECT_EQ(las.get_values().line(r).size(), 1);
    las.get_curve_block()->add("GR", "API", "", "");
    las.get_curve_block()->add("gr");  // the same curve, no new column
    EXPECT_EQ(las.get_values().line(r).size(), 2);
    EXPECT_DOUBLE_EQ(las.get_values().at(1, r), -1);
    las.get_curve_block()->add("GR", "gAPI", "1", "gamma");
    EXPECT_EQ(las.get_curve_block()->size(), 2);
    EXPECT_EQ(las.get_curve_block()->item_by_index(1).unit, "gAPI");

    // "dept" in any case is the depth curve.
    TempDir tmp;
    std::string name = tmp.write("d.las", "~C\r\n  gr.API : g\r\n dept.M : d\r\n~A\r\n1 2\r\n");
    file read;
    read.load(name);
    EXPECT_EQ(read.get_dept_index(), 1);
    EXPECT_DOUBLE_EQ(read.get_values().at(1, 0), 2);
}

TEST(LasModel, FreeTextSectionIsWrittenBack) {
    TempDir tmp;
    std::string name = tmp.write("o.las",
                                 "~V\r\nVERS. 2.0 : v\r\n~Other information\r\n  Замечание: прихват на 625 м\r\n"
                                 "\tвторая строка\r\n~C\r\nDEPT.M : d\r\n~A\r\n625.0\r\n");
    file las;
    las.set_coding(lib::las::detailed::utf8);
    las.load(name);
    std::ostringstream out;
    las.save(out);
    std::string name2 = tmp.write("o2.las", out.str());
    file back;
    back.load(name2);
    auto other = std::dynamic_pointer_cast<lib::las::simple_headers>(back.find_block('o'));
    ASSERT_TRUE(other);
    ASSERT_EQ(other->size(), 2);
    EXPECT_EQ(other->get(0), "  Замечание: прихват на 625 м");
    EXPECT_EQ(other->get(1), "\tвторая строка");
    EXPECT_THROW(other->get(2), std::out_of_range);
}

// Every value read must be the exact double std::from_chars makes of its
// token, whatever ends the lines.
TEST(LasReader, GeneratedDataReadsAsFromChars) {
    const int rows = 3000, curves = 20;
    const std::string text = lib::las::testing::generated_las_text(rows, curves);
    std::vector<std::vector<double>> expected;
    const std::size_t data = text.find("\r\n", text.find("~A")) + 2;
    for (std::size_t pos = data; pos < text.size();) {
        std::size_t end = text.find("\r\n", pos);
        std::vector<double> row;
        for (std::size_t t = pos; t < end;) {
            std::size_t stop = std::min(text.find(' ', t), end);
            double v = 0;
            auto r = std::from_chars(text.data() + t, text.data() + stop, v);
            EXPECT_EQ(r.ptr, text.data() + stop);
            row.push_back(v);
            t = stop + 1;
        }
        expected.push_back(row);
        pos = end + 2;
    }
    ASSERT_EQ(expected.size(), static_cast<std::size_t>(rows));

    // The same data with CR LF, lone LF and lone CR line ends mixed, and no
    // line end after the last row.
    std::string mixed;
    for (std::size_t i = 0, line = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && text[i + 1] == '\n') {
            mixed += line % 3 == 0 ? "\r\n" : line % 3 == 1 ? "\n" : "\r";
            ++line;
            ++i;
        } else {
            mixed += text[i];
        }
    }
    mixed.resize(mixed.size() - (mixed.back() == '\n' && mixed[mixed.size() - 2] == '\r' ? 2 : 1));

    TempDir tmp;
    for (const auto& [name, bytes] : {std::pair{"crlf.las", text}, std::pair{"mixed.las", mixed}}) {
        SCOPED_TRACE(name);
        file las;
        las.load(tmp.write(name, bytes));
        EXPECT_TRUE(las.get_warnings().empty());
        EXPECT_EQ(las.get_curve_block()->size(), curves);
        ASSERT_EQ(las.get_values().size(), rows);
        int nulls = 0;
        for (int r = 0; r < rows; ++r) {
            ASSERT_EQ(las.get_values().line(r).size(), curves);
            for (int c = 0; c < curves; ++c) {
                const double got = las.get_values().at(c, r);
                const double want = expected[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)];
                ASSERT_EQ(std::memcmp(&got, &want, sizeof got), 0) << "row " << r << " column " << c;
                nulls += got == -999.25;
            }
        }
        EXPECT_GT(nulls, rows / 2);  // the NULL value is among the values
        EXPECT_DOUBLE_EQ(las.get_values().get_null_value(), -999.25);
    }
}

}  // namespace

namespace {

// Decimal tokens of every length round the places where the reader changes
// its way of reading digits (eight at a time, the 2^53 and 19-digit limits),
// and random ones, each at the start, inside and at the end of a line: every
// value read must be the exact double std::from_chars makes of the token.
TEST(LasReader, DecimalTokensOfEveryShapeReadAsFromChars) {
    std::vector<std::string> tokens = {"0",
                                       "-0",
                                       "-0.0",
                                       "0.",
                                       "5.",
                                       "-5.",
                                       "007.50",
                                       "12345678",
                                       "123456789",
                                       "1234567.8",
                                       "12345678.9",
                                       "0.12345678",
                                       "0.123456789",
                                       "9007199254740992",
                                       "9007199254740993",
                                       "-9007199254740993",
                                       "900719925474099.3",
                                       "0.9007199254740993",
                                       "1234567890123456789",
                                       "12345678901234567890",
                                       "0.0000000000000000001",
                                       "0.00000000000000000001",
                                       "00000000000000000001",
                                       "1844674407370955161.5",
                                       "179769313486231570000000000000000000000",
                                       "0.1",
                                       "0.3",
                                       "2.675",
                                       "-999.25",
                                       "1e5",
                                       "-1.5E-3"};
    std::uint64_t state = 12345;
    auto next = [&state] {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return state >> 33;
    };
    for (int i = 0; i < 4000; ++i) {
        std::string t = next() % 3 == 0 ? "-" : "";
        const std::uint64_t whole = 1 + next() % 21, decimals = next() % 22;
        for (std::uint64_t d = 0; d < whole; ++d) t += static_cast<char>('0' + next() % 10);
        if (decimals > 0 || next() % 4 == 0) t += '.';
        for (std::uint64_t d = 0; d < decimals; ++d) t += static_cast<char>('0' + next() % 10);
        tokens.push_back(t);
    }
    // Three curves: each token is read alone on a line, first between two
    // others, and last on a line, with short and long neighbours.
    std::string text = "~W\r\nNULL. -999999 : null\r\n~C\r\nDEPT.M :\r\nA.X :\r\nB.Y :\r\n~A\r\n";
    for (const std::string& t : tokens)
        text += t + "\r\n" + t + " 1 22222222222\r\n1.5\t" + t + "\t2\r\n3 4 " + t + "\r\n";
    TempDir tmp;
    file las;
    las.load(tmp.write("shapes.las", text));
    EXPECT_TRUE(las.get_warnings().size() == 1) << "only the short rows are told";
    ASSERT_EQ(las.get_values().size(), static_cast<int>(tokens.size() * 4));
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const std::string& t = tokens[i];
        double want = 0;
        const auto r = std::from_chars(t.data(), t.data() + t.size(), want);
        ASSERT_TRUE(r.ec == std::errc() && r.ptr == t.data() + t.size()) << t;
        const int row = static_cast<int>(i * 4);
        const double got[] = {las.get_values().at(0, row), las.get_values().at(0, row + 1),
                              las.get_values().at(1, row + 2), las.get_values().at(2, row + 3)};
        for (double g : got) ASSERT_EQ(std::memcmp(&g, &want, sizeof g), 0) << t;
    }
}

}  // namespace
