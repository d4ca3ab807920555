// One script object of the script server for the run: made by the factory,
// called by member name with values of the member's types, released at
// the end. D-Bus errors become UtError with the HRESULT and its text.
// Calls are made asynchronously and the bus is served on the calling
// thread until the reply, so the object's progress signals are heard while
// a long call runs.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
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
inline constexpr const char* kProgressInterface = "UTVEX.Progress";

// A progress report of the object's long work (signal Progress).
struct ProgressSignal {
  std::string operation;  // "connect", "save", "restore", "download"
  std::string step;
  uint64_t done = 0;
  uint64_t total = 0;
};

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
  // The factory's MemberLimits: what each member's arguments accept.
  std::vector<sdbus::Struct<std::string, std::string, std::string, std::vector<sdbus::Struct<int32_t, int32_t>>>>
  memberLimits();
  // Serves the bus (progress signals, ticks) for `length`.
  void pause(std::chrono::milliseconds length);
  const std::string& path() const { return path_; }

  // While a call waits for its reply, the object's progress reports go to
  // `onProgress` and `onTick` runs at least every kTick; both on the
  // calling thread. Empty functions stop them.
  static constexpr std::chrono::milliseconds kTick{125};
  void setProgressHandlers(std::function<void(const ProgressSignal&)> onProgress, std::function<void()> onTick);

 private:
  // Sends the call and serves the bus on this thread until its reply.
  sdbus::MethodReply waitForReply(sdbus::MethodCall& call, std::chrono::seconds timeout);

  sdbus::IConnection& bus_;
  std::string path_;
  std::unique_ptr<sdbus::IProxy> object_;
  std::function<void(const ProgressSignal&)> onProgress_;
  std::function<void()> onTick_;
};

}  // namespace vx::cli
