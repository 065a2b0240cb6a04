#pragma once
// The station's time stamps.
//
// A stamp is an unsigned 32-bit count of seconds of local wall-clock time (no
// time zone, no daylight-saving shift) from 1969-12-31 00:00:00, so that
// 1970-01-01 00:00:00 is 86400, and every year divisible by 4 is a leap
// year (right for 1901 to 2099). Every stored file carries this count as it
// is, so the day zero and the leap rule are part of the file formats.
// Counts are never taken from time() or mktime: they are built from the
// local calendar parts by time_2_long.

#include <cstdint>
#include <string>

#include "platform/rtl/datetime.h"

namespace lib {

class unix_time {
public:
    unix_time(unsigned int value = 0) : value_(value) {}

    bool operator>(const unix_time& other) const { return value_ > other.value_; }
    unsigned int get_value() const { return value_; }

    static unix_time min() { return unix_time(0); }
    static unix_time max() { return unix_time(0xFFFFFFFFu); }

    // The calendar parts of the count; `sec` may be null.
    void serparate(int& day, int& month, int& year, int& hour, int& min, int* sec) const;
    // "5 марта 2018г. 14:07"; a count below 10 gives fifteen hyphens.
    std::string to_date_string() const;
    // Hours and minutes of a duration: 3725 gives "1:02", 90000 "25:00".
    static std::string to_string(int secs);

private:
    std::uint32_t value_;
};

// The count of a calendar time. Day, hour, minute and second are not checked
// (they simply add up); the result wraps as 32-bit arithmetic does, so
// counts from 2038-01-19 on come back negative with the right bit pattern.
// Throws std::out_of_range for a month outside 1..12.
int time_2_long(int year, int month, int day, int hour, int min, int sec);

// The count of the current local wall-clock time, to the second.
std::uint32_t get_local_time();

// Counts are 32-bit on every station: these take std::uint32_t where the
// Windows code had a 32-bit unsigned long.
void big_time(std::uint32_t t, int& day, int& month, int& year, int& hour, int& min, int* sec);
// Time of day only.
void conv_time(std::uint32_t t, int& hour, int& min, int* sec);

// Throws rtl::EConvertError for a count below 86400 (day 0 of January 1970).
rtl::TDateTime unix_to_datetime(std::uint32_t t);
// Milliseconds are dropped. Throws std::out_of_range for a value outside the
// calendar (years 1..9999).
std::uint32_t datetime_to_unix(rtl::TDateTime dt);

std::string date_to_string(unsigned int t);     // as unix_time::to_date_string
std::string time_to_string(int secs);           // as unix_time::to_string
std::string time_to_mis_sec(int secs);          // "2:05" for 125; "---" for -1
std::string get_only_hour_min(unsigned int t);  // "1:01"; "---" for 0xFFFFFFFF

// Seconds from the first two runs of digits of a text as hours and minutes
// ("12:30" is 45000, "7.05" is 25500); 0 for a text of three characters or
// fewer or with only one run of digits.
int string_to_time(const std::string& s);

}  // namespace lib
