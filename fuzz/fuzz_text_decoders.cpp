// Feeds any bytes to the UTF-8 decoder and to the code page 936 decoder: both
// must never fail, UTF-8 that the validator accepts must survive a round trip,
// and decoded code page text must encode again.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "runtime/CodePage.h"
#include "runtime/Utf8.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::unique_ptr<norvik::AnsiCodePage> ansi = norvik::MakeAnsiCodePage();
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    const std::wstring wide = norvik::Utf8ToWide(bytes);
    if (wide.size() > bytes.size())
        std::abort();
    if (norvik::IsValidUtf8(bytes) && norvik::WideToUtf8(wide) != bytes)
        std::abort();
    if (!norvik::IsValidUtf8(norvik::WideToUtf8(wide)))
        std::abort();

    const std::optional<std::wstring> decoded = ansi->AnsiToWide(bytes);
    if (decoded) {
        if (decoded->size() > bytes.size())
            std::abort();
        (void)ansi->WideToAnsi(*decoded);
    }
    return 0;
}
