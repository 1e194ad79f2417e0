#pragma once
// Window message, notification and command numbers with their Windows
// values, so that the real Windows host passes them through unchanged and
// the other hosts speak the same language.

#include <cstdint>

namespace norvik::msg {

constexpr std::uint32_t kSetFocus = 0x0007;
constexpr std::uint32_t kKillFocus = 0x0008;
constexpr std::uint32_t kPaint = 0x000F;
constexpr std::uint32_t kClose = 0x0010;
constexpr std::uint32_t kEraseBackground = 0x0014;
constexpr std::uint32_t kSetCursor = 0x0020;
constexpr std::uint32_t kIconEraseBackground = 0x0027;
constexpr std::uint32_t kQueryDragIcon = 0x0037;
constexpr std::uint32_t kNcHitTest = 0x0084;
constexpr std::uint32_t kKeyDown = 0x0100;
constexpr std::uint32_t kInitDialog = 0x0110;
constexpr std::uint32_t kCommand = 0x0111;
constexpr std::uint32_t kSysCommand = 0x0112;
constexpr std::uint32_t kCtlColorStatic = 0x0138;
constexpr std::uint32_t kMouseMove = 0x0200;
constexpr std::uint32_t kLButtonDown = 0x0201;
constexpr std::uint32_t kLButtonUp = 0x0202;
// A WM_CTLCOLOR message reflected back to the control it is about.
constexpr std::uint32_t kReflectedCtlColor = 0x2000 + kCtlColorStatic;

}  // namespace norvik::msg

namespace norvik::notify {
constexpr int kButtonClicked = 0;    // BN_CLICKED
constexpr int kComboSelChange = 1;   // CBN_SELCHANGE
constexpr int kComboEditChange = 5;  // CBN_EDITCHANGE
constexpr int kComboDropDown = 7;    // CBN_DROPDOWN
constexpr int kComboCloseUp = 8;     // CBN_CLOSEUP
}  // namespace norvik::notify

namespace norvik {

constexpr int kIdOk = 1;      // IDOK
constexpr int kIdCancel = 2;  // IDCANCEL

constexpr std::uint32_t kScClose = 0xF060;  // SC_CLOSE
constexpr std::uint32_t kHtClient = 1;      // HTCLIENT
constexpr std::uint32_t kVkSpace = 0x20;
constexpr std::uint32_t kVkReturn = 0x0D;
constexpr std::uint32_t kVkEscape = 0x1B;

constexpr int kSmCxIcon = 11;  // SM_CXICON
constexpr int kSmCyIcon = 12;  // SM_CYICON

constexpr int kSwHide = 0;
constexpr int kSwShow = 5;

constexpr std::uint32_t kMfString = 0x0000;     // MF_STRING
constexpr std::uint32_t kMfSeparator = 0x0800;  // MF_SEPARATOR

constexpr std::uint32_t kMbOk = 0x0000;           // MB_OK
constexpr std::uint32_t kMbIconWarning = 0x0030;  // MB_ICONWARNING, MB_ICONEXCLAMATION

constexpr std::uintptr_t MakeCommandParam(int controlId, int notification)
{
    return std::uintptr_t(std::uint16_t(controlId)) | std::uintptr_t(std::uint16_t(notification)) << 16;
}

}  // namespace norvik
