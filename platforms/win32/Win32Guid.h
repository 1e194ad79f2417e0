#pragma once
// The program's Guid and the system's GUID share one in-memory layout, so
// they convert by copying the 16 bytes.

#include <cstring>

#include "platforms/win32/WindowsApi.h"
#include "runtime/Guid.h"

namespace norvik {

static_assert(sizeof(GUID) == 16, "GUID is 16 bytes");

inline GUID ToWinGuid(const Guid& guid)
{
    GUID result;
    std::memcpy(&result, guid.bytes.data(), 16);
    return result;
}

inline Guid FromWinGuid(const GUID& guid)
{
    Guid result;
    std::memcpy(result.bytes.data(), &guid, 16);
    return result;
}

}  // namespace norvik
