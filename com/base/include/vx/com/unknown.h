// IUnknown and the way interfaces are declared.
//
// An interface is an abstract class whose virtual functions stand in slot
// order after QueryInterface, AddRef and Release. It names its IID and the
// interface it extends with VX_COM_INTERFACE:
//
//   struct IVexThing : IUnknown {
//     VX_COM_INTERFACE(IVexThing, IUnknown, "{...}")
//     virtual HRESULT DoIt(UINT value) = 0;
//   };
//   struct IVexThing2 : IVexThing {
//     VX_COM_INTERFACE(IVexThing2, IVexThing, "{...}")
//     virtual HRESULT DoMore() = 0;
//   };
//
// Interfaces have no virtual destructor (it would take vtable slots); their
// destructors are protected, since an object ends only through Release.
#pragma once

#include <type_traits>

#include "vx/com/guid.h"

// Inside an interface's body: its IID, its own type, the interface it extends.
#define VX_COM_INTERFACE(Name, Base, iidText)                                  \
 public:                                                                        \
  static constexpr IID kIid = ::vx::com::MakeGuid(iidText);                     \
  using VxSelfInterface = Name;                                                 \
  using VxBaseInterface = Base;                                                 \
                                                                                \
 protected:                                                                     \
  ~Name() = default;                                                            \
                                                                                \
 public:

struct IUnknown {
 public:
  static constexpr IID kIid = vx::com::MakeGuid("{00000000-0000-0000-C000-000000000046}");
  using VxSelfInterface = IUnknown;
  using VxBaseInterface = void;

  virtual HRESULT QueryInterface(REFIID riid, void** ppvObject) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;
};

namespace vx::com {

// True for a type that declares its own IID (not only its base's).
template <class I>
concept ComInterface =
    std::is_base_of_v<IUnknown, I> && std::is_same_v<typename I::VxSelfInterface, I>;

// The IID of interface I, like __uuidof(I).
template <ComInterface I>
constexpr REFIID uuidOf() {
  return I::kIid;
}

namespace detail {
template <class T>
constexpr REFIID iidOfPointee(T**) {
  static_assert(ComInterface<T>, "IID_PPV_ARGS needs a pointer to an interface pointer");
  return T::kIid;
}
}  // namespace detail

}  // namespace vx::com

// The IID and the out pointer for QueryInterface, CoCreateInstance and the like.
#define IID_PPV_ARGS(pp) ::vx::com::detail::iidOfPointee(pp), reinterpret_cast<void**>(pp)

inline constexpr IID IID_IUnknown = IUnknown::kIid;

struct IClassFactory : IUnknown {
  VX_COM_INTERFACE(IClassFactory, IUnknown, "{00000001-0000-0000-C000-000000000046}")
  virtual HRESULT CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) = 0;
  virtual HRESULT LockServer(BOOL fLock) = 0;
};

inline constexpr IID IID_IClassFactory = IClassFactory::kIid;
