#include "platform/rtl/numbers.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <system_error>
#include <vector>

namespace rtl {

TFormatSettings& FormatSettings() {
    static TFormatSettings settings;
    return settings;
}

namespace {

// |value| = 0.d1 d2 d3 ... x 10^exp. No leading or trailing zeros in digits;
// empty digits mean zero.
struct Decimal {
    std::string digits;
    int exp = 0;
    bool zero() const { return digits.empty(); }
};

void strip_trailing_zeros(Decimal& d) {
    while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
    if (d.digits.empty()) d.exp = 0;
}

// The magnitude of a finite double as 18 significant digits, the form the
// Windows run-time library rounded from.
Decimal to_decimal(double value) {
    Decimal d;
    value = std::fabs(value);
    if (value == 0) return d;
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 17);
    // "d.ddddddddddddddddde[+-]xx"
    std::string_view text(buf, static_cast<std::size_t>(res.ptr - buf));
    std::size_t e = text.find('e');
    d.digits.push_back(text[0]);
    d.digits.append(text.substr(2, e - 2));
    int exp10 = 0;
    std::string_view ex = text.substr(e + 1);
    if (ex.front() == '+') ex.remove_prefix(1);
    std::from_chars(ex.data(), ex.data() + ex.size(), exp10);
    d.exp = exp10 + 1;
    strip_trailing_zeros(d);
    return d;
}

// Keeps the first `keep` digits, rounding half away from zero.
void round_digits(Decimal& d, int keep) {
    if (d.zero()) return;
    if (keep < 0) {
        d = Decimal{};
        return;
    }
    auto n = static_cast<std::size_t>(keep);
    if (n >= d.digits.size()) return;
    bool up = d.digits[n] >= '5';
    d.digits.resize(n);
    if (up) {
        std::size_t i = n;
        while (i > 0 && d.digits[i - 1] == '9') {
            d.digits[i - 1] = '0';
            --i;
        }
        if (i == 0) {
            d.digits.insert(d.digits.begin(), '1');
            ++d.exp;
        } else {
            ++d.digits[i - 1];
        }
    }
    strip_trailing_zeros(d);
}

std::string int_text(long long v) {
    char buf[32];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, res.ptr);
}

std::optional<std::string> special_text(double value) {
    if (std::isnan(value)) return std::string("NAN");
    if (std::isinf(value)) return std::string(value < 0 ? "-INF" : "INF");
    return std::nullopt;
}

// ---- FormatFloat pattern -------------------------------------------------

enum class Tok { Literal, IntDigit, Point, FracDigit, Exponent };

struct Token {
    Tok kind;
    std::string text;    // Literal: the text; Exponent: "E" or "e"
    bool zero = false;   // digit placeholder is '0'
    bool plus = false;   // Exponent: "E+" form
    int exp_digits = 0;  // Exponent: minimum digits
};

struct Section {
    std::vector<Token> tokens;
    int int_count = 0;   // integer placeholders
    int int_min = 0;     // integer digits forced by '0'
    int frac_count = 0;  // decimal placeholders
    int frac_min = 0;    // decimals forced by '0'
    bool thousands = false;
    bool scientific = false;
};

std::vector<std::string_view> split_sections(std::string_view pattern) {
    std::vector<std::string_view> out;
    std::size_t start = 0;
    char quote = 0;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        char c = pattern[i];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == ';') {
            out.push_back(pattern.substr(start, i - start));
            start = i + 1;
        }
    }
    out.push_back(pattern.substr(start));
    return out;
}

Section parse_section(std::string_view s) {
    Section sec;
    bool after_point = false;
    auto literal = [&](std::string_view text) {
        if (!sec.tokens.empty() && sec.tokens.back().kind == Tok::Literal)
            sec.tokens.back().text.append(text);
        else
            sec.tokens.push_back({Tok::Literal, std::string(text)});
    };
    for (std::size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (c == '"' || c == '\'') {
            std::size_t end = s.find(c, i + 1);
            if (end == std::string_view::npos) end = s.size();
            literal(s.substr(i + 1, end - i - 1));
            i = end;
        } else if ((c == '0' || c == '#') && !sec.scientific) {
            if (after_point) {
                ++sec.frac_count;
                if (c == '0') sec.frac_min = sec.frac_count;
                sec.tokens.push_back({Tok::FracDigit, {}, c == '0'});
            } else {
                ++sec.int_count;
                sec.tokens.push_back({Tok::IntDigit, {}, c == '0'});
            }
        } else if (c == '.' && !sec.scientific) {
            if (!after_point) sec.tokens.push_back({Tok::Point, {}});
            after_point = true;
        } else if (c == ',' && !sec.scientific) {
            sec.thousands = true;
        } else if ((c == 'E' || c == 'e') && !sec.scientific && i + 2 < s.size() &&
                   (s[i + 1] == '+' || s[i + 1] == '-') && s[i + 2] == '0') {
            Token t{Tok::Exponent, std::string(1, c)};
            t.plus = s[i + 1] == '+';
            std::size_t j = i + 2;
            while (j < s.size() && s[j] == '0') ++j;
            t.exp_digits = static_cast<int>(std::min<std::size_t>(j - (i + 2), 4));
            sec.tokens.push_back(t);
            sec.scientific = true;
            i = j - 1;
        } else {
            literal(std::string_view(&s[i], 1));
        }
    }
    // The leftmost integer '0' forces every digit position to its right.
    int pos = sec.int_count;
    for (const Token& t : sec.tokens) {
        if (t.kind != Tok::IntDigit) continue;
        if (t.zero) {
            sec.int_min = pos;
            break;
        }
        --pos;
    }
    return sec;
}

