#include "apps/norvikctl/UnitSession.h"

#include <algorithm>
#include <cstdio>

#include "apps/norvikctl/CtlError.h"
#include "channel/NodeRequests.h"
#include "console/Codecs.h"
#include "console/GuidText.h"
#include "console/TransferOps.h"
#include "discovery/DiscoveryRun.h"
#include "runtime/Utf8.h"

namespace norvik::ctl {

namespace {

// The picker's item data has 8 bits for each position.
constexpr std::uint32_t kMaxItemPosition = 255;

std::string Number(std::uint32_t value) { return std::to_string(value); }

}  // namespace

std::uint8_t CheckSelectorText(const std::wstring& text)
{
    if (text.empty())
        FailUsage("cs不能为空！");
    const std::uint8_t selector = ReduceSelectorText(text);
    if (selector == 0)
        FailUsage("cs不能为0");
    return selector;
}

UnitSession::UnitSession(CtlMachine& machine) : machine_(machine) {}

UnitSession::~UnitSession() { CloseChannel(channel_); }

void UnitSession::OpenByGuid(const std::wstring& typedText)
{
    const auto guid = ParseXuGuidText(typedText);
    if (!guid)
        FailUsage("输入的XU GUID必须符合\n{36fc9e60-c465-11cf-8056-444553540000}\n这样的格式");
    ChannelPorts ports = machine_.Channel();
    channel_ = OpenChannelByGuid(ports, &*guid);
    if (!channel_)
        FailRequest("norvikctl: no capture device answers the XU GUID " + WideToUtf8(typedText));
    const DeviceInfo& info = channel_->deviceInfo;
    if (info.friendlyName[0] != 0) {
        deviceCell_ = DecodeAnsiText(machine_.GetRuntime(), info.friendlyName, sizeof info.friendlyName);
        xuGuidCell_ = typedText;
    }
}

void UnitSession::OpenByPosition(std::uint32_t device, std::uint32_t unit)
{
    DiscoveryPorts discovery = machine_.Discovery();
    RefreshDeviceTable(discovery, ProcessDeviceList(), table_);
    const DeviceTableEntry* entry = table_.Device(device);
    if (!entry)
        FailRequest("norvikctl: there is no device " + Number(device) + " (discovery found " +
                    Number(table_.deviceCount) + ")");
    const ExtensionUnitInfo* info = table_.Unit(device, unit);
    if (!info)
        FailRequest("norvikctl: device " + Number(device) + " has no unit " + Number(unit) + " (it has " +
                    Number(entry->unitCount) + ")");
    // Only what the picker lists can be picked.
    if (entry->hasMatchedUnit == 0)
        FailRequest("norvikctl: device " + Number(device) +
                    " has no unit tied to a USB descriptor, so it cannot be picked");
    if (device > kMaxItemPosition || unit > kMaxItemPosition)
        FailRequest("norvikctl: device " + Number(device) + " unit " + Number(unit) +
                    " lies beyond the positions a list item can name");

    const std::string displayName = EncodeAnsiText(machine_.GetRuntime(), entry->DisplayName());
    ChannelPorts ports = machine_.Channel();
    channel_ = OpenChannelOnDevice(ports, displayName.c_str(), &info->guid,
                                   std::uint8_t(info->nodeId & 0xFF));
    if (!channel_)
        FailRequest("norvikctl: device " + Number(device) + " unit " + Number(unit) +
                    " could not be opened (打开失败)");
    deviceCell_ = std::wstring(entry->FriendlyName());
    xuGuidCell_ = FormatGuidWide(info->guid);
}

void UnitSession::ProbeLength(std::uint8_t selector)
{
    ChannelPorts ports = machine_.Channel();
    const std::uint16_t length = ProbeControlLength(ports, *channel_, selector);
    if (length == 0) {
        char text[128] = {};
        FormatSystemError(machine_.GetRuntime(), std::uint32_t(channel_->lastResult), text, sizeof text);
        const std::wstring message =
            L"获取CS长度失败，错误码 " + DecodeAnsiText(machine_.GetRuntime(), text, sizeof text);
        FailRequest(WideToUtf8(TrimTrailingWhiteSpace(message)));
    }
    selector_ = selector;
    length_ = length;
}

TransferRow UnitSession::StartRow(bool isSet, unsigned line) const
{
    TransferRow row;
    row.isSet = isSet;
    row.selector = selector_;
    row.lineNumber = line;
    row.line = std::to_wstring(line);
    row.direct = DirectionText(isSet, selector_);
    row.device = deviceCell_;
    row.xuGuid = xuGuidCell_;
    return row;
}

void UnitSession::FinishRow(TransferRow& row, bool ok, const wchar_t* failureText)
{
    row.ok = ok;
    row.result = channel_->lastResult;
    row.bytes.assign(buffer_.begin(), buffer_.end());
    row.dataHex = ok ? FormatHexBytes(buffer_.data(), buffer_.size())
                     : FailureCellText(machine_.GetRuntime(), failureText, true, channel_->lastResult);
}

TransferRow UnitSession::Set(const std::wstring& text, bool hexMode, unsigned line)
{
    TransferRow row = StartRow(true, line);
    buffer_.assign(length_, 0);
    row.dataString = BuildSendData(machine_.GetRuntime(), text, hexMode, buffer_.data(), length_);
    ChannelPorts ports = machine_.Channel();
    const bool ok = RequestXuProperty(ports, channel_.get(), selector_, buffer_.data(), length_, true);
    FinishRow(row, ok, L"SET数据失败");
    return row;
}

TransferRow UnitSession::Get(unsigned line)
{
    TransferRow row = StartRow(false, line);
    buffer_.assign(length_, 0);
    ChannelPorts ports = machine_.Channel();
    const bool ok = RequestXuProperty(ports, channel_.get(), selector_, buffer_.data(), length_, false);
    FinishRow(row, ok, L"GET数据失败");
    if (ok)
        row.dataString = DecodeAnsiText(machine_.GetRuntime(),
                                        reinterpret_cast<const char*>(buffer_.data()), buffer_.size());
    return row;
}

}  // namespace norvik::ctl
