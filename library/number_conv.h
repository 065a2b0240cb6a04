#pragma once
// Number texts of settings, grids, INI files and reports.
//
// Texts are AnsiString (std::string, UTF-8 inside the program). Writers use
// the process decimal separator of rtl::FormatSettings() (',' on the
// stations); readers take a decimal comma or point.

#include <string>

namespace lib {

// The number at the start of `s` (blanks skipped, ',' or '.' as separator,
// reading stops at the first character that does not continue the number).
// An empty text gives `def`; a text that does not begin with a number gives 0.
long double str_to_float(const std::string& s, float def);
// The same without the empty-text rule: an empty text (or null) gives 0.
long double str_to_float(const char* s);

// `len` decimals (rounded half away from zero), or with len -1 the automatic
// form: decimals chosen by magnitude, trailing zeros cut ("12,5", "100",
// "0,00012"). Padded with blanks in front to at least `width` characters;
// an exact 0 in the automatic form is "0" without padding.
std::string float_to_str(double x, int len = -1, int width = 0);
// As float_to_str, with a point as decimal separator.
std::string float_to_str_usa(double x, int len = -1, int width = 0);

// A label of a logarithmic scale: decimals chosen by the value itself, no
// zeros cut ("1", "0,5", "0,00000000" for zero and negative values).
std::string get_log_string(double x);

// The C library's atof: a point only, "1,5" gives 1.
long double str_to_double(const std::string& s);

}  // namespace lib