std::string render(const Section& sec, double magnitude, bool minus) {
    const TFormatSettings& fs = FormatSettings();
    Decimal d = to_decimal(magnitude);
    std::string int_digits;   // all integer digits to write
    std::string frac_digits;  // decimals to write
    std::string exp_text;
    if (sec.scientific) {
        int precision = sec.int_count + sec.frac_count;
        round_digits(d, precision);
        std::string m = d.digits;
        m.resize(static_cast<std::size_t>(precision), '0');
        int_digits = m.substr(0, static_cast<std::size_t>(sec.int_count));
        frac_digits = m.substr(static_cast<std::size_t>(sec.int_count));
        int e = d.zero() ? 0 : d.exp - sec.int_count;
        const Token* et = nullptr;
        for (const Token& t : sec.tokens)
            if (t.kind == Tok::Exponent) et = &t;
        exp_text = et->text;
        if (e < 0)
            exp_text += '-';
        else if (et->plus)
            exp_text += '+';
        std::string digits = int_text(std::abs(e));
        if (static_cast<int>(digits.size()) < et->exp_digits)
            exp_text.append(static_cast<std::size_t>(et->exp_digits) - digits.size(), '0');
        exp_text += digits;
    } else {
        round_digits(d, d.exp + sec.frac_count);
        if (!d.zero() && d.exp > 0) {
            int_digits = d.digits.substr(0, static_cast<std::size_t>(d.exp));
            int_digits.resize(static_cast<std::size_t>(d.exp), '0');
        }
        for (int i = 0; i < sec.frac_count; ++i) {
            int idx = d.exp + i;
            bool inside = !d.zero() && idx >= 0 && idx < static_cast<int>(d.digits.size());
            frac_digits += inside ? d.digits[static_cast<std::size_t>(idx)] : '0';
        }
        if (static_cast<int>(int_digits.size()) < sec.int_min)
            int_digits.insert(0, static_cast<std::size_t>(sec.int_min) - int_digits.size(), '0');
    }
    // Decimals are written up to the last significant one, but never fewer
    // than the pattern's '0's demand.
    int frac_shown = sec.frac_min;
    for (int i = static_cast<int>(frac_digits.size()); i > frac_shown; --i) {
        if (frac_digits[static_cast<std::size_t>(i) - 1] != '0') {
            frac_shown = i;
            break;
        }
    }

    std::string out;
    if (minus) out += '-';
    const bool group = sec.thousands && !sec.scientific;
    const int n = static_cast<int>(int_digits.size());
    // Writes the integer digit at position p (0 = units), if there is one.
    auto put_int = [&](int p) {
        if (p >= n) return;
        out += int_digits[static_cast<std::size_t>(n - 1 - p)];
        if (group && p > 0 && p % 3 == 0) out += fs.ThousandSeparator;
    };
    int int_pos = sec.int_count;  // position of the next integer placeholder + 1
    int frac_pos = 0;
    bool int_written = sec.int_count > 0;
    for (const Token& t : sec.tokens) {
        switch (t.kind) {
            case Tok::Literal: out += t.text; break;
            case Tok::IntDigit:
                --int_pos;
                if (sec.scientific) {
                    out += int_digits[static_cast<std::size_t>(sec.int_count - 1 - int_pos)];
                    break;
                }
                if (int_pos == sec.int_count - 1)
                    for (int p = n - 1; p > int_pos; --p) put_int(p);  // digits beyond the pattern
                put_int(int_pos);
                break;
            case Tok::Point:
                if (!int_written) {
                    for (int p = n - 1; p >= 0; --p) put_int(p);
                    int_written = true;
                }
                if (frac_shown > 0) out += fs.DecimalSeparator;
                break;
            case Tok::FracDigit:
                if (frac_pos < frac_shown) out += frac_digits[static_cast<std::size_t>(frac_pos)];
                ++frac_pos;
                break;
            case Tok::Exponent: out += exp_text; break;
        }
    }
    return out;
}

