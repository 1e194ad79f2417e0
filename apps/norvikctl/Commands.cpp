#include "apps/norvikctl/Commands.h"

#include <cstdio>
#include <memory>
#include <optional>

#include <nlohmann/json.hpp>

#include "apps/norvikctl/CsvLog.h"
#include "apps/norvikctl/CtlError.h"
#include "apps/norvikctl/CtlMachine.h"
#include "discovery/DeviceRecords.h"
#include "runtime/Utf8.h"
#include "session/UnitSession.h"

namespace norvik::ctl {

namespace {

using Json = nlohmann::ordered_json;

// Everything the tool prints is UTF-8; text from devices has been decoded
// from the ANSI code page on the way.
void PrintLine(std::FILE* stream, const std::string& utf8)
{
    std::fwrite(utf8.data(), 1, utf8.size(), stream);
    std::fputc('\n', stream);
}

void PrintOut(const std::wstring& text) { PrintLine(stdout, WideToUtf8(text)); }
void PrintErr(const std::wstring& text) { PrintLine(stderr, WideToUtf8(text)); }

void PrintJson(const Json& value)
{
    PrintLine(stdout, value.dump(-1, ' ', false, Json::error_handler_t::replace));
}

std::string Hex32(std::uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", value);
    return text;
}

std::string Hex16(std::uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%04X", value);
    return text;
}

std::unique_ptr<CtlMachine> MakeMachine(const GlobalOptions& global)
{
    std::string error;
    auto machine = CtlMachine::Create(ChosenSimulation(global.sim, global.simGiven), error);
    if (!machine)
        FailUsage("norvikctl: " + error);
    if (global.debug)
        machine->GetRuntime().OpenConsole();
    return machine;
}

// The parser already refuses --guid together with --device or --unit.
void CheckUnitChoice(const UnitOptions& unit)
{
    if (!unit.hasGuid && !(unit.hasDevice && unit.hasUnit))
        FailUsage("norvikctl: name the unit with --guid {...} or with --device N --unit K");
}

// Gives up with the session's text for the operator, byte for byte: main
// ends the line, so a text that ends its own line leaves that to main.
[[noreturn]] void FailWith(int exitCode, const std::wstring& text, const std::string& prefix = "")
{
    std::string message = prefix + WideToUtf8(text);
    if (!message.empty() && message.back() == '\n')
        message.pop_back();
    throw CtlError{exitCode, std::move(message)};
}

// A refused conversion stops the command, as any other failed step does.
void CheckStep(const SessionResult& result)
{
    if (result.failure == SessionFailure::Conversion)
        FailWith(kExitFailed, result.text, "norvikctl: a text conversion failed: ");
}

// The selector text, refused before any device is touched.
void CheckSelector(const std::string& cs)
{
    std::uint8_t selector = 0;
    const SessionResult checked = UnitSession::CheckSelectorText(Utf8ToWide(cs), selector);
    if (!checked)
        FailWith(kExitUsage, checked.text);
}

// Opens the unit as the dialog's picker would: a typed GUID, or the listed
// unit at these positions of a fresh discovery run.
void OpenUnit(UnitSession& session, const UnitOptions& unit)
{
    SessionResult opened;
    if (unit.hasGuid) {
        opened = session.OpenByTypedText(Utf8ToWide(unit.guid));
    } else {
        session.Discover();
        opened = session.OpenListed(unit.device, unit.unit);
    }
    CheckStep(opened);
    if (opened.failure == SessionFailure::BadGuidText)
        FailWith(kExitUsage, opened.text);
    if (!opened)
        FailWith(kExitFailed, opened.text, "norvikctl: ");
}

// The length probe of the selector; the dialog's message when it fails.
void Prepare(UnitSession& session, const std::string& cs)
{
    const SessionResult prepared = session.Prepare(Utf8ToWide(cs));
    CheckStep(prepared);
    if (!prepared)
        FailWith(kExitFailed, prepared.text);
}

Json RowJson(const TransferRecord& row, std::uint16_t length)
{
    Json object;
    object["line"] = row.lineNumber;
    object["direct"] = WideToUtf8(row.direct);
    object["dataHex"] = WideToUtf8(row.dataHex);
    object["dataString"] = WideToUtf8(row.dataString);
    object["device"] = WideToUtf8(row.device);
    object["xuGuid"] = WideToUtf8(row.xuGuid);
    object["ok"] = row.ok;
    object["result"] = Hex32(std::uint32_t(row.result));
    object["selector"] = row.selector;
    object["length"] = length;
    return object;
}

// Counts and logs the transfers of one command.
class TransferRun {
public:
    TransferRun(CtlMachine& machine, const TransferOptions& options)
    {
        if (!options.logPath.empty())
            log_.emplace(machine.GetRuntime(), options.logPath);
        nextLine_ = log_ ? log_->NextLine() : 1;
    }

