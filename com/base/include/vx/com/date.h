// The automation date and SYSTEMTIME.
//
// DATE counts days since 1899-12-30 00:00; the fraction is the time of day.
// Before that day the whole part is negative while the fraction still
// counts forward from midnight: -1.25 is 1899-12-29 06:00. The proleptic
// Gregorian calendar is used throughout (1900 is not a leap year, 2000 is).
// The range is 0100-01-01 (-657434.0) to 9999-12-31 23:59:59.999.
#pragma once

#include "vx/com/types.h"

using DATE = double;

struct SYSTEMTIME {
  WORD wYear;
  WORD wMonth;      // 1..12
  WORD wDayOfWeek;  // 0 Sunday .. 6 Saturday
  WORD wDay;        // 1..31
  WORD wHour;
  WORD wMinute;
  WORD wSecond;
  WORD wMilliseconds;
};
using _SYSTEMTIME = SYSTEMTIME;
using LPSYSTEMTIME = SYSTEMTIME*;

extern "C" {
// FALSE for null arguments and for any field out of range (year 100..9999,
// a day that the month does not have, hour 23, minute and second 59,
// milliseconds 999 at most). wDayOfWeek is ignored. Milliseconds are kept.
VXCOM_API INT SystemTimeToVariantTime(const SYSTEMTIME* lpSystemTime, DATE* pvtime);
// FALSE for null, NaN, infinite and out-of-range dates. The time is rounded
// to the nearest millisecond; wDayOfWeek is filled in.
VXCOM_API INT VariantTimeToSystemTime(DATE vtime, SYSTEMTIME* lpSystemTime);
// The computer's local time and UTC, now.
VXCOM_API void GetLocalTime(SYSTEMTIME* lpSystemTime);
VXCOM_API void GetSystemTime(SYSTEMTIME* lpSystemTime);
}
