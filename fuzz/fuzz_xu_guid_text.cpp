// Feeds arbitrary typed text to the picker's GUID reader. Whatever it
// accepts must hold braces exactly 37 characters apart, and formatting the
// result and reading it back must give the same GUID.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "session/GuidText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::wstring text;
    for (std::size_t i = 0; i + 1 < size; i += 2)
        text.push_back(wchar_t(data[i] | (data[i + 1] << 8)));
    const auto guid = norvik::ParseXuGuidText(text);
    if (!guid)
        return 0;
    const auto open = text.find(L'{');
    if (open == std::wstring::npos || text.find(L'}', open + 1) != open + 37)
        std::abort();
    const auto again = norvik::ParseXuGuidText(norvik::FormatGuidWide(*guid));
    if (!again || !(*again == *guid))
        std::abort();
    return 0;
}
