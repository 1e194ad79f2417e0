// Feeds any bytes to the settings file reader as the file's contents (UTF-16LE
// with FF FE, code page 936, UTF-8, mixed, broken): reading and writing a key
// must never fail, the written key must read back, and the bytes before the
// first changed line must come back unchanged.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "runtime/CodePage.h"
#include "runtime/ProfileFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::unique_ptr<norvik::AnsiCodePage> ansi = norvik::MakeAnsiCodePage();
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    norvik::ProfileFile file = norvik::ProfileFile::FromBytes(bytes, ansi.get());
    (void)file.ReadInt(L"Config", L"Debug", 0);
    (void)file.ReadString(L"Config", L"InputGuid", L"", 60);

    // Unchanged, the file writes back byte for byte.
    const std::optional<std::string> same = file.ToBytes(ansi.get());
    if (!same || *same != bytes)
        std::abort();

    file.WriteString(L"Config", L"InuptMode", L"7");
    if (file.ReadInt(L"Config", L"InuptMode", 0) != 7)
        std::abort();
    const std::optional<std::string> written = file.ToBytes(ansi.get());
    if (written) {
        const norvik::ProfileFile again = norvik::ProfileFile::FromBytes(*written, ansi.get());
        if (again.ReadInt(L"Config", L"InuptMode", 0) != 7)
            std::abort();
    }
    return 0;
}
