#include "platform/rtl/datetime.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <ctime>

#include "platform/os/clock.h"

namespace rtl {

namespace {

constexpr long long kMsecsPerDay = 86400000;
// Days from 0001-01-01 (day 1) to 1899-12-30 (day 0 of TDateTime).
constexpr long long kDateDelta = 693594;

bool is_leap(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int days_in_month(int year, int month) {
    static const int lengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && is_leap(year) ? 29 : lengths[month - 1];
}

// Day number of a date, 1 for 0001-01-01.
long long day_number(int year, int month, int day) {
    long long y = year - 1;
    long long n = y * 365 + y / 4 - y / 100 + y / 400;
    for (int m = 1; m < month; ++m) n += days_in_month(year, m);
    return n + day;
}

// value x 86400000 rounded to the nearest whole number, ties to even, as the
// exact product would round (the x87 code of the Windows library rounded its
// 64-bit product the same way). A double product can only err at a tie: it
// lands exactly on one half when the true product lies just beside it, and
// the product's rounding error tells which side.
double round_to_msecs(double value) {
    const double ms = static_cast<double>(kMsecsPerDay);
    double p = value * ms;
    double r = std::nearbyint(p);
    if (std::fabs(p - r) == 0.5) {
        double err = std::fma(value, ms, -p);  // exact: true product - p
        if (err > 0)
            r = std::floor(p) + 1;
        else if (err < 0)
            r = std::floor(p);
    }
    return r;
}

struct Parts {
    int year = 0, month = 0, day = 0;
    int hour = 0, min = 0, sec = 0, msec = 0;
};

Parts decode(TDateTime value) {
    Parts p;
    // Beyond a billion days (or not a number) nothing sensible is left.
    if (!std::isfinite(value) || std::fabs(value) > 1e9) return p;
    auto total = static_cast<long long>(round_to_msecs(value));
    long long days = total / kMsecsPerDay;  // toward zero, as the day part is
    long long ms = (total < 0 ? -total : total) % kMsecsPerDay;
    p.hour = static_cast<int>(ms / 3600000);
    p.min = static_cast<int>(ms / 60000 % 60);
    p.sec = static_cast<int>(ms / 1000 % 60);
    p.msec = static_cast<int>(ms % 1000);

    long long n = days + kDateDelta;  // day number, 1 = 0001-01-01
    if (n <= 0 || n > day_number(9999, 12, 31)) return p;
    // Whole 400-, 100-, 4- and 1-year cycles from 0001-01-01.
    long long t = n - 1;
    long long year = 1;
    year += t / 146097 * 400;
    t %= 146097;
    long long c = t / 36524;
    if (c == 4) c = 3;
    year += c * 100;
    t -= c * 36524;
    year += t / 1461 * 4;
    t %= 1461;
    long long y1 = t / 365;
    if (y1 == 4) y1 = 3;
    year += y1;
    t -= y1 * 365;
    p.year = static_cast<int>(year);
    int month = 1;
    while (t >= days_in_month(p.year, month)) t -= days_in_month(p.year, month++);
    p.month = month;
    p.day = static_cast<int>(t) + 1;
    return p;
}

void append_number(std::string& out, int value, int width) {
    char buf[16];
    auto res = std::to_chars(buf, buf + sizeof buf, value < 0 ? -value : value);
    auto len = static_cast<int>(res.ptr - buf);
    if (value < 0) out += '-';
    if (len < width) out.append(static_cast<std::size_t>(width - len), '0');
    out.append(buf, res.ptr);
}

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

bool starts_with_nocase(std::string_view s, std::size_t i, std::string_view what) {
    if (s.size() - i < what.size()) return false;
    for (std::size_t k = 0; k < what.size(); ++k)
        if (upper(s[i + k]) != upper(what[k])) return false;
    return true;
}

bool uses_12_hours(std::string_view f) {
    char quote = 0;
    for (std::size_t i = 0; i < f.size(); ++i) {
        if (quote) {
            if (f[i] == quote) quote = 0;
        } else if (f[i] == '"' || f[i] == '\'') {
            quote = f[i];
        } else if (starts_with_nocase(f, i, "am/pm") || starts_with_nocase(f, i, "a/p")) {
            return true;
        }
    }
    return false;
}

void append_format(std::string& out, std::string_view f, const Parts& p, int depth) {
    if (depth > 2) return;  // a setting that names itself
    const TFormatSettings& fs = FormatSettings();
    const bool h12 = uses_12_hours(f);
    char last = 0;  // the last letter token, upper case
    std::size_t i = 0;
    while (i < f.size()) {
        const char starter = f[i];
        char token = upper(starter);
        if (token >= 'A' && token <= 'Z') {
            if (token == 'M' && last == 'H') token = 'N';
            last = token;
        }
        // The run of the same letter (either case) starting here.
        std::size_t count = 1;
        while (i + count < f.size() && upper(f[i + count]) == upper(starter)) ++count;
        const std::string_view run = f.substr(i, count);
        switch (token) {
            case 'Y':
                if (count <= 2)
                    append_number(out, p.year % 100, 2);
                else
                    append_number(out, p.year, 4);
                i += count;
                break;
            case 'M':
                if (count <= 2)
                    append_number(out, p.month, static_cast<int>(count));
                else
                    out += run;  // month names: not used by the station
                i += count;
                break;
            case 'N':
                append_number(out, p.min, count >= 2 ? 2 : 1);
                i += count;
                break;
            case 'D':
                if (count <= 2)
                    append_number(out, p.day, static_cast<int>(count));
                else if (count == 5)
                    append_format(out, fs.ShortDateFormat, p, depth + 1);
                else
                    out += run;  // day names, long date: not used by the station
                i += count;
                break;
            case 'H': {
                int h = p.hour;
                if (h12) {
                    h %= 12;
                    if (h == 0) h = 12;
                }
                append_number(out, h, count >= 2 ? 2 : 1);
                i += count;
                break;
            }
            case 'S':
                append_number(out, p.sec, count >= 2 ? 2 : 1);
                i += count;
                break;
            case 'Z':
                append_number(out, p.msec, count >= 2 ? 3 : 1);
                i += count;
                break;
            case 'C':
                append_format(out, fs.ShortDateFormat, p, depth + 1);
                if (p.hour != 0 || p.min != 0 || p.sec != 0) {
                    out += ' ';
                    append_format(out, fs.LongTimeFormat, p, depth + 1);
                }
                i += count;
                break;
            case 'A':
                if (starts_with_nocase(f, i, "am/pm")) {
                    out += f.substr(p.hour >= 12 ? i + 3 : i, 2);
                    i += 5;
                } else if (starts_with_nocase(f, i, "a/p")) {
                    out += f[p.hour >= 12 ? i + 2 : i];
                    i += 3;
                } else {
                    out += starter;
                    ++i;
                }
                break;
            case '/':
                out += fs.DateSeparator;
                ++i;
                break;
            case ':':
                out += fs.TimeSeparator;
                ++i;
                break;
            case '"':
            case '\'': {
                std::size_t end = f.find(starter, i + 1);
                if (end == std::string_view::npos) end = f.size();
                out += f.substr(i + 1, end - i - 1);
                i = end + 1;
                break;
            }
            default:
                out += starter;
                ++i;
                break;
        }
    }
}

}  // namespace

bool TryEncodeDate(int year, int month, int day, TDateTime& result) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > days_in_month(year, month)) return false;
    result = static_cast<double>(day_number(year, month, day) - kDateDelta);
    return true;
}

