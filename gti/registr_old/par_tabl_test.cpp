#include "gti/registr_old/par_tabl.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "gti/registr_old/all_params.h"
#include "library/serial/serial_list.h"

namespace {

Param named(const std::string& global_name, int channel = -1) {
    Param p;
    p.name = "Имя " + global_name;
    p.global_name = global_name;
    p.channel = channel;
    return p;
}

std::vector<std::string> names_of(const ParTabl& t) {
    std::vector<std::string> out;
    for (int i = 0; i < t.get_items_count(); ++i) out.push_back(t[i].global_name);
    return out;
}

TEST(ParTablLookup, FindGlobalIgnoresCaseAndTrims) {
    ParTabl t;
    t.add(named("давление_на_входе"));
    t.add(named("вес_на_крюке"));
    t.add(named("вес_на_крюке"));  // a second of the same name is never found
    EXPECT_EQ(t.find_global("вес_на_крюке"), 1);
    EXPECT_EQ(t.find_global("  ВЕС_НА_КРЮКЕ\t"), 1);
    EXPECT_EQ(t.find_global("Вес_На_Крюке"), 1);
    EXPECT_EQ(t.find_global(""), -1);
    EXPECT_EQ(t.find_global("   "), -1);
    EXPECT_EQ(t.find_global("вес_на_крюк"), -1);
    EXPECT_TRUE(t.param_exists(" давление_на_входе "));
    EXPECT_FALSE(t.param_exists("тальблок"));
    // A name changed through a reference is seen by the next look-up.
    t[0].global_name = "тальблок";
    EXPECT_EQ(t.find_global("тальблок"), 0);
    EXPECT_EQ(t.find_global("давление_на_входе"), -1);
    // A reference kept across a look-up: renaming the name looked up is
    // caught at the next look-up of it, which then finds the second row.
    Param& kept = t[1];
    EXPECT_EQ(t.find_global("вес_на_крюке"), 1);
    kept.global_name = "другое";
    EXPECT_EQ(t.find_global("вес_на_крюке"), 2);
    EXPECT_EQ(t.find_global("другое"), 1);
}

TEST(ParTablLookup, CopiesKeepTheirOwnIndex) {
    ParTabl a;
    a.add(named("a"));
    a.add(named("b"));
    EXPECT_EQ(a.find_global("b"), 1);
    ParTabl b = a;
    b.erase(0);
    EXPECT_EQ(b.find_global("b"), 0);
    EXPECT_EQ(a.find_global("b"), 1);
    a = b;
    EXPECT_EQ(a.find_global("b"), 0);
    EXPECT_EQ(a.find_global("a"), -1);
}

TEST(ParTablLookup, UnknownPositionsAndNamesGiveAResetSpare) {
    ParTabl t;
    t.add(named("вес_на_крюке"));
    Param& spare = t[-1];
    EXPECT_EQ(spare, Param());
    spare.global_name = "changed";
    spare.averaging = 30;
    EXPECT_EQ(t.get_items_count(), 1);
    EXPECT_EQ(t.find_global("changed"), -1);
    EXPECT_EQ(t[5], Param());             // reset again
    EXPECT_EQ(t["нет_такого"], Param());  // by name too
    t["вес_на_крюке"].averaging = 7;
    EXPECT_EQ(t[0].averaging, 7);

    const ParTabl& ct = t;
    EXPECT_EQ(ct[0].averaging, 7);
    for (int i : {-1, 1}) {
        try {
            (void)ct[i];
            ADD_FAILURE() << i;
        } catch (const std::out_of_range& e) {
            EXPECT_STREQ(e.what(), "invalid vector<T> subscript");
        }
    }
}

TEST(ParTablEditing, AddResizeEraseAndLists) {
    ParTabl t;
    t.add(std::string("тальблок"));
    t.add(std::string("ТАЛЬБЛОК"));    // present already
    t.add(std::string("нет_такого"));  // the registry does not know it
    t.add(std::string("максимальный_газ"));
    ASSERT_EQ(names_of(t), (std::vector<std::string>{"тальблок", "максимальный_газ"}));
    EXPECT_EQ(t[0].name, "Положение тальблока");
    EXPECT_EQ(t[0].max_value, 50.0f);
    EXPECT_EQ(t[1].kind, 2);

    t.add(named("x"));
    t[2].name = "  ";
    rtl::StringList list{"до"};
    t.get_params_list(list);
    EXPECT_EQ(list.CommaText(), "до,\"Положение тальблока\",\"Максимальный газ\"");

    t.erase(0);
    t.erase(7);
    t.erase(-1);
    EXPECT_EQ(names_of(t), (std::vector<std::string>{"максимальный_газ", "x"}));
    t.resize(4);
    EXPECT_EQ(t.get_items_count(), 4);
    EXPECT_EQ(t[3], Param());
    t.resize(-3);
    EXPECT_EQ(t.get_items_count(), 0);

    std::vector<Param> all(2);
    t.add(named("a"));
    t.get_all_params(all);
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].global_name, "a");
}

