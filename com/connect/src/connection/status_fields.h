// The fields of the UT's status answers and their texts. The answers come
// from the UT: every decoder checks the length it needs before it reads.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "vxconnect.h"

namespace vx::connect {

// A value, or the failure that stands for it: VEX_E_NO_DATA for an empty
// answer, VEX_E_DATA_TOO_SHORT for one shorter than the field needs.
template <class T>
struct Decoded {
  HRESULT result = S_OK;
  T value{};
  bool ok() const { return SUCCEEDED(result); }
};

using Answer = std::span<const uint8_t>;

// "0x..." of the ESN's low 8·t bits, t the length class in byte 0 (4..7;
// any other class is VEX_E_STATUS_REQUEST).
Decoded<std::string> esnText(Answer answer);
// Byte 0 as an unsigned number.
Decoded<std::string> firstByteText(Answer answer);
Decoded<UI2> firstByte(Answer answer);
// A signed 32-bit number at byte 0.
Decoded<std::string> signedWordText(Answer answer);
// Twenty digits, one a nibble, high nibble first; a nibble above 9 is a 0.
Decoded<std::string> smidText(Answer answer);

struct GumVersion {
  UI2 hardware = 0;
  UI2 firmware = 0;
};
Decoded<GumVersion> gumVersion(Answer answer);

// The main model by byte 0; UTM_UNKNOWN for any other byte or no answer.
UTMainModel mainModel(Answer answer);

// A text answer: every line feed not after a carriage return becomes CR LF;
// the bytes are the UT's Windows-1252 text, so every answer converts.
Decoded<std::u16string> textAnswer(Answer answer);

// The calibration block, from the newer layout when the UT gave one, else
// from the older one.
struct Calibration {
  std::array<uint8_t, 4> stationCodeVersion{};
  UI2 month = 0;
  UI2 day = 0;
  UI2 year = 0;
  UI2 testStation = 0;
  std::array<uint8_t, 4> manufacturerCode{};
};
Decoded<Calibration> calibration(Answer oldLayout, Answer newLayout);
// The older layout's format version, "%d.%d.%d.%d".
Decoded<std::string> calibrationFormatText(Answer oldLayout);
// The newer layout's version: three 16-bit words, "%d.%d.%d".
Decoded<std::string> calibrationVersionText(Answer newLayout);

// "a.b.c.d" of four bytes.
std::string dottedText(const std::array<uint8_t, 4>& bytes);

}  // namespace vx::connect
