#include "session/UnitSession.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "channel/ChannelWorker.h"
#include "channel/NodeRequests.h"
#include "discovery/DiscoveryRun.h"
#include "runtime/Diagnostics.h"
#include "session/Codecs.h"
#include "session/GuidText.h"
#include "session/OperatorTexts.h"
#include "session/TransferOps.h"

namespace norvik {

namespace {

SessionResult Succeeded() { return SessionResult{}; }

SessionResult Failed(SessionFailure failure, std::wstring text, HResult result = 0)
{
    return SessionResult{false, failure, result, std::move(text)};
}

// A conversion the code page refused: the operation fails with the
// system's text.
template <class Value>
SessionResult Refused(const Converted<Value>& conversion)
{
    return Failed(SessionFailure::Conversion, conversion.failureText);
}

}  // namespace

UnitSession::UnitSession(const DiscoveryPorts& ports)
    : discovery_(ports),
      channelPorts_{ports.captureStack, ports.runtime},
      buffer_(new std::uint8_t[kTransferBufferSize]),
      requestTimeLimitMs_(kWorkerTimeLimitMs)
{
}

UnitSession::~UnitSession() { CloseChannel(channel_); }

void UnitSession::Discover() { RefreshDeviceTable(discovery_, ProcessDeviceList(), table_); }

void UnitSession::ReleaseDevices()
{
    ClearDeviceList(ProcessDeviceList());
    table_.Release();
}

std::vector<ListedUnit> UnitSession::ListedUnits() const
{
    std::vector<ListedUnit> items;
    for (std::uint32_t i = 0; i < table_.deviceCount; ++i) {
        const DeviceTableEntry& device = *table_.Device(i);
        if (device.hasMatchedUnit == 0 || device.unitCount == 0)
            continue;
        // Item data holds 8 bits per position: anything beyond could only
        // lead to another entry, so it is left out of the list.
        if (i > kMaxItemPosition) {
            DiagPrint(GetRuntime(), "picker: device %u is beyond position 255 and is not listed\n", i);
            continue;
        }
        for (std::uint32_t k = 0; k < device.unitCount; ++k) {
            if (k > kMaxItemPosition) {
                DiagPrint(GetRuntime(), "picker: units of device %u beyond position 255 are not listed\n", i);
                break;
            }
            const std::wstring name(device.FriendlyName());
            items.push_back(ListedUnit{i, k, i * 256 + k,
                                       FormatMessageText(texts::kListedUnitItem, name.c_str(),
                                                         FormatGuidWide(table_.Unit(i, k)->guid).c_str())});
        }
    }
    return items;
}

SessionResult UnitSession::CheckListed(std::uint32_t device, std::uint32_t unit) const
{
    const DeviceTableEntry* entry = table_.Device(device);
    if (!entry)
        return Failed(SessionFailure::NoSuchDevice, FormatMessageText(texts::kNoSuchDevice, unsigned(device),
                                                                      unsigned(table_.deviceCount)));
    if (!table_.Unit(device, unit))
        return Failed(SessionFailure::NoSuchUnit,
                      FormatMessageText(texts::kNoSuchUnit, unsigned(device), unsigned(unit),
                                        unsigned(entry->unitCount)));
    if (entry->hasMatchedUnit == 0)
        return Failed(SessionFailure::NotListed, FormatMessageText(texts::kNotListed, unsigned(device)));
    if (device > kMaxItemPosition || unit > kMaxItemPosition)
        return Failed(SessionFailure::NotListed,
                      FormatMessageText(texts::kBeyondItemData, unsigned(device), unsigned(unit)));
    return Succeeded();
}

std::optional<std::wstring> UnitSession::ListedUnitInfo(std::uint32_t device, std::uint32_t unit) const
{
    const DeviceTableEntry* entry = table_.Device(device);
    const ExtensionUnitInfo* info = table_.Unit(device, unit);
    if (!entry || !info)
        return std::nullopt;
    return FormatMessageText(texts::kListedUnitInfo, unsigned(entry->vendorId), unsigned(entry->productId),
                             int(info->unitId), int(info->nodeId));
}

bool UnitSession::Close()
{
    if (channel_)
        CloseChannel(channel_);
    const bool hadLength = csLength_ != 0;
    csLength_ = 0;
    return hadLength;
}

SessionResult UnitSession::OpenListed(std::uint32_t device, std::uint32_t unit)
{
    SessionResult listed = CheckListed(device, unit);
    if (!listed)
        return listed;
    const DeviceTableEntry& entry = *table_.Device(device);
    const ExtensionUnitInfo& info = *table_.Unit(device, unit);
    const Converted<std::string> displayName = EncodeAnsiText(GetRuntime(), entry.DisplayName());
    if (!displayName)
        return Refused(displayName);
    channel_ = OpenChannelOnDevice(channelPorts_, displayName.value.c_str(), &info.guid,
                                   std::uint8_t(info.nodeId & 0xFF));
    if (!channel_)
        return Failed(SessionFailure::OpenFailed,
                      FormatMessageText(texts::kListedOpenFailed, unsigned(device), unsigned(unit),
                                        texts::kOpenFailed));
    openedAs_ = RowSource{false, std::wstring(), device, unit};
    ApplyTimeLimit();
    return Succeeded();
}

SessionResult UnitSession::ParseTypedGuid(const std::wstring& text, Guid& guid)
{
    const std::optional<Guid> parsed = ParseXuGuidText(text);
    if (!parsed)
        return Failed(SessionFailure::BadGuidText, texts::kGuidFormat);
    guid = *parsed;
    return Succeeded();
}

SessionResult UnitSession::OpenTyped(const Guid& guid, const std::wstring& typedText)
{
    channel_ = OpenChannelByGuid(channelPorts_, &guid);
    return TypedOpenResult(typedText);
}

SessionResult UnitSession::OpenTypedOn(std::uint32_t device, const Guid& guid, const std::wstring& typedText)
{
    const DeviceTableEntry* entry = table_.Device(device);
    if (!entry)
        return Failed(SessionFailure::NoSuchDevice, FormatMessageText(texts::kNoSuchDevice, unsigned(device),
                                                                      unsigned(table_.deviceCount)));
    const Converted<std::string> displayName = EncodeAnsiText(GetRuntime(), entry->DisplayName());
    if (!displayName)
        return Refused(displayName);
    channel_ = OpenChannelByGuidOnDevice(channelPorts_, displayName.value.c_str(), &guid);
    return TypedOpenResult(typedText);
}

SessionResult UnitSession::TypedOpenResult(const std::wstring& typedText)
{
    if (!channel_)
        return Failed(SessionFailure::OpenFailed,
                      FormatMessageText(texts::kNoDeviceAnswers, typedText.c_str()));
    openedAs_ = RowSource{true, typedText, 0, 0};
    ApplyTimeLimit();
    return Succeeded();
}

void UnitSession::ApplyTimeLimit()
{
    if (channel_ && channel_->worker)
        channel_->worker->timeLimitMs = requestTimeLimitMs_;
}

SessionResult UnitSession::OpenByTypedText(const std::wstring& text)
{
    Guid guid{};
    SessionResult parsed = ParseTypedGuid(text, guid);
    if (!parsed)
        return parsed;
    Close();
    return OpenTyped(guid, text);
}

SessionResult UnitSession::TypedUnitInfo(std::wstring& line) const
{
    line.clear();
    if (!channel_ || channel_->deviceInfo.friendlyName[0] == 0)
        return Succeeded();
    const DeviceInfo& info = channel_->deviceInfo;
    const Converted<std::wstring> name =
        DecodeAnsiText(GetRuntime(), info.friendlyName, sizeof info.friendlyName);
    if (!name)
        return Refused(name);
    line = FormatMessageText(texts::kTypedUnitInfo, unsigned(info.vendorId), unsigned(info.productId),
                             int(channel_->nodeId), name.value.c_str());
    return Succeeded();
}

SessionResult UnitSession::CheckSelectorText(const std::wstring& text, std::uint8_t& selector)
{
    selector = 0;
    if (text.empty())
        return Failed(SessionFailure::EmptySelector, texts::kSelectorEmpty);
    selector = ReduceSelectorText(text);
    if (selector == 0)
        return Failed(SessionFailure::ZeroSelector, texts::kSelectorZero);
    return Succeeded();
}

SessionResult UnitSession::Prepare(const std::wstring& csText, bool* probed)
{
    if (probed)
        *probed = false;
    if (!channel_)
        return Failed(SessionFailure::NoChannel, texts::kDeviceOpenFailed);
    std::uint8_t selector = 0;
    SessionResult checked = CheckSelectorText(csText, selector);
    if (checked.failure == SessionFailure::EmptySelector)
        return checked;
    // An unchanged text keeps its length: no probe.
    if (csText == lastCsText_ && csLength_ != 0)
        return Succeeded();
    lastCsText_ = csText;
    if (!checked) {
        csLength_ = 0;
        return checked;
    }
    csLength_ = ProbeControlLength(channelPorts_, *channel_, selector);
    if (csLength_ != 0) {
        csSelector_ = selector;
        if (probed)
            *probed = true;
        return Succeeded();
    }
    // The selector and the length display keep what they held.
    const HResult result = channel_->lastResult;
    char buffer[128] = {};
    FormatSystemError(GetRuntime(), std::uint32_t(result), buffer, sizeof buffer);
    const Converted<std::wstring> system = DecodeAnsiText(GetRuntime(), buffer, sizeof buffer);
    if (!system)
        return Refused(system);
    return Failed(SessionFailure::LengthProbe,
                  FormatMessageText(texts::kLengthProbeFailed, system.value.c_str()), result);
}

SessionResult UnitSession::CheckSendText(const std::wstring& text)
{
    if (text.empty())
        return Failed(SessionFailure::EmptyData, texts::kSetDataEmpty);
    return Succeeded();
}

SessionResult UnitSession::DescribeSource(const RowSource& source, std::wstring& device,
                                          std::wstring& xuGuid) const
{
    device.clear();
    xuGuid.clear();
    if (source.typed) {
        // The device the channel found, when it has a name.
        if (!channel_ || channel_->deviceInfo.friendlyName[0] == 0)
            return Succeeded();
        const DeviceInfo& info = channel_->deviceInfo;
        Converted<std::wstring> name =
            DecodeAnsiText(GetRuntime(), info.friendlyName, sizeof info.friendlyName);
        if (!name)
            return Refused(name);
        device = std::move(name.value);
        xuGuid = source.typedText;
        return Succeeded();
    }
    const DeviceTableEntry* entry = table_.Device(source.device);
    const ExtensionUnitInfo* unit = table_.Unit(source.device, source.unit);
    if (entry && unit) {
        device = std::wstring(entry->FriendlyName());
        xuGuid = FormatGuidWide(unit->guid);
    }
    return Succeeded();
}

SessionResult UnitSession::BeginRecord(bool isSet, unsigned line, const RowSource& source,
                                       TransferRecord& record) const
{
    record = TransferRecord{};
    record.isSet = isSet;
    record.lineNumber = line;
    record.selector = csSelector_;
    record.line = std::to_wstring(line);
    record.direct = DirectionText(isSet, csSelector_);
    return DescribeSource(source, record.device, record.xuGuid);
}

// Only the bytes a request with the current length can send or receive: a
// request never reaches past them, so zeroing all 64 KiB on every transfer
// would buy nothing.
void UnitSession::ClearBuffer() { std::memset(buffer_.get(), 0, csLength_); }

SessionResult UnitSession::BuildSendData(const std::wstring& text, bool hexMode, std::wstring& dataString)
{
    ClearBuffer();
    Converted<std::wstring> data =
        ::norvik::BuildSendData(GetRuntime(), text, hexMode, buffer_.get(), csLength_);
    if (!data)
        return Refused(data);
    dataString = std::move(data.value);
    return Succeeded();
}

SessionResult UnitSession::Request(bool isSet)
{
    if (!channel_)
        return Failed(SessionFailure::NoChannel, texts::kDeviceOpenFailed);
    if (RequestXuProperty(channelPorts_, channel_.get(), csSelector_, buffer_.get(), csLength_, isSet))
        return SessionResult{true, SessionFailure::None, channel_->lastResult, std::wstring()};
    return Failed(SessionFailure::Request, std::wstring(), channel_->lastResult);
}

std::wstring UnitSession::HexCellText() const
{
    return csLength_ != 0 ? FormatHexBytes(buffer_.get(), csLength_) : std::wstring();
}

SessionResult UnitSession::FailureCellText(const wchar_t* failureText, std::wstring& cell) const
{
    Converted<std::wstring> text = ::norvik::FailureCellText(GetRuntime(), failureText, channel_ != nullptr,
                                                             channel_ ? channel_->lastResult : 0);
    if (!text)
        return Refused(text);
    cell = std::move(text.value);
    return Succeeded();
}

SessionResult UnitSession::ReceivedText(std::wstring& text) const
{
    Converted<std::wstring> received =
        DecodeAnsiText(GetRuntime(), reinterpret_cast<const char*>(buffer_.get()), csLength_);
    if (!received)
        return Refused(received);
    text = std::move(received.value);
    return Succeeded();
}

SessionResult UnitSession::Finish(bool isSet, TransferRecord& record)
{
    SessionResult outcome = Request(isSet);
    record.ok = outcome.ok;
    record.result = outcome.result;
    record.bytes.assign(buffer_.get(), buffer_.get() + csLength_);
    SessionResult cells = Succeeded();
    if (outcome) {
        record.dataHex = HexCellText();
        if (!isSet)
            cells = ReceivedText(record.dataString);
    } else {
        cells = FailureCellText(isSet ? texts::kSetFailed : texts::kGetFailed, record.dataHex);
        outcome.text = record.dataHex;
    }
    if (!cells)
        return cells;
    if (keepLog_)
        log_.push_back(record);
    return outcome;
}

SessionResult UnitSession::Set(const std::wstring& csText, const std::wstring& data, bool hexMode,
                               unsigned line, const RowSource& source, TransferRecord& record)
{
    SessionResult step = Prepare(csText);
    if (!step)
        return step;
    if (!(step = CheckSendText(data)))
        return step;
    if (!(step = BeginRecord(true, line, source, record)))
        return step;
    if (!(step = BuildSendData(data, hexMode, record.dataString)))
        return step;
    return Finish(true, record);
}

SessionResult UnitSession::Get(const std::wstring& csText, unsigned line, const RowSource& source,
                               TransferRecord& record)
{
    SessionResult step = Prepare(csText);
    if (!step)
        return step;
    ClearBuffer();
    if (!(step = BeginRecord(false, line, source, record)))
        return step;
    return Finish(false, record);
}

SessionResult UnitSession::CsvBytes(const std::vector<std::wstring>& titles,
                                    const std::vector<std::vector<std::wstring>>& rows,
                                    std::string& bytes) const
{
    bytes.clear();
    Converted<std::string> line = CsvLine(GetRuntime(), titles);
    std::string all = line.value;
    for (std::size_t r = 0; r < rows.size() && line; ++r) {
        line = CsvLine(GetRuntime(), rows[r]);
        all += line.value;
    }
    if (!line)
        return Refused(line);
    bytes = std::move(all);
    return Succeeded();
}

SessionResult UnitSession::SaveCsv(const std::vector<std::wstring>& titles,
                                   const std::vector<std::vector<std::wstring>>& rows, std::wstring* fileName)
{
    const std::wstring name = CsvFileName(GetRuntime().Now());
    if (fileName)
        *fileName = name;
    return SaveCsvAs(name, titles, rows);
}

SessionResult UnitSession::SaveCsvAs(const std::wstring& name, const std::vector<std::wstring>& titles,
                                     const std::vector<std::vector<std::wstring>>& rows)
{
    Runtime& runtime = GetRuntime();
    auto file = runtime.CreateOutputFile(name);
    if (!file)
        return Failed(SessionFailure::FileNotCreated,
                      FormatMessageText(texts::kCreateFileFailed, name.c_str()));
    // A failed write or close is detected: the incomplete file is removed.
    bool written = false;
    Converted<std::string> line = CsvLine(runtime, titles);
    if (line) {
        written = file->Write(line.value.data(), line.value.size());
        for (std::size_t r = 0; r < rows.size() && written; ++r) {
            line = CsvLine(runtime, rows[r]);
            if (!line)
                break;
            written = file->Write(line.value.data(), line.value.size());
        }
    }
    const bool closed = file->Close();
    file.reset();
    if (!line) {
        runtime.RemoveFile(name);
        return Refused(line);
    }
    if (!written || !closed) {
        runtime.RemoveFile(name);
        return Failed(SessionFailure::FileNotWritten, FormatMessageText(texts::kSaveFailed, name.c_str()));
    }
    return SessionResult{true, SessionFailure::None, 0, FormatMessageText(texts::kSaved, name.c_str())};
}

SessionResult UnitSession::SaveLog(std::wstring* fileName, const std::wstring& name)
{
    if (log_.empty())
        return Failed(SessionFailure::EmptyLog, texts::kLogEmpty);
    std::vector<std::vector<std::wstring>> rows;
    rows.reserve(log_.size());
    for (const TransferRecord& record : log_)
        rows.push_back(record.Cells());
    if (name.empty())
        return SaveCsv(LogColumnTitles(), rows, fileName);
    if (fileName)
        *fileName = name;
    return SaveCsvAs(name, LogColumnTitles(), rows);
}

}  // namespace norvik
