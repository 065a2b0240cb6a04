#include "gti/registr_old/values.h"

#include "gti/registr_old/data_storage.h"
#include "gti/registr_old/par_tabl.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

Param param(const char* name, const char* global) {
    Param p;
    p.name = name;
    p.short_name = std::string(name) + "_кр";
    p.units = "т";
    p.global_name = global;
    return p;
}

struct Frame {
    DataStorage ds;
    Values values{&ds};
    Frame() {
        ds.get_par_tabl().add(param("Вес на крюке", "вес_на_крюке"));
        ds.get_par_tabl().add(param("Давление", "давление_на_входе"));
    }
};

TEST(Values, RegisteredValuesIgnoreCaseAndTheFirstStays) {
    Frame f;
    double depth = 12.5;
    f.values.register_value("ds.depth_z", "Глубина забоя", "м", ValueType(0), [&] { return depth; });
    f.values.register_value("DS.DEPTH_Z", "другое", "", ValueType(3), [] { return -1.0; });
    EXPECT_EQ(f.values.get("DS.Depth_Z"), 12.5);
    depth = 13;
    EXPECT_EQ(f.values.get("ds.depth_z"), 13);

    ValueParam p;
    ASSERT_TRUE(f.values.get_param("Ds.Depth_z", p));
    EXPECT_EQ(p.name, "Глубина забоя");
    EXPECT_EQ(p.short_name, "Глубина забоя");
    EXPECT_EQ(p.units, "м");
    EXPECT_EQ(p.global_name, "ds.depth_z");
    EXPECT_EQ(p.type, 0);

    f.values.register_value("empty", "", "", ValueType(2), nullptr);
    EXPECT_THROW(f.values.get("empty"), std::bad_function_call);
    try {
        f.values.get("EMPTY");
        ADD_FAILURE() << "a value without a getter read as a number";
    } catch (const std::bad_function_call& e) {
        EXPECT_STREQ(e.what(), "call to empty boost::function");
    }
    EXPECT_TRUE(f.values.param_exists("EMPTY"));
    EXPECT_FALSE(f.values.param_exists("вес_на_крюке"));  // the table is not asked
}

TEST(Values, UnknownNamesFallBackToTheFrame) {
    Frame f;
    f.ds.current_values["вес_на_крюке"] = 42.5;
    // Cyrillic letter case is folded by the table's look-up.
    EXPECT_EQ(f.values.get("ВЕС_НА_КРЮКЕ"), 42.5);
    f.values.set("давление_на_входе", 7);
    EXPECT_EQ(f.ds.current_values[1], 7);
    EXPECT_EQ(f.values.get("давление_на_входе"), 7);

    EXPECT_EQ(f.values.get("нет_такого"), 0);
    f.values.set("нет_такого", 5);
    EXPECT_EQ(f.values.get("нет_такого"), 0);

    // A registered value is never written by set.
    double v = 1;
    f.values.register_value("x.value", "X", "", ValueType(1), [&] { return v; });
    f.values.set("x.value", 9);
    EXPECT_EQ(f.values.get("x.value"), 1);

    ValueParam p;
    ASSERT_TRUE(f.values.get_param("давление_на_входе", p));
    EXPECT_EQ(p.name, "Давление");
    EXPECT_EQ(p.short_name, "Давление_кр");
    EXPECT_EQ(p.global_name, "давление_на_входе");
    EXPECT_FALSE(f.values.get_param("нет_такого", p));

    Values alone;  // no frame: nothing to fall back to
    EXPECT_EQ(alone.get("вес_на_крюке"), 0);
    EXPECT_FALSE(alone.get_param("вес_на_крюке", p));
}

TEST(Values, EnumeratesTableThenRegisteredValuesInKeyOrder) {
    Frame f;
    f.values.register_value("b.two", "Два", "", ValueType(1), [] { return 2.0; });
    f.values.register_value("A.one", "Один", "", ValueType(1), [] { return 1.0; });
    std::vector<ValueParam> out(1);
    out[0].name = "kept";
    f.values.enum_values(out, false);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0].name, "kept");
    EXPECT_EQ(out[1].global_name, "A.one");
    EXPECT_EQ(out[2].global_name, "b.two");

    f.values.enum_values(out, true);
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out[0].global_name, "вес_на_крюке");
    EXPECT_EQ(out[1].global_name, "давление_на_входе");
    EXPECT_EQ(out[2].global_name, "A.one");
}

TEST(Values, VariablesAreExactNames) {
    Values v;
    v.set_variable("race_num", "12");
    v.set_variable("koef", "2,5");
    v.set_variable("text", "abc");
    EXPECT_EQ(v.get_variable("race_num"), "12");
    EXPECT_EQ(v.get_variable("RACE_NUM"), "");
    EXPECT_EQ(v.get_float_variable("koef"), 2.5);
    EXPECT_EQ(v.get_float_variable("text"), 0);
    EXPECT_EQ(v.get_float_variable("unset"), 0);
    v.set_variable("koef", "3.25");
    EXPECT_EQ(v.get_float_variable("koef"), 3.25);
    std::vector<AnsiString> names{"old"};
    v.enum_variables(names);
    EXPECT_EQ(names, (std::vector<AnsiString>{"koef", "race_num", "text"}));
    EXPECT_TRUE(v.param_exists("race_num"));
    EXPECT_FALSE(v.param_exists("Race_Num"));
}

TEST(Values, FunctionsByArity) {
    Values v;
    v.register_function1("sqr", [](double a) { return a * a; });
    v.register_function2("SQR", [](double a, double b) { return a + b; });  // ignored: key taken
    v.register_function3("sum3", [](double a, double b, double c) { return a + b + c; });
    EXPECT_EQ(v.call_function1("Sqr", 3), 9);
    EXPECT_EQ(v.call_function3("SUM3", 1, 2, 3), 6);
    EXPECT_EQ(v.call_function1("missing", 3), 0);
    EXPECT_THROW(v.call_function2("sqr", 1, 2), std::bad_function_call);
    EXPECT_THROW(v.call_function1("sum3", 1), std::bad_function_call);
}

}  // namespace
