// Feeds cells with any characters (commas, quotes, line breaks, characters
// the code page lacks, lone surrogates) to the CSV line writer: it must
// never fail, and the line must end in ", " CR LF with one ", " per cell
// at least.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "session/Codecs.h"
#include "session/TransferOps.h"
#include "platforms/sim/FakeRuntime.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static norvik::FakeRuntime runtime;
    std::vector<std::wstring> cells(1);
    for (std::size_t i = 0; i + 2 < size; i += 3) {
        if (data[i] == 0xFF && cells.size() < 16) {
            cells.emplace_back();
            continue;
        }
        // Up to 21 bits: any code point, surrogates and beyond-Unicode included.
        const wchar_t c = wchar_t((data[i] | data[i + 1] << 8 | (data[i + 2] & 0x1F) << 16));
        if (c != 0)
            cells.back().push_back(c);
    }
    const norvik::Converted<std::string> converted = norvik::CsvLine(runtime, cells);
    if (!converted) {
        // A refusal is reported by the caller and nothing is written: it
        // must carry a text to report.
        if (converted.failureText.empty() || !converted.value.empty())
            std::abort();
        return 0;
    }
    const std::string& line = converted.value;
    if (line.size() < 2 + 2 * cells.size() || line.compare(line.size() - 4, 4, ", \r\n") != 0)
        std::abort();
    return 0;
}
