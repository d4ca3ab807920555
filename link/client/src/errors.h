// The calling thread's KMX error: its code, and for a UT rejection (code 29)
// the UT's error code and text. A thread has a record from its first call
// that resets or sets the error; the record goes when the thread ends.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kmx::client {

// Every API call except the three readers starts with this: code 0, no UT
// code, no text.
void clearError();
void setError(uint16_t code);
// Error 29 with the UT's error code and text (nullopt: no text).
void setUtError(int16_t utCode, std::optional<std::string> text);
// An error with a text that says more than the code's own: which port and
// why, for error 44 (KMXGetLastUTErrorInfo gives it).
void setPortError(uint16_t code, std::string text);
uint16_t currentError();

// The whole record, for a step that must not replace the error it follows
// (the unregister after a failed registration).
struct SavedError {
  uint16_t code = 0;
  int16_t utCode = 0;
  std::optional<std::string> text;
};
SavedError saveError();
void restoreError(SavedError saved);

}  // namespace kmx::client
