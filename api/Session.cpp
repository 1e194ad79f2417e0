#include <norvik/Session.h>

#include <new>

#include "api/PlatformImpl.h"
#include "runtime/Guid.h"
#include "runtime/ResultCodes.h"
#include "runtime/Utf8.h"
#include "session/OperatorTexts.h"
#include "session/TransferOps.h"
#include "session/UnitSession.h"

namespace norvik {

namespace {

Failure ToPublic(SessionFailure failure)
{
    switch (failure) {
    case SessionFailure::None:
        return Failure::None;
    case SessionFailure::Conversion:
        return Failure::Conversion;
    case SessionFailure::NoSuchDevice:
        return Failure::NoSuchDevice;
    case SessionFailure::NoSuchUnit:
        return Failure::NoSuchUnit;
    case SessionFailure::NotListed:
        return Failure::NotListed;
    case SessionFailure::BadGuidText:
        return Failure::BadGuidText;
    case SessionFailure::OpenFailed:
        return Failure::OpenFailed;
    case SessionFailure::NoChannel:
        return Failure::NoChannel;
    case SessionFailure::EmptySelector:
        return Failure::EmptySelector;
    case SessionFailure::ZeroSelector:
        return Failure::ZeroSelector;
    case SessionFailure::LengthProbe:
        return Failure::LengthProbe;
    case SessionFailure::EmptyData:
        return Failure::EmptyData;
    case SessionFailure::Request:
        return Failure::Request;
    case SessionFailure::EmptyLog:
        return Failure::EmptyLog;
    case SessionFailure::FileNotCreated:
        return Failure::FileNotCreated;
    case SessionFailure::FileNotWritten:
        return Failure::FileNotWritten;
    case SessionFailure::UnitInfo:
        return Failure::UnitInfo;
    }
    return Failure::None;
}

Result ToPublic(const SessionResult& result)
{
    return Result{result.ok, ToPublic(result.failure), result.result, WideToUtf8(result.text)};
}

TransferRow ToPublic(const TransferRecord& record)
{
    TransferRow row;
    row.isSet = record.isSet;
    row.ok = record.ok;
    row.lineNumber = record.lineNumber;
    row.selector = record.selector;
    row.hresult = record.result;
    row.bytes = record.bytes;
    row.line = WideToUtf8(record.line);
    row.direct = WideToUtf8(record.direct);
    row.dataHex = WideToUtf8(record.dataHex);
    row.dataString = WideToUtf8(record.dataString);
    row.device = WideToUtf8(record.device);
    row.xuGuid = WideToUtf8(record.xuGuid);
    return row;
}

ControlQuery ToSession(QueryKind kind)
{
    switch (kind) {
    case QueryKind::Info:
        return ControlQuery::Info;
    case QueryKind::Min:
        return ControlQuery::Min;
    case QueryKind::Max:
        return ControlQuery::Max;
    case QueryKind::Res:
        return ControlQuery::Res;
    case QueryKind::Def:
        return ControlQuery::Def;
    }
    return ControlQuery::Info;
}

ControlValue ToPublic(const QueryItem& item)
{
    return ControlValue{item.available, item.bytes, item.result, WideToUtf8(item.failureText)};
}

// Selector 0 addresses the unit-information property, not a control.
Result ZeroSelectorResult()
{
    return Result{false, Failure::ZeroSelector, 0, WideToUtf8(texts::kSelectorZero)};
}

// Runs one operation; running out of memory abandons it with a result.
template <class Operation>
Result Guarded(Operation&& operation)
{
    try {
        return operation();
    } catch (const std::bad_alloc&) {
        return OutOfMemoryResult();
    }
}

}  // namespace

Result OutOfMemoryResult()
{
    return Result{false, Failure::OutOfMemory, hr::kOutOfMemory, WideToUtf8(texts::kOutOfMemory)};
}

struct Session::Impl {
    explicit Impl(Platform::Impl& platform) : platform(platform), session(platform.Ports()) {}

    // The session logs every transfer it made; the public rows follow it.
    Result Transferred(const SessionResult& result, TransferRow* row)
    {
        if (session.Log().size() > rows.size()) {
            rows.push_back(ToPublic(session.Log().back()));
            if (row)
                *row = rows.back();
        }
        return ToPublic(result);
    }

