#include "gti/registr_old/InstrPipes/instr_elem.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/rtl/numbers.h"

namespace {

using instr::Elem;

float f(const std::string& text) { return static_cast<float>(rtl::StrToFloat(text)); }

std::vector<std::vector<std::string>> read_vectors(const std::string& kind) {
    std::ifstream in(std::string(STATION_SOURCE_DIR) + "/gti/registr_old/testdata/text_vectors.tsv", std::ios::binary);
    std::vector<std::vector<std::string>> rows;
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> cols;
        std::stringstream s(line);
        std::string col;
        while (std::getline(s, col, '\t')) cols.push_back(col);
        if (line.back() == '\t') cols.push_back("");
        if (!cols.empty() && cols[0] == kind) rows.push_back(cols);
    }
    return rows;
}

// An element just added to the tally is one piece of no kind yet: it is
// listed as "НЕТ" and adds nothing to the string's length, volumes or weight
// until the operator types its lengths.
TEST(InstrElem, ANewElementAddsNothingToTheString) {
    Elem e;
    EXPECT_EQ(e.count, 1);
    EXPECT_EQ(e.get_name(), "НЕТ");
    EXPECT_EQ(e.get_len(), 0.0f);
    EXPECT_EQ(e.get_metal_volume(-1), 0.0f);
    EXPECT_EQ(e.get_total_volume(-1), 0.0f);
    EXPECT_EQ(e.get_metal_weight(-1), 0.0f);
    EXPECT_EQ(e.get_len_string(), "");
}

TEST(InstrElem, TypeNames) {
    Elem e;
    e.type = 12;
    EXPECT_EQ(e.get_name(), "Другое");
    e.type = -5;
    EXPECT_EQ(e.get_name(), "Другое");
    e.set_name("Свеча");
    EXPECT_EQ(e.type, 5);
    e.set_name("свеча");  // letter case counts
    EXPECT_EQ(e.type, 5);
    e.set_name("Трёхтрубка");
    EXPECT_EQ(e.type, 8);

    const auto& types = instr::get_elem_types();
    ASSERT_EQ(types.size(), 13u);
    EXPECT_EQ(types.begin()->second, "НЕТ");
    EXPECT_EQ(types.rbegin()->second, "Калибратор");
    for (const auto& [key, name] : types) {
        Elem x;
        x.set_name(name);
        EXPECT_EQ(x.type, key);
        EXPECT_EQ(x.have_to_be_counted(), key >= 1 && key <= 5) << name;
    }
}

TEST(InstrElem, LengthText) {
    Elem e;
    e.lengths = {12.5f, 9.0f};
    EXPECT_EQ(e.get_len_string(), "12,50 + 9,00");
    e.set_len_string("12,5+ 9.1");
    ASSERT_EQ(e.lengths.size(), 2u);
    EXPECT_EQ(e.lengths[0], 12.5f);
    EXPECT_EQ(e.lengths[1], 9.1f);
    e.set_len_string("abc+7");
    EXPECT_EQ(e.lengths, (std::vector<float>{0.0f, 7.0f}));
    e.set_len_string("");
    EXPECT_TRUE(e.lengths.empty());
}

TEST(InstrElem, Lengths) {
    Elem e;
    e.count = 3;
    e.lengths = {12, 13};
    EXPECT_EQ(e.get_len(-1), 75.0f);
    EXPECT_EQ(e.get_len(1), 25.0f);
    EXPECT_EQ(e.get_len(0), 0.0f);
    EXPECT_EQ(e.get_len_pipes(1), 12.0f);
    EXPECT_EQ(e.get_len_pipes(5), 25.0f);
    EXPECT_EQ(e.get_len_pipes(0), 0.0f);
    EXPECT_EQ(e.get_len_pipes(-2), 0.0f);
}

