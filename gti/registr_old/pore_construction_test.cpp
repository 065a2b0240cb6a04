#include "gti/registr_old/pore_construction.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>

#include "library/serial/serial_list.h"
#include "platform/os/testing.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/ini_file.h"

namespace {

using pore::ConstrElement;
using pore::Construction;
using pore::SimplePCE;

constexpr int kond = 1, tech = 7, hole = 8;

void use(Construction& c, int i, float top, float bottom, float inner, float outer = 0) {
    ConstrElement& e = c.at(i);
    e.enabled = true;
    e.top = top;
    e.bottom = bottom;
    e.inner_diameter = inner;
    e.outer_diameter = outer;
}

std::vector<SimplePCE> real_items(const Construction& c) {
    std::vector<SimplePCE> out;
    c.get_real_items(out);
    return out;
}

void expect_pce(const SimplePCE& s, float top, float bottom, float diameter) {
    EXPECT_FLOAT_EQ(s.top, top);
    EXPECT_FLOAT_EQ(s.bottom, bottom);
    EXPECT_FLOAT_EQ(s.diameter, diameter);
}

}  // namespace

TEST(Construction, ANewWellHasNineUnusedElementsAndNoVolume) {
    Construction c;
    ASSERT_EQ(c.size(), 9);
    EXPECT_EQ(c.get_item(0).name, "Направление");
    EXPECT_EQ(c.get_item(hole).name, "Голый ствол");
    for (const ConstrElement& e : c.elements()) EXPECT_FALSE(e.enabled) << e.name;
    EXPECT_EQ(c.get_volume(1), 0);
    EXPECT_TRUE(real_items(c).empty());
    EXPECT_EQ(c.get_total_len(), 0);
    EXPECT_EQ(c.get_kond_element(), &c.at(kond));
    EXPECT_THROW(c.get_item(9), std::out_of_range);

    c.recalc_to_depth(2000);
    EXPECT_TRUE(c.get_item(hole).enabled);
    EXPECT_EQ(c.get_total_len(), 2000);
}

TEST(Construction, TheRealBoreTakesTheInnermostStringAtEachDepth) {
    Construction c;
    use(c, kond, 0, 500, 300);
    use(c, hole, 500, 1500, 215.9f);
    auto items = real_items(c);
    ASSERT_EQ(items.size(), 2u);
    expect_pce(items[0], 0, 500, 300);
    expect_pce(items[1], 500, 1500, 215.9f);
    EXPECT_EQ(c.get_column_bottom(), 500);

    // The intermediate string from the surface hides the conductor, which
    // does not reach above the string's top.
    use(c, tech, 0, 1000, 220);
    use(c, hole, 1000, 1500, 190);
    items = real_items(c);
    ASSERT_EQ(items.size(), 2u);
    expect_pce(items[0], 0, 1000, 220);
    expect_pce(items[1], 1000, 1500, 190);

    // A string hung below the surface leaves the conductor above it.
    c.at(tech).top = 300;
    items = real_items(c);
    ASSERT_EQ(items.size(), 3u);
    expect_pce(items[0], 0, 300, 300);
    expect_pce(items[1], 300, 1000, 220);

    // Volume: π/4 · D² · L of each piece, times the enlargement factor.
    const double expected = M_PI / 4 * (0.300 * 0.300 * 300 + 0.220 * 0.220 * 700 + 0.190 * 0.190 * 500);
    EXPECT_NEAR(c.get_volume(1), expected, expected * 1e-5);
    EXPECT_NEAR(c.get_volume(1.2f), expected * 1.2, expected * 1e-5);
}

TEST(Construction, LargestDiameterCountsUnusedElementsAndIgnoresNaN) {
    Construction c;
    EXPECT_EQ(c.calc_max_diam(), 0);
    c.at(0).inner_diameter = 426;  // not in use
    c.at(2).inner_diameter = NAN;
    c.at(hole).inner_diameter = 215.9f;
    EXPECT_EQ(c.calc_max_diam(), 426);
    EXPECT_TRUE(c.at(2) < c.at(hole));
    EXPECT_FALSE(c.at(hole) < c.at(2));
}

