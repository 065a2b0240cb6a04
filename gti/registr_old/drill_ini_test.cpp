// The INI forms of the drill-string tally, the stand counter and the
// casing-pipe factor.
#include <gtest/gtest.h>

#include <climits>
#include <fstream>
#include <iterator>
#include <string>

#include "gti/registr_old/InstrPipes/instr_items.h"
#include "gti/registr_old/candle_counter.h"
#include "gti/registr_old/pumps_tanks.h"
#include "platform/os/testing.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/ini_file.h"

namespace {

std::string file_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return rtl::cp1251_to_utf8(std::string(std::istreambuf_iterator<char>(in), {}));
}

void put_file(const std::string& path, const std::string& utf8) {
    std::ofstream(path, std::ios::binary) << rtl::utf8_to_cp1251(utf8);
}

TEST(DrillIni, TallyFile) {
    os::testing::TempDir dir;
    const std::string path = dir / "well.ini";
    instr::Items items;
    items.get(items.add_new()).get_from_string("1 0 215,9 0 0 1 0,3");
    items.get(items.add_new()).get_from_string("12 5 127 29,1 9,19 2 12,5 12,25");
    items.set_zapor_klapan(true);
    {
        rtl::IniFile ini(path);
        items.lib::IniSerialData::save(&ini);
    }
    EXPECT_EQ(file_text(path),
              "[Промер_инструмента]\r\n"
              "size=2\r\n"
              "item1=\"1 0 215,899993896484 0 0 1 0,300000011920929\"\r\n"
              "item2=\"12 5 127 29,1000003814697 9,1899995803833 2 12,5 12,25\"\r\n"
              "svecha_size=2\r\n"
              "zapor_klapan=1\r\n");

    instr::Items back;
    back.set_svecha_size(3);
    {
        rtl::IniFile ini(path);
        back.lib::IniSerialData::load(&ini);
    }
    ASSERT_EQ(back.size(), 2);
    EXPECT_EQ(back.get(0), items.get(0));
    EXPECT_EQ(back.get(1), items.get(1));
    EXPECT_EQ(back.get_svecha_size(), 2);
    EXPECT_TRUE(back.get_zapor_klapan());

    // Fewer elements: the old item keys go, the two options stay.
    back.delete_item(1);
    back.set_svecha_size(3);
    {
        rtl::IniFile ini(path);
        back.lib::IniSerialData::save(&ini);
    }
    const std::string text = file_text(path);
    EXPECT_EQ(text.find("item2"), std::string::npos);
    EXPECT_NE(text.find("svecha_size=3\r\n"), std::string::npos);
    EXPECT_NE(text.find("size=1\r\n"), std::string::npos);
}

TEST(DrillIni, TallyDamagedSection) {
    os::testing::TempDir dir;
    const std::string path = dir / "well.ini";
    struct Case {
        const char* what;
        const char* section;
        int elements;
        int svecha_size;
    } cases[] = {
        {"no size: nothing changes", "svecha_size=3\r\n", 1, 2},
        {"negative size: nothing changes", "size=-5\r\nitem1=\"2 5\"\r\n", 1, 2},
        {"huge size: the items present", "size=2000000000\r\nitem1=\"2 5\"\r\nitem2=\"3 6\"\r\nsvecha_size=0\r\n", 2,
         1},
        {"size 0 empties the list", "size=0\r\nsvecha_size=9\r\n", 0, 4},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        put_file(path, std::string("[Промер_инструмента]\r\n") + k.section);
        instr::Items items;
        items.narasch("12");
        rtl::IniFile ini(path);
        items.lib::IniSerialData::load(&ini);
        EXPECT_EQ(items.size(), k.elements);
        EXPECT_EQ(items.get_svecha_size(), k.svecha_size);
    }

    instr::Items items;
    items.set_elems_size(-3);
    EXPECT_EQ(items.size(), 0);
    items.set_elems_size(3);
    EXPECT_EQ(items.size(), 3);
    EXPECT_EQ(items.get(2), instr::Elem());
    items.set_elems_size(INT_MAX);
    EXPECT_EQ(items.size(), instr::Items::max_elements);
}

TEST(DrillIni, StandCounterAndCasingFactor) {
    os::testing::TempDir dir;
    const std::string path = dir / "sys.ini";
    candles::CandleCounter c;
    c.set(39);
    c.set_pipe(1);
    ObTrub o;
    o.sect = false;
    o.koef1 = 1.5f;
    {
        rtl::IniFile ini(path);
        c.save(&ini);
        o.save(&ini);
    }
    EXPECT_EQ(file_text(path),
              "[CandleCounter]\r\ncounter=39\r\npipe_counter=1\r\n"
              "[ObTrub]\r\nsect=0\r\nkoef1=1,5\r\n");

    candles::CandleCounter c2;
    ObTrub o2;
    {
        rtl::IniFile ini(path);
        c2.load(&ini);
        o2.load(&ini);
    }
    EXPECT_EQ(c2.get(), 39);
    EXPECT_EQ(c2.get_pipe(), 1);
    EXPECT_FALSE(o2.sect);
    EXPECT_EQ(o2.koef1, 1.5f);

    put_file(path, "[CandleCounter]\r\ncounter=-4\r\npipe_counter=-1\r\n[ObTrub]\r\nkoef1=2.5\r\n");
    {
        rtl::IniFile ini(path);
        c2.load(&ini);
        o2.load(&ini);
    }
    EXPECT_EQ(c2.get(), 0);
    EXPECT_EQ(c2.get_pipe(), 0);
    EXPECT_FALSE(o2.sect);  // missing: kept
    EXPECT_EQ(o2.koef1, 2.5f);
}

}  // namespace
