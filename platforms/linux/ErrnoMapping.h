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
// For open() of a video node and any call other than UVCIOC_CTRL_QUERY.
HResult HResultFromErrno(int error);

// When a camera stalls a control request, uvcvideo asks it why (its request
// error code control) and answers UVCIOC_CTRL_QUERY with an errno chosen
// from the reason. Windows answers every stalled class request alike, with
// ERROR_GEN_FAILURE: the stall completes the request with
// STATUS_UNSUCCESSFUL, which becomes ERROR_GEN_FAILURE (31). So do we. The
// reason, as the operator reads it ("out of range (ERANGE)"), or null for an
// errno that is not a camera's refusal.
const char* CameraRefusalReason(int error);

// The HRESULT of a failed UVCIOC_CTRL_QUERY: ERROR_GEN_FAILURE for a
// camera's refusal, otherwise as HResultFromErrno.
HResult HResultFromCtrlQueryErrno(int error);

}  // namespace norvik
