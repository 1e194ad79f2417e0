#pragma once
// A session on the extension units of one machine's cameras: what the Norvik
// dialog does for its operator, as calls.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <norvik/Platform.h>
#include <norvik/Records.h>

namespace norvik {

/// How the data of a SET is written.
enum class DataForm {
    Text,  ///< Text, sent in the ANSI code page (code page 936 on Linux).
    Hex,   ///< Pairs of hex digits; "0x" is ignored, a lone digit is dropped.
};

/// The operations of the Norvik dialog on the cameras of one Platform.
///
/// A Session holds what outlives one operation: the devices of the last
/// discovery, at most one open extension unit, the control selector and its
/// length, and the rows of the transfers made. Every operation reports a
/// Result; no exception leaves the session. Failures carry the text the
/// dialog would show its operator, so a program can report them the same way.
///
/// Threads: a Session is not thread-safe. Make every call from one thread at
/// a time (in practice the thread that made it). Calls block: a discovery
/// can take seconds; a SET or GET waits at most 500 ms for an answer and
/// tries a refused request once more after 200 ms; the length probe is a
/// direct driver call that takes as long as the driver does. A class query
/// waits for its answer as a GET does; Describe makes up to seven requests
/// (the length probe and six more).
///
/// Lifetime: the Session must be destroyed before its Platform. Destroying
/// it closes the open unit. One Session per Platform at a time: discovery
/// results are kept per process.
class Session {
public:
    explicit Session(Platform& platform);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    /// Runs a full discovery: the video capture devices, their extension
    /// units and the nodes that answer them. Replaces Devices(); an open unit
    /// stays open. Always succeeds (a machine without cameras has no devices).
    Result Discover();

    /// Discover(), and in *diagnostics (when given) the diagnostic lines
    /// the run wrote: the lines the dialog's debug console and
    /// `norvikctl --debug discover` show, with their line ends, UTF-8.
    Result Discover(std::string* diagnostics);

    /// The devices of the last Discover(), in discovery order.
    const std::vector<DeviceRecord>& Devices() const;

    /// Opens a unit by its positions in Devices(), as choosing it in the
    /// dialog's list and pressing Open does; a unit already open is closed
    /// first. Fails with NoSuchDevice, NoSuchUnit, NotListed (a device
    /// without a matched unit), OpenFailed or Conversion.
    Result OpenListed(unsigned device, unsigned unit);

    /// Opens the unit whose GUID the text holds, as typing it into the
    /// dialog's list and pressing Open does: the first device with a node
    /// that answers. Text around the braced GUID is allowed and appears in
    /// the rows' "XU guid" cell as typed. A unit already open is closed
    /// first (unless the text is refused). Fails with BadGuidText or
    /// OpenFailed.
    Result OpenByGuid(const std::string& typedText);

    /// Closes the open unit, if any, and forgets the control length.
    void Close();

    /// Whether a unit is open.
    bool IsOpen() const;

    /// Makes the control selector written in cs (decimal, as typed into the
    /// dialog's CS entry; only its low 8 bits count) current, and reads its
    /// data length from the driver unless the same text was probed last.
    /// On success *length (when given) holds the length. Fails with
    /// NoChannel, EmptySelector, ZeroSelector, or LengthProbe with the
    /// driver's result code; after a failure the next Probe reads again.
    Result Probe(const std::string& cs, std::uint16_t* length = nullptr);

    /// Probe(cs), then writes data to the control: exactly the control's
    /// length, padded with zero bytes or cut. The row is added to Rows() and
    /// copied to *row (when given) once the request was made. Fails as Probe
    /// does, with EmptyData, Conversion, or Request with the device's result
    /// code (text is then the row's failure cell).
    Result Set(const std::string& cs, const std::string& data, DataForm form, TransferRow* row = nullptr);

    /// Probe(cs), then reads the control's value; as Set for the row and the
    /// failures (without EmptyData).
    Result Get(const std::string& cs, TransferRow* row = nullptr);

    /// Asks the open unit's control selector one class query: INFO answers
    /// one byte, the other kinds the control's length, which is probed
    /// first. *bytes (when given) gets the answer, or is emptied. Neither a
    /// row nor the current selector and length change. Fails with NoChannel,
    /// ZeroSelector, Request (the length probe or the query was refused:
    /// hresult is the code, text "0x%08x: " and the system's text) or
    /// Conversion.
    Result Query(std::uint8_t selector, QueryKind kind, std::vector<std::uint8_t>* bytes);

    /// Asks the open unit's control selector every request: its length,
    /// INFO, CUR, MIN, MAX, RES and DEF, each answered or not available.
    /// A refused item is no failure of the call. Fails with NoChannel,
    /// ZeroSelector or Conversion; *description is then the selector alone.
    Result Describe(std::uint8_t selector, ControlRecord* description);

    /// The selectors the open unit declares in its unit-information
    /// property (the bits of its descriptor's bmControls), lowest first.
    /// Fails with NoChannel, UnitInfo (hresult is the property's code, or
    /// 0 when its bytes end before bmControls) or Conversion; *selectors is
    /// then empty.
    Result DeclaredSelectors(std::vector<std::uint8_t>* selectors);

    /// The rows of the transfers made, in order; their line numbers count
    /// from 1.
    const std::vector<TransferRow>& Rows() const;

    /// Forgets the rows; the next transfer is line 1 again.
    void ClearRows();

    /// The transfer log as the dialog's "保存记录" writes it: a header line
    /// and one line per row, every cell followed by ", ", CR LF line ends,
    /// the ANSI code page (code page 936 on Linux). *bytes is empty on
    /// failure (Conversion).
    Result CsvBytes(std::string* bytes) const;

    /// Writes CsvBytes() to a file: path, or when empty the dialog's name
    /// ("%d%02d%02d-%02d%02d%02d-%d.csv" from the local time) in the current
    /// directory. *fileName (when given) gets the name used. On success text
    /// is the dialog's message ("保存 name 成功"). Fails with EmptyLog,
    /// FileNotCreated, FileNotWritten (the partial file is removed) or Conversion.
    Result SaveLog(const std::string& path = std::string(), std::string* fileName = nullptr);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace norvik
