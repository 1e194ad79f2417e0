#include "discovery/DeviceIdentity.h"

namespace norvik {

bool IsUsbDisplayName(const std::wstring& displayName)
{
    return displayName.find(L"usb#vid") != std::wstring::npos;
}

std::uint32_t ReadIdAfterMarker(const std::wstring& displayName, const wchar_t* marker)
{
    const std::wstring m(marker);
    const auto at = displayName.find(m);
    if (at == std::wstring::npos)
        return 0;
    std::uint32_t value = 0;
    for (std::size_t i = at + m.size(); i < displayName.size() && i < at + m.size() + 4; ++i) {
        const wchar_t c = displayName[i];
        int digit;
        if (c >= L'0' && c <= L'9')
            digit = c - L'0';
        else if (c >= L'a' && c <= L'f')
            digit = c - L'a' + 10;
        else if (c >= L'A' && c <= L'F')
            digit = c - L'A' + 10;
        else
            break;
        value = value * 16 + std::uint32_t(digit);
    }
    return value;
}

}  // namespace norvik
