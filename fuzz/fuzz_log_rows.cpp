// Reads arbitrary bytes and logs built from rows of arbitrary cells with the
// --log row counter. It must never fail; it must count every row of a log
// whose cells hold no line break followed by a digit (the one shape it
// cannot tell from a row start); and a file it accepts must count exactly one
// more row once its last line is ended and the next row appended.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <fuzzer/FuzzedDataProvider.h>

#include "apps/norvikctl/LogRows.h"

namespace {

using norvik::ctl::LogRows;
using norvik::ctl::ReadLogRows;

const std::string kTitles = "Line, Direct, Data(HEX), Data(String), Device, XU guid, ";

std::string PlainRow(unsigned line) { return std::to_string(line) + ", SET CS=7, 01 02, , Cam, {g}, \r\n"; }

// Appending the next row to a log must add exactly that row, and the bytes
// fed in two pieces must count as the whole.
void CheckNextRow(const std::string& contents, const LogRows& rows, std::size_t split)
{
    norvik::ctl::LogRowCounter pieces(kTitles);
    split = std::min(split, contents.size());
    pieces.Feed(std::string_view(contents).substr(0, split));
    pieces.Feed(std::string_view(contents).substr(split));
    const LogRows fed = pieces.Result();
    if (fed.kind != rows.kind || fed.records != rows.records || fed.lineBreak != rows.lineBreak)
        std::abort();

    if (rows.kind == LogRows::Kind::Other)
        return;
    const std::string header =
        rows.kind == LogRows::Kind::Empty ? kTitles + "\r\n" : std::string(rows.lineBreak);
    const LogRows after = ReadLogRows(contents + header + PlainRow(rows.records + 1), kTitles);
    if (after.kind != LogRows::Kind::TransferLog || after.records != rows.records + 1 ||
        !after.lineBreak.empty())
        std::abort();
}

std::string Cell(FuzzedDataProvider& data)
{
    std::string cell = data.ConsumeRandomLengthString(48);
    for (std::size_t i = 1; i < cell.size(); ++i)
        if (cell[i - 1] == '\n' && cell[i] >= '0' && cell[i] <= '9')
            cell[i] = 'x';
    return cell;
}

std::string BuiltRow(FuzzedDataProvider& data, unsigned line)
{
    std::string row = std::to_string(line) + ", " + (data.ConsumeBool() ? "SET" : "GET") +
                      " CS=" + std::to_string(data.ConsumeIntegral<std::uint8_t>()) + ", ";
    for (int cell = 0; cell < 4; ++cell)
        row += Cell(data) + ", ";
    return row + "\r\n";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    FuzzedDataProvider data(bytes, size);
    if (data.ConsumeBool()) {
        const std::size_t split = data.ConsumeIntegral<std::uint16_t>();
        const std::string contents = data.ConsumeRemainingBytesAsString();
        const LogRows rows = ReadLogRows(contents, kTitles);
        if ((rows.kind == LogRows::Kind::Empty) != contents.empty())
            std::abort();
        CheckNextRow(contents, rows, split);
        return 0;
    }

    std::string contents = kTitles + (data.ConsumeBool() ? "\r\n" : "\n");
    const unsigned count = data.ConsumeIntegralInRange<unsigned>(0, 12);
    for (unsigned line = 1; line <= count; ++line)
        contents += BuiltRow(data, line);
    const bool cut = data.ConsumeBool();
    if (cut) {
        const std::string next = BuiltRow(data, count + 1);
        contents += next.substr(0, data.ConsumeIntegralInRange<std::size_t>(1, next.size() - 3));
    }
    const LogRows rows = ReadLogRows(contents, kTitles);
    if (rows.kind != LogRows::Kind::TransferLog)
        std::abort();
    // A cut row may count only when all its cells made it.
    if (cut ? rows.records < count || rows.records > count + 1 : rows.records != count)
        std::abort();
    CheckNextRow(contents, rows, data.ConsumeIntegral<std::uint16_t>());
    return 0;
}
