#include <cstdio>

#include "channel/NodeRequests.h"

namespace norvik {

bool FormatSystemError(Runtime& runtime, std::uint32_t code, char* buffer, std::size_t size)
{
    if (!buffer || size == 0)
        return false;
    const std::optional<std::string> text = runtime.SystemErrorText(code);
    if (!text)
        return false;
    // snprintf cuts at size - 1 and always terminates.
    std::snprintf(buffer, size, "0x%08x: %s", unsigned(code), text->c_str());
    return true;
}

}  // namespace norvik