// ---- Readers ---------------------------------------------------------------

bool is_blank(char c) { return c == ' ' || c == '\t'; }

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// A number in C form ("-12.5e3"), normalised from the text, ready for
// std::from_chars. `decimal_exponent` tells overflow from underflow.
struct NumberText {
    std::string text;
    long decimal_exponent = 0;  // about log10 of the magnitude
    bool negative = false;
    std::size_t consumed = 0;  // characters of the input used
};

// Reads a number at the start of `s`: sign, digits, separator, digits,
// exponent. `seps` are the accepted decimal separators. Returns nullopt when
// no digit is found.
std::optional<NumberText> scan_number(std::string_view s, std::string_view seps) {
    NumberText r;
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        r.negative = s[i] == '-';
        ++i;
    }
    if (r.negative) r.text += '-';
    std::string int_part, frac_part;
    while (i < s.size() && is_digit(s[i])) int_part += s[i++];
    if (i < s.size() && seps.find(s[i]) != std::string_view::npos) {
        std::size_t j = i + 1;
        while (j < s.size() && is_digit(s[j])) frac_part += s[j++];
        if (!int_part.empty() || !frac_part.empty()) i = j;
    }
    if (int_part.empty() && frac_part.empty()) return std::nullopt;
    r.text += int_part.empty() ? "0" : int_part;
    if (!frac_part.empty()) {
        r.text += '.';
        r.text += frac_part;
    }
    long exp10 = 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        bool eneg = false;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) eneg = s[j++] == '-';
        if (j < s.size() && is_digit(s[j])) {
            std::string exp_digits;
            while (j < s.size() && is_digit(s[j])) {
                if (exp10 < 100000) exp10 = exp10 * 10 + (s[j] - '0');
                exp_digits += s[j++];
            }
            if (eneg) exp10 = -exp10;
            r.text += eneg ? "e-" : "e";
            r.text += exp_digits;
            i = j;
        }
    }
    // Magnitude estimate from the first significant digit.
    std::size_t lead = int_part.find_first_not_of('0');
    if (lead != std::string::npos) {
        r.decimal_exponent = exp10 + static_cast<long>(int_part.size() - lead);
    } else {
        std::size_t fl = frac_part.find_first_not_of('0');
        r.decimal_exponent = fl == std::string::npos ? 0 : exp10 - static_cast<long>(fl);
    }
    r.consumed = i;
    return r;
}

// Converts a scanned number; out-of-range values become +-HUGE_VAL or +-0
// and `in_range` is cleared for the former.
double convert(const NumberText& n, bool& in_range) {
    double v = 0;
    const char* b = n.text.data();
    auto res = std::from_chars(b, b + n.text.size(), v, std::chars_format::general);
    in_range = true;
    if (res.ec == std::errc::result_out_of_range) {
        if (n.decimal_exponent > 0) {
            in_range = false;
            v = HUGE_VAL;
        } else {
            v = 0;
        }
        if (n.negative) v = -v;
    }
    return v;
}

// Plain decimal text (sign, digits, one separator, digits, an exponent with
// digits, nothing else, at least one digit before the exponent) is what
// scan_number turns into the same text with '.' for the separator, without
// a leading '+' and with "0" before a bare fraction; std::from_chars reads
// all of those forms as the same decimal number, so it can read the text
// where it stands. Anything else, and any result that is not plainly in
// range, goes the general way, which then decides exactly as it always has.
bool try_plain_decimal(std::string_view t, double& value) {
    constexpr std::size_t kLongest = 64;
    const std::size_t n = t.size();
    if (n == 0 || n > kLongest) return false;
    std::size_t i = 0;
    const bool plus = t[0] == '+';
    if (plus || t[0] == '-') ++i;
    std::size_t digits = 0, comma = std::string_view::npos;
    while (i < n && is_digit(t[i])) ++i, ++digits;
    if (i < n && (t[i] == '.' || t[i] == ',')) {
        if (t[i] == ',') comma = i;
        ++i;
        while (i < n && is_digit(t[i])) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < n && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < n && (t[i] == '+' || t[i] == '-')) ++i;
        const std::size_t first = i;
        while (i < n && is_digit(t[i])) ++i;
        if (i == first) return false;
    }
    if (i != n) return false;
    const char* b = t.data() + (plus ? 1 : 0);
    const char* e = t.data() + n;
    char copy[kLongest];
    if (comma != std::string_view::npos) {
        const std::size_t len = static_cast<std::size_t>(e - b);
        std::copy(b, e, copy);
        copy[comma - (plus ? 1 : 0)] = '.';
        b = copy;
        e = copy + len;
    }
    double v = 0;
    const auto r = std::from_chars(b, e, v, std::chars_format::general);
    if (r.ec != std::errc() || r.ptr != e) return false;
    value = v;
    return true;
}

}  // namespace

