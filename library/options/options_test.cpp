#include "library/options/options.h"
#include "library/options/ini_testing.h"

#include <gtest/gtest.h>

#include <type_traits>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/rtl/codepage.h"
#include "platform/rtl/ini_file.h"
#include "platform/rtl/string_list.h"

namespace {

using namespace lib::options_detailed;

enum class Mode : int { stop, drilling, tripping };

// An options object with one option of every kind, some before the first
// sector call.
struct StationOptions : lib::options_base {
    int period = 0;
    unsigned mask = 0;
    double load = 0;  // kilograms, shown in tonnes
    float pressure = 0;
    Mode mode = Mode::stop;
    bool sound = false;
    bool plain = false;
    std::string well;
    std::string note;
    int shown_only = 0;

    void enum_values(lib::options_list& list) override {
        list.add(new meta_class<int>(period, 5, "период", "Период опроса", "сек."));
        list.sector("Станция", "Настройки станции");
        list.add(new meta_class<unsigned>(mask, 3, "маска", "Маска каналов", nullptr));
        list.add(new meta_class<double>(load, 1.5, "нулевой_вес", "Нулевой вес", "т", 2, 1000));
        list.add(new meta_class<float>(pressure, 0.25f, "давление", "Давление", "атм.", -1, 1));
        list.add(new meta_class_enum<Mode>(mode, Mode::drilling, "режим", "Режим", "Стоп|Бурение|СПО"));
        list.add(new meta_class<bool>(sound, true, "звук", "Звук", "Нет|Да"));
        list.add(new meta_class<bool>(plain, false, "флаг", "Флаг"));
        list.add(new meta_class<std::string>(well, "Скв. 1", "скважина", "Скважина"));
        list.add(new meta_class<std::string>(note, "", "примечание", "Примечание"));
        list.add(new meta_class<int>(shown_only, 9, "", "Только на экране", nullptr));
    }
};

class OptionsTest : public ini_testing::IniFileTest {
protected:
    OptionsTest() : IniFileTest("station.ini") {}
};

TEST_F(OptionsTest, EveryKindRoundTripsThroughTheFile) {
    StationOptions a;
    a.period = -7;
    a.mask = 0xFFFFFFF0u;
    a.load = 2500;
    a.pressure = 12.5f;
    a.mode = Mode::tripping;
    a.sound = false;
    a.plain = true;
    a.well = "  Скв. \"Северная\" 7\\2  ";
    a.note = "первая строка\r\nвторая";
    a.shown_only = 4;
    a.save_to_ini(file_);

    EXPECT_EQ(file_text(),
              "[default]\r\n"
              "период=-7\r\n"
              "[Станция]\r\n"
              "маска=-16\r\n"
              "нулевой_вес=2,50\r\n"
              "давление=12,5\r\n"
              "режим=2 (СПО)\r\n"
              "звук=0\r\n"
              "флаг=1\r\n"
              "скважина=\"  Скв. \\\"Северная\\\" 7\\\\2  \"\r\n"
              "примечание=\"первая строка\\nвторая\"\r\n");

    StationOptions b;
    b.shown_only = 11;
    b.load_from_ini(file_);
    EXPECT_EQ(b.period, -7);
    EXPECT_EQ(b.mask, 0xFFFFFFF0u);
    EXPECT_DOUBLE_EQ(b.load, 2500);
    EXPECT_FLOAT_EQ(b.pressure, 12.5f);
    EXPECT_EQ(b.mode, Mode::tripping);
    EXPECT_FALSE(b.sound);
    EXPECT_TRUE(b.plain);
    EXPECT_EQ(b.well, a.well);
    EXPECT_EQ(b.note, "первая строка\nвторая");  // the CR goes, the line feed comes back
    EXPECT_EQ(b.shown_only, 11);                 // no ini name: never read
}

TEST_F(OptionsTest, MissingAndEmptyValuesGiveTheDefaults) {
    write_file("[default]\r\nпериод=\r\n[станция]\r\nмаска=  \r\nскважина=\"\"\r\nрежим=\r\n");
    StationOptions o;
    o.period = o.mask = 99;
    o.load = o.pressure = 99;
    o.mode = Mode::stop;
    o.sound = false;
    o.plain = true;
    o.well = o.note = "x";
    o.load_from_ini(file_);
    EXPECT_EQ(o.period, 5);
    EXPECT_EQ(o.mask, 3u);
    EXPECT_DOUBLE_EQ(o.load, 1500);  // default in display units × scale
    EXPECT_FLOAT_EQ(o.pressure, 0.25f);
    EXPECT_EQ(o.mode, Mode::drilling);
    EXPECT_TRUE(o.sound);
    EXPECT_FALSE(o.plain);
    EXPECT_EQ(o.well, "Скв. 1");  // written as "" and so back to its default
    EXPECT_EQ(o.note, "");

    StationOptions d;
    d.set_defaults();
    EXPECT_EQ(d.shown_only, 9);  // set_defaults covers options without a key too
    EXPECT_EQ(d.well, "Скв. 1");
}

TEST_F(OptionsTest, StoredTextsAsStationsWriteThem) {
    write_file(
        "[Станция]\r\n"
        "режим=3\r\n"  // no blank: the default
        "звук=да\r\n"  // stored bools are numbers: anything else is false
        "флаг=2\r\n"
        "нулевой_вес= 2.5 \r\n"
        "давление=1,5e1abc\r\n"
        "маска=$10\r\n");
    StationOptions o;
    o.load_from_ini(file_);
    EXPECT_EQ(o.mode, Mode::drilling);
    EXPECT_FALSE(o.sound);
    EXPECT_TRUE(o.plain);
    EXPECT_DOUBLE_EQ(o.load, 2500);
    EXPECT_FLOAT_EQ(o.pressure, 15);  // the number at the start of the text
    EXPECT_EQ(o.mask, 16u);

    // A number beyond the texts is kept, so that saving does not lose it,
    // and shows as "?????".
    write_file("[Станция]\r\nрежим=7 (Неизвестно)\r\n");
    o.load_from_ini(file_);
    EXPECT_EQ(static_cast<int>(o.mode), 7);
    lib::options_list list;
    o.enum_values(list);
    EXPECT_EQ(list.get_item(4)->get(), "?????");
    EXPECT_EQ(list.get_item(4)->get_serial_string(),
              "7 ("
              "?????"
              ")");
    write_file("[Станция]\r\nрежим=-2 (x)\r\n");
    o.load_from_ini(file_);
    EXPECT_EQ(list.get_item(4)->get(), "?????");
}

TEST_F(OptionsTest, DisplayTexts) {
    StationOptions o;
    lib::options_list list;
    o.enum_values(list);
    ASSERT_EQ(list.size(), 10);
    auto item = [&](int i) { return list.get_item(i); };
    struct Case {
        int index;
        const char* input;
        const char* shown;
    } cases[] = {
        {0, "42", "42"},           {0, " ", "5"},     {0, "4x", "5"},     {0, " -3 ", "-3"},
        {2, "2,5", "2,50"},        {2, "", "1,50"},   {2, "abc", "0,00"}, {2, "3.14159", "3,14"},
        {3, "0,00012", "0,00012"}, {3, "12", "12"},   {4, "СПО", "СПО"},  {4, "спо", "Бурение"},
        {4, "Стоп", "Стоп"},       {5, "Нет", "Нет"}, {5, "Да", "Да"},    {5, "1", "Да"},
        {5, "Нет", "Нет"},         {6, "2", "1"},     {6, "0", "0"},      {6, "x", "0"},
        {7, "  a b  ", "  a b  "},
    };
    for (const Case& c : cases) {
        item(c.index)->set(c.input);
        EXPECT_EQ(item(c.index)->get(), c.shown) << c.index << " " << c.input;
    }
    EXPECT_DOUBLE_EQ(o.load, 3141.59);
    EXPECT_EQ(item(3)->get_type(), lib::option_kind::float_value);
    EXPECT_EQ(item(2)->get_type(), lib::option_kind::double_value);
    EXPECT_EQ(item(1)->get_type(), lib::option_kind::unsigned_value);

    EXPECT_EQ(item(0)->get_sect_name(), "default");
    EXPECT_EQ(item(0)->get_sect_disp_name(), "[Без названия]");
    EXPECT_EQ(item(4)->get_full_name(), "Станция.режим");
    EXPECT_EQ(item(4)->get_sect_disp_name(), "Настройки станции");
    EXPECT_EQ(item(0)->get_unit_name(), "сек.");
    EXPECT_EQ(item(1)->get_unit_name(), "");

    rtl::StringList choices;
    choices.Add("old");
    static_cast<meta_class_enum_base&>(*item(4)).enum_popup_strings(&choices);
    EXPECT_EQ(choices.CommaText(), "Стоп,Бурение,СПО");
    auto& with_texts = static_cast<meta_class<bool>&>(*item(5));
    auto& without = static_cast<meta_class<bool>&>(*item(6));
    EXPECT_TRUE(with_texts.have_enum());
    EXPECT_FALSE(without.have_enum());
    with_texts.enum_popup_strings(&choices);
    EXPECT_EQ(choices.CommaText(), "Нет,Да");

    EXPECT_EQ(split_texts("a|b|"), (std::vector<std::string>{"a", "b", ""}));
    EXPECT_EQ(split_texts("одно"), (std::vector<std::string>{"одно"}));
    EXPECT_THROW(list.get_item(10), std::out_of_range);
    EXPECT_THROW(list.get_item(-1), std::out_of_range);
}

struct Other : lib::options_base {
    int a = 0;
    void enum_values(lib::options_list& list) override { list.add(new meta_class<int>(a, 0, "a", "A", "")); }
};

TEST_F(OptionsTest, CopyBetweenObjectsOfOneLayout) {
    StationOptions a, b;
    a.period = 12;
    a.mode = Mode::tripping;
    a.well = "W";
    a.load = 1234.5;
    lib::copy(a, b);
    EXPECT_EQ(b.period, 12);
    EXPECT_EQ(b.mode, Mode::tripping);
    EXPECT_EQ(b.well, "W");
    EXPECT_DOUBLE_EQ(b.load, 1230);  // through the stored text: two decimals of tonnes

    Other o;
    o.a = 5;
    try {
        lib::copy(a, o);
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "copy(options_base & src, options_base & dst)");
    }
    EXPECT_EQ(o.a, 5);
}

// Saving goes to the file in one piece: a failure in the hook after the
// options were written leaves the file as it was.
struct FailingOptions : StationOptions {
    void save_additional_info(rtl::IniFile* ini) override {
        ini->WriteString("Дополнительно", "ключ", "1");
        throw std::runtime_error("hook failed");
    }
};

TEST_F(OptionsTest, SaveIsAllOrNothing) {
    write_file("[Станция]\r\nрежим=0 (Стоп)\r\n");
    FailingOptions f;
    f.mode = Mode::tripping;
    EXPECT_THROW(f.save_to_ini(file_), std::runtime_error);
    EXPECT_EQ(file_text(), "[Станция]\r\nрежим=0 (Стоп)\r\n");

    StationOptions ok;
    rtl::IniFile ini(file_);
    ok.save_to_ini(&ini);
    EXPECT_NE(file_text().find("скважина=\"\"\r\n"), std::string::npos);
}

}  // namespace

namespace {
// Options objects, list items and properties are deleted through their bases.
static_assert(std::has_virtual_destructor_v<lib::options_base>);
static_assert(std::has_virtual_destructor_v<lib::meta_class_base>);
static_assert(std::has_virtual_destructor_v<lib::options_detailed::getter_n_setter<int>>);
}  // namespace
