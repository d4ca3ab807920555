// Dialled-number text as scripts give it for the phone book, the emergency
// numbers and the last dialled number.
#pragma once

#include <string_view>

#include "vxutconfig.h"

namespace vx::script {

// 1 to 32 characters, or 33 when the first is '+'; digits and '#', '*',
// '-', 'H', 'T', with '+' only in the first position.
bool isDialledNumber(std::u16string_view text);

// The UT's number record for a valid dialled number: a leading '+' sets
// `international`, the rest fills `digits` (space-padded) and its length
// `digits_index`; hyphens are counted in `hyphen`.
emergency_pnumber_type toNumberRecord(std::u16string_view text);

// The number as text, with '+' in front when the record is international
// (the phone book and the last dialled number; emergency numbers give their
// digits only); `digits_index` is clamped to the field.
std::u16string fromNumberRecord(const emergency_pnumber_type& number);
std::u16string numberText(const uint8_t* digits, int32_t count, bool international);

}  // namespace vx::script
