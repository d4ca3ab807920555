// The interfaces and classes of libvxcomtestserver.so, a small in-process
// server that the tests create objects from through CoCreateInstance.
#pragma once

#include "vxcom.h"

struct ICounter : IUnknown {
  VX_COM_INTERFACE(ICounter, IUnknown, "{BE39EEAF-21F2-4D12-AAD9-329D9CE0C4BC}")
  virtual HRESULT Increment() = 0;
  virtual HRESULT Get(LONG* value) = 0;
};

// A later version of ICounter: one method more at the end.
struct ICounter2 : ICounter {
  VX_COM_INTERFACE(ICounter2, ICounter, "{33C99E04-9945-4352-A18A-ADFBE8F88F07}")
  virtual HRESULT Add(LONG amount) = 0;
};

struct IModuleInfo : IUnknown {
  VX_COM_INTERFACE(IModuleInfo, IUnknown, "{700715E4-4DA4-4A86-B82E-EA85C7E27C11}")
  // The file of the library that serves the object (CoTaskMemFree it).
  virtual HRESULT GetModulePath(LPOLESTR* path) = 0;
  // The class's name as a BSTR (SysFreeString it).
  virtual HRESULT GetName(BSTR* name) = 0;
};

inline constexpr CLSID CLSID_TestCounter = vx::com::MakeGuid("{4B9A80F8-D2D3-4D40-BF41-FCF63C71482C}");
// Listed and registered, but no class object is served for it.
inline constexpr CLSID CLSID_TestRegistrationOnly =
    vx::com::MakeGuid("{C15DEBE4-CB64-4047-94DC-B57CC5FFC1F6}");
// Its FinalConstruct fails with E_ACCESSDENIED.
inline constexpr CLSID CLSID_TestRefusing = vx::com::MakeGuid("{0439AB0C-989A-4457-8E51-A16648C61EA9}");

inline constexpr const char16_t* kTestCounterProgId = u"VxcomTest.Counter.1";
inline constexpr const char16_t* kTestCounterIndependentProgId = u"VxcomTest.Counter";
