#include "gti/registr_old/pumps_tanks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/rtl/numbers.h"

namespace {

lib::array<float> readings(std::vector<float> v) {
    lib::array<float> a(v.size());
    for (std::size_t i = 0; i < v.size(); ++i) a[static_cast<long long>(i)] = v[i];
    return a;
}

TEST(NasosWork, WorkingForFiveFramesAfterStrokes) {
    NasosWork n;
    EXPECT_FALSE(n.is_working(0));
    n.work(readings({0, 12, 0}));
    for (int frame = 1; frame < 5; ++frame) {
        EXPECT_TRUE(n.is_working(1)) << frame;
        n.work(readings({0, 0, 0}));
    }
    EXPECT_TRUE(n.is_working(1));  // fifth call, counting the one with strokes
    n.work(readings({0, 0, 0}));
    EXPECT_FALSE(n.is_working(1));
    EXPECT_FALSE(n.is_working(0));
    EXPECT_FALSE(n.is_working(2));
    EXPECT_FALSE(n.is_working(-1));
    EXPECT_FALSE(n.is_working(3));
}

TEST(NasosWork, ShortAndLongReadings) {
    NasosWork n;
    n.work(readings({7}));  // pumps 2 and 3 have no reading: no strokes
    EXPECT_TRUE(n.is_working(0));
    EXPECT_FALSE(n.is_working(1));
    n.work(readings({}));
    EXPECT_TRUE(n.is_working(0));
    n.work(readings({0, 0, 0, 9, 9}));  // a fourth pump does not exist
    EXPECT_FALSE(n.is_working(1));
    // Near zero by the station's test is no strokes; a small negative is not.
    NasosWork m;
    m.work(readings({0.000001f, -0.001f, 0}));
    EXPECT_FALSE(m.is_working(0));
    EXPECT_TRUE(m.is_working(1));
}

TEST(ObTrub, Factor) {
    ObTrub o;
    o.koef1 = 1.5f;
    EXPECT_EQ(o.calc_value(2), 3.0);
    EXPECT_EQ(o.get_last_result(), 3.0f);
    o.sect = false;
    EXPECT_EQ(o.calc_value(10), 0.0);
    EXPECT_EQ(o.get_last_result(), 3.0f);
}

TEST(VEmkOpt, Volume) {
    VEmkOpt t;
    EXPECT_EQ(t.calc_volume(0.5f), 15.0f);
    EXPECT_EQ(t.calc_volume(-0.1f), 0.0f);
    EXPECT_EQ(t.get_volume(), 0.0f);
    EXPECT_EQ(t.calc_volume(NAN), 0.0f);
}

TEST(VEmkOpt, TextFormVectors) {
    std::ifstream in(std::string(STATION_SOURCE_DIR) + "/gti/registr_old/testdata/text_vectors.tsv", std::ios::binary);
    std::string line;
    int rows = 0;
    while (std::getline(in, line)) {
        std::vector<std::string> c;
        std::stringstream s(line);
        std::string col;
        while (std::getline(s, col, '\t')) c.push_back(col);
        if (c.empty() || c[0] != "tank") continue;
        ++rows;
        SCOPED_TRACE(c[6]);
        // Read from the plain form (points, no quotes), written in the
        // station's form.
        VEmkOpt t;
        t.get_from_string(c[1] + "," + c[2] + "," + c[3] + "," + c[4] + "," + c[5]);
        EXPECT_EQ(t.get_factor(), static_cast<float>(rtl::StrToFloat(c[1])));
        EXPECT_EQ(t.get_volume(), static_cast<float>(rtl::StrToFloat(c[3])));
        std::string text;
        t.set_to_string(text);
        EXPECT_EQ(text, c[6]);
        VEmkOpt u;
        u.get_from_string(text);
        std::string again;
        u.set_to_string(again);
        EXPECT_EQ(again, text);
        EXPECT_EQ(u.is_used(), t.is_used());
        EXPECT_EQ(u.is_doliv(), t.is_doliv());
        EXPECT_EQ(u.is_in_tank(), t.is_in_tank());
    }
    EXPECT_EQ(rows, 4);
}

TEST(VEmkOpt, TextFormReading) {
    VEmkOpt t;
    t.get_from_string("25,0,10");
    EXPECT_EQ(t.get_factor(), 25.0f);
    EXPECT_FALSE(t.is_used());
    EXPECT_EQ(t.get_volume(), 10.0f);
    EXPECT_TRUE(t.is_doliv());
    EXPECT_TRUE(t.is_in_tank());

    t.get_from_string("-1,1,5");
    EXPECT_EQ(t.get_factor(), 30.0f);
    t.get_from_string("\"12,5\",1,-3,0,0");
    EXPECT_EQ(t.get_factor(), 12.5f);
    EXPECT_EQ(t.get_volume(), 0.0f);
    EXPECT_FALSE(t.is_doliv());
    EXPECT_FALSE(t.is_in_tank());
    t.get_from_string("");
    EXPECT_EQ(t.get_factor(), 0.0f);
    EXPECT_TRUE(t.is_used());
}

TEST(VEmkOpts, TankNames) {
    VEmkOpts set;
    EXPECT_EQ(set[0].get_name(), "уровень_в_емкости");
    EXPECT_EQ(set[0].get_vname(), "объем_в_емкости1");
    EXPECT_EQ(set[1].get_name(), "уровень_в_емкости2");
    EXPECT_EQ(set[15].get_name(), "уровень_в_емкости16");
    EXPECT_EQ(set[15].get_vname(), "объем_в_емкости16");
    EXPECT_EQ(set[16].get_name(), "");
    EXPECT_EQ(set[16].get_vname(), "");
    // Defaults keep the names.
    set[3].set_factor(5);
    set[3].set_defaults();
    EXPECT_EQ(set[3].get_factor(), 30.0f);
    EXPECT_EQ(set[3].get_name(), "уровень_в_емкости4");
}

TEST(VEmkOpts, Totals) {
    VEmkOpts set;
    EXPECT_EQ(set.get_elem_count(), 17);
    for (int i = 0; i < 17; ++i) set[i].set_factor(0);
    set[0].set_factor(10);
    set[0].calc_volume(1);  // 10, used, top-up
    set[1].set_factor(10);
    set[1].calc_volume(2);  // 20, used, in tank, not top-up
    set[1].set_doliv(false);
    set[1].set_in_tank(true);
    set[16].set_factor(10);
    set[16].calc_volume(4);  // 40, not used: whole total only
    set[16].set_used(false);
    set[16].set_in_tank(true);
    set.calc_total();
    EXPECT_EQ(set.get_whole_tank_v(), 70.0f);
    EXPECT_EQ(set.get_active_tank_v(), 30.0f);
    EXPECT_EQ(set.get_whole_doliv_v(), 10.0f);
    EXPECT_EQ(set.get_total_in_tank(), 20.0f);

    // Any other index is the one spare tank, never a neighbour's memory.
    VEmkOpt& spare = set[17];
    EXPECT_EQ(&spare, &set[-1]);
    EXPECT_EQ(&spare, &set[1000]);
    EXPECT_EQ(spare.get_factor(), 30.0f);
    set.set_elems_size(3);
    EXPECT_EQ(set.get_elem_count(), 17);
    EXPECT_EQ(&set.get_elem(16), &set[16]);
}

}  // namespace
