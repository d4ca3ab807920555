// Values of the script object's members, converted by their D-Bus type:
// long (i), short (n), unsigned char (y), automation date (d), text (s).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace vx::cli {

using BusValue = std::variant<int32_t, int16_t, uint8_t, double, std::string>;

// Reads `text` as a value of D-Bus type `type`: integers in decimal or
// 0x-hex within the type's range; dates as YYYY-MM-DD[ HH:MM[:SS]] (also
// with 'T'), "none" for the empty date 0, or a plain automation date
// number. Throws UsageError naming `what` when the text does not fit.
BusValue parseValue(char type, std::string_view text, const std::string& what);

// The value as text: numbers in decimal, dates as "YYYY-MM-DD HH:MM:SS"
// ("none" for 0), text unchanged.
std::string formatValue(const BusValue& value);

// The value as a JSON fragment: numbers as numbers, dates and text as strings.
std::string jsonValue(const BusValue& value);

// Automation dates (days since 1899-12-30, time as the fraction) and
// calendar time; exposed for the tests.
double automationDate(int year, int month, int day, int hour, int minute, int second);
std::string formatAutomationDate(double date);

// D-Bus type name a person reads in `list`.
const char* typeName(char type);

}  // namespace vx::cli
