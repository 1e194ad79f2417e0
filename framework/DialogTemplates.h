#pragma once
// The dialog templates 102 (main dialog) and 100 (About box) as data: one
// table that every dialog host builds its controls from, so the hosts and
// the Windows resource script cannot drift apart.

#include <cstdint>
#include <string>
#include <vector>

namespace norvik {

// Window and control style bits with their Windows values.
namespace style {
constexpr std::uint32_t kPopup = 0x80000000;
constexpr std::uint32_t kChild = 0x40000000;
constexpr std::uint32_t kMinimizeBox = 0x00020000;
constexpr std::uint32_t kVisible = 0x10000000;
constexpr std::uint32_t kCaption = 0x00C00000;
constexpr std::uint32_t kBorder = 0x00800000;
constexpr std::uint32_t kVScroll = 0x00200000;
constexpr std::uint32_t kSysMenu = 0x00080000;
constexpr std::uint32_t kGroup = 0x00020000;
constexpr std::uint32_t kTabStop = 0x00010000;
constexpr std::uint32_t kDsModalFrame = 0x80;
constexpr std::uint32_t kDsSetFont = 0x40;
constexpr std::uint32_t kExAppWindow = 0x00040000;

constexpr std::uint32_t kBsPushButton = 0x0;
constexpr std::uint32_t kBsDefPushButton = 0x1;
constexpr std::uint32_t kBsAutoCheckBox = 0x3;
constexpr std::uint32_t kBsGroupBox = 0x7;

constexpr std::uint32_t kEsMultiline = 0x4;
constexpr std::uint32_t kEsAutoVScroll = 0x40;
constexpr std::uint32_t kEsAutoHScroll = 0x80;
constexpr std::uint32_t kEsReadOnly = 0x800;
constexpr std::uint32_t kEsWantReturn = 0x1000;
constexpr std::uint32_t kEsNumber = 0x2000;

constexpr std::uint32_t kCbsDropDown = 0x2;

constexpr std::uint32_t kLvsReport = 0x1;
constexpr std::uint32_t kLvsSingleSel = 0x4;
constexpr std::uint32_t kLvsEditLabels = 0x200;
constexpr std::uint32_t kLvsAlignLeft = 0x800;

constexpr std::uint32_t kSsLeft = 0x0;
constexpr std::uint32_t kSsCenter = 0x1;
constexpr std::uint32_t kSsRight = 0x2;
constexpr std::uint32_t kSsIcon = 0x3;
constexpr std::uint32_t kSsNoPrefix = 0x80;
constexpr std::uint32_t kSsNotify = 0x100;
constexpr std::uint32_t kSsCenterImage = 0x200;
}  // namespace style

enum class ControlClass { Button, Edit, Static, ComboBoxEx, ListView };

struct ControlTemplate {
    int id;  // -1 for a control without an identifier
    ControlClass kind;
    std::wstring caption;  // for SS_ICON statics: the icon resource number as text
    int x, y, cx, cy;      // dialog units
    std::uint32_t style;   // full window style (WS_CHILD included)
    std::uint32_t exStyle;
};

struct DialogTemplate {
    int id;
    std::wstring caption;
    int cx, cy;  // dialog units
    std::uint32_t style;
    std::uint32_t exStyle;
    std::wstring fontName;
    int pointSize;
    std::vector<ControlTemplate> controls;

    const ControlTemplate* Find(int controlId) const;
};

// The maker's texts, shown in the templates and used as link targets.
namespace maker {
extern const wchar_t* const kAuthorCredit;
extern const wchar_t* const kWebsiteText;
extern const wchar_t* const kWebsiteAddress;
extern const wchar_t* const kMailAddress;
extern const wchar_t* const kNotice;
}  // namespace maker

const DialogTemplate& MainDialogTemplate();
const DialogTemplate& AboutDialogTemplate();
// Template by resource id; nullptr for an unknown id.
const DialogTemplate* FindDialogTemplate(int templateId);

// String table entries (string 101).
std::wstring LoadResourceString(unsigned id);

}  // namespace norvik
