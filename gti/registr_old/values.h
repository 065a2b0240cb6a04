#pragma once
// Values: the vocabulary of names that formulas, plug-ins and the station
// host read by name:
//  - values computed by the hub, each registered with a getter ("ds.depth_z",
//    "race.prohodka", ...), looked up ignoring letter case;
//  - text variables, exact names;
//  - functions of one, two or three numbers, looked up ignoring case.
// A name that is neither a registered value nor a variable falls back to the
// parameter of that global name in the hub's current frame.
//
// Every operation holds the hub's lock (sys_lock_obj(), recursive) for its
// whole duration, getters and functions included: they may use the hub's
// data but must not wait for a thread that needs the lock.

#include <functional>
#include <map>
#include <string>
#include <vector>

using AnsiString = std::string;

class DataStorage;
class Param;

// Kinds of value; 0 is a parameter of the table, the others are chosen by
// whoever registers a value.
enum ValueType : int { vt_param = 0 };

// The description of one value handed to plug-ins.
struct ValueParam {
    AnsiString name;
    AnsiString short_name;
    AnsiString units;
    AnsiString global_name;
    ValueType type = vt_param;
};

namespace values_detailed {

struct IntValue {
    AnsiString title;
    AnsiString units;
    ValueType type = vt_param;
    std::function<double()> getter;
};

// Calling a value or a function whose slot is empty.
class bad_function_call : public std::bad_function_call {
public:
    const char* what() const noexcept override { return "call to empty boost::function"; }
};

}  // namespace values_detailed

class Values {
public:
    using Function1 = std::function<double(double)>;
    using Function2 = std::function<double(double, double)>;
    using Function3 = std::function<double(double, double, double)>;

    // frame: where unknown names fall back to; without one they read 0.
    explicit Values(DataStorage* frame = nullptr) : frame_(frame) {}
    Values(const Values&) = delete;
    Values& operator=(const Values&) = delete;

    // A registered value calls its getter; any other name gives the running
    // average of the frame's parameter of that global name (0 for none).
    double get(const AnsiString& name);
    // Writes the frame's current value of that parameter; registered values
    // are not touched, and an unknown name changes nothing.
    void set(const char* name, double value);

    // The first registration of a key (ignoring case) stays.
    void register_value(const char* key, const char* title, const char* units, ValueType type,
                        const std::function<double()>& getter);
    // A registered value, else a parameter of the frame's table; false when
    // neither knows the name.
    bool get_param(const AnsiString& name, ValueParam& out);
    // With with_table: out becomes the frame's parameters in table order;
    // then every registered value is appended in key order (ignoring case).
    void enum_values(std::vector<ValueParam>& out, bool with_table);

    void set_variable(const char* name, const AnsiString& value);
    // Empty for a name that is not set.
    AnsiString get_variable(const char* name);
    // The variable read as a number; 0 when unset or not a number.
    double get_float_variable(const char* name);
    void enum_variables(std::vector<AnsiString>& out);

    // The first registration of a key (ignoring case), of any arity, stays.
    void register_function1(const char* key, const Function1& f);
    void register_function2(const char* key, const Function2& f);
    void register_function3(const char* key, const Function3& f);
    // 0 for a key that is not registered; a key registered with another
    // arity throws values_detailed::bad_function_call.
    double call_function1(const char* key, double a);
    double call_function2(const char* key, double a, double b);
    double call_function3(const char* key, double a, double b, double c);

    // A variable (exact name) or a registered value (ignoring case); the
    // parameter table is not asked.
    bool param_exists(const AnsiString& name);

    static void reg_param_2_plugin_param(const Param& p, ValueParam& out);
    static void int_value_to_value_param(const values_detailed::IntValue& v, ValueParam& out);

private:
    struct ValueEntry {
        AnsiString key;
        values_detailed::IntValue value;
    };
    struct FunctionEntry {
        Function1 f1;
        Function2 f2;
        Function3 f3;
    };

    DataStorage* frame_;
    std::map<AnsiString, ValueEntry> values_;        // by AnsiLowerCase of the key
    std::map<AnsiString, AnsiString> variables_;     // exact names
    std::map<AnsiString, FunctionEntry> functions_;  // by AnsiLowerCase of the key
};
