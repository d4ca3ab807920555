// What went wrong in the last failed method call on this thread, in words,
// as an error object carries it beside the HRESULT: the failing object sets
// it, and a caller that tells a person more than a code takes it.
#pragma once

#include <string>

#include "vx/com/types.h"

namespace vx::com {

// Replaces this thread's description; an empty text clears it.
VXCOM_API void SetErrorDescription(std::string text);
// This thread's description, cleared by taking it; empty when there is none.
VXCOM_API std::string TakeErrorDescription();

}  // namespace vx::com
