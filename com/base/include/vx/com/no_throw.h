// No exception crosses an interface method. A method whose body may throw
// (it grows strings or containers, say) runs the body through NoThrow:
//
//   HRESULT CThing::GetName(LPWSTR* name) {
//     return vx::com::NoThrow([&] { ...; return S_OK; });
//   }
//
// std::bad_alloc becomes E_OUTOFMEMORY, any other exception E_FAIL.
#pragma once

#include <new>

#include "vx/com/types.h"

namespace vx::com {

template <class Body>
HRESULT NoThrow(Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

}  // namespace vx::com
