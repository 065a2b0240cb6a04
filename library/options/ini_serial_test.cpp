#include "library/options/ini_serial.h"
#include "library/options/ini_testing.h"

#include <gtest/gtest.h>

#include <type_traits>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/rtl/codepage.h"
#include "platform/rtl/ini_file.h"

namespace {

struct Pipe : lib::IniSerialItem {
    std::string text;
    Pipe() = default;
    explicit Pipe(std::string t) : text(std::move(t)) {}
    void set_to_string(std::string& out) const override { out = text; }
    void get_from_string(const std::string& in) override { text = in; }
};

struct PipeList : lib::IniSerialData {
    std::vector<Pipe> pipes;
    std::vector<int> sizes_set;
    int after_loads = 0;
    PipeList() : lib::IniSerialData("Промер_инструмента") {}
    int get_elem_count() override { return static_cast<int>(pipes.size()); }
    lib::IniSerialItem& get_elem(int index) override { return pipes.at(static_cast<std::size_t>(index)); }
    void set_elems_size(int count) override {
        sizes_set.push_back(count);
        pipes.resize(static_cast<std::size_t>(count));
    }
    void after_save(rtl::IniFile* ini) override { ini->WriteString(section, "итого", "3"); }
    void after_load(rtl::IniFile*) override { ++after_loads; }
};

class IniSerialTest : public ini_testing::IniFileTest {
protected:
    IniSerialTest() : IniFileTest("well.ini") {}
};

TEST_F(IniSerialTest, ListRoundTripsAndShrinks) {
    write_file("[другое]\r\nx=1\r\n[Промер_инструмента]\r\nsize=4\r\nitem4=\"старый\"\r\nлишний=1\r\n");
    PipeList a;
    a.pipes = {Pipe("УБТ 178 9,5"), Pipe("  с пробелами  "), Pipe("")};
    a.save(file_);
    EXPECT_EQ(file_text(),
              "[другое]\r\nx=1\r\n"
              "[Промер_инструмента]\r\nsize=3\r\n"
              "item1=\"УБТ 178 9,5\"\r\nitem2=\"  с пробелами  \"\r\nitem3=\"\"\r\n"
              "итого=3\r\n");

    PipeList b;
    b.load(file_);
    ASSERT_EQ(b.pipes.size(), 3u);
    EXPECT_EQ(b.pipes[0].text, "УБТ 178 9,5");
    EXPECT_EQ(b.pipes[1].text, "  с пробелами  ");
    EXPECT_EQ(b.pipes[2].text, "");
    EXPECT_EQ(b.after_loads, 1);
}

TEST_F(IniSerialTest, SizeFromTheFileIsChecked) {
    struct Case {
        const char* section_text;
        bool loads;
        std::size_t count;
    } cases[] = {
        {"", false, 0},  // no size: nothing changes
        {"size=abc\r\nitem1=\"a\"\r\n", false, 0},
        {"size=-1\r\n", false, 0},
        {"size=-5\r\nitem1=\"a\"\r\n", false, 0},  // negative: as if absent
        {"size=0\r\nitem1=\"a\"\r\n", true, 0},    // sized 0, after_load still runs
        {"size=2\r\nitem1=\"a\"\r\nitem2=\"b\"\r\n", true, 2},
        {"size=3\r\nitem1=\"a\"\r\nitem3=\"c\"\r\n", true, 3},           // a gap reads as an empty item
        {"size=2000000000\r\nitem1=\"a\"\r\nITEM2=\"b\"\r\n", true, 2},  // capped at the items present
        {"size=5\r\nitem1=\"a\"\r\nitem02=\"x\"\r\nitem9=\"z\"\r\n", true, 1},
        {"size=$7FFFFFFF\r\n", true, 0},
    };
    for (const Case& c : cases) {
        write_file(std::string("[Промер_инструмента]\r\n") + c.section_text);
        PipeList l;
        l.pipes = {Pipe("keep")};
        l.load(file_);
        EXPECT_EQ(l.after_loads, c.loads ? 1 : 0) << c.section_text;
        if (!c.loads) {
            EXPECT_TRUE(l.sizes_set.empty()) << c.section_text;
            EXPECT_EQ(l.pipes.size(), 1u);
            continue;
        }
        ASSERT_EQ(l.sizes_set.size(), 1u) << c.section_text;
        EXPECT_EQ(l.pipes.size(), c.count) << c.section_text;
    }
    write_file("[Промер_инструмента]\r\nsize=3\r\nitem1=\"a\"\r\nitem3=\"c\"\r\n");
    PipeList gap;
    gap.load(file_);
    EXPECT_EQ(gap.pipes[1].text, "");
    EXPECT_EQ(gap.pipes[2].text, "c");
}

}  // namespace

namespace {
static_assert(std::has_virtual_destructor_v<lib::IniSerialData>);
static_assert(std::has_virtual_destructor_v<lib::IniSerialItem>);
}  // namespace
