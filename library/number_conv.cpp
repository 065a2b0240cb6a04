#include "library/number_conv.h"

#include <cmath>

#include "platform/rtl/numbers.h"

namespace lib {

long double str_to_float(const std::string& s, float def) {
    if (s.empty()) return def;
    std::string copy = s;
    for (char& c : copy)
        if (c == ',') c = '.';
    return rtl::atof_borland(copy);
}

long double str_to_float(const char* s) { return s ? str_to_float(std::string(s), 0.0f) : 0.0L; }

namespace {

const char* automatic_pattern(double a) {
    if (a <= 0.0001) return "0.0000000";
    if (a <= 0.001) return "0.000000";
    if (a <= 0.01) return "0.00000";
    if (a <= 0.1) return "0.0000";
    if (a <= 1) return "0.000";
    if (a <= 10) return "0.00";
    return "0.0";
}

// Drops the zeros that end the decimals, and the separator when none remain.
// Only a fixed-point text has decimals to cut: "1E20" keeps its zero.
void cut_trailing_zeros(std::string& text) {
    const char sep = rtl::FormatSettings().DecimalSeparator;
    if (text.find(sep) == std::string::npos || text.find('E') != std::string::npos) return;
    while (text.size() > 1) {
        char c = text.back();
        if (c == '0') {
            text.pop_back();
        } else {
            if (c == sep) text.pop_back();
            break;
        }
    }
}

}  // namespace

std::string float_to_str(double x, int len, int width) {
    std::string text;
    if (len != -1) {
        text = rtl::FormatFloat("0." + std::string(len > 0 ? static_cast<std::size_t>(len) : 0, '0'), x);
    } else {
        if (x == 0) return "0";
        text = rtl::FormatFloat(automatic_pattern(std::fabs(x)), x);
        cut_trailing_zeros(text);
    }
    if (width < 1) width = 1;
    if (text.size() < static_cast<std::size_t>(width))
        text.insert(0, static_cast<std::size_t>(width) - text.size(), ' ');
    return text;
}

std::string float_to_str_usa(double x, int len, int width) {
    std::string text = float_to_str(x, len, width);
    std::size_t comma = text.find(',');
    if (comma != std::string::npos) text[comma] = '.';
    return text;
}

std::string get_log_string(double x) {
    const char* pattern = "0.00000000";
    if (x > 0.95)
        pattern = "0";
    else if (x > 0.095)
        pattern = "0.0";
    else if (x > 0.0095)
        pattern = "0.00";
    else if (x > 0.00095)
        pattern = "0.000";
    else if (x > 0.000095)
        pattern = "0.0000";
    else if (x > 9.5e-6)
        pattern = "0.00000";
    else if (x > 9.5e-7)
        pattern = "0.000000";
    else if (x > 9.5e-8)
        pattern = "0.0000000";
    return rtl::FormatFloat(pattern, x);
}

long double str_to_double(const std::string& s) { return rtl::atof_borland(s); }

}  // namespace lib
