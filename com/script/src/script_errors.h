// The failures the script object reports: a message number of the
// language resource library and the HRESULT that goes with it.
#pragma once

#include <cstdint>

#include "vxcom.h"

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
  InterfaceMissing = 61589,
};

inline constexpr uint32_t kVersionTextNumber = 61444;

inline constexpr HRESULT SCRIPT_E_NO_DATA = vx::com::detail::hr(0x80040302u);
inline constexpr HRESULT SCRIPT_E_REFRESH = vx::com::detail::hr(0x80040309u);
inline constexpr HRESULT SCRIPT_E_NOT_CONNECTED = vx::com::detail::hr(0x80040323u);
inline constexpr HRESULT SCRIPT_E_SPC = vx::com::detail::hr(0x80040324u);
inline constexpr HRESULT SCRIPT_E_UNEXPECTED_MEMBER = vx::com::detail::hr(0x80040325u);
inline constexpr HRESULT SCRIPT_E_SESSION_REFUSED = vx::com::detail::hr(0x80040327u);
inline constexpr HRESULT SCRIPT_E_OTHER_MODEL = vx::com::detail::hr(0x80040328u);
inline constexpr HRESULT SCRIPT_E_ALREADY_CONNECTING = vx::com::detail::hr(0x8004032Au);
inline constexpr HRESULT SCRIPT_E_PORT_HELD = vx::com::detail::hr(0x8004032Bu);
inline constexpr HRESULT SCRIPT_E_LINK_NOT_STARTED = vx::com::detail::hr(0x8004032Cu);
inline constexpr HRESULT SCRIPT_E_FINISH_FAILED = vx::com::detail::hr(0x8004032Du);
inline constexpr HRESULT SCRIPT_E_NO_INTERFACE = vx::com::detail::hr(0x80040331u);

// What the last failing call reported, for the error reply.
struct ReportedError {
  HRESULT hr = S_OK;
  Message message = Message::None;
};

}  // namespace vx::script
