#pragma once
// Result codes with their Windows values. The logic judges results the way
// Windows callers do (negative HRESULT = failure, S_FALSE for an empty
// category, low byte 0xEA for ERROR_MORE_DATA), so every platform answers
// with these numbers.

#include <cstdint>

namespace norvik {

using HResult = std::int32_t;

constexpr std::uint32_t kWaitTimeout = 0x102;  // WAIT_TIMEOUT

// Win32 error codes used by the platforms.
namespace win32 {
constexpr std::uint32_t kFileNotFound = 2;
constexpr std::uint32_t kAccessDenied = 5;
constexpr std::uint32_t kInvalidHandle = 6;
constexpr std::uint32_t kNotSupported = 50;
constexpr std::uint32_t kInvalidParameter = 87;
constexpr std::uint32_t kInsufficientBuffer = 122;
constexpr std::uint32_t kSemTimeout = 121;
constexpr std::uint32_t kBusy = 170;
constexpr std::uint32_t kMoreData = 234;
constexpr std::uint32_t kGenFailure = 31;
constexpr std::uint32_t kNotFound = 1168;
constexpr std::uint32_t kSetNotFound = 1170;
constexpr std::uint32_t kDeviceNotConnected = 1167;
constexpr std::uint32_t kIoDevice = 1117;
constexpr std::uint32_t kNoSuchDevice = 433;
}  // namespace win32

constexpr HResult HResultFromWin32(std::uint32_t error)
{
    return error == 0 ? 0 : HResult(std::uint32_t(0x80070000u) | (error & 0xFFFFu));
}

// HRESULT values, named without the Windows macros so that the names do not
// clash with them where the Windows headers are included too.
namespace hr {
constexpr HResult kOk = 0;
constexpr HResult kFalse = 1;
constexpr HResult kFail = HResult(0x80004005u);
constexpr HResult kNotImpl = HResult(0x80004001u);
constexpr HResult kNoInterface = HResult(0x80004002u);
constexpr HResult kPointer = HResult(0x80004003u);
constexpr HResult kHandle = HResult(0x80070006u);
constexpr HResult kUnexpected = HResult(0x8000FFFFu);
constexpr HResult kOutOfMemory = HResult(0x8007000Eu);
constexpr HResult kInvalidArg = HResult(0x80070057u);
constexpr HResult kAccessDenied = HResult(0x80070005u);
}  // namespace hr

constexpr bool Succeeded(HResult hr) { return hr >= 0; }
constexpr bool Failed(HResult hr) { return hr < 0; }

}  // namespace norvik
