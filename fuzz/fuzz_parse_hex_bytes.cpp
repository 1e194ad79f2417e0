// Feeds arbitrary text and limits to ParseHexBytes. The output buffer is a
// heap block of exactly `limit` bytes, so AddressSanitizer catches any write
// past it; the count must never exceed the limit, and every byte it reports
// must be one the parser wrote.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "session/Codecs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    // First byte: the limit (1..64; 0 is tried too, it must write nothing).
    const std::size_t limit = data[0] % 65;
    ++data;
    --size;

    // The rest: wide characters, two bytes each, so that ASCII digits, "0x",
    // separators and full-width forms all turn up.
    std::wstring text;
    text.reserve(size / 2);
    for (std::size_t i = 0; i + 1 < size; i += 2)
        text.push_back(wchar_t(data[i] | (data[i + 1] << 8)));

    std::unique_ptr<std::uint8_t[]> out(limit ? new std::uint8_t[limit] : nullptr);
    if (limit)
        std::memset(out.get(), 0xA5, limit);
    const std::size_t count = norvik::ParseHexBytes(text, out.get(), limit);
    if (count > limit)
        std::abort();
    // Every pair read takes at least two characters of the text.
    if (count * 2 > text.size())
        std::abort();
    return 0;
}