TEST(ParTablDepend, LevelSensorsBringTheirVolumes) {
    ParTabl t;
    t.add(std::string("уровень_в_емкости3"));
    t.check();
    EXPECT_EQ(names_of(t), (std::vector<std::string>{"уровень_в_емкости3", "объем_в_емкости3", "объем_актив_емкости",
                                                     "объем_емкости", "объем_раствора", "объем_в_доливных_емкостях",
                                                     "объем_в_приёмных_емкостях"}));
    // A second check changes nothing.
    t.check();
    EXPECT_EQ(t.get_items_count(), 7);
    // Without the level sensor the volumes go.
    t.erase(0);
    t.add(std::string("вес_на_крюке"));
    t.check();
    EXPECT_EQ(names_of(t), (std::vector<std::string>{"вес_на_крюке"}));
}

TEST(ParTablDepend, GasesAndConductivity) {
    ParTabl t;
    t.add(std::string("метан_абс"));
    t.add(std::string("электропроводность_на_входе"));
    t.add(std::string("уд_сопротивл_вых"));  // without its conductivity it goes
    t.check();
    EXPECT_EQ(names_of(t), (std::vector<std::string>{"метан_абс", "электропроводность_на_входе", "уд_сопротивл_вх",
                                                     "метан_отн", "сумм_газ"}));
}

TEST(ParTablDepend, RulesOnLists) {
    ParTabl t;
    t.add(named("a"));
    t.add(named("b"));
    EXPECT_FALSE(t.check_remove_exists(rtl::StringList{"A"}, rtl::StringList{"b"}));
    EXPECT_TRUE(t.check_remove_exists(rtl::StringList{"z"}, rtl::StringList{"B", "y"}));
    EXPECT_EQ(names_of(t), std::vector<std::string>{"a"});
    EXPECT_FALSE(t.check_add_depend(rtl::StringList{"z"}, rtl::StringList{"тальблок"}));
    EXPECT_TRUE(t.check_add_depend(rtl::StringList{"z", "a"}, rtl::StringList{"тальблок", "нет_такого"}));
    EXPECT_FALSE(t.check_add_depend(rtl::StringList{"a"}, rtl::StringList{"нет_такого"}));
    EXPECT_EQ(names_of(t), (std::vector<std::string>{"a", "тальблок"}));
    t.check_depend("q,a", "нагрузка,тальблок");
    EXPECT_EQ(names_of(t), (std::vector<std::string>{"a", "тальблок", "нагрузка"}));
    t.check_depend("q", "нагрузка,тальблок");
    EXPECT_EQ(names_of(t), (std::vector<std::string>{"a"}));
}

TEST(ParTablState, SerialNameAndFlag) {
    ParTabl t;
    std::string name;
    t.get_serial_name(name);
    EXPECT_EQ(name, "ParTable");
    EXPECT_TRUE(t.is_saved());
}

// The module stream form: the count, then per parameter name, short name,
// units, global name, channel, range, zero, bounds, averaging, kind.
TEST(ParTablSerial, FieldsInOrderAndBack) {
    ParTabl t;
    Param p = named("вес_на_крюке", 3);
    p.short_name = "W";
    p.units = "т";
    p.range = 20;
    p.zero = 0.5f;
    p.min_value = -1;
    p.max_value = 200;
    p.averaging = 30;
    p.kind = 2;
    p.points = {{1, 2}};
    p.ext_info.set("half_life", "5");
    t.add(p);

    lib::SerialOutputBuffer out;
    t.get_serial_list(out, 1);
    lib::SerialOutputBuffer expected;
    int count = 1;
    std::string n = p.name, s = "W", u = "т", g = "вес_на_крюке";
    int channel = 3, averaging = 30;
    float range = 20, zero = 0.5f, lo = -1, hi = 200;
    unsigned char kind = 2;
    expected | count | n | s | u | g | channel | range | zero | lo | hi | averaging | kind;
    EXPECT_EQ(out.bytes(), expected.bytes());

    // Reading keeps the points and extra data already at each position.
    ParTabl back;
    Param old = named("старый");
    old.points = {{5, 5}};
    back.add(old);
    back.add(named("лишний"));
    lib::SerialInputBuffer in;
    in.copy_from(out);
    back.get_serial_list(in, 1);
    ASSERT_EQ(back.get_items_count(), 1);
    Param want = p;
    want.points = {{5, 5}};
    EXPECT_EQ(back[0], want);
    EXPECT_TRUE(back[0].ext_info.empty());
    EXPECT_EQ(back.find_global("ВЕС_НА_КРЮКЕ"), 0);
}

TEST(ParTablSerial, DamagedCountsAreRefusedAndTheTableKept) {
    const auto stream_with = [](int count, int params_written) {
        lib::SerialOutputBuffer out;
        out | count;
        for (int i = 0; i < params_written; ++i) named(std::string(100, 'x') + std::to_string(i)).get_serial_list(out);
        auto in = std::make_unique<lib::SerialInputBuffer>();
        in->copy_from(out);
        return in;
    };
    const struct {
        int count;
        int written;
        const char* message;
    } cases[] = {
        {-1, 0, "size < 0"},
        {1000000, 3, "exceeds the"},
        {513, 513, "more than the 512"},
        {3, 1, "eof"},
    };
    for (const auto& c : cases) {
        ParTabl t;
        t.add(named("a"));
        auto in = stream_with(c.count, c.written);
        try {
            t.get_serial_list(*in, 1);
            ADD_FAILURE() << c.count;
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
        EXPECT_EQ(names_of(t), std::vector<std::string>{"a"}) << c.count;
    }
    ParTabl full;
    auto in = stream_with(512, 512);
    full.get_serial_list(*in, 1);
    EXPECT_EQ(full.get_items_count(), 512);
}

}  // namespace
