#pragma once
// One extension unit opened the way the dialog opens it, the control
// selector checked and its length probed the way the dialog does before a
// SET or GET, and the transfers themselves with the six cells of the row the
// dialog's transfer log would show for them.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "apps/norvikctl/CtlMachine.h"
#include "channel/XuChannel.h"
#include "discovery/DeviceRecords.h"

namespace norvik::ctl {

// One SET or GET: its outcome and the cells of its log row.
struct TransferRow {
    bool isSet = false;
    bool ok = false;
    unsigned lineNumber = 0;
    std::uint8_t selector = 0;
    std::int32_t result = 0;            // the channel's lastResult afterwards
    std::vector<std::uint8_t> bytes;    // the control's bytes as sent or read

    std::wstring line;
    std::wstring direct;
    std::wstring dataHex;     // the bytes, or the failure text
    std::wstring dataString;
    std::wstring device;
    std::wstring xuGuid;

    std::vector<std::wstring> Cells() const
    {
        return {line, direct, dataHex, dataString, device, xuGuid};
    }
};

// The selector text as the dialog's CS entry reads it. An empty text or one
// that names selector 0 is refused with the dialog's message (a usage error).
std::uint8_t CheckSelectorText(const std::wstring& text);

class UnitSession {
public:
    explicit UnitSession(CtlMachine& machine);
    ~UnitSession();

    UnitSession(const UnitSession&) = delete;
    UnitSession& operator=(const UnitSession&) = delete;

    // As a typed XU GUID opens: the first device with a node that answers.
    // The log rows name the device the channel found and the text as typed.
    void OpenByGuid(const std::wstring& typedText);
    // As a picked list item opens: a discovery run, then the unit at these
    // positions of the device table, bound by the device's display name.
    void OpenByPosition(std::uint32_t device, std::uint32_t unit);

    // The length probe of the selector; fails (exit 1) with the dialog's
    // message when the driver does not report a length.
    void ProbeLength(std::uint8_t selector);

    TransferRow Set(const std::wstring& text, bool hexMode, unsigned line);
    TransferRow Get(unsigned line);

    std::uint8_t Selector() const { return selector_; }
    std::uint16_t Length() const { return length_; }
    const std::wstring& DeviceCell() const { return deviceCell_; }
    const std::wstring& XuGuidCell() const { return xuGuidCell_; }
    const XuChannel* Channel() const { return channel_.get(); }

private:
    TransferRow StartRow(bool isSet, unsigned line) const;
    void FinishRow(TransferRow& row, bool ok, const wchar_t* failureText);

    CtlMachine& machine_;
    DeviceTable table_;
    std::unique_ptr<XuChannel> channel_;
    std::uint8_t selector_ = 0;
    std::uint16_t length_ = 0;
    std::vector<std::uint8_t> buffer_;
    std::wstring deviceCell_;
    std::wstring xuGuidCell_;
};

}  // namespace norvik::ctl
