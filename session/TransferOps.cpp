#include "session/TransferOps.h"

#include <cstdio>
#include <iterator>
#include <cstring>
#include <cwctype>

#include "channel/ChannelPorts.h"
#include "channel/XuChannel.h"
#include "channel/NodeRequests.h"
#include "session/Codecs.h"
#include "session/OperatorTexts.h"

namespace norvik {

std::uint8_t ReduceSelectorText(std::wstring_view text)
{
    std::size_t i = 0;
    while (i < text.size() && std::iswspace(wint_t(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
        negative = text[i] == L'-';
        ++i;
    }
    std::uint64_t value = 0;
    bool saturated = false;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        value = value * 10 + std::uint64_t(text[i] - L'0');
        if (value > 0xFFFFFFFFull) {
            saturated = true;
            break;
        }
    }
    std::uint32_t result = saturated ? 0xFFFFFFFFu : std::uint32_t(value);
    if (negative && !saturated)
        result = std::uint32_t(0u - result);
    return std::uint8_t(result & 0xFF);
}

std::uint16_t ProbeControlLength(ChannelPorts& ports, XuChannel& channel, std::uint8_t selector)
{
    RequestXuProperty(ports, &channel, selector, nullptr, 0, false);
    if ((std::uint32_t(channel.lastResult) & 0xFF) == 0xEA)
        return std::uint16_t(channel.bytesReturned & 0xFFFF);
    return 0;
}

Converted<std::wstring> BuildSendData(Runtime& runtime, const std::wstring& text, bool hexMode,
                                      std::uint8_t* buffer, std::uint16_t length)
{
    if (hexMode) {
        if (length > 0)
            ParseHexBytes(text, buffer, length);
        return ConvertedValue(RenderPrintable(buffer, length));
    }
    const Converted<std::string> bytes = EncodeAnsiText(runtime, text);
    if (!bytes)
        return bytes.Refusal<std::wstring>();
    const std::size_t n = std::min<std::size_t>(length, bytes.value.size());
    std::memcpy(buffer, bytes.value.data(), n);
    return DecodeAnsiText(runtime, reinterpret_cast<const char*>(buffer), length);
}

std::wstring DirectionText(bool isSet, std::uint8_t selector)
{
    wchar_t text[32];
    std::swprintf(text, 32, isSet ? texts::kSetDirection : texts::kGetDirection, unsigned(selector));
    return text;
}

Converted<std::wstring> FailureCellText(Runtime& runtime, const std::wstring& failureText, bool haveChannel,
                                        std::int32_t lastResult)
{
    Converted<std::wstring> cell = ConvertedValue(failureText);
    if (!haveChannel)
        return cell;
    char buffer[260] = {};
    if (FormatSystemError(runtime, std::uint32_t(lastResult), buffer, sizeof buffer)) {
        const Converted<std::wstring> system = DecodeAnsiText(runtime, buffer, sizeof buffer);
        if (!system)
            return system;
        cell.value += FormatMessageText(texts::kErrorCodeSuffix, system.value.c_str());
        cell.value = TrimTrailingWhiteSpace(std::move(cell.value));
    }
    return cell;
}

Converted<std::string> CsvLine(Runtime& runtime, const std::vector<std::wstring>& cells)
{
    Converted<std::string> line;
    for (const auto& cell : cells) {
        const Converted<std::string> bytes = EncodeAnsiText(runtime, cell);
        if (!bytes)
            return bytes;
        line.value += bytes.value;
        line.value += ", ";
    }
    line.value += "\r\n";
    return line;
}

const std::vector<std::wstring>& LogColumnTitles()
{
    static const std::vector<std::wstring> titles(std::begin(texts::kLogColumnTitles),
                                                  std::end(texts::kLogColumnTitles));
    return titles;
}

std::wstring CsvFileName(const LocalTime& t)
{
    wchar_t name[260];
    std::swprintf(name, 260, L"%d%02d%02d-%02d%02d%02d-%d.csv", int(t.year), int(t.month), int(t.day),
                  int(t.hour), int(t.minute), int(t.second), int(t.milliseconds));
    return name;
}

}  // namespace norvik
