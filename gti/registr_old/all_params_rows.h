#pragma once
// The built-in rows of the registry of all parameters (all_params_rows.cpp).

namespace all_params_detail {

struct BuiltinRow {
    const char* name;
    const char* short_name;
    const char* units;
    const char* global_name;  // null ends the list
    int channel;
    float range;
    float zero;
    float min_value;
    float max_value;
    char kind;
    int averaging;
    int group;
};

// The rows, ended by one without a global name.
const BuiltinRow* builtin_rows();

}  // namespace all_params_detail