std::string FloatToStr(double value) {
    if (auto s = special_text(value)) return *s;
    Decimal d = to_decimal(value);
    round_digits(d, 15);
    if (d.zero()) return "0";
    const char sep = FormatSettings().DecimalSeparator;
    std::string out;
    if (value < 0) out += '-';
    if (d.exp > 15 || d.exp < -4) {
        out += d.digits[0];
        if (d.digits.size() > 1) {
            out += sep;
            out.append(d.digits, 1);
        }
        out += 'E';
        out += int_text(d.exp - 1);
    } else if (d.exp <= 0) {
        out += '0';
        out += sep;
        out.append(static_cast<std::size_t>(-d.exp), '0');
        out += d.digits;
    } else {
        auto whole = static_cast<std::size_t>(d.exp);
        std::string digits = d.digits;
        if (digits.size() < whole) digits.resize(whole, '0');
        out.append(digits, 0, whole);
        if (digits.size() > whole) {
            out += sep;
            out.append(digits, whole);
        }
    }
    return out;
}

std::string FormatFloat(std::string_view pattern, double value) {
    if (auto s = special_text(value)) return *s;
    std::vector<std::string_view> sections = split_sections(pattern);
    if (sections[0].empty()) return FloatToStr(value);
    std::string_view chosen = sections[0];
    bool minus = false;
    if (value < 0) {
        if (sections.size() > 1 && !sections[1].empty())
            chosen = sections[1];
        else
            minus = true;
    } else if (value == 0) {
        if (sections.size() > 2 && !sections[2].empty()) chosen = sections[2];
    }
    Section sec = parse_section(chosen);
    if (!sec.scientific && to_decimal(value).exp >= 18) return FloatToStr(value);
    if (sec.int_count == 0 && sec.frac_count == 0) {
        // No digits at all: the pattern is its own text.
        std::string out = minus ? "-" : "";
        for (const Token& t : sec.tokens) {
            if (t.kind == Tok::Literal) out += t.text;
            if (t.kind == Tok::Exponent)
                out += t.text + (t.plus ? "+" : "-") + std::string(static_cast<std::size_t>(t.exp_digits), '0');
        }
        return out;
    }
    return render(sec, std::fabs(value), minus);
}

std::string IntToStr(long long value) { return int_text(value); }

bool TryStrToInt(std::string_view text, int& value) {
    std::size_t i = 0;
    while (i < text.size() && is_blank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    bool hex = false;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        hex = true;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i >= text.size()) return false;
    std::uint64_t magnitude = 0;
    const std::uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    for (; i < text.size(); ++i) {
        char c = text[i];
        int digit;
        if (is_digit(c))
            digit = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return false;
        magnitude = magnitude * (hex ? 16 : 10) + static_cast<std::uint64_t>(digit);
        if (magnitude > limit) return false;
    }
    // Hex text names a 32-bit pattern; the sign applies to that pattern.
    auto bits = static_cast<std::uint32_t>(magnitude);
    if (negative) bits = 0u - bits;
    value = static_cast<int>(bits);
    return true;
}

int StrToIntDef(std::string_view text, int def) {
    int v;
    return TryStrToInt(text, v) ? v : def;
}

bool TryStrToFloat(std::string_view text, double& value) {
    while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
    if (try_plain_decimal(text, value)) return true;
    auto n = scan_number(text, ",.");
    if (!n || n->consumed != text.size()) return false;
    bool in_range;
    double v = convert(*n, in_range);
    if (!in_range) return false;
    value = v;
    return true;
}

double StrToFloat(std::string_view text) {
    double v;
    if (!TryStrToFloat(text, v)) throw EConvertError("'" + std::string(text) + "' is not a valid floating point value");
    return v;
}

double StrToFloatDef(std::string_view text, double def) {
    double v;
    return TryStrToFloat(text, v) ? v : def;
}

long double atof_borland(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    auto n = scan_number(text.substr(i), ".");
    if (!n) return 0;
    bool in_range;
    return convert(*n, in_range);
}

}  // namespace rtl
