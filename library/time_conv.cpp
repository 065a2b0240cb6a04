#include "library/time_conv.h"

#include "platform/os/clock.h"
#include <ctime>
#include <stdexcept>

#include "platform/rtl/numbers.h"

namespace lib {

namespace {

const char* const kMonthNames[12] = {"января", "февраля", "марта",    "апреля",  "мая",    "июня",
                                     "июля",   "августа", "сентября", "октября", "ноября", "декабря"};

int month_length(int month, bool leap) {
    static const int lengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && leap ? 29 : lengths[month - 1];
}

// Two digits with a leading zero, as "%02d" writes them.
std::string two_digits(long long v) {
    std::string s = rtl::IntToStr(v);
    return v >= 0 && v < 10 ? "0" + s : s;
}

}  // namespace

int time_2_long(int year, int month, int day, int hour, int min, int sec) {
    if (month < 1 || month > 12)
        throw std::out_of_range("time_2_long: month " + rtl::IntToStr(month) + " is out of range");
    // 64-bit sums, reduced to 32 bits at the end: the same bits as the
    // 32-bit arithmetic of the stations, without signed overflow.
    long long days = (static_cast<long long>(year) - 1970) * 365 + (static_cast<long long>(year) - 1968) / 4;
    const bool leap = year % 4 == 0;
    if (leap) --days;
    for (int m = 1; m < month; ++m) days += month_length(m, leap);
    days += day;
    long long total = days * 86400 + static_cast<long long>(hour) * 3600 + static_cast<long long>(min) * 60 + sec;
    return static_cast<int>(static_cast<std::uint32_t>(total));
}

std::uint32_t get_local_time() {
    const os::LocalTime t = os::local_time();
    return static_cast<std::uint32_t>(time_2_long(t.year, t.month, t.day, t.hour, t.min, t.sec));
}

void big_time(std::uint32_t t, int& day, int& month, int& year, int& hour, int& min, int* sec) {
    if (sec) *sec = static_cast<int>(t % 60);
    min = static_cast<int>(t / 60 % 60);
    hour = static_cast<int>(t / 3600 % 24);
    std::uint32_t d = t / 86400;
    // Compared, not subtracted: an unsigned difference is never below zero.
    year = 1970;
    for (;;) {
        std::uint32_t length = year % 4 == 0 ? 366 : 365;
        if (d <= length) break;
        d -= length;
        ++year;
    }
    const bool leap = year % 4 == 0;
    month = 1;
    while (month <= 12 && d > static_cast<std::uint32_t>(month_length(month, leap))) {
        d -= static_cast<std::uint32_t>(month_length(month, leap));
        ++month;
    }
    day = static_cast<int>(d);
}

void conv_time(std::uint32_t t, int& hour, int& min, int* sec) {
    hour = static_cast<int>(t / 3600 % 24);
    min = static_cast<int>(t / 60 % 60);
    if (sec) *sec = static_cast<int>(t % 60);
}

rtl::TDateTime unix_to_datetime(std::uint32_t t) {
    int day, month, year, hour, min, sec;
    big_time(t, day, month, year, hour, min, &sec);
    return rtl::EncodeDate(year, month, day) + rtl::EncodeTime(hour, min, sec, 0);
}

std::uint32_t datetime_to_unix(rtl::TDateTime dt) {
    int year, month, day, hour, min, sec, msec;
    rtl::DecodeDate(dt, year, month, day);
    rtl::DecodeTime(dt, hour, min, sec, msec);
    return static_cast<std::uint32_t>(time_2_long(year, month, day, hour, min, sec));
}

void unix_time::serparate(int& day, int& month, int& year, int& hour, int& min, int* sec) const {
    big_time(value_, day, month, year, hour, min, sec);
}

std::string date_to_string(unsigned int t) {
    if (t < 10) return "---------------";
    int day, month, year, hour, min;
    big_time(t, day, month, year, hour, min, nullptr);
    return rtl::IntToStr(day) + " " + kMonthNames[month - 1] + " " + rtl::IntToStr(year) + "г. " + rtl::IntToStr(hour) +
           ":" + two_digits(min);
}

std::string unix_time::to_date_string() const { return date_to_string(value_); }

std::string time_to_string(int secs) { return rtl::IntToStr(secs / 3600) + ":" + two_digits(secs / 60 % 60); }

std::string unix_time::to_string(int secs) { return time_to_string(secs); }

std::string time_to_mis_sec(int secs) {
    if (secs == -1) return "---";
    return rtl::IntToStr(secs / 60) + ":" + two_digits(secs % 60);
}

std::string get_only_hour_min(unsigned int t) {
    if (t == 0xFFFFFFFFu) return "---";
    return rtl::IntToStr(t / 3600 % 24) + ":" + two_digits(t / 60 % 60);
}

int string_to_time(const std::string& s) {
    std::size_t chars = 0;  // characters, not UTF-8 bytes
    for (unsigned char c : s)
        if ((c & 0xC0) != 0x80) ++chars;
    if (chars <= 3) return 0;
    auto is_digit = [](char c) { return c >= '0' && c <= '9'; };
    std::size_t h0 = 0;
    while (h0 < s.size() && !is_digit(s[h0])) ++h0;
    std::size_t h1 = h0;
    while (h1 < s.size() && is_digit(s[h1])) ++h1;
    std::size_t m0 = h1;
    while (m0 < s.size() && !is_digit(s[m0])) ++m0;
    std::size_t m1 = m0;
    while (m1 < s.size() && is_digit(s[m1])) ++m1;
    if (h0 == h1 || m0 == m1) return 0;
    auto hours = static_cast<std::uint32_t>(rtl::StrToIntDef(std::string_view(s).substr(h0, h1 - h0), 0));
    auto minutes = static_cast<std::uint32_t>(rtl::StrToIntDef(std::string_view(s).substr(m0, m1 - m0), 0));
    // Wraps as the stations' 32-bit arithmetic did for absurd texts.
    return static_cast<int>(hours * 3600u + minutes * 60u);
}

}  // namespace lib
