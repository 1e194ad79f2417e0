#pragma once
// How a failed system call on Linux is reported through the ports: as the
// Win32 error, and the HRESULT made from it, that Windows gives for the
// like failure, so that the operator's error text (the system's message for
// the code) says something meaningful on both platforms.

#include <cstdint>

#include "runtime/ResultCodes.h"

namespace norvik {

// The Win32 error code for an errno value; 0 for 0. An errno value the table
// does not know has no Win32 counterpart: Win32ErrorFromErrno gives
// ERROR_GEN_FAILURE for it, and HResultFromErrno gives E_FAIL.
std::uint32_t Win32ErrorFromErrno(int error);

// HRESULT_FROM_WIN32 of the table's entry; S_OK for 0; E_FAIL for an errno
// value the table does not know.
HResult HResultFromErrno(int error);

}  // namespace norvik
