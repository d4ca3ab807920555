#include "script_client.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "bus_session.h"

namespace vx::cli {
namespace {

constexpr const char* kErrorPrefix = "UTVEX.Error.H";

// Descriptions of the codes the server reports without a text of its own.
const char* describe(uint32_t hresult) {
  switch (hresult) {
    case 0x80070057u: return "an argument is not valid or out of range";
    case 0x80004005u: return "the operation failed";
    case 0x80070005u: return "access denied";
    case 0x8007000Eu: return "out of memory";
    case 0x80004001u: return "not implemented";
    case 0x80040302u: return "the UT gave no data for this request";
    case 0x80040323u: return "not connected to a UT";
    case 0x80040331u: return "the UT software lacks this setting";
    default: return nullptr;
  }
}

void append(sdbus::MethodCall& call, const BusValue& value) {
  std::visit([&](const auto& v) { call << v; }, value);
}

BusValue read(sdbus::MethodReply& reply, char type) {
  switch (type) {
    case 'i': { int32_t v = 0; reply >> v; return v; }
    case 'n': { int16_t v = 0; reply >> v; return v; }
    case 'y': { uint8_t v = 0; reply >> v; return v; }
    case 'd': { double v = 0; reply >> v; return v; }
    default: { std::string v; reply >> v; return v; }
  }
}

}  // namespace

std::optional<uint32_t> hresultOfErrorName(const std::string& name) {
  const std::string prefix = kErrorPrefix;
  if (!name.starts_with(prefix) || name.size() != prefix.size() + 8) return std::nullopt;
  char* end = nullptr;
  const unsigned long value = std::strtoul(name.c_str() + prefix.size(), &end, 16);
  if (*end != '\0') return std::nullopt;
  return static_cast<uint32_t>(value);
}

UtError utErrorOf(const sdbus::Error& error) {
  const auto hresult = hresultOfErrorName(error.getName());
  if (!hresult) return UtError(0, error.getMessage().empty() ? error.getName() : error.getMessage());
  char number[16];
  std::snprintf(number, sizeof number, "0x%08X", *hresult);
  std::string text = error.getMessage();
  if (text.empty() || text == number) {
    const char* description = describe(*hresult);
    text = description != nullptr ? std::string(description) + " (" + number + ")" : std::string(number);
  } else {
    text += std::string(" (") + number + ")";
  }
  return UtError(*hresult, text);
}

ScriptClient::ScriptClient(sdbus::IConnection& bus) : bus_(bus) {
  try {
    auto factory = sdbus::createProxy(bus, kServiceName, "/UTVEX/Script");
    sdbus::ObjectPath path;
    factory->callMethod("CreateObject").onInterface("UTVEX.ScriptFactory").storeResultsTo(path);
    path_ = path;
    object_ = sdbus::createProxy(bus, kServiceName, path_);
    object_->registerSignalHandler(kProgressInterface, "Progress", [this](sdbus::Signal& signal) {
      ProgressSignal progress;
      signal >> progress.operation >> progress.step >> progress.done >> progress.total;
      if (onProgress_) onProgress_(progress);
    });
    object_->finishRegistration();
  } catch (const sdbus::Error& error) {
    throw UtError(0, "the script server cannot be reached: " + error.getMessage());
  }
}

ScriptClient::~ScriptClient() {
  if (!object_) return;
  try {
    // Disconnect first, so the link server ends with this run.
    object_->callMethod("Disconnect").onInterface(kScriptInterface);
    object_->callMethod("Release").onInterface(kScriptInterface);
  } catch (const sdbus::Error&) {
    // The object goes with our bus connection anyway.
  }
}

sdbus::MethodCall ScriptClient::newCall(const std::string& interfaceName, const std::string& member) {
  return object_->createMethodCall(interfaceName, member);
}

sdbus::MethodReply ScriptClient::callRaw(sdbus::MethodCall& call, std::chrono::seconds timeout) {
  try {
    return waitForReply(call, timeout);
  } catch (const sdbus::Error& error) {
    throw utErrorOf(error);
  }
}

void ScriptClient::setProgressHandlers(std::function<void(const ProgressSignal&)> onProgress,
                                       std::function<void()> onTick) {
  onProgress_ = std::move(onProgress);
  onTick_ = std::move(onTick);
}

sdbus::MethodReply ScriptClient::waitForReply(sdbus::MethodCall& call, std::chrono::seconds timeout) {
  std::optional<sdbus::MethodReply> reply;
  std::optional<sdbus::Error> failure;
  bool answered = false;
  const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(timeout).count();
  object_->callMethod(
      call,
      [&](sdbus::MethodReply& answer, const sdbus::Error* error) {
        if (error != nullptr) {
          failure = *error;
        } else {
          reply = answer;
        }
        answered = true;
      },
      static_cast<uint64_t>(micros));
  // The bus's own time-out of the call ends the wait with an error reply.
  while (!answered) {
    while (!answered && bus_.processPendingRequest()) {
    }
    if (answered) break;
    const auto poll = bus_.getEventLoopPollData();
    int waitMs = static_cast<int>(kTick.count());
    const int busMs = poll.getPollTimeout();
    if (busMs >= 0) waitMs = std::min(waitMs, busMs);
    pollfd fd{poll.fd, poll.events, 0};
    if (::poll(&fd, 1, waitMs) < 0 && errno != EINTR) throw UtError(0, "the bus connection failed");
    if (onTick_) onTick_();
  }
  if (failure) throw *failure;
  return std::move(*reply);
}

std::optional<BusValue> ScriptClient::call(const std::string& interfaceName, const std::string& member,
                                           const std::vector<BusValue>& arguments, std::optional<char> resultType,
                                           std::chrono::seconds timeout) {
  auto message = newCall(interfaceName, member);
  for (const BusValue& argument : arguments) append(message, argument);
  auto reply = callRaw(message, timeout);
  if (!resultType) return std::nullopt;
  return read(reply, *resultType);
}

void ScriptClient::pause(std::chrono::milliseconds length) {
  const auto until = std::chrono::steady_clock::now() + length;
  while (std::chrono::steady_clock::now() < until) {
    while (bus_.processPendingRequest()) {
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
    pollfd fd{bus_.getEventLoopPollData().fd, POLLIN, 0};
    ::poll(&fd, 1, static_cast<int>(std::clamp<long long>(left.count(), 0, kTick.count())));
    if (onTick_) onTick_();
  }
}

std::vector<sdbus::Struct<std::string, std::string, std::string, std::vector<sdbus::Struct<int32_t, int32_t>>>>
ScriptClient::memberLimits() {
  std::vector<sdbus::Struct<std::string, std::string, std::string, std::vector<sdbus::Struct<int32_t, int32_t>>>> rows;
  try {
    auto factory = sdbus::createProxy(bus_, kServiceName, "/UTVEX/Script");
    factory->callMethod("MemberLimits").onInterface("UTVEX.ScriptFactory").storeResultsTo(rows);
  } catch (const sdbus::Error& error) {
    throw utErrorOf(error);
  }
  return rows;
}

std::string ScriptClient::introspect() {
  std::string xml;
  try {
    object_->callMethod("Introspect").onInterface("org.freedesktop.DBus.Introspectable").storeResultsTo(xml);
  } catch (const sdbus::Error& error) {
    throw utErrorOf(error);
  }
  return xml;
}

}  // namespace vx::cli
