// The digit encodings the UT keeps numbers in. Pure functions, no UT.
#pragma once

#include <cstdint>

namespace vx::utconfig {

// Phone-book digits, 4 bits a character: '0'..'9' are 0..9, '*' 11, '#' 12,
// '-' 13, 'T' 14, 'H' 15. Decoding gives a space for 10 and anything
// unlisted; encoding gives 0 for any other character.
char DecodePhoneBookDigit(unsigned code);
unsigned EncodePhoneBookDigit(char c);

// Three digits in 12 bits, first digit in the highest half-byte; 15 is a
// blank. Encoding: digit to its value, space to 15, anything else 0.
void UnpackSpDigits(uint32_t packed, char out[3]);
uint32_t PackSpDigits(const char in[3]);

// The satellite IMSI's half-bytes: 0..9 digits, 15 blank, anything else
// reads as '0'. Encoding: digit to its value, space to 15, anything else 0.
char DecodeImsiDigit(unsigned code);
unsigned EncodeImsiDigit(char c);

// Groups of decimal digits as the cellular MIN and IMSI_S code them: each
// digit counts 0 as 10, the group is the decimal number of those values
// minus 11...1. Decoding writes the value as `count` zero-padded decimal
// digits and adds one to each (9 + 1 gives 0).
uint32_t EncodeDigitGroup(const char* digits, int count);
void DecodeDigitGroup(uint32_t value, int count, char* out);

// MIN1 (24 bits): the first three digits, the thousands digit (4 bits, 0
// coded as 10) and the last three.
uint32_t EncodeMin1(const char digits[7]);
void DecodeMin1(uint32_t min1, char out[7]);

}  // namespace vx::utconfig