    Platform::Impl& platform;
    UnitSession session;
    std::vector<DeviceRecord> devices;
    std::vector<TransferRow> rows;
};

Session::Session(Platform& platform) : impl_(std::make_unique<Impl>(*platform.impl_)) {}

Session::~Session() = default;

Result Session::Discover(std::string* diagnostics)
{
    if (!diagnostics)
        return Discover();
    impl_->platform.diagnostics.Begin();
    Result result = Discover();
    *diagnostics = impl_->platform.diagnostics.End();
    return result;
}

Result Session::Discover()
{
    return Guarded([&] {
        UnitSession& session = impl_->session;
        session.Discover();
        const DeviceTable& table = session.Table();
        std::vector<DeviceRecord> devices;
        for (std::uint32_t i = 0; i < table.deviceCount; ++i) {
            const DeviceTableEntry& entry = *table.Device(i);
            DeviceRecord device;
            device.position = i;
            device.friendlyName = WideToUtf8(std::wstring(entry.FriendlyName()));
            device.displayName = WideToUtf8(std::wstring(entry.DisplayName()));
            device.vendorId = entry.vendorId;
            device.productId = entry.productId;
            device.hasMatchedUnit = entry.hasMatchedUnit != 0;
            if (const DeviceAddress* address = table.Address(i)) {
                device.location = WideToUtf8(address->location);
                device.videoNode = WideToUtf8(address->videoNode);
                device.serial = WideToUtf8(address->serial);
            }
            for (std::uint32_t k = 0; k < entry.unitCount; ++k) {
                const ExtensionUnitInfo& unit = *table.Unit(i, k);
                device.units.push_back(UnitRecord{k, FormatGuid(unit.guid), unsigned(unit.unitId),
                                                  unsigned(unit.nodeId), unit.matched != 0});
            }
            devices.push_back(std::move(device));
        }
        impl_->devices = std::move(devices);
        return Result{};
    });
}

const std::vector<DeviceRecord>& Session::Devices() const { return impl_->devices; }

Result Session::OpenListed(unsigned device, unsigned unit)
{
    return Guarded([&] {
        impl_->session.Close();
        return ToPublic(impl_->session.OpenListed(device, unit));
    });
}

Result Session::OpenByGuid(const std::string& typedText)
{
    return Guarded([&] { return ToPublic(impl_->session.OpenByTypedText(Utf8ToWide(typedText))); });
}

void Session::Close() { impl_->session.Close(); }

bool Session::IsOpen() const { return impl_->session.HasChannel(); }

Result Session::Probe(const std::string& cs, std::uint16_t* length)
{
    return Guarded([&] {
        const SessionResult prepared = impl_->session.Prepare(Utf8ToWide(cs));
        if (length)
            *length = prepared ? impl_->session.Length() : 0;
        return ToPublic(prepared);
    });
}

Result Session::Set(const std::string& cs, const std::string& data, DataForm form, TransferRow* row)
{
    return Guarded([&] {
        TransferRecord record;
        UnitSession& session = impl_->session;
        const SessionResult result =
            session.Set(Utf8ToWide(cs), Utf8ToWide(data), form == DataForm::Hex,
                        unsigned(session.Log().size() + 1), session.OpenedAs(), record);
        return impl_->Transferred(result, row);
    });
}

Result Session::Get(const std::string& cs, TransferRow* row)
{
    return Guarded([&] {
        TransferRecord record;
        UnitSession& session = impl_->session;
        const SessionResult result =
            session.Get(Utf8ToWide(cs), unsigned(session.Log().size() + 1), session.OpenedAs(), record);
        return impl_->Transferred(result, row);
    });
}

Result Session::Query(std::uint8_t selector, QueryKind kind, std::vector<std::uint8_t>* bytes)
{
    if (bytes)
        bytes->clear();
    return Guarded([&] {
        if (selector == 0 && IsOpen())
            return ZeroSelectorResult();
        QueryItem item;
        const SessionResult result = impl_->session.Query(selector, ToSession(kind), item);
        if (bytes && result)
            *bytes = std::move(item.bytes);
        return ToPublic(result);
    });
}

Result Session::Describe(std::uint8_t selector, ControlRecord* description)
{
    return Guarded([&] {
        ControlRecord record;
        record.selector = selector;
        if (description)
            *description = record;
        if (selector == 0 && IsOpen())
            return ZeroSelectorResult();
        ControlDescription described;
        const SessionResult result = impl_->session.Describe(selector, described);
        if (!result)
            return ToPublic(result);
        record.length = described.length;
        if (described.info.available && !described.info.bytes.empty())
            record.capabilities = InfoCapabilities(described.info.bytes[0]);
        ControlValue* values[] = {&record.len, &record.info, &record.cur, &record.min,
                                  &record.max, &record.res,  &record.def};
        std::size_t next = 0;
        for (ControlItem item : kControlItems)
            *values[next++] = ToPublic(described.Item(item));
        if (description)
            *description = std::move(record);
        return Result{};
    });
}

Result Session::DeclaredSelectors(std::vector<std::uint8_t>* selectors)
{
    if (selectors)
        selectors->clear();
    return Guarded([&] {
        std::vector<std::uint8_t> declared;
        const Result result = ToPublic(impl_->session.DeclaredSelectors(declared));
        if (selectors)
            *selectors = std::move(declared);
        return result;
    });
}

const std::vector<TransferRow>& Session::Rows() const { return impl_->rows; }

void Session::ClearRows()
{
    impl_->session.ClearLog();
    impl_->rows.clear();
}

Result Session::CsvBytes(std::string* bytes) const
{
    return Guarded([&] {
        std::vector<std::vector<std::wstring>> cells;
        for (const TransferRecord& record : impl_->session.Log())
            cells.push_back(record.Cells());
        std::string csv;
        const SessionResult result = impl_->session.CsvBytes(LogColumnTitles(), cells, csv);
        if (bytes)
            *bytes = std::move(csv);
        return ToPublic(result);
    });
}

Result Session::SaveLog(const std::string& path, std::string* fileName)
{
    return Guarded([&] {
        std::wstring name;
        const SessionResult result = impl_->session.SaveLog(&name, Utf8ToWide(path));
        if (fileName)
            *fileName = WideToUtf8(name);
        return ToPublic(result);
    });
}

}  // namespace norvik
