#include "vx/com/date.h"

#include <cmath>
#include <ctime>

namespace {

constexpr int64_t kMsPerDay = 86'400'000;

// Days from 1970-01-01 to y-m-d in the proleptic Gregorian calendar.
constexpr int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

struct Civil {
  int64_t year;
  unsigned month;
  unsigned day;
};

constexpr Civil civilFromDays(int64_t z) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  return {static_cast<int64_t>(yoe) + era * 400 + (m <= 2), m, d};
}

constexpr int64_t kEpoch = daysFromCivil(1899, 12, 30);
constexpr int64_t kFirstDay = daysFromCivil(100, 1, 1) - kEpoch;   // -657434
constexpr int64_t kLastDay = daysFromCivil(9999, 12, 31) - kEpoch;  // 2958465
static_assert(kFirstDay == -657434 && kLastDay == 2958465);

bool isLeap(unsigned y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

unsigned daysInMonth(unsigned y, unsigned m) {
  static constexpr unsigned kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && isLeap(y) ? 29 : kDays[m - 1];
}

void fromTm(const std::tm& t, long nanoseconds, SYSTEMTIME* out) {
  out->wYear = static_cast<WORD>(t.tm_year + 1900);
  out->wMonth = static_cast<WORD>(t.tm_mon + 1);
  out->wDayOfWeek = static_cast<WORD>(t.tm_wday);
  out->wDay = static_cast<WORD>(t.tm_mday);
  out->wHour = static_cast<WORD>(t.tm_hour);
  out->wMinute = static_cast<WORD>(t.tm_min);
  // A leap second shows as 59.
  out->wSecond = static_cast<WORD>(t.tm_sec > 59 ? 59 : t.tm_sec);
  out->wMilliseconds = static_cast<WORD>(nanoseconds / 1'000'000);
}

}  // namespace

extern "C" {

INT SystemTimeToVariantTime(const SYSTEMTIME* st, DATE* pvtime) {
  if (st == nullptr || pvtime == nullptr) return FALSE;
  if (st->wYear < 100 || st->wYear > 9999 || st->wMonth < 1 || st->wMonth > 12 || st->wDay < 1 ||
      st->wDay > daysInMonth(st->wYear, st->wMonth) || st->wHour > 23 || st->wMinute > 59 ||
      st->wSecond > 59 || st->wMilliseconds > 999)
    return FALSE;
  int64_t days = daysFromCivil(st->wYear, st->wMonth, st->wDay) - kEpoch;
  int64_t ms = ((st->wHour * 60 + st->wMinute) * 60 + st->wSecond) * 1000LL + st->wMilliseconds;
  double fraction = static_cast<double>(ms) / static_cast<double>(kMsPerDay);
  // Before the epoch the fraction still counts forward from midnight, so it
  // grows away from zero together with the negative day number.
  *pvtime = days >= 0 ? static_cast<double>(days) + fraction : static_cast<double>(days) - fraction;
  return TRUE;
}

INT VariantTimeToSystemTime(DATE vtime, SYSTEMTIME* st) {
  if (st == nullptr || !std::isfinite(vtime)) return FALSE;
  if (vtime <= static_cast<double>(kFirstDay - 1) || vtime >= static_cast<double>(kLastDay + 1))
    return FALSE;
  double whole = std::trunc(vtime);
  int64_t days = static_cast<int64_t>(whole);
  int64_t ms = std::llround(std::fabs(vtime - whole) * static_cast<double>(kMsPerDay));
  if (ms >= kMsPerDay) {  // rounded up to the next midnight
    ms -= kMsPerDay;
    days += 1;
  }
  if (days < kFirstDay || days > kLastDay) return FALSE;
  Civil c = civilFromDays(days + kEpoch);
  st->wYear = static_cast<WORD>(c.year);
  st->wMonth = static_cast<WORD>(c.month);
  st->wDay = static_cast<WORD>(c.day);
  // 1970-01-01 was a Thursday (4).
  int64_t weekday = (days + kEpoch + 4) % 7;
  st->wDayOfWeek = static_cast<WORD>(weekday < 0 ? weekday + 7 : weekday);
  st->wHour = static_cast<WORD>(ms / 3'600'000);
  st->wMinute = static_cast<WORD>(ms / 60'000 % 60);
  st->wSecond = static_cast<WORD>(ms / 1000 % 60);
  st->wMilliseconds = static_cast<WORD>(ms % 1000);
  return TRUE;
}

void GetLocalTime(SYSTEMTIME* st) {
  if (st == nullptr) return;
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  std::tm t{};
  localtime_r(&now.tv_sec, &t);
  fromTm(t, now.tv_nsec, st);
}

void GetSystemTime(SYSTEMTIME* st) {
  if (st == nullptr) return;
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  std::tm t{};
  gmtime_r(&now.tv_sec, &t);
  fromTm(t, now.tv_nsec, st);
}

}  // extern "C"
