#pragma once
// The records the Norvik session hands out: results, devices and their
// extension units, and the rows of the transfer log.
//
// All text is UTF-8. The records are plain values: copy them freely, from any
// thread.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace norvik {

/// Why an operation failed. Failure::None on success.
enum class Failure {
    None,
    Conversion,      ///< The ANSI code page refused a text; text is the system's text.
    NoSuchDevice,    ///< A device position beyond the last discovery's devices.
    NoSuchUnit,      ///< A unit position beyond the device's units.
    NotListed,       ///< A unit the dialog's picker would not list (no matched unit, or beyond position 255).
    BadGuidText,     ///< A typed text without a braced 36-character GUID.
    OpenFailed,      ///< The unit could not be opened (no device answers the GUID, or binding failed).
    NoChannel,       ///< No unit is open.
    EmptySelector,   ///< An empty control selector text.
    ZeroSelector,    ///< A control selector whose low 8 bits are 0.
    LengthProbe,     ///< The driver reported no length for the selector; hresult is its answer.
    EmptyData,       ///< SET with empty data.
    Request,         ///< The SET, GET or class query failed; hresult is the driver's result.
    EmptyLog,        ///< Saving a log without rows.
    FileNotCreated,  ///< The CSV file could not be created.
    FileNotWritten,  ///< The CSV file could not be written completely (it is removed).
    BadScenario,     ///< A simulated platform's scenario could not be loaded.
    OutOfMemory,     ///< Memory ran out; the operation was abandoned.
    UnitInfo,  ///< The unit-information property failed (hresult is its answer) or ended before bmControls.
};

/// The outcome of an operation.
///
/// text is what the Norvik dialog shows the operator for this outcome, byte
/// for byte (in UTF-8): its message box for refused input and failed probes,
/// the failure cell of a failed SET or GET, the message after saving. It is
/// empty for most successes.
struct Result {
    bool ok = true;
    Failure failure = Failure::None;
    std::int32_t hresult = 0;  ///< The platform's result code where a request was made, else 0.
    std::string text;

    explicit operator bool() const { return ok; }
};

/// One extension unit of a device, as discovery found it.
struct UnitRecord {
    unsigned position = 0;  ///< Position within the device's units, from 0.
    std::string guid;  ///< "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case; all zero when not matched.
    unsigned unitId = 0;   ///< bUnitID of the unit's descriptor.
    unsigned nodeId = 0;   ///< The kernel-streaming node that answers the GUID.
    bool matched = false;  ///< Whether a node answered the descriptor's GUID.
};

/// One video capture device and its extension units.
struct DeviceRecord {
    unsigned position = 0;  ///< Position in discovery order, from 0.
    std::string friendlyName;
    std::string displayName;  ///< The name the device is bound by.
    std::uint32_t vendorId = 0;
    std::uint32_t productId = 0;
    bool hasMatchedUnit = false;  ///< Only such devices are listed (and may be opened by position).
    std::vector<UnitRecord> units;
    /// What tells the device apart from an identical one; each empty when the device has none.
    std::string location;  ///< Windows, simulated: the hub port ("Port_#0002.Hub_#0001"); Linux: the USB port
                           ///< path ("1-1.2").
    std::string videoNode;  ///< Linux: the V4L2 capture node ("/dev/video0").
    std::string serial;     ///< The USB device's serial number string.
};

/// One SET or GET: its outcome and the six cells of its transfer log row.
struct TransferRow {
    bool isSet = false;
    bool ok = false;
    unsigned lineNumber = 0;  ///< 1 for the session's first transfer.
    std::uint8_t selector = 0;
    std::int32_t hresult = 0;         ///< The request's result code.
    std::vector<std::uint8_t> bytes;  ///< The control's bytes as sent, or as read.

    std::string line;        ///< "Line": the line number.
    std::string direct;      ///< "Direct": "SET CS=n" or "GET CS=n".
    std::string dataHex;     ///< "Data(HEX)": the bytes as hex pairs, or the failure text.
    std::string dataString;  ///< "Data(String)": the bytes as text.
    std::string device;      ///< "Device": the device's friendly name.
    std::string xuGuid;      ///< "XU guid": the unit's GUID, or the text as typed.

    std::array<std::string, 6> Cells() const { return {line, direct, dataHex, dataString, device, xuGuid}; }
};

/// The video class's query requests of a control, besides reading its value.
enum class QueryKind {
    Info,  ///< GET_INFO: one byte, the control's capabilities.
    Min,   ///< GET_MIN: the smallest value, the control's length.
    Max,   ///< GET_MAX: the largest value.
    Res,   ///< GET_RES: the step between values.
    Def,   ///< GET_DEF: the default value.
};

/// One item of a control's description: the bytes its request answered, or
/// not available with the platform's code and its text.
struct ControlValue {
    bool available = false;
    std::vector<std::uint8_t>
        bytes;  ///< The control's length; INFO one byte; LEN the two-byte length, low byte first.
    std::int32_t hresult = 0;  ///< The request's result code.
    std::string failureText;   ///< "0x%08x: " and the system's text for the code; empty when available.
};

/// Every request of the video class on one control. A refused item does not
/// stop the others; when the length is not available, CUR, MIN, MAX, RES and
/// DEF share its failure (they cannot be asked without it).
struct ControlRecord {
    std::uint8_t selector = 0;
    std::uint16_t length = 0;               ///< 0 when the length is not available.
    std::vector<std::string> capabilities;  ///< The INFO bits set, lowest first: "get", "set",
                                            ///< "auto-disabled", "autoupdate", "async", "commit-disabled".
    ControlValue len, info, cur, min, max, res, def;
};

}  // namespace norvik
