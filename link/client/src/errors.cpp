#include "errors.h"

#include <algorithm>
#include <cstring>

#include "kmxclient.h"

namespace kmx::client {
namespace {

// The texts by code; the callers of KMXGetErrorDesc compare some of them, so
// they stay exactly as they are.
constexpr const char* kTexts[] = {
    "No Error",
    "The 'KMX handle' provided to the previous KMX command is invalid",
    "The 'async data type value' provided to the previous KMX command is invalid",
    "The 'call back function' provided to the previous KMX command is invalid",
    "The 'priority value' provided to the previous KMX command is invalid",
    "The 'max packets' value provided to the previous KMX command is invalid",
    "Provided 'async data type' is not yet registered for",
    "Provided 'async data type' is already registered for",
    "The 'buad rate value' provided to the previous KMX command is invalid",
    "One or more of the arguments provided to the previous KMX command is/are invalid",
    "CreateMutex() failed",
    "CreateProcess() failed",
    "Memory allocation on the heap failed",
    "KMXIpc::Create() failed",
    "KMXIpc::Open() failed",
    "KMXIpc::SendMsg() failed",
    "KMXIpc::SendMsgV() failed",
    "KMXIpc::ReceiveMsg() failed",
    "KMXIpc::ReceiveMsgV() failed",
    "KMXIpc::ReceiveMsgPeek() failed",
    "KMXServer is shutting down",
    "KMXServer has reached its capacity for the number of clients",
    "KMXServer could not initalize the IO driver properly",
    "Startup failed, reason unknown?",
    "Received an invalid response from the server/UT side",
    "Unrecognized command response id received from the server/UT side",
    "Response from the UT side couldn't processed by the KMX server side",
    "Response from the UT side was too big to be transmitted by the KMX server side",
    "Previous request could not be satisfied, reason unknown?",
    "Previous command failed on the UT side, use KMXGetLastUTErrorInfo() for more information",
    "Timedout waiting for a response from the UT side",
    "KMX connection to UT is down",
    "KMX connection to UT is yet to be made",
    "Reserved error code",
    "Xmodem mode initialization failed",
    "Xmodem transmission failed",
    "UT side canceled Xmodem transmission",
    "KMX is already in Xmodem mode",
    "KMX not in Xmodem mode",
    "Xmodem not in an appropriate state",
    "You are not registered as Xmodem's current client",
    "Unknown Xmodem related error",
    "Response from the UT for the previous KMX command was of invalid size",
    "Xmodem command has been cancelled by another thread",
    "IO driver couldn't open the required serial port",
    "KMX connection is already opened and cannot be opened again",
    "KMX command is not supported",
};
static_assert(std::size(kTexts) == 47);

constexpr const char kInvalidCode[] = "Invalid error code";
// What KMXGetLastUTErrorInfo returns for a thread without a record, and the
// cap of the UT codes it passes on.
constexpr int16_t kNoRecord = 36;
constexpr int16_t kUtCodeCap = 35;

struct ThreadError {
  bool present = false;
  uint16_t code = 0;
  int16_t utCode = 0;
  std::optional<std::string> text;
};

thread_local ThreadError tError;

void store(uint16_t code, int16_t utCode, std::optional<std::string> text) {
  tError.present = true;
  tError.code = code;
  tError.utCode = utCode;
  tError.text = std::move(text);
}

}  // namespace

void clearError() { store(0, 0, std::nullopt); }
void setError(uint16_t code) { store(code, 0, std::nullopt); }
void setUtError(int16_t utCode, std::optional<std::string> text) {
  store(KMX_ERR_UT_ERROR, utCode, std::move(text));
}
void setPortError(uint16_t code, std::string text) { store(code, 0, std::move(text)); }
uint16_t currentError() { return tError.code; }

SavedError saveError() { return SavedError{tError.code, tError.utCode, tError.text}; }
void restoreError(SavedError saved) { store(saved.code, saved.utCode, std::move(saved.text)); }

}  // namespace kmx::client

using namespace kmx::client;

extern "C" {

KMXCLIENT_API uint16_t KMXGetLastError(void) { return tError.present ? tError.code : 0; }

KMXCLIENT_API const char* KMXGetErrorDesc(uint16_t code) {
  return code < std::size(kTexts) ? kTexts[code] : kInvalidCode;
}

KMXCLIENT_API int16_t KMXGetLastUTErrorInfo(char* buffer, uint16_t* length) {
  const uint16_t capacity = length != nullptr && buffer != nullptr ? *length : 0;
  if (!tError.present) {
    if (capacity != 0) buffer[0] = '\0';
    if (length != nullptr) *length = 0;
    return kNoRecord;
  }
  const std::optional<std::string>& text = tError.text;
  if (capacity != 0) {
    const std::size_t n = text ? std::min<std::size_t>(text->size(), capacity - 1u) : 0;
    if (n != 0) std::memcpy(buffer, text->data(), n);
    std::memset(buffer + n, 0, capacity - n);  // NUL-terminated, the rest cleared
  }
  if (length != nullptr) {
    // The full length with its NUL, even when it exceeds the buffer. A text
    // is at most 255 characters, so it fits in 16 bits.
    *length = text ? static_cast<uint16_t>(text->size() + 1) : 0;
  }
  return std::min(tError.utCode, kUtCodeCap);
}

}  // extern "C"
