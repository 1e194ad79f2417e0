#pragma once
// How a failed call on a video node is reported through the ports: as the
// HRESULT that Windows gives for the like failure, so that the operator's
// error text (the system's message for the code) means something on both
// platforms. The table is in ErrnoMapping.cpp.

#include <cstdint>

#include "runtime/ResultCodes.h"

namespace norvik {

// HRESULT_FROM_WIN32 of the Win32 error that Windows gives for the like
// failure; S_OK for 0; E_FAIL for an errno value without a like failure.
HResult HResultFromErrno(int error);

}  // namespace norvik