TEST(InstrElem, VolumesAgainstGeometry) {
    Elem e;
    e.diameter = 127;
    e.wall = 9.19f;
    e.weight_per_metre = 29.1f;
    const double D = 0.127, d = (127 - 2 * 9.19) * 0.001, L = 1000;
    EXPECT_NEAR(e.get_total_volume(1000.0f), M_PI / 4 * D * D * L, 1e-5 * M_PI / 4 * D * D * L);
    EXPECT_NEAR(e.get_metal_volume(1000.0f), M_PI / 4 * (D * D - d * d) * L, 1e-4 * M_PI / 4 * (D * D - d * d) * L);
    EXPECT_NEAR(e.get_metal_weight(1000.0f), 29100.0, 0.01);

    e.wall = e.diameter / 2;  // a solid bar
    EXPECT_EQ(e.get_metal_volume(10.0f), e.get_total_volume(10.0f));
    e.wall = 0;
    EXPECT_EQ(e.get_metal_volume(10.0f), 0.0f);
}

TEST(InstrElem, TextFormVectors) {
    const auto rows = read_vectors("elem");
    ASSERT_EQ(rows.size(), 7u);
    for (const auto& r : rows) {
        SCOPED_TRACE(r[7]);
        Elem e;
        e.count = rtl::StrToIntDef(r[1], -99);
        e.type = rtl::StrToIntDef(r[2], -99);
        e.diameter = f(r[3]);
        e.weight_per_metre = f(r[4]);
        e.wall = f(r[5]);
        e.lengths.clear();
        if (!r[6].empty()) {
            std::stringstream s(r[6]);
            std::string l;
            while (std::getline(s, l, '+')) e.lengths.push_back(f(l));
        }
        std::string text;
        e.set_to_string(text);
        EXPECT_EQ(text, r[7]);

        Elem back;
        back.get_from_string(text);
        EXPECT_EQ(back, e);
    }
}

TEST(InstrElem, TextFormReading) {
    Elem e;
    e.get_from_string("3 6 127 29,5 9.25 1 9.5");
    EXPECT_EQ(e.count, 3);
    EXPECT_EQ(e.get_name(), "Одиночка");
    EXPECT_EQ(e.diameter, 127.0f);
    EXPECT_EQ(e.weight_per_metre, 29.5f);
    EXPECT_EQ(e.wall, 9.25f);
    EXPECT_EQ(e.lengths, std::vector<float>{9.5f});
    std::string text;
    e.set_to_string(text);
    EXPECT_EQ(text, "3 6 127 29,5 9,25 1 9,5");

    e.get_from_string("2 5");
    EXPECT_EQ(e.count, 2);
    EXPECT_EQ(e.type, 5);
    EXPECT_EQ(e.diameter, 0.0f);
    EXPECT_EQ(e.weight_per_metre, 0.0f);
    EXPECT_EQ(e.wall, 0.0f);
    EXPECT_TRUE(e.lengths.empty());

    // Lengths missing from the line read as 0; extra entries are ignored.
    e.get_from_string("1 5 127 30 9 3 12.5");
    EXPECT_EQ(e.lengths, (std::vector<float>{12.5f, 0.0f, 0.0f}));
    e.get_from_string("1 5 127 30 9 1 12.5 13 14");
    EXPECT_EQ(e.lengths, std::vector<float>{12.5f});
    e.get_from_string("");
    EXPECT_EQ(e.count, 0);
    EXPECT_TRUE(e.lengths.empty());
}

TEST(InstrElem, DamagedLengthCount) {
    Elem e;
    e.get_from_string("1 5 127 30 9 -4 12.5");
    EXPECT_TRUE(e.lengths.empty());
    // An absurd count takes only what the line holds.
    e.get_from_string("1 5 127 30 9 2000000000 12.5 12.25");
    EXPECT_EQ(e.lengths, (std::vector<float>{12.5f, 12.25f}));
    e.get_from_string("1 5 127 30 9 99999");
    EXPECT_TRUE(e.lengths.empty());
}

}  // namespace
