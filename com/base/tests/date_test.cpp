// The automation date: the epoch, negative dates, leap years, range limits.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "vxcom.h"

namespace {

SYSTEMTIME at(WORD y, WORD mo, WORD d, WORD h = 0, WORD mi = 0, WORD s = 0, WORD ms = 0) {
  return SYSTEMTIME{y, mo, 0, d, h, mi, s, ms};
}

DATE toDate(const SYSTEMTIME& st) {
  DATE d = -1e9;
  EXPECT_TRUE(SystemTimeToVariantTime(&st, &d));
  return d;
}

SYSTEMTIME fromDate(DATE d) {
  SYSTEMTIME st{};
  EXPECT_TRUE(VariantTimeToSystemTime(d, &st)) << d;
  return st;
}

void expectTime(const SYSTEMTIME& st, WORD y, WORD mo, WORD d, WORD h, WORD mi, WORD s, WORD ms) {
  EXPECT_EQ(st.wYear, y);
  EXPECT_EQ(st.wMonth, mo);
  EXPECT_EQ(st.wDay, d);
  EXPECT_EQ(st.wHour, h);
  EXPECT_EQ(st.wMinute, mi);
  EXPECT_EQ(st.wSecond, s);
  EXPECT_EQ(st.wMilliseconds, ms);
}

TEST(Date, Epoch) {
  EXPECT_EQ(toDate(at(1899, 12, 30)), 0.0);
  SYSTEMTIME st = fromDate(0.0);
  expectTime(st, 1899, 12, 30, 0, 0, 0, 0);
  EXPECT_EQ(st.wDayOfWeek, 6);  // a Saturday
  EXPECT_EQ(toDate(at(1899, 12, 31, 12)), 1.5);
  EXPECT_EQ(toDate(at(1900, 1, 1)), 2.0);
}

TEST(Date, NegativeDatesCountTheTimeForward) {
  EXPECT_EQ(toDate(at(1899, 12, 29, 6)), -1.25);
  expectTime(fromDate(-1.25), 1899, 12, 29, 6, 0, 0, 0);
  // A fraction between -1 and 0 still belongs to the epoch day.
  expectTime(fromDate(-0.5), 1899, 12, 30, 12, 0, 0, 0);
  expectTime(fromDate(-2.75), 1899, 12, 28, 18, 0, 0, 0);
  EXPECT_EQ(toDate(at(1800, 1, 1)), -36522.0);
}

TEST(Date, LeapYears) {
  // 1900 is not a leap year: 28 February is day 60 and 1 March day 61.
  EXPECT_EQ(toDate(at(1900, 2, 28)), 60.0);
  EXPECT_EQ(toDate(at(1900, 3, 1)), 61.0);
  SYSTEMTIME feb29 = at(1900, 2, 29);
  DATE d = 0;
  EXPECT_FALSE(SystemTimeToVariantTime(&feb29, &d));
  // 2000 is one.
  EXPECT_EQ(toDate(at(2000, 3, 1)) - toDate(at(2000, 2, 28)), 2.0);
  expectTime(fromDate(toDate(at(2000, 2, 29, 23, 59, 59, 999))), 2000, 2, 29, 23, 59, 59, 999);
  EXPECT_EQ(toDate(at(2000, 1, 1)), 36526.0);
  EXPECT_EQ(fromDate(36526.0).wDayOfWeek, 6);  // 2000-01-01 was a Saturday
  feb29 = at(2100, 2, 29);
  EXPECT_FALSE(SystemTimeToVariantTime(&feb29, &d));
  EXPECT_EQ(toDate(at(2024, 2, 29)), 45351.0);
}

TEST(Date, RoundTripsEveryFieldAndRoundsToMilliseconds) {
  SYSTEMTIME st = at(1999, 5, 17, 13, 45, 30, 250);
  expectTime(fromDate(toDate(st)), 1999, 5, 17, 13, 45, 30, 250);
  // Just short of midnight rounds up into the next day.
  expectTime(fromDate(36526.0 - 1e-10), 2000, 1, 1, 0, 0, 0, 0);
  expectTime(fromDate(-1.0 - 0.9999999999), 1899, 12, 30, 0, 0, 0, 0);
}

TEST(Date, OutOfRangeIsRefused) {
  SYSTEMTIME st{};
  DATE d = 0;
  SYSTEMTIME bad[] = {at(99, 12, 31), at(10000, 1, 1), at(2000, 0, 1), at(2000, 13, 1),
                      at(2000, 4, 31), at(2000, 1, 0), at(2000, 1, 1, 24),
                      at(2000, 1, 1, 0, 60), at(2000, 1, 1, 0, 0, 60), at(2000, 1, 1, 0, 0, 0, 1000)};
  for (const SYSTEMTIME& b : bad) EXPECT_FALSE(SystemTimeToVariantTime(&b, &d)) << b.wYear;
  EXPECT_FALSE(SystemTimeToVariantTime(nullptr, &d));
  EXPECT_FALSE(SystemTimeToVariantTime(&st, nullptr));

  EXPECT_EQ(toDate(at(100, 1, 1)), -657434.0);
  EXPECT_EQ(std::floor(toDate(at(9999, 12, 31, 23, 59, 59))), 2958465.0);
  expectTime(fromDate(-657434.5), 100, 1, 1, 12, 0, 0, 0);
  for (DATE outside : {-657435.0, 2958466.0, std::numeric_limits<double>::quiet_NaN(),
                       std::numeric_limits<double>::infinity(), -1e300})
    EXPECT_FALSE(VariantTimeToSystemTime(outside, &st)) << outside;
  EXPECT_FALSE(VariantTimeToSystemTime(1.0, nullptr));
}

TEST(Date, LocalTimeIsAValidTime) {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  DATE d = 0;
  EXPECT_TRUE(SystemTimeToVariantTime(&now, &d));
  EXPECT_GT(d, 45000.0);  // after 2023
  SYSTEMTIME back = fromDate(d);
  EXPECT_EQ(back.wDayOfWeek, now.wDayOfWeek);
  GetSystemTime(&now);
  EXPECT_TRUE(SystemTimeToVariantTime(&now, &d));
}

}  // namespace
