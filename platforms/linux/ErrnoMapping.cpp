#include "platforms/linux/ErrnoMapping.h"

#include <cerrno>

namespace norvik {

namespace {

struct ErrnoEntry {
    int error;
    std::uint32_t win32;
};

// The one table of errno values and their Windows counterparts. The errors
// come from open() of a video node and from the UVC control ioctl:
//
//   EIO, EPIPE, EPROTO    the camera stalled or the transfer failed
//                         -> ERROR_GEN_FAILURE ("A device attached to the
//                            system is not functioning.")
//   ENOENT                no such unit or control, or no such node
//                         -> ERROR_NOT_FOUND
//   EINVAL, EFAULT        a request the driver refuses as malformed
//                         -> ERROR_INVALID_PARAMETER
//   ENODEV, ENXIO,        the camera is gone (unplugged, or the driver let
//   ESHUTDOWN             go of it) -> ERROR_DEVICE_NOT_CONNECTED
//   EBUSY                 -> ERROR_BUSY
//   EACCES, EPERM         no permission on the video node
//                         -> ERROR_ACCESS_DENIED
//   ETIMEDOUT             the camera did not answer in time
//                         -> ERROR_SEM_TIMEOUT
//   ENOSPC, EOVERFLOW,    the data length does not fit the control
//   ENOBUFS               -> ERROR_INSUFFICIENT_BUFFER
//   EBADRQC, ENOTTY,      the request is not supported by the control or
//   EOPNOTSUPP            the node -> ERROR_NOT_SUPPORTED
//   ENOMEM                -> ERROR_OUTOFMEMORY (14), which is E_OUTOFMEMORY
//                            as an HRESULT and has a system text
//
// Anything else has no like Windows failure and becomes E_FAIL. A camera's
// refusal of a control request is answered apart (kRefusals below), since
// EBUSY, EACCES and EINVAL mean something else when open() gives them.
constexpr std::uint32_t kOutOfMemory = 14;

constexpr ErrnoEntry kTable[] = {
    {EIO, win32::kGenFailure},
    {EPIPE, win32::kGenFailure},
    {EPROTO, win32::kGenFailure},
    {ENOENT, win32::kNotFound},
    {EINVAL, win32::kInvalidParameter},
    {EFAULT, win32::kInvalidParameter},
    {ENODEV, win32::kDeviceNotConnected},
    {ENXIO, win32::kDeviceNotConnected},
    {ESHUTDOWN, win32::kDeviceNotConnected},
    {EBUSY, win32::kBusy},
    {EACCES, win32::kAccessDenied},
    {EPERM, win32::kAccessDenied},
    {ETIMEDOUT, win32::kSemTimeout},
    {ENOSPC, win32::kInsufficientBuffer},
    {EOVERFLOW, win32::kInsufficientBuffer},
    {ENOBUFS, win32::kInsufficientBuffer},
    {EBADRQC, win32::kNotSupported},
    {ENOTTY, win32::kNotSupported},
    {EOPNOTSUPP, win32::kNotSupported},
    {ENOMEM, kOutOfMemory},
};

struct Refusal {
    int error;
    const char* reason;
};

// The errno values uvcvideo answers UVCIOC_CTRL_QUERY with after the camera
// stalled the request, by the camera's request error code: 1 not ready,
// 2 wrong state (EACCES on older kernels, EILSEQ on newer ones), 3 power,
// 4 out of range, 5 to 8 invalid unit, control, request or value; EPIPE when
// the camera gave no reason (code 0 or a reserved one, or the error code
// could not be read).
constexpr Refusal kRefusals[] = {
    {EBUSY, "not ready (EBUSY)"},       {EACCES, "wrong state (EACCES)"},
    {EILSEQ, "wrong state (EILSEQ)"},   {EREMOTE, "not enough power (EREMOTE)"},
    {ERANGE, "out of range (ERANGE)"},  {EINVAL, "invalid unit, control, request or value (EINVAL)"},
    {EPIPE, "no reason given (EPIPE)"},
};

const ErrnoEntry* Find(int error)
{
    for (const auto& entry : kTable)
        if (entry.error == error)
            return &entry;
    return nullptr;
}

}  // namespace

HResult HResultFromErrno(int error)
{
    if (error == 0)
        return hr::kOk;
    const ErrnoEntry* entry = Find(error);
    return entry ? HResultFromWin32(entry->win32) : hr::kFail;
}

const char* CameraRefusalReason(int error)
{
    for (const auto& refusal : kRefusals)
        if (refusal.error == error)
            return refusal.reason;
    return nullptr;
}

HResult HResultFromCtrlQueryErrno(int error)
{
    return CameraRefusalReason(error) ? HResultFromWin32(win32::kGenFailure) : HResultFromErrno(error);
}

}  // namespace norvik
