// The session's class queries, control descriptions and unit inventory.

#include <algorithm>
#include <cstdio>

#include "channel/NodeRequests.h"
#include "session/Codecs.h"
#include "session/OperatorTexts.h"
#include "session/TransferOps.h"
#include "session/UnitSession.h"

namespace norvik {

namespace {

SessionResult Succeeded() { return SessionResult{}; }

SessionResult Failed(SessionFailure failure, std::wstring text, HResult result = 0)
{
    return SessionResult{false, failure, result, std::move(text)};
}

// The unit-information property holds at most one descriptor's tail.
constexpr std::uint16_t kUnitInfoBufferSize = 255;

// "0x%08x: " and the system's text, without its line end; the code alone
// when the system has no text for it.
Converted<std::wstring> ItemFailureText(Runtime& runtime, HResult code)
{
    char buffer[256] = {};
    if (!FormatSystemError(runtime, std::uint32_t(code), buffer, sizeof buffer))
        std::snprintf(buffer, sizeof buffer, "0x%08x", unsigned(code));
    Converted<std::wstring> text = DecodeAnsiText(runtime, buffer, sizeof buffer);
    if (text)
        while (!text.value.empty() &&
               (text.value.back() == L'\n' || text.value.back() == L'\r' || text.value.back() == L' '))
            text.value.pop_back();
    return text;
}

}  // namespace

const QueryItem& ControlDescription::Item(ControlItem item) const
{
    switch (item) {
    case ControlItem::Len:
        return len;
    case ControlItem::Info:
        return info;
    case ControlItem::Cur:
        return cur;
    case ControlItem::Min:
        return min;
    case ControlItem::Max:
        return max;
    case ControlItem::Res:
        return res;
    case ControlItem::Def:
        return def;
    }
    return len;
}

QueryItem& ControlDescription::Item(ControlItem item)
{
    return const_cast<QueryItem&>(static_cast<const ControlDescription&>(*this).Item(item));
}

unsigned ControlDescription::Failures() const
{
    unsigned count = 0;
    for (ControlItem item : kControlItems)
        count += Item(item).available ? 0 : 1;
    return count;
}

SessionResult UnitSession::FailItem(QueryItem& item) const
{
    item.available = false;
    item.bytes.clear();
    item.result = channel_->lastResult;
    Converted<std::wstring> text = ItemFailureText(GetRuntime(), item.result);
    if (!text)
        return Failed(SessionFailure::Conversion, text.failureText);
    item.failureText = std::move(text.value);
    return Succeeded();
}

SessionResult UnitSession::QueryItemOf(std::uint8_t selector, ControlQuery kind, std::uint16_t length,
                                       QueryItem& item)
{
    if (kind == ControlQuery::Info)
        length = 1;
    std::vector<std::uint8_t> bytes(length, 0);
    if (!QueryXuProperty(channelPorts_, channel_.get(), selector, kind, bytes.data(), length))
        return FailItem(item);
    item = QueryItem{true, std::move(bytes), channel_->lastResult, std::wstring()};
    return Succeeded();
}

SessionResult UnitSession::Query(std::uint8_t selector, ControlQuery kind, QueryItem& item)
{
    item = QueryItem{};
    if (!channel_)
        return Failed(SessionFailure::NoChannel, texts::kDeviceOpenFailed);
    std::uint16_t length = 1;
    if (kind != ControlQuery::Info) {
        length = ProbeControlLength(channelPorts_, *channel_, selector);
        if (length == 0) {
            const SessionResult failed = FailItem(item);
            if (!failed)
                return failed;
            return Failed(SessionFailure::Request, item.failureText, item.result);
        }
    }
    const SessionResult asked = QueryItemOf(selector, kind, length, item);
    if (!asked)
        return asked;
    if (!item.available)
        return Failed(SessionFailure::Request, item.failureText, item.result);
    return Succeeded();
}

SessionResult UnitSession::Describe(std::uint8_t selector, ControlDescription& description)
{
    description = ControlDescription{};
    description.selector = selector;
    if (!channel_)
        return Failed(SessionFailure::NoChannel, texts::kDeviceOpenFailed);

    const std::uint16_t length = ProbeControlLength(channelPorts_, *channel_, selector);
    if (length != 0) {
        description.length = length;
        description.len = QueryItem{true,
                                    {std::uint8_t(length & 0xFF), std::uint8_t(length >> 8)},
                                    channel_->lastResult,
                                    std::wstring()};
    } else {
        // Without a length no value can be asked for: they share its failure.
        SessionResult failed = FailItem(description.len);
        if (!failed)
            return failed;
        for (QueryItem* item :
             {&description.cur, &description.min, &description.max, &description.res, &description.def})
            *item = description.len;
    }

    SessionResult step = QueryItemOf(selector, ControlQuery::Info, 1, description.info);
    if (!step || length == 0)
        return step;

    std::vector<std::uint8_t> current(length, 0);
    if (RequestXuProperty(channelPorts_, channel_.get(), selector, current.data(), length, false))
        description.cur = QueryItem{true, std::move(current), channel_->lastResult, std::wstring()};
    else if (!(step = FailItem(description.cur)))
        return step;

    const std::pair<ControlQuery, QueryItem*> values[] = {{ControlQuery::Min, &description.min},
                                                          {ControlQuery::Max, &description.max},
                                                          {ControlQuery::Res, &description.res},
                                                          {ControlQuery::Def, &description.def}};
    for (const auto& [kind, item] : values)
        if (!(step = QueryItemOf(selector, kind, length, *item)))
            return step;
    return Succeeded();
}

SessionResult UnitSession::DeclaredSelectors(std::vector<std::uint8_t>& selectors)
{
    selectors.clear();
    if (!channel_)
        return Failed(SessionFailure::NoChannel, texts::kDeviceOpenFailed);
    std::uint8_t info[kUnitInfoBufferSize] = {};
    if (!RequestXuProperty(channelPorts_, channel_.get(), 0, info, sizeof info, false)) {
        QueryItem failed;
        const SessionResult step = FailItem(failed);
        if (!step)
            return step;
        return Failed(SessionFailure::UnitInfo, failed.failureText, failed.result);
    }
    const std::uint32_t answered = std::min<std::uint32_t>(channel_->bytesReturned, sizeof info);
    std::optional<std::vector<std::uint8_t>> declared = ::norvik::DeclaredSelectors(info, answered);
    if (!declared)
        return Failed(SessionFailure::UnitInfo, L"the unit information ends before its bmControls",
                      channel_->lastResult);
    selectors = std::move(*declared);
    return Succeeded();
}

}  // namespace norvik
