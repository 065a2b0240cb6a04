#pragma once
// Calendar date-times as the station's Windows programs kept them.
//
// A TDateTime counts days from 1899-12-30 00:00 of local wall-clock time;
// the fraction is the time of day. A negative value is read the Windows way:
// its whole part (toward zero) is the day, and the fraction's magnitude is the
// time, so -1.25 is 1899-12-29 06:00. Decoding first rounds the value to the
// nearest millisecond, so 0.99999999999 decodes as the next day's 00:00.

#include <string>
#include <string_view>

#include "platform/rtl/numbers.h"  // EConvertError, FormatSettings

namespace rtl {

using TDateTime = double;

// Years 1..9999 of the Gregorian calendar. Throws EConvertError when the date
// does not exist.
TDateTime EncodeDate(int year, int month, int day);
bool TryEncodeDate(int year, int month, int day, TDateTime& result);

// Hours 0..23, minutes and seconds 0..59, milliseconds 0..999; throws
// EConvertError otherwise.
TDateTime EncodeTime(int hour, int min, int sec, int msec);

// Values outside the years 1..9999 (or not finite) decode as 0, 0, 0.
void DecodeDate(TDateTime value, int& year, int& month, int& day);
void DecodeTime(TDateTime value, int& hour, int& min, int& sec, int& msec);

// The local wall-clock time, to the millisecond.
TDateTime Now();

// Delphi date-time patterns (letters in either case):
//   d dd          day without / with leading zero
//   ddddd         FormatSettings().ShortDateFormat
//   m mm          month; minutes instead when the nearest letter before it
//                 is an hour (h), as in "hh:mm" and "H:mm:ss"
//   yy yyyy       two- or four-digit year (y counts as yy)
//   h hh          hour (12-hour clock when the pattern has am/pm or a/p)
//   n nn          minutes;  s ss  seconds
//   z zzz         milliseconds without / with leading zeros (zz as zzz)
//   am/pm a/p     "am"/"pm" or "a"/"p", in the letter case of the pattern
//   c             ShortDateFormat, then a blank and LongTimeFormat unless
//                 the time is exactly midnight (to the second)
//   /  :          FormatSettings() date and time separators
//   "xx" 'xx'     literal text; other characters are copied
// An empty pattern means "c". The station writes dates and times only in
// numeric forms, so day and month names (ddd, dddd, mmm, mmmm), the long
// date (dddddd), t, tt, ampm and era letters are not supported: their
// letters are copied to the text unchanged.
std::string FormatDateTime(std::string_view format, TDateTime value);

std::string DateToStr(TDateTime value);      // ShortDateFormat: "05.03.2018"
std::string TimeToStr(TDateTime value);      // LongTimeFormat: "4:07:09"
std::string DateTimeToStr(TDateTime value);  // "c": "05.03.2018 4:07:09"

}  // namespace rtl
