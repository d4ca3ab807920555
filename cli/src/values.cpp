#include "values.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "arguments.h"
#include "output.h"

namespace vx::cli {
namespace {

// Days from 1970-01-01 to a civil date (proleptic Gregorian).
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void civilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y = static_cast<int64_t>(yoe) + era * 400 + (m <= 2);
}

const int64_t kEpochOffset = daysFromCivil(1899, 12, 30);

template <class T>
T parseInteger(std::string_view text, const std::string& what) {
  std::string_view digits = text;
  bool negative = false;
  if (!digits.empty() && (digits[0] == '-' || digits[0] == '+')) {
    negative = digits[0] == '-';
    digits.remove_prefix(1);
  }
  int base = 10;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    base = 16;
    digits.remove_prefix(2);
  }
  int64_t magnitude = 0;
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), magnitude, base);
  if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() || magnitude < 0) {
    throw UsageError(what + ": '" + std::string(text) + "' is not a number");
  }
  const int64_t value = negative ? -magnitude : magnitude;
  if (value < std::numeric_limits<T>::min() || value > std::numeric_limits<T>::max()) {
    throw UsageError(what + ": " + std::string(text) + " is out of range (" +
                     std::to_string(static_cast<int64_t>(std::numeric_limits<T>::min())) + ".." +
                     std::to_string(static_cast<int64_t>(std::numeric_limits<T>::max())) + ")");
  }
  return static_cast<T>(value);
}

double parseDate(std::string_view text, const std::string& what) {
  if (text == "none") return 0;
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  const std::string copy(text);
  char separator = ' ';
  char tail = 0;
  int fields = std::sscanf(copy.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d%c", &year, &month, &day, &separator, &hour,
                           &minute, &second, &tail);
  const bool dateOnly = fields == 3;
  const bool withTime = (fields == 6 || fields == 7) && (separator == ' ' || separator == 'T');
  if ((dateOnly || withTime) && month >= 1 && month <= 12 && day >= 1 && day <= 31 && hour <= 23 &&
      minute <= 59 && second <= 59 && hour >= 0 && minute >= 0 && second >= 0) {
    return automationDate(year, month, day, hour, minute, second);
  }
  // A plain automation date number.
  double number = 0;
  auto [end, ec] = std::from_chars(copy.data(), copy.data() + copy.size(), number);
  if (ec == std::errc() && end == copy.data() + copy.size() && std::isfinite(number)) return number;
  throw UsageError(what + ": '" + copy + "' is not a date (YYYY-MM-DD[ HH:MM[:SS]] or none)");
}

}  // namespace

double automationDate(int year, int month, int day, int hour, int minute, int second) {
  const int64_t days = daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - kEpochOffset;
  return static_cast<double>(days) + (hour * 3600 + minute * 60 + second) / 86400.0;
}

std::string formatAutomationDate(double date) {
  if (date == 0 || !std::isfinite(date)) return "none";
  // The whole seconds of the day, rounded; before the epoch the fraction
  // counts forward from the day too, as automation dates do.
  const double whole = std::trunc(date);
  int64_t days = static_cast<int64_t>(whole);
  int64_t seconds = std::llround(std::fabs(date - whole) * 86400.0);
  if (seconds >= 86400) {
    seconds -= 86400;
    days += date < 0 ? -1 : 1;
  }
  int64_t y = 0;
  unsigned m = 0, d = 0;
  civilFromDays(days + kEpochOffset, y, m, d);
  // Room for the widest value of every field, so nothing is ever cut.
  char text[128];
  std::snprintf(text, sizeof text, "%04lld-%02u-%02u %02lld:%02lld:%02lld", static_cast<long long>(y), m, d,
                static_cast<long long>(seconds / 3600), static_cast<long long>(seconds / 60 % 60),
                static_cast<long long>(seconds % 60));
  return text;
}

BusValue parseValue(char type, std::string_view text, const std::string& what) {
  switch (type) {
    case 'i': return parseInteger<int32_t>(text, what);
    case 'n': return parseInteger<int16_t>(text, what);
    case 'y': return parseInteger<uint8_t>(text, what);
    case 'd': return parseDate(text, what);
    case 's': return std::string(text);
    default: throw UsageError(what + ": values of D-Bus type '" + std::string(1, type) + "' are not supported");
  }
}

std::string formatValue(const BusValue& value) {
  if (auto* v = std::get_if<int32_t>(&value)) return std::to_string(*v);
  if (auto* v = std::get_if<int16_t>(&value)) return std::to_string(*v);
  if (auto* v = std::get_if<uint8_t>(&value)) return std::to_string(*v);
  if (auto* v = std::get_if<double>(&value)) return formatAutomationDate(*v);
  return std::get<std::string>(value);
}

std::string jsonValue(const BusValue& value) {
  if (std::holds_alternative<double>(value) || std::holds_alternative<std::string>(value)) {
    return jsonString(formatValue(value));
  }
  return formatValue(value);
}

const char* typeName(char type) {
  switch (type) {
    case 'i': return "long";
    case 'n': return "short";
    case 'y': return "byte";
    case 'd': return "date";
    case 's': return "text";
    default: return "?";
  }
}

}  // namespace vx::cli
