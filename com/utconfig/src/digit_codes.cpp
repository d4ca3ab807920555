#include "digit_codes.h"

namespace vx::utconfig {

namespace {
bool isDigit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

char DecodePhoneBookDigit(unsigned code) {
  if (code <= 9) return static_cast<char>('0' + code);
  switch (code) {
    case 11:
      return '*';
    case 12:
      return '#';
    case 13:
      return '-';
    case 14:
      return 'T';
    case 15:
      return 'H';
    default:
      return ' ';
  }
}

unsigned EncodePhoneBookDigit(char c) {
  if (isDigit(c)) return static_cast<unsigned>(c - '0');
  switch (c) {
    case '*':
      return 11;
    case '#':
      return 12;
    case '-':
      return 13;
    case 'T':
      return 14;
    case 'H':
      return 15;
    default:
      return 0;
  }
}

void UnpackSpDigits(uint32_t packed, char out[3]) {
  for (int i = 0; i < 3; ++i) {
    const unsigned digit = (packed >> (8 - 4 * i)) & 0xFu;
    out[i] = digit == 15 ? ' ' : static_cast<char>('0' + digit);
  }
}

uint32_t PackSpDigits(const char in[3]) {
  uint32_t packed = 0;
  for (int i = 0; i < 3; ++i) {
    const unsigned digit = isDigit(in[i]) ? static_cast<unsigned>(in[i] - '0') : in[i] == ' ' ? 15u : 0u;
    packed = (packed << 4) | digit;
  }
  return packed;
}

char DecodeImsiDigit(unsigned code) {
  if (code <= 9) return static_cast<char>('0' + code);
  return code == 15 ? ' ' : '0';
}

unsigned EncodeImsiDigit(char c) {
  if (isDigit(c)) return static_cast<unsigned>(c - '0');
  return c == ' ' ? 15u : 0u;
}

uint32_t EncodeDigitGroup(const char* digits, int count) {
  uint32_t value = 0;
  uint32_t bias = 0;
  for (int i = 0; i < count; ++i) {
    const uint32_t digit = isDigit(digits[i]) ? static_cast<uint32_t>(digits[i] - '0') : 0u;
    value = value * 10 + (digit == 0 ? 10 : digit);
    bias = bias * 10 + 1;
  }
  return value - bias;
}

void DecodeDigitGroup(uint32_t value, int count, char* out) {
  for (int i = count - 1; i >= 0; --i) {
    out[i] = static_cast<char>('0' + (value % 10 + 1) % 10);
    value /= 10;
  }
}

uint32_t EncodeMin1(const char digits[7]) {
  const uint32_t thousands = isDigit(digits[3]) && digits[3] != '0' ? static_cast<uint32_t>(digits[3] - '0') : 10u;
  return (EncodeDigitGroup(digits, 3) << 14) | (thousands << 10) | EncodeDigitGroup(digits + 4, 3);
}

void DecodeMin1(uint32_t min1, char out[7]) {
  DecodeDigitGroup((min1 >> 14) & 0x3FFu, 3, out);
  const uint32_t thousands = (min1 >> 10) & 0xFu;
  out[3] = thousands >= 1 && thousands <= 9 ? static_cast<char>('0' + thousands) : '0';
  DecodeDigitGroup(min1 & 0x3FFu, 3, out + 4);
}

}  // namespace vx::utconfig
