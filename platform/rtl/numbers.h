#pragma once
// Number text as the station's Windows programs wrote and read it.
//
// Every function here is independent of the C locale: digits are produced and
// parsed with std::to_chars/std::from_chars, never printf, strtod or streams.
// Writers use the process-wide FormatSettings(); readers accept both ',' and
// '.' as the decimal separator so that files from either kind of station load.
//
// Rounding. The Windows run-time library formatted a double by first turning
// it into 18 significant decimal digits and then rounding that digit string
// half away from zero. We do the same: the exact binary value is rounded to
// 18 significant digits (nearest, ties to even), and that decimal value is
// rounded half away from zero to the digits asked for. So a double that only
// looks like a tie is rounded by its true value: 1.005 is stored as
// 1.00499999999999989..., and FormatFloat("0.00", 1.005) gives "1,00", while
// 0.125 (exact in binary) gives "0,13" and 2.345 (stored as
// 2.34500000000000020...) gives "2,35". Free Pascal rounds from 17 digits
// instead and so differs now and then: 129809.495, stored as
// 129809.494999999995..., gives "129809,49" here as on the stations, but
// "129809,50" there.

#include <stdexcept>
#include <string>
#include <string_view>

namespace rtl {

// The number, date and time conventions of the Russian Windows stations.
// One instance per process; change it only at start-up or in tests.
struct TFormatSettings {
    char DecimalSeparator = ',';
    char DateSeparator = '.';
    char TimeSeparator = ':';
    std::string ShortDateFormat = "dd.MM.yyyy";
    std::string LongTimeFormat = "H:mm:ss";
    // Digit grouping of FormatFloat patterns with ','. Windows' Russian
    // setting is the no-break space (UTF-8 here, like all text inside).
    std::string ThousandSeparator = "\xC2\xA0";
};

TFormatSettings& FormatSettings();

// Raised by the strict conversions (StrToFloat, EncodeDate, EncodeTime).
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Shortest general form with 15 significant digits: "12,5", "0,0001",
// "1E15", "1E-6", "-1,5E-7". Plain digits are used while the value has at
// most 15 integer digits and is at least 0.00001 in magnitude. Infinities
// and NaN give "INF", "-INF" and "NAN".
std::string FloatToStr(double value);

// Delphi-style number patterns:
//   0   digit, written even when it is a leading or trailing zero
//   #   digit, written only when significant
//   .   decimal separator (the first one; it is written only when at least
//       one decimal digit follows)
//   ,   anywhere: group the integer digits by three
//   E+00 E-00 e+00 e-00   scientific notation; '+' always writes the sign,
//       '-' only a minus; the zeros give the minimum exponent digits
//   "xx" 'xx'   literal text; any other character is copied as it is
//   ;   separates the sections for positive, negative and zero values; an
//       empty or missing negative or zero section falls back to the first
//       one (with a minus sign for negative values)
// An empty pattern (or empty first section) gives FloatToStr. A value whose
// integer part would need 18 or more digits is written by FloatToStr too.
// A negative value that rounds to zero keeps its minus sign ("-0,00").
std::string FormatFloat(std::string_view pattern, double value);

std::string IntToStr(long long value);

// Integer text: leading blanks (space, tab), an optional sign, then decimal
// digits or hex digits after "$", "0x" or "x" (any letter case). Nothing may
// follow. Decimal text must fit in a signed 32-bit integer; hex text may use
// the full 32 bits ("$FFFFFFFF" is -1). Anything else is not an integer.
bool TryStrToInt(std::string_view text, int& value);
int StrToIntDef(std::string_view text, int def);

// Floating text: optional blanks, sign, digits with ',' or '.' as decimal
// separator, optional exponent, optional blanks. No "inf", "nan" or hex.
// A value too large for a double is an error; one too small reads as 0.
bool TryStrToFloat(std::string_view text, double& value);
double StrToFloat(std::string_view text);  // throws EConvertError
double StrToFloatDef(std::string_view text, double def);

// The C library's atof as the Borland run-time had it: leading white space
// skipped, then the longest prefix that forms a number with a point as
// decimal separator ("12.5abc" is 12.5, "1e" is 1, "abc" is 0). No "inf",
// "nan" or hex. Out of range gives +-HUGE_VAL or 0, as atof does.
long double atof_borland(std::string_view text);

}  // namespace rtl
