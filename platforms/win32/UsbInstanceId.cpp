#include "platforms/win32/UsbInstanceId.h"

namespace norvik {

namespace {

// Windows compares instance IDs without regard to case.
bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        wchar_t c = text[i];
        if (c >= L'a' && c <= L'z')
            c = wchar_t(c - L'a' + L'A');
        if (c != prefix[i])
            return false;
    }
    return true;
}

bool ContainsNoCase(std::wstring_view text, std::wstring_view part)
{
    for (std::size_t at = 0; at + part.size() <= text.size(); ++at)
        if (StartsWithNoCase(text.substr(at), part))
            return true;
    return false;
}

}  // namespace

std::optional<std::wstring> SerialFromInstanceId(std::wstring_view instanceId)
{
    // Three parts: the enumerator, the hardware IDs, the instance.
    const std::size_t first = instanceId.find(L'\\');
    if (first == std::wstring_view::npos)
        return std::nullopt;
    const std::size_t second = instanceId.find(L'\\', first + 1);
    if (second == std::wstring_view::npos)
        return std::nullopt;
    const std::wstring_view enumerator = instanceId.substr(0, first);
    const std::wstring_view hardware = instanceId.substr(first + 1, second - first - 1);
    const std::wstring_view instance = instanceId.substr(second + 1);
    if (enumerator.size() != 3 || !StartsWithNoCase(enumerator, L"USB"))
        return std::nullopt;
    if (!StartsWithNoCase(hardware, L"VID_") || !ContainsNoCase(hardware, L"&PID_") ||
        ContainsNoCase(hardware, L"&MI_"))
        return std::nullopt;
    if (instance.empty() || instance.find(L'&') != std::wstring_view::npos ||
        instance.find(L'\\') != std::wstring_view::npos)
        return std::nullopt;
    return std::wstring(instance);
}

}  // namespace norvik
