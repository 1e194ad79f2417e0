#include "session/GuidText.h"

#include <cstdint>

#include "session/Codecs.h"

namespace norvik {

std::optional<Guid> ParseXuGuidText(std::wstring_view text)
{
    if (text.empty())
        return std::nullopt;
    const auto open = text.find(L'{');
    if (open == std::wstring_view::npos)
        return std::nullopt;
    const auto close = text.find(L'}', open + 1);
    if (close == std::wstring_view::npos || close - open != 37)
        return std::nullopt;
    std::uint8_t bytes[16] = {};
    if (ParseHexBytes(text.substr(open, 38), bytes, 16) < 16)
        return std::nullopt;
    Guid guid;
    const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    for (int i = 0; i < 16; ++i)
        guid.bytes[std::size_t(i)] = bytes[order[i]];
    return guid;
}

}  // namespace norvik
