#include "gti/registr_old/min_max_values.h"

#include "platform/os/testing.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/ini_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>

namespace {

TEST(MinMaxValue, ChecksAgainstItsActiveLimits) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    MinMaxValue both("p", 2, 5, -1);   // 2 <= x <= 5
    MinMaxValue upper("p", 0, 5, -1);  // the lower limit is off: 0 is not above 0
    MinMaxValue none("p", -1000, -1000, -1);
    struct Case {
        const MinMaxValue* row;
        float x;
        bool alarm;
    } cases[] = {
        {&both, 2, false},      {&both, 5, false},     {&both, 1.99f, true}, {&both, 5.01f, true},
        {&both, nan, true},     {&upper, 5.1f, true},  {&upper, -3, false},  {&upper, nan, false},
        {&none, -1e30f, false}, {&none, 1e30f, false}, {&none, nan, false},
    };
    for (const auto& c : cases) EXPECT_EQ(c.row->check(c.x), c.alarm) << c.x;

    EXPECT_FALSE(upper.min_on);
    EXPECT_EQ(upper.min, 0.0f);
    MinMaxValue relay = both;
    relay.relay = 2;
    relay.relay_max_on = true;
    relay.relay_max = 3;
    EXPECT_TRUE(relay.check_relay(3.5f));
    EXPECT_FALSE(relay.check_relay(-100));
}

TEST(MinMaxValue, IniLineKeepsTheCommaTextInsideOnePairOfQuotes) {
    MinMaxValues defaults;
    AnsiString line;
    defaults.find("нагрузка")->get_ini_line(line);
    EXPECT_EQ(line, "\"нагрузка,0,0,1,30,-1,0,0,0,0\"");

    // A decimal comma makes its entry quoted inside the comma text.
    defaults.find("плотность_на_входе")->get_ini_line(line);
    EXPECT_EQ(line, "\"плотность_на_входе,0,0,1,\"1,99000000953674\",-1,0,0,0,0\"");

    MinMaxValue back;
    back.read_from_ini_line(line.substr(1, line.size() - 2));
    EXPECT_EQ(back.param, "плотность_на_входе");
    EXPECT_TRUE(back.max_on);
    EXPECT_EQ(back.max, 1.99f);
    EXPECT_EQ(back.relay, -1);

    back.read_from_ini_line("только_имя");
    EXPECT_EQ(back.param, "только_имя");
    EXPECT_FALSE(back.min_on || back.max_on || back.relay_min_on || back.relay_max_on);
    EXPECT_EQ(back.relay, -1);
}

TEST(MinMaxValues, IniFileRoundTripAndSizeRules) {
    os::testing::TempDir dir;
    rtl::IniFile ini(dir / "config.ini");
    MinMaxValues table;
    table.add("вес_на_крюке");
    table.at(8).relay = 3;
    table.at(8).relay_min_on = true;
    table.at(8).relay_min = 0.5f;
    table.save(&ini);

    std::ifstream in(dir / "config.ini", std::ios::binary);
    std::stringstream raw;
    raw << in.rdbuf();
    std::string text = rtl::cp1251_to_utf8(raw.str());
    EXPECT_NE(text.find("[MinMaxValues]\r\nsize=9\r\nitem1=\"давление_на_входе,0,0,1,200,-1,0,0,0,0\"\r\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("item9=\"вес_на_крюке,0,0,0,0,3,1,\"0,5\",0,0\"\r\n"), std::string::npos) << text;

    MinMaxValues back;
    back.erase(0);
    back.load(&ini);
    ASSERT_EQ(back.size(), 9);
    EXPECT_EQ(back.at(8).param, "вес_на_крюке");
    EXPECT_EQ(back.at(8).relay, 3);
    EXPECT_TRUE(back.at(8).relay_min_on);
    EXPECT_EQ(back.at(8).relay_min, 0.5f);
    EXPECT_EQ(back.at(0).param, "давление_на_входе");

    struct Case {
        const char* size;  // null: no key
        int rows;
    } cases[] = {{nullptr, 8}, {"-1", 8}, {"-7", 8}, {"0", 0}, {"2", 2}, {"99999999", MinMaxValues::max_rows}};
    for (const auto& c : cases) {
        rtl::IniFile other(dir / (std::string("case") + (c.size ? c.size : "none") + ".ini"));
        other.WriteString("other", "x", "1");
        if (c.size) other.WriteString("MinMaxValues", "size", c.size);
        MinMaxValues t;
        t.load(&other);
        EXPECT_EQ(t.size(), c.rows) << (c.size ? c.size : "none");
    }
}

TEST(MinMaxValues, EditingChecksItsIndex) {
    MinMaxValues t;
    t.erase(-1);
    t.erase(8);
    EXPECT_EQ(t.size(), 8);
    t.erase(7);
    EXPECT_FALSE(t.contains("сумм_газ2"));
    EXPECT_EQ(t.find("сумм_газ2"), nullptr);
    t.add("x");
    EXPECT_FALSE(t.find("x")->min_on);
    EXPECT_EQ(t.find("X"), nullptr);
}

TEST(MinMaxValues, StreamRoundTripAndDamagedCounts) {
    MinMaxValues t;
    t.at(2).relay = 4;
    lib::SerialOutputBuffer out;
    t.get_serial_list(out, 1);

    MinMaxValues back;
    back.set_defaults();
    back.erase(0);
    lib::SerialInputBuffer in;
    in.copy_from(out);
    back.get_serial_list(in, 1);
    ASSERT_EQ(back.size(), 8);
    EXPECT_EQ(back.at(2).relay, 4);
    EXPECT_EQ(back.at(2).max, 1.99f);

    // A count beyond the record, and a record cut inside its last row.
    auto bytes = out.bytes();
    bytes[0] = 0x10;
    bytes[1] = 0x27;  // 10000 rows
    lib::SerialOutputBuffer big;
    big.process_binary(bytes.data(), static_cast<int>(bytes.size()));
    lib::SerialInputBuffer in2;
    in2.copy_from(big);
    MinMaxValues kept;
    kept.erase(0);
    EXPECT_THROW(kept.get_serial_list(in2, 1), std::runtime_error);
    EXPECT_EQ(kept.size(), 7);

    lib::SerialOutputBuffer cut;
    cut.process_binary(const_cast<char*>(out.bytes().data()), out.size() - 1);
    lib::SerialInputBuffer in3;
    in3.copy_from(cut);
    EXPECT_THROW(kept.get_serial_list(in3, 1), std::runtime_error);
    EXPECT_EQ(kept.size(), 7);
}

}  // namespace
