// The basic COM types and result codes, with the names and values that COM
// code is written against. HRESULT is a signed 32-bit value whose top bit
// marks a failure.
#pragma once

#include <cstddef>
#include <cstdint>

// Marks what libvxcom.so exports; its version script lists the same names.
#define VXCOM_API __attribute__((visibility("default")))

using HRESULT = int32_t;
using ULONG = uint32_t;
using LONG = int32_t;
using DWORD = uint32_t;
using WORD = uint16_t;
using BYTE = uint8_t;
using UINT = unsigned int;
using INT = int;
using BOOL = int;
using SHORT = int16_t;
using USHORT = uint16_t;

// Automation type names as type libraries write them.
using UI1 = uint8_t;
using UI2 = uint16_t;
using UI4 = uint32_t;
using I1 = char;
using I2 = int16_t;
using I4 = int32_t;

// Macros, as elsewhere (other headers may define them with the same values).
#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

// Wide text is UTF-16; narrow text (the "ANSI code page") is UTF-8.
using OLECHAR = char16_t;
using WCHAR = char16_t;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;
using LPSTR = char*;
using LPCSTR = const char*;

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

inline constexpr uint32_t SEVERITY_SUCCESS = 0;
inline constexpr uint32_t SEVERITY_ERROR = 1;
inline constexpr uint32_t FACILITY_NULL = 0;
inline constexpr uint32_t FACILITY_RPC = 1;
inline constexpr uint32_t FACILITY_ITF = 4;
inline constexpr uint32_t FACILITY_WIN32 = 7;

constexpr HRESULT MAKE_HRESULT(uint32_t severity, uint32_t facility, uint32_t code) {
  return static_cast<HRESULT>((severity << 31) | ((facility & 0x1FFFu) << 16) | (code & 0xFFFFu));
}
constexpr uint32_t HRESULT_CODE(HRESULT hr) { return static_cast<uint32_t>(hr) & 0xFFFFu; }
constexpr uint32_t HRESULT_FACILITY(HRESULT hr) {
  return (static_cast<uint32_t>(hr) >> 16) & 0x1FFFu;
}
// A Win32 error code as an HRESULT (0 stays S_OK).
constexpr HRESULT HRESULT_FROM_WIN32(uint32_t error) {
  return static_cast<int32_t>(error) <= 0 ? static_cast<HRESULT>(error)
                                          : MAKE_HRESULT(SEVERITY_ERROR, FACILITY_WIN32, error);
}

namespace vx::com::detail {
constexpr HRESULT hr(uint32_t value) { return static_cast<HRESULT>(value); }
}  // namespace vx::com::detail

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;

inline constexpr HRESULT E_NOTIMPL = vx::com::detail::hr(0x80004001u);
inline constexpr HRESULT E_NOINTERFACE = vx::com::detail::hr(0x80004002u);
inline constexpr HRESULT E_POINTER = vx::com::detail::hr(0x80004003u);
inline constexpr HRESULT E_ABORT = vx::com::detail::hr(0x80004004u);
inline constexpr HRESULT E_FAIL = vx::com::detail::hr(0x80004005u);
inline constexpr HRESULT E_UNEXPECTED = vx::com::detail::hr(0x8000FFFFu);
inline constexpr HRESULT E_ACCESSDENIED = vx::com::detail::hr(0x80070005u);
inline constexpr HRESULT E_HANDLE = vx::com::detail::hr(0x80070006u);
inline constexpr HRESULT E_OUTOFMEMORY = vx::com::detail::hr(0x8007000Eu);
inline constexpr HRESULT E_INVALIDARG = vx::com::detail::hr(0x80070057u);

inline constexpr HRESULT CLASS_E_NOAGGREGATION = vx::com::detail::hr(0x80040110u);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = vx::com::detail::hr(0x80040111u);
inline constexpr HRESULT REGDB_E_READREGDB = vx::com::detail::hr(0x80040150u);
inline constexpr HRESULT REGDB_E_WRITEREGDB = vx::com::detail::hr(0x80040151u);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = vx::com::detail::hr(0x80040154u);
inline constexpr HRESULT SELFREG_E_CLASS = vx::com::detail::hr(0x80040201u);
inline constexpr HRESULT CO_E_NOTINITIALIZED = vx::com::detail::hr(0x800401F0u);
inline constexpr HRESULT CO_E_CLASSSTRING = vx::com::detail::hr(0x800401F3u);
inline constexpr HRESULT CO_E_DLLNOTFOUND = vx::com::detail::hr(0x800401F8u);
inline constexpr HRESULT CO_E_ERRORINDLL = vx::com::detail::hr(0x800401F9u);
// The library named by a class entry could not be loaded (ERROR_MOD_NOT_FOUND).
inline constexpr HRESULT VX_E_MODULE_NOT_FOUND = vx::com::detail::hr(0x8007007Eu);
