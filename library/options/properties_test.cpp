#include "library/options/properties.h"

#include <gtest/gtest.h>

#include <type_traits>

namespace {

TEST(PropertiesTest, ChangesAreReportedOnlyWhenTheValueChanges) {
    float depth = 10.0f;
    int count = 4;
    std::string name = "Скважина";
    rtl::TColor color = rtl::clRed;
    std::string file = "/data/a.ini", text = "x";
    int calls = 0;

    lib::Properties props;
    props.add_float(depth, "Глубина", 2).on_change = [&] { ++calls; };
    props.add_int(count, "Количество", 7).on_change = [&] { ++calls; };
    props.add_string(name, "Имя").on_change = [&] { ++calls; };
    props.add_color(color, "Цвет").on_change = [&] { ++calls; };
    props.add_file_name(file, "Файл");
    props.add_str_dialog(text, "Текст");

    EXPECT_EQ(props["глубина"].get_text(), "10,00");
    EXPECT_FALSE(props["Глубина"].set("10,0004"));
    EXPECT_EQ(calls, 0);
    EXPECT_TRUE(props["ГЛУБИНА"].set("10.001"));
    EXPECT_EQ(calls, 1);
    EXPECT_FLOAT_EQ(depth, 10.001f);
    EXPECT_TRUE(props["Глубина"].set("abc"));  // not a number: 0, a change like any other
    EXPECT_EQ(depth, 0);

    EXPECT_FALSE(props["количество"].set("4"));
    EXPECT_TRUE(props["количество"].set("x"));  // the default, 7
    EXPECT_EQ(count, 7);
    EXPECT_FALSE(props["количество"].set("7"));

    EXPECT_FALSE(props["имя"].set("Скважина"));
    EXPECT_TRUE(props["имя"].set("СКВАЖИНА"));  // letter case counts for values
    EXPECT_EQ(calls, 4);

    EXPECT_EQ(props["Цвет"].get_text(), "clRed");
    EXPECT_FALSE(props["Цвет"].set("clRed"));
    EXPECT_TRUE(props["Цвет"].set("$00102030"));
    EXPECT_EQ(color, 0x00102030);
    EXPECT_EQ(props["Цвет"].get_text(), "$00102030");
    // Not a colour: left as it is, no error.
    EXPECT_FALSE(props["Цвет"].set("красный"));
    EXPECT_FALSE(props["Цвет"].set(""));
    EXPECT_EQ(color, 0x00102030);

    EXPECT_EQ(props["Файл"].get_kind(), lib::property_kind::file_name);
    EXPECT_EQ(props["Текст"].get_kind(), lib::property_kind::text_dialog);
    EXPECT_EQ(props["Цвет"].get_kind(), lib::property_kind::color);
    EXPECT_TRUE(props["Файл"].set("/data/b.ini"));
    EXPECT_EQ(file, "/data/b.ini");

    try {
        props["Нет такого"];
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Wrong property");
    }
    EXPECT_EQ(props.size(), 6);
    props.clear();
    EXPECT_EQ(props.size(), 0);
}

}  // namespace

namespace {
static_assert(std::has_virtual_destructor_v<lib::Property>);
}  // namespace