TEST(ConstrElement, TextForm) {
    ConstrElement e("Кондуктор");
    e.get_from_string("Кондуктор-2,0,500,300,1,324");
    EXPECT_EQ(e.name, "Кондуктор");  // the name is not read
    EXPECT_EQ(e.top, 0);
    EXPECT_EQ(e.bottom, 500);
    EXPECT_EQ(e.inner_diameter, 300);
    EXPECT_TRUE(e.enabled);
    EXPECT_EQ(e.outer_diameter, 324);

    ConstrElement short_text("x");
    short_text.enabled = false;
    short_text.outer_diameter = 9;
    short_text.get_from_string("x,1,2");
    EXPECT_EQ(short_text.top, 1);
    EXPECT_EQ(short_text.bottom, 2);
    EXPECT_EQ(short_text.inner_diameter, 0);
    EXPECT_TRUE(short_text.enabled);
    EXPECT_EQ(short_text.outer_diameter, 0);

    ConstrElement w("Голый ствол", false);
    w.top = 500;
    w.bottom = 1500.25f;
    w.inner_diameter = 215.9f;
    std::string text;
    w.set_to_string(text);
    EXPECT_EQ(text, "\"Голый ствол\",\"500,00\",\"1500,25\",\"215,90\",0,\"0,00\"");
    ConstrElement back("Голый ствол");
    back.get_from_string(text);
    EXPECT_FALSE(back.enabled);
    EXPECT_FLOAT_EQ(back.bottom, 1500.25f);
    EXPECT_FLOAT_EQ(back.inner_diameter, 215.9f);

    EXPECT_TRUE(w.contains_text("голый"));
    EXPECT_TRUE(w.contains_text("СТВОЛ"));
    EXPECT_FALSE(w.contains_text("Кондуктор"));
}

TEST(Construction, IniListRoundTripsAndADamagedCountIsBounded) {
    os::testing::TempDir dir;
    const std::string file = dir / "well.ini";
    Construction c;
    use(c, kond, 0, 500, 300, 324);
    use(c, hole, 500, 1500, 215.9f);
    c.lib::IniSerialData::save(file);

    Construction back;
    back.lib::IniSerialData::load(file);
    ASSERT_EQ(back.size(), 9);
    EXPECT_TRUE(back.get_item(kond).enabled);
    EXPECT_EQ(back.get_item(kond).outer_diameter, 324);
    EXPECT_EQ(back.get_item(kond).name, "Кондуктор");
    EXPECT_FALSE(back.get_item(0).enabled);
    EXPECT_FLOAT_EQ(back.get_total_len(), 1500);

    {
        std::ofstream out(dir / "damaged.ini", std::ios::binary);
        out << rtl::utf8_to_cp1251(
            "[конструкция_скважины]\nsize=2000000000\nitem1=\"a,1,2,3,1,4\"\nitem100000=\"b,5,6,7,1,8\"\n");
    }
    Construction damaged;
    damaged.lib::IniSerialData::load(dir / "damaged.ini");
    EXPECT_EQ(damaged.size(), Construction::max_elements);
    EXPECT_EQ(damaged.get_item(0).bottom, 2);
    damaged.set_elems_size(-5);
    EXPECT_EQ(damaged.size(), 0);
    EXPECT_EQ(damaged.get_total_len(), 0);
    EXPECT_EQ(damaged.calc_max_diam(), 0);
    damaged.recalc_to_depth(10);  // nothing to put in use
}

TEST(Construction, ModuleStreamRoundTripsAndRefusesAnImpossibleCount) {
    Construction c;
    use(c, kond, 0, 500, 300, 324);
    c.at(hole).name = "Голый ствол 2";
    lib::SerialOutputBuffer out;
    c.get_serial_list(out, 1);
    // A count, then per element the flag, four floats and the name in
    // Windows-1251 with its 0 byte.
    int expected = 4;
    for (const auto& e : c.elements()) expected += 1 + 16 + static_cast<int>(rtl::utf8_to_cp1251(e.name).size()) + 1;
    EXPECT_EQ(out.size(), expected);

    Construction back;
    back.set_elems_size(2);
    lib::SerialInputBuffer in;
    in.copy_from(out);
    back.get_serial_list(in, 1);
    ASSERT_EQ(back.size(), 9);
    EXPECT_TRUE(back.get_item(kond).enabled);
    EXPECT_EQ(back.get_item(kond).outer_diameter, 324);
    EXPECT_EQ(back.get_item(hole).name, "Голый ствол 2");

    // A count the record cannot hold is refused before anything changes.
    lib::SerialOutputBuffer bad;
    std::int32_t n = 100000;
    bad | n;
    lib::SerialInputBuffer bad_in;
    bad_in.copy_from(bad);
    EXPECT_THROW(back.get_serial_list(bad_in, 1), std::runtime_error);
    EXPECT_EQ(back.size(), 9);
}
