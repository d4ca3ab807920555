// One script object of the script server for the run: made by the factory,
// called by member name with values of the member's types, released at
// the end. D-Bus errors become UtError with the HRESULT and its text.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <sdbus-c++/sdbus-c++.h>

#include "values.h"

namespace vx::cli {

inline constexpr const char* kScriptInterface = "UTVEX.IVexScript";
inline constexpr const char* kNvInterface = "UTVEX.NVItems";

// A failure of the UT, the link or the server: exit status 1.
class UtError : public std::runtime_error {
 public:
  UtError(uint32_t hresult, const std::string& text) : std::runtime_error(text), hresult_(hresult) {}
  uint32_t hresult() const { return hresult_; }  // 0 when the failure is not an HRESULT

 private:
  uint32_t hresult_;
};

// The HRESULT of an error name "UTVEX.Error.H8004032A" (nullopt for others).
std::optional<uint32_t> hresultOfErrorName(const std::string& name);
// What a D-Bus error says to a person: the server's text, and for a text
// that is only the number, a description of the well-known codes.
UtError utErrorOf(const sdbus::Error& error);

class ScriptClient {
 public:
  explicit ScriptClient(sdbus::IConnection& bus);
  ~ScriptClient();
  ScriptClient(const ScriptClient&) = delete;
  ScriptClient& operator=(const ScriptClient&) = delete;

  // Calls `member` of `interfaceName` with `arguments`; the result, if
  // `resultType` is given. Throws UtError.
  std::optional<BusValue> call(const std::string& interfaceName, const std::string& member,
                               const std::vector<BusValue>& arguments, std::optional<char> resultType,
                               std::chrono::seconds timeout = std::chrono::seconds(120));
  // For replies of other shapes (the NV interface).
  sdbus::MethodReply callRaw(sdbus::MethodCall& call, std::chrono::seconds timeout = std::chrono::seconds(120));
  sdbus::MethodCall newCall(const std::string& interfaceName, const std::string& member);

  std::string introspect();
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::unique_ptr<sdbus::IProxy> object_;
};

}  // namespace vx::cli
