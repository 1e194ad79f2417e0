// Feeds any wide text as a device's display name to the identity readers:
// they must never fail, and an ID is at most four hexadecimal digits.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "discovery/DeviceIdentity.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::wstring name;
    for (std::size_t i = 0; i + 1 < size; i += 2)
        name.push_back(wchar_t(data[i] | data[i + 1] << 8));
    (void)norvik::IsUsbDisplayName(name);
    for (const wchar_t* marker : {L"vid_", L"pid_", L""})
        if (norvik::ReadIdAfterMarker(name, marker) > 0xFFFF)
            std::abort();
    return 0;
}