    unsigned TakeLine() { return nextLine_++; }

    void Record(const TransferRecord& row)
    {
        if (log_)
            log_->Append(row.Cells());
        if (!row.ok)
            failed_ = true;
    }

    void MarkFailed() { failed_ = true; }
    int ExitCode() const { return failed_ ? kExitFailed : kExitSuccess; }

private:
    std::optional<CsvLog> log_;
    unsigned nextLine_ = 1;
    bool failed_ = false;
};

std::wstring SendText(const TransferOptions& options)
{
    if (!options.hasText) {
        std::string joined;
        for (const std::string& word : options.hex) {
            if (!joined.empty())
                joined += ' ';
            joined += word;
        }
        return Utf8ToWide(joined);
    }
    return Utf8ToWide(options.text);
}

}  // namespace

int RunList(const GlobalOptions& global, bool json)
{
    auto machine = MakeMachine(global);
    UnitSession session(machine->Discovery());
    session.Discover();
    const DeviceTable& table = session.Table();

    Json devices = Json::array();
    for (std::uint32_t i = 0; i < table.deviceCount; ++i) {
        const DeviceTableEntry& device = *table.Device(i);
        if (json) {
            Json units = Json::array();
            for (std::uint32_t k = 0; k < device.unitCount; ++k) {
                const ExtensionUnitInfo& unit = *table.Unit(i, k);
                units.push_back(Json{{"unit", k},
                                     {"guid", FormatGuid(unit.guid)},
                                     {"unitId", unit.unitId},
                                     {"nodeId", unit.nodeId},
                                     {"matched", unit.matched != 0}});
            }
            devices.push_back(Json{{"device", i},
                                   {"friendlyName", WideToUtf8(device.FriendlyName())},
                                   {"displayName", WideToUtf8(device.DisplayName())},
                                   {"vendorId", Hex16(device.vendorId)},
                                   {"productId", Hex16(device.productId)},
                                   {"hasMatchedUnit", device.hasMatchedUnit != 0},
                                   {"units", std::move(units)}});
            continue;
        }
        wchar_t line[400];
        std::swprintf(line, 400, L"device %u: %ls (VID %04X, PID %04X)%ls", unsigned(i),
                      std::wstring(device.FriendlyName()).c_str(), unsigned(device.vendorId),
                      unsigned(device.productId),
                      device.unitCount == 0        ? L", no extension unit"
                      : device.hasMatchedUnit == 0 ? L", no matched unit"
                                                   : L"");
        PrintOut(line);
        for (std::uint32_t k = 0; k < device.unitCount; ++k) {
            const ExtensionUnitInfo& unit = *table.Unit(i, k);
            std::swprintf(line, 400, L"  unit %u: %ls bUnitID=%u node=%u %ls", unsigned(k),
                          FormatGuidWide(unit.guid).c_str(), unsigned(unit.unitId),
                          unsigned(unit.nodeId), unit.matched ? L"matched" : L"not matched");
            PrintOut(line);
        }
    }
    if (json)
        PrintJson(Json{{"devices", std::move(devices)}});
    else if (table.deviceCount == 0)
        PrintErr(L"norvikctl: no video capture device found");
    return kExitSuccess;
}

int RunDiscover(const GlobalOptions& global)
{
    auto machine = MakeMachine(global);
    UnitSession session(machine->Discovery());
    session.Discover();
    const DeviceTable& table = session.Table();
    unsigned units = 0, matched = 0;
    for (std::uint32_t i = 0; i < table.deviceCount; ++i)
        for (std::uint32_t k = 0; k < table.Device(i)->unitCount; ++k) {
            ++units;
            matched += table.Unit(i, k)->matched != 0 ? 1 : 0;
        }
    std::printf("%u video capture devices, %u extension units, %u matched\n",
                unsigned(table.deviceCount), units, matched);
    return kExitSuccess;
}

int RunLen(const GlobalOptions& global, const UnitOptions& unit, bool json)
{
    CheckUnitChoice(unit);
    CheckSelector(unit.cs);
    auto machine = MakeMachine(global);
    UnitSession session(machine->Discovery());
    session.KeepLog(false);  // the --log file is the log
    OpenUnit(session, unit);
    Prepare(session, unit.cs);
    if (json) {
        std::wstring device, xuGuid;
        CheckStep(session.DescribeSource(session.OpenedAs(), device, xuGuid));
        PrintJson(Json{{"selector", session.Selector()},
                       {"length", session.Length()},
                       {"device", WideToUtf8(device)},
                       {"xuGuid", WideToUtf8(xuGuid)}});
    } else {
        std::printf("%u\n", unsigned(session.Length()));
    }
    return kExitSuccess;
}

int RunGet(const GlobalOptions& global, const UnitOptions& unit, const TransferOptions& options)
{
    CheckUnitChoice(unit);
    CheckSelector(unit.cs);
    auto machine = MakeMachine(global);
    TransferRun run(*machine, options);
    UnitSession session(machine->Discovery());
    session.KeepLog(false);  // the --log file is the log
    OpenUnit(session, unit);
    Prepare(session, unit.cs);
    const std::wstring cs = Utf8ToWide(unit.cs);

    for (unsigned i = 0; i < options.repeat; ++i) {
        if (i > 0 && options.intervalMs > 0)
            machine->GetRuntime().Sleep(options.intervalMs);
        TransferRecord row;
        CheckStep(session.Get(cs, run.TakeLine(), session.OpenedAs(), row));
        run.Record(row);
        if (options.json) {
            PrintJson(RowJson(row, session.Length()));
        } else if (!row.ok) {
            PrintErr(row.dataHex);
        } else {
            PrintOut(row.dataHex);
            if (options.showText)
                PrintOut(row.dataString);
        }
    }
    return run.ExitCode();
}

int RunSet(const GlobalOptions& global, const UnitOptions& unit, const TransferOptions& options)
{
    CheckUnitChoice(unit);
    if (options.hasHex == options.hasText)
        FailUsage("norvikctl: give the data with either --hex or --text");
    const std::wstring text = SendText(options);
    const SessionResult data = UnitSession::CheckSendText(text);
    if (!data)
        FailWith(kExitUsage, data.text);
    CheckSelector(unit.cs);
    auto machine = MakeMachine(global);
    TransferRun run(*machine, options);
    UnitSession session(machine->Discovery());
    session.KeepLog(false);  // the --log file is the log
    OpenUnit(session, unit);
    Prepare(session, unit.cs);
    const std::wstring cs = Utf8ToWide(unit.cs);

    for (unsigned i = 0; i < options.repeat; ++i) {
        if (i > 0 && options.intervalMs > 0)
            machine->GetRuntime().Sleep(options.intervalMs);
        TransferRecord row;
        CheckStep(session.Set(cs, text, options.hasHex, run.TakeLine(), session.OpenedAs(), row));
        run.Record(row);
        if (options.json)
            PrintJson(RowJson(row, session.Length()));
        else if (row.ok)
            PrintOut(row.dataHex);
        else
            PrintErr(row.dataHex);
        if (!options.verify || !row.ok)
            continue;

        TransferRecord back;
        CheckStep(session.Get(cs, run.TakeLine(), session.OpenedAs(), back));
        run.Record(back);
        const bool verified = back.ok && back.bytes == row.bytes;
        if (!verified)
            run.MarkFailed();
        if (options.json) {
            Json object = RowJson(back, session.Length());
            object["verified"] = verified;
            PrintJson(object);
        } else if (!back.ok) {
            PrintErr(back.dataHex);
        } else if (!verified) {
            PrintErr(L"norvikctl: read back " + back.dataHex + L", not the bytes sent");
        }
    }
    return run.ExitCode();
}

}  // namespace norvik::ctl
