// The failures the script object reports: a message number of the
// language resource library and the HRESULT that goes with it.
#pragma once

#include <cstdint>
#include <string>

// The connection and configuration objects' codes (VEX_E_*, UTC_E_*) are
// passed on as they are; these are the script object's own.
#include "vxconnect.h"
#include "vxutconfig.h"

namespace vx::script {

// Message numbers of the resource library's string table.
enum class Message : uint32_t {
  None = 0,
  SpcInvalid = 61271,
  RestoreFailed = 61573,
  VersionRefreshFailed = 61574,
  SettingFailed = 61575,
  NotConnected = 61576,
  AlreadyConnecting = 61577,
  PortHeld = 61578,
  LinkNotStarted = 61579,
  FinishFailed = 61580,
  UnexpectedMember = 61581,
  SessionRefused = 61582,
  FileNotOpened = 61583,
  NotSoftwareFile = 61584,
  NotBootBlockFile = 61585,
  LoaderMissing = 61586,
  XmodemFailed = 61587,
  NoLinkHandle = 61588,
  InterfaceMissing = 61589,
};

inline constexpr uint32_t kVersionTextNumber = 61444;

inline constexpr HRESULT SCRIPT_E_ALREADY_CONNECTING = vx::com::detail::hr(0x8004032Au);
inline constexpr HRESULT SCRIPT_E_PORT_HELD = vx::com::detail::hr(0x8004032Bu);
inline constexpr HRESULT SCRIPT_E_NO_INTERFACE = vx::com::detail::hr(0x80040331u);
// The server holds as many objects as it allows (in all, for the caller,
// or shared): the error text says which limit.
inline constexpr HRESULT SCRIPT_E_TOO_MANY_OBJECTS = vx::com::detail::hr(0x80040340u);

// What the last failing call reported, for the error reply.
struct ReportedError {
  HRESULT hr = S_OK;
  Message message = Message::None;
  std::string detail;  // what the link said of a failed step, when it said anything
};

}  // namespace vx::script
