#include "dialled_number.h"

#include <algorithm>
#include <cstring>

namespace vx::script {

bool isDialledNumber(std::u16string_view text) {
  const bool plus = !text.empty() && text.front() == u'+';
  if (text.empty() || text.size() > (plus ? 33u : 32u) || (plus && text.size() == 1)) return false;
  return std::all_of(text.begin() + (plus ? 1 : 0), text.end(), [](char16_t c) {
    return (c >= u'0' && c <= u'9') || c == u'#' || c == u'*' || c == u'-' || c == u'H' || c == u'T';
  });
}

emergency_pnumber_type toNumberRecord(std::u16string_view text) {
  emergency_pnumber_type number{};
  if (!text.empty() && text.front() == u'+') {
    number.international = 1;
    text.remove_prefix(1);
  }
  text = text.substr(0, sizeof number.digits);
  std::memset(number.digits, ' ', sizeof number.digits);
  for (std::size_t i = 0; i < text.size(); ++i) number.digits[i] = static_cast<uint8_t>(text[i]);
  number.digits_index = static_cast<int32_t>(text.size());
  number.hyphen = static_cast<int32_t>(std::count(text.begin(), text.end(), u'-'));
  return number;
}

std::u16string numberText(const uint8_t* digits, int32_t count, bool international) {
  std::u16string text;
  if (international) text.push_back(u'+');
  const int32_t used = std::clamp(count, 0, 32);
  for (int32_t i = 0; i < used; ++i) text.push_back(static_cast<char16_t>(digits[i]));
  return text;
}

std::u16string fromNumberRecord(const emergency_pnumber_type& number) {
  return numberText(number.digits, number.digits_index, number.international != 0);
}

}  // namespace vx::script
