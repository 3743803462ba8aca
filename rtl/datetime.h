#pragma once
// Points in time as the system keeps them: a TDateTime counts days since 30 December 1899
// (day 0) and its fraction is the time of day (0.5 is noon). Days before day 0 are negative
// and their fraction still counts forward from that day's midnight: -1.25 is 29 December 1899
// at 6:00 (the runtime's convention; ComposeDateTime keeps it). Dates are those of the
// Gregorian calendar, years 1 to 9999. No time zone and no locale are consulted: "local" is
// whatever the caller passes in (platform::Now supplies the system's local time).

#include <cstdint>

namespace tavo::rtl {

using TDateTime = double;

bool IsLeapYear(int32_t year);
// 28 to 31; 0 for a month outside 1..12.
int32_t DaysInMonth(int32_t year, int32_t month);

// False, leaving `value` alone, for a date or time that does not exist: year outside
// 1..9999, month outside 1..12, day outside the month; hour outside 0..23, minute or second
// outside 0..59, millisecond outside 0..999.
bool TryEncodeDate(int32_t year, int32_t month, int32_t day, TDateTime& value);
bool TryEncodeTime(int32_t hour, int32_t minute, int32_t second, int32_t millisecond,
                   TDateTime& value);
// Raise EConvertError "Invalid argument to date encode" / "Invalid argument to time encode".
TDateTime EncodeDate(int32_t year, int32_t month, int32_t day);
TDateTime EncodeTime(int32_t hour, int32_t minute, int32_t second, int32_t millisecond);

// The moment `time` (a time of day, 0 <= time < 1) on the day `date`; before day 0 the time
// is subtracted, as the convention above requires.
TDateTime ComposeDateTime(TDateTime date, TDateTime time);

struct TDateTimeParts {
  int32_t Year = 0;
  int32_t Month = 0;
  int32_t Day = 0;
  int32_t Hour = 0;
  int32_t Minute = 0;
  int32_t Second = 0;
  int32_t MilliSecond = 0;
  bool operator==(const TDateTimeParts&) const = default;
};

// Splits a value rounded to the millisecond. False, with every part 0, for a value outside
// years 1..9999 (NaN and infinities included).
bool DecodeDateTime(TDateTime value, TDateTimeParts& parts);

}  // namespace tavo::rtl
