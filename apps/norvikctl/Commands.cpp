#include "apps/norvikctl/Commands.h"
#include "apps/norvikctl/CommandSteps.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

#include <nlohmann/json.hpp>

#include "apps/norvikctl/CameraAddress.h"
#include "apps/norvikctl/ControlReport.h"
#include "apps/norvikctl/CsvLog.h"
#include "apps/norvikctl/CtlError.h"
#include "apps/norvikctl/CtlMachine.h"
#include "apps/norvikctl/StrictInput.h"
#include "discovery/DeviceRecords.h"
#include "runtime/Utf8.h"
#include "session/Codecs.h"
#include "session/UnitSession.h"

namespace norvik::ctl {

namespace {

using Json = nlohmann::ordered_json;

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

}  // namespace

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

std::unique_ptr<CtlMachine> MakeMachine(const GlobalOptions& global)
{
    std::string error;
    const std::string simulation = ChosenSimulation(global.sim, global.simGiven);
    auto machine = CtlMachine::Create(simulation, global.json ? stderr : stdout, error);
    if (!machine)
        FailUsage("norvikctl: " + error);
    // Fake cameras that answer every request must never pass for real ones,
    // least of all when a forgotten variable chose them.
    if (machine->Simulated()) {
        std::fflush(stdout);
        std::fprintf(stderr, "norvikctl: simulated cameras from %s\n", simulation.c_str());
    }
    if (global.debug)
        machine->GetRuntime().OpenConsole();
    return machine;
}

// The parser already refuses --guid together with --device or --unit, and
// --camera with --device. A camera address is read here, before any device
// is touched.
void CheckUnitChoice(const UnitOptions& unit)
{
    if (unit.hasCamera) {
        CameraAddress address;
        std::string error;
        if (!ParseCameraAddress(unit.camera, address, error))
            FailUsage(error);
        if (!unit.hasGuid && !unit.hasUnit)
            FailUsage("norvikctl: name the unit on the --camera with --guid {...} or with --unit K");
        return;
    }
    if (unit.hasUnit && !unit.hasDevice)
        FailUsage("norvikctl: --unit needs --device N or --camera ADDRESS");
    if (!unit.hasGuid && !(unit.hasDevice && unit.hasUnit))
        FailUsage("norvikctl: name the unit with --guid {...} or with --device N --unit K");
}

// Gives up with the session's text for the operator, byte for byte: main
// ends the line, so a text that ends its own line leaves that to main.
[[noreturn]] void FailWith(int exitCode, const std::wstring& text, const std::string& prefix)
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

// The selector text, refused before any device is touched; the selector as
// the session reads it (decimal) for a valid one. Empty and zero get the
// dialog's texts.
std::wstring CheckSelector(const std::string& cs, std::uint8_t* selectorOut)
{
    std::uint8_t selector = 0;
    std::string error;
    switch (ParseStrictSelector(cs, selector, error)) {
    case SelectorText::Invalid:
        FailUsage(error);
    case SelectorText::Empty:
    case SelectorText::Zero: {
        std::uint8_t ignored = 0;
        FailWith(kExitUsage, UnitSession::CheckSelectorText(cs.empty() ? L"" : L"0", ignored).text);
    }
    case SelectorText::Valid:
        break;
    }
    if (selectorOut)
        *selectorOut = selector;
    return std::to_wstring(unsigned(selector));
}

// The table position of the camera --camera names, after a fresh
// discovery run; none or several is a usage error.
std::uint32_t DiscoverCamera(UnitSession& session, const std::string& text)
{
    CameraAddress address;
    std::string error;
    if (!ParseCameraAddress(text, address, error))
        FailUsage(error);
    session.Discover();
    std::uint32_t device = 0;
    if (!FindCamera(address, session.Table(), device, error))
        FailUsage(error);
    return device;
}

// Opens the unit as the dialog's picker would: a typed GUID, or the listed
// unit at these positions of a fresh discovery run. With --camera, the
// search for the GUID or the unit position keeps to that camera. Every
// subcommand that works on one unit opens it here.
void OpenUnit(UnitSession& session, const UnitOptions& unit)
{
    SessionResult opened;
    if (unit.hasCamera && unit.hasGuid) {
        Guid guid{};
        const std::wstring typed = Utf8ToWide(unit.guid);
        opened = UnitSession::ParseTypedGuid(typed, guid);
        if (opened) {
            const std::uint32_t device = DiscoverCamera(session, unit.camera);
            session.Close();
            opened = session.OpenTypedOn(device, guid, typed);
        }
    } else if (unit.hasCamera) {
        const std::uint32_t device = DiscoverCamera(session, unit.camera);
        opened = session.OpenListed(device, unit.unit);
    } else if (unit.hasGuid) {
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
void Prepare(UnitSession& session, const std::wstring& cs)
{
    const SessionResult prepared = session.Prepare(cs);
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

namespace {

// What set sends, read exactly: hex bytes and a file's bytes go to the
// session as canonical hex pairs, which its lenient reading takes as they
// are; a text goes as it was written.
struct SendData {
    std::wstring text;
    bool hexMode = true;
    std::size_t byteCount = 0;  // for hex and file data
};

std::string ReadDataFile(const std::string& path)
{
    std::FILE* file = OpenNamedFile(path, "rb");
    if (!file)
        FailUsage("norvikctl: --data-file: cannot open " + path + ": " + std::strerror(errno));
    std::string bytes;
    char chunk[4096];
    std::size_t got;
    // Far more than any control holds: surely the wrong file.
    constexpr std::size_t kMostBytes = 1 << 20;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0 && bytes.size() <= kMostBytes)
        bytes.append(chunk, got);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed)
        FailUsage("norvikctl: --data-file: cannot read " + path);
    if (bytes.size() > kMostBytes)
        FailUsage("norvikctl: --data-file: " + path +
                  " holds more than 1 MiB, far more than a control takes");
    if (bytes.empty())
        FailUsage("norvikctl: --data-file: " + path + " is empty, no byte to send");
    return bytes;
}

SendData ReadSendData(const TransferOptions& options)
{
    const int given = int(options.hasHex) + int(options.hasText) + int(options.hasDataFile);
    if (given != 1)
        FailUsage("norvikctl: give the data with --hex or --text, or --data-file");
    SendData data;
    if (options.hasText) {
        data.text = Utf8ToWide(options.text);
        data.hexMode = false;
        const SessionResult checked = UnitSession::CheckSendText(data.text);
        if (!checked)
            FailWith(kExitUsage, checked.text);
        return data;
    }
    std::vector<std::uint8_t> bytes;
    if (options.hasDataFile) {
        const std::string raw = ReadDataFile(options.dataFile);
        bytes.assign(raw.begin(), raw.end());
    } else {
        std::string joined;
        for (const std::string& word : options.hex) {
            if (!joined.empty())
                joined += ' ';
            joined += word;
        }
        const SessionResult checked = UnitSession::CheckSendText(Utf8ToWide(joined));
        if (!checked)
            FailWith(kExitUsage, checked.text);
        std::string error;
        if (!ParseStrictHex(joined, bytes, error))
            FailUsage(error);
    }
    data.byteCount = bytes.size();
    data.text = FormatHexBytes(bytes.data(), bytes.size());
    return data;
}

// Says on standard error when the bytes given are not the control's length.
void ReportDataFit(Runtime& runtime, const SendData& data, std::uint16_t length)
{
    std::size_t given = data.byteCount;
    if (!data.hexMode) {
        const Converted<std::string> encoded = EncodeAnsiText(runtime, data.text);
        if (!encoded)
            return;  // the SET itself reports the refused conversion
        given = encoded.value.size();
    }
    const std::string fit = FitText(given, length);
    if (fit.empty())
        return;
    std::fflush(stdout);
    std::fprintf(stderr, "norvikctl: %s\n", fit.c_str());
}

}  // namespace

std::string FitText(std::size_t given, std::uint16_t length)
{
    if (given == length)
        return std::string();
    std::string text = std::to_string(given) + (given == 1 ? " byte" : " bytes") +
                       " given, the control's length is " + std::to_string(length) + ": ";
    if (given < length)
        text += "padded with " + std::to_string(length - given) + " zero bytes";
    else
        text += "cut, the last " + std::to_string(given - length) + " bytes are not sent";
    return text;
}

namespace {

// Writes a GET's raw value; a file that cannot be written fails the command.
void WriteValueFile(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::FILE* file = OpenNamedFile(path, "wb");
    if (!file)
        FailRequest("norvikctl: --out: cannot create " + path + ": " + std::strerror(errno));
    const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (std::fclose(file) != 0 || !written) {
        RemoveNamedFile(path);
        FailRequest("norvikctl: --out: cannot write " + path);
    }
}

// Describes one control; a refused conversion of a failure text stops the
// command.
ControlDescription DescribeControl(UnitSession& session, std::uint8_t selector)
{
    ControlDescription description;
    const SessionResult described = session.Describe(selector, description);
    CheckStep(described);
    if (!described)
        FailWith(kExitFailed, described.text, "norvikctl: ");
    return description;
}

Json UnitJson(UnitSession& session)
{
    std::wstring device, xuGuid;
    CheckStep(session.DescribeSource(session.OpenedAs(), device, xuGuid));
    return Json{{"device", WideToUtf8(device)}, {"xuGuid", WideToUtf8(xuGuid)}};
}

Json TextOrNull(const std::wstring& text) { return text.empty() ? Json(nullptr) : Json(WideToUtf8(text)); }

// list's second line of a device: what --camera can name it by.
std::wstring AddressLine(const DeviceAddress& address)
{
    std::wstring line = L"  location " + (address.location.empty() ? L"unknown" : address.location);
    if (!address.videoNode.empty())
        line += L", video node " + address.videoNode;
    line += address.serial.empty() ? L", no serial" : L", serial " + address.serial;
    return line;
}

// "norvikctl: N of M requests failed" on standard error.
void PrintFailureCount(unsigned failed, unsigned asked)
{
    std::fflush(stdout);
    std::fprintf(stderr, "norvikctl: %u of %u requests failed\n", failed, asked);
}

}  // namespace

int RunInfo(const GlobalOptions& global, const UnitOptions& unit, bool json)
{
    CheckUnitChoice(unit);
    std::uint8_t selector = 0;
    CheckSelector(unit.cs, &selector);
    auto machine = MakeMachine(global);
    UnitSession session(machine->Discovery());
    session.SetRequestTimeLimit(global.timeoutMs);
    session.KeepLog(false);
    OpenUnit(session, unit);
    const ControlDescription control = DescribeControl(session, selector);
    if (json) {
        PrintJson(ControlJson(control));
    } else {
        for (const std::string& line : ControlLines(control))
            PrintLine(stdout, line);
    }
    const unsigned failed = control.Failures();
    if (failed > 0)
        PrintFailureCount(failed, unsigned(std::size(kControlItems)));
    return failed > 0 ? kExitFailed : kExitSuccess;
}

int RunControls(const GlobalOptions& global, const UnitOptions& unit, bool json)
{
    CheckUnitChoice(unit);
    auto machine = MakeMachine(global);
    UnitSession session(machine->Discovery());
    session.SetRequestTimeLimit(global.timeoutMs);
    session.KeepLog(false);
    OpenUnit(session, unit);
    std::vector<std::uint8_t> selectors;
    const SessionResult declared = session.DeclaredSelectors(selectors);
    CheckStep(declared);
    if (!declared)
        FailWith(kExitFailed, declared.text, "norvikctl: the unit's information could not be read: ");

    std::vector<ControlDescription> controls;
    unsigned failed = 0;
    for (std::uint8_t selector : selectors) {
        controls.push_back(DescribeControl(session, selector));
        failed += controls.back().Failures();
    }
    if (json) {
        Json document = UnitJson(session);
        Json list = Json::array();
        for (const ControlDescription& control : controls)
            list.push_back(ControlJson(control));
        document["controls"] = std::move(list);
        PrintJson(document);
    } else {
        for (const std::string& line : ControlTable(controls))
            PrintLine(stdout, line);
    }
    PrintFailureCount(failed, unsigned(controls.size() * std::size(kControlItems)));
    return failed > 0 ? kExitFailed : kExitSuccess;
}

int RunList(const GlobalOptions& global, bool json)
{
    auto machine = MakeMachine(global);
    UnitSession session(machine->Discovery());
    session.SetRequestTimeLimit(global.timeoutMs);
    session.Discover();
    const DeviceTable& table = session.Table();

    Json devices = Json::array();
    for (std::uint32_t i = 0; i < table.deviceCount; ++i) {
        const DeviceTableEntry& device = *table.Device(i);
        const DeviceAddress address = table.Address(i) ? *table.Address(i) : DeviceAddress{};
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
                                   {"location", TextOrNull(address.location)},
                                   {"videoNode", TextOrNull(address.videoNode)},
                                   {"serial", TextOrNull(address.serial)},
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
        PrintOut(AddressLine(address));
        for (std::uint32_t k = 0; k < device.unitCount; ++k) {
            const ExtensionUnitInfo& unit = *table.Unit(i, k);
            std::swprintf(line, 400, L"  unit %u: %ls bUnitID=%u node=%u %ls", unsigned(k),
                          FormatGuidWide(unit.guid).c_str(), unsigned(unit.unitId), unsigned(unit.nodeId),
                          unit.matched ? L"matched" : L"not matched");
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
    session.SetRequestTimeLimit(global.timeoutMs);
    session.Discover();
    const DeviceTable& table = session.Table();
    unsigned units = 0, matched = 0;
    for (std::uint32_t i = 0; i < table.deviceCount; ++i)
        for (std::uint32_t k = 0; k < table.Device(i)->unitCount; ++k) {
            ++units;
            matched += table.Unit(i, k)->matched != 0 ? 1 : 0;
        }
    std::printf("%u video capture devices, %u extension units, %u matched\n", unsigned(table.deviceCount),
                units, matched);
    return kExitSuccess;
}

int RunLen(const GlobalOptions& global, const UnitOptions& unit, bool json)
{
    CheckUnitChoice(unit);
    const std::wstring cs = CheckSelector(unit.cs);
    auto machine = MakeMachine(global);
    UnitSession session(machine->Discovery());
    session.SetRequestTimeLimit(global.timeoutMs);
    session.KeepLog(false);  // the --log file is the log
    OpenUnit(session, unit);
    Prepare(session, cs);
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
    const std::wstring cs = CheckSelector(unit.cs);
    auto machine = MakeMachine(global);
    TransferRun run(*machine, global, options);
    UnitSession session(machine->Discovery());
    session.SetRequestTimeLimit(global.timeoutMs);
    session.KeepLog(false);  // the --log file is the log
    OpenUnit(session, unit);
    Prepare(session, cs);

    for (unsigned i = 0; i < options.repeat; ++i) {
        if (i > 0 && options.intervalMs > 0)
            machine->GetRuntime().Sleep(options.intervalMs);
        TransferRecord row;
        CheckStep(session.Get(cs, run.TakeLine(), session.OpenedAs(), row));
        run.Record(row);
        if (row.ok && options.hasOut)
            WriteValueFile(options.outPath, row.bytes);
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
    const SendData data = ReadSendData(options);
    const std::wstring cs = CheckSelector(unit.cs);
    auto machine = MakeMachine(global);
    TransferRun run(*machine, global, options);
    UnitSession session(machine->Discovery());
    session.SetRequestTimeLimit(global.timeoutMs);
    session.KeepLog(false);  // the --log file is the log
    OpenUnit(session, unit);
    Prepare(session, cs);
    ReportDataFit(machine->GetRuntime(), data, session.Length());

    for (unsigned i = 0; i < options.repeat; ++i) {
        if (i > 0 && options.intervalMs > 0)
            machine->GetRuntime().Sleep(options.intervalMs);
        TransferRecord row;
        CheckStep(session.Set(cs, data.text, data.hexMode, run.TakeLine(), session.OpenedAs(), row));
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