TDateTime EncodeDate(int year, int month, int day) {
    TDateTime result;
    if (!TryEncodeDate(year, month, day, result)) throw EConvertError("Invalid argument to date encode");
    return result;
}

TDateTime EncodeTime(int hour, int min, int sec, int msec) {
    if (hour < 0 || hour > 23 || min < 0 || min > 59 || sec < 0 || sec > 59 || msec < 0 || msec > 999)
        throw EConvertError("Invalid argument to time encode");
    long long ms = ((hour * 60LL + min) * 60 + sec) * 1000 + msec;
    return static_cast<double>(ms) / kMsecsPerDay;
}

void DecodeDate(TDateTime value, int& year, int& month, int& day) {
    Parts p = decode(value);
    year = p.year;
    month = p.month;
    day = p.day;
}

void DecodeTime(TDateTime value, int& hour, int& min, int& sec, int& msec) {
    Parts p = decode(value);
    hour = p.hour;
    min = p.min;
    sec = p.sec;
    msec = p.msec;
}

TDateTime Now() {
    const os::LocalTime t = os::local_time();
    return EncodeDate(t.year, t.month, t.day) + EncodeTime(t.hour, t.min, t.sec, t.ms);
}

std::string FormatDateTime(std::string_view format, TDateTime value) {
    std::string out;
    append_format(out, format.empty() ? std::string_view("c") : format, decode(value), 0);
    return out;
}

std::string DateToStr(TDateTime value) { return FormatDateTime("ddddd", value); }

std::string TimeToStr(TDateTime value) {
    std::string out;
    append_format(out, FormatSettings().LongTimeFormat, decode(value), 0);
    return out;
}

std::string DateTimeToStr(TDateTime value) { return FormatDateTime("c", value); }

}  // namespace rtl
