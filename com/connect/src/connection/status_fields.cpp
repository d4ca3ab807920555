#include "status_fields.h"

#include <cstdio>

namespace vx::connect {

namespace {

constexpr std::size_t kOldCalibrationSize = 20;
constexpr std::size_t kNewCalibrationSize = 22;

// The failure for an answer shorter than `needed`, or S_OK.
HRESULT lengthCheck(Answer answer, std::size_t needed) {
  if (answer.empty()) return VEX_E_NO_DATA;
  return answer.size() < needed ? VEX_E_DATA_TOO_SHORT : S_OK;
}

uint16_t le16(Answer answer, std::size_t at) {
  return static_cast<uint16_t>(answer[at] | (answer[at + 1] << 8));
}

std::array<uint8_t, 4> fourBytes(Answer answer, std::size_t at) {
  return {answer[at], answer[at + 1], answer[at + 2], answer[at + 3]};
}

template <class T>
Decoded<T> failure(HRESULT result) {
  Decoded<T> decoded;
  decoded.result = result;
  return decoded;
}

}  // namespace

Decoded<std::string> esnText(Answer answer) {
  if (HRESULT hr = lengthCheck(answer, 9); FAILED(hr)) return failure<std::string>(hr);
  const unsigned lengthClass = answer[0];
  if (lengthClass < 4 || lengthClass > 7) return failure<std::string>(VEX_E_STATUS_REQUEST);
  uint64_t number = 0;
  for (std::size_t i = 0; i < 8; ++i) number |= static_cast<uint64_t>(answer[1 + i]) << (8 * i);
  const unsigned bits = 8 * lengthClass;
  if (bits < 64) number &= (uint64_t{1} << bits) - 1;
  char text[32];
  std::snprintf(text, sizeof text, "%#llx", static_cast<unsigned long long>(number));
  return {S_OK, text};
}

Decoded<std::string> firstByteText(Answer answer) {
  if (HRESULT hr = lengthCheck(answer, 1); FAILED(hr)) return failure<std::string>(hr);
  return {S_OK, std::to_string(answer[0])};
}

Decoded<UI2> firstByte(Answer answer) {
  if (HRESULT hr = lengthCheck(answer, 1); FAILED(hr)) return failure<UI2>(hr);
  return {S_OK, answer[0]};
}

Decoded<std::string> signedWordText(Answer answer) {
  if (HRESULT hr = lengthCheck(answer, 4); FAILED(hr)) return failure<std::string>(hr);
  const uint32_t word = static_cast<uint32_t>(le16(answer, 0)) | static_cast<uint32_t>(le16(answer, 2)) << 16;
  return {S_OK, std::to_string(static_cast<int32_t>(word))};
}

Decoded<std::string> smidText(Answer answer) {
  if (HRESULT hr = lengthCheck(answer, 10); FAILED(hr)) return failure<std::string>(hr);
  std::string digits;
  for (std::size_t i = 0; i < 20; ++i) {
    const uint8_t byte = answer[i / 2];
    const unsigned nibble = i % 2 == 0 ? byte >> 4 : byte & 0x0F;
    digits += static_cast<char>('0' + (nibble > 9 ? 0 : nibble));
  }
  return {S_OK, digits};
}

Decoded<GumVersion> gumVersion(Answer answer) {
  if (HRESULT hr = lengthCheck(answer, 2); FAILED(hr)) return failure<GumVersion>(hr);
  return {S_OK, {answer[0], answer[1]}};
}

UTMainModel mainModel(Answer answer) {
  if (answer.empty()) return UTM_UNKNOWN;
  switch (answer[0]) {
    case 0xC9: return UTM_TRIMODE_PORTABLE;
    case 0xCA: return UTM_SINGLEMODE_PORTABLE;
    case 0xCB: return UTM_ANALOG_FIXED;
    case 0xCC: return UTM_DIGITAL_FIXED;
    case 0xCD: return UTM_MODULE;
    default: return UTM_UNKNOWN;
  }
}

Decoded<std::u16string> textAnswer(Answer answer) {
  if (answer.empty()) return failure<std::u16string>(VEX_E_NO_DATA);
  std::string text;
  text.reserve(answer.size() + answer.size() / 8);
  for (std::size_t i = 0; i < answer.size(); ++i) {
    const char c = static_cast<char>(answer[i]);
    if (c == '\n' && (i == 0 || answer[i - 1] != '\r')) text += '\r';
    text += c;
  }
  return {S_OK, vx::com::Windows1252ToUtf16(text)};
}

Decoded<Calibration> calibration(Answer oldLayout, Answer newLayout) {
  Calibration fields;
  if (!newLayout.empty()) {
    if (newLayout.size() < kNewCalibrationSize) return failure<Calibration>(VEX_E_DATA_TOO_SHORT);
    fields.stationCodeVersion = fourBytes(newLayout, 6);
    fields.month = newLayout[10];
    fields.day = newLayout[11];
    fields.year = static_cast<UI2>(newLayout[12] * 100 + newLayout[13]);
    fields.testStation = le16(newLayout, 14);
    fields.manufacturerCode = fourBytes(newLayout, 16);
    return {S_OK, fields};
  }
  if (HRESULT hr = lengthCheck(oldLayout, kOldCalibrationSize); FAILED(hr)) return failure<Calibration>(hr);
  fields.stationCodeVersion = fourBytes(oldLayout, 4);
  fields.month = oldLayout[8];
  fields.day = oldLayout[9];
  fields.year = static_cast<UI2>(oldLayout[10] * 100 + oldLayout[11]);
  fields.testStation = le16(oldLayout, 12);
  fields.manufacturerCode = fourBytes(oldLayout, 14);
  return {S_OK, fields};
}

Decoded<std::string> calibrationFormatText(Answer oldLayout) {
  if (HRESULT hr = lengthCheck(oldLayout, kOldCalibrationSize); FAILED(hr)) return failure<std::string>(hr);
  return {S_OK, dottedText(fourBytes(oldLayout, 0))};
}

Decoded<std::string> calibrationVersionText(Answer newLayout) {
  if (HRESULT hr = lengthCheck(newLayout, kNewCalibrationSize); FAILED(hr)) return failure<std::string>(hr);
  return {S_OK, std::to_string(le16(newLayout, 0)) + "." + std::to_string(le16(newLayout, 2)) + "." +
                    std::to_string(le16(newLayout, 4))};
}

std::string dottedText(const std::array<uint8_t, 4>& bytes) {
  return std::to_string(bytes[0]) + "." + std::to_string(bytes[1]) + "." + std::to_string(bytes[2]) +
         "." + std::to_string(bytes[3]);
}

}  // namespace vx::connect
