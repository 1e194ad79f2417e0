#include "framework/DialogTemplates.h"

#include "framework/ResourceIds.h"

namespace norvik {

namespace maker {
const wchar_t* const kAuthorCredit = L" - Norvik 相机工具组";
const wchar_t* const kWebsiteText = L"Norvik 相机工具组 https://norvik-tools.example.org";
const wchar_t* const kWebsiteAddress = L"https://norvik-tools.example.org";
const wchar_t* const kMailAddress = L"support@norvik-tools.example.org";
const wchar_t* const kNotice = L"Copyright (C) 2026 Norvik";
}  // namespace maker

const ControlTemplate* DialogTemplate::Find(int controlId) const
{
    for (const auto& c : controls)
        if (c.id == controlId)
            return &c;
    return nullptr;
}

namespace {

using namespace style;
using C = ControlClass;

constexpr std::uint32_t kChildVisible = kChild | kVisible;
constexpr std::uint32_t kPush = kChildVisible | kTabStop | kBsPushButton;
constexpr std::uint32_t kCheck = kChild | kTabStop | kBsAutoCheckBox;
constexpr std::uint32_t kLabel = kChildVisible | kSsLeft;
constexpr std::uint32_t kGroupBox = kChildVisible | kBsGroupBox;
constexpr std::uint32_t kReadOnlyEdit = kChildVisible | kBorder | kEsReadOnly | kEsAutoHScroll;

DialogTemplate MakeMainTemplate()
{
    DialogTemplate t;
    t.id = ids::kMainDialog;
    t.caption = std::wstring(L"Norvik v1.1") + maker::kAuthorCredit;
    t.cx = 488;
    t.cy = 475;
    t.style = kPopup | kVisible | kCaption | kSysMenu | kMinimizeBox | kDsModalFrame | kDsSetFont;
    t.exStyle = kExAppWindow;
    t.fontName = L"宋体";
    t.pointSize = 9;
    t.controls = {
        {ids::kPicker, C::ComboBoxEx, L"", 75, 18, 292, 156,
         kChildVisible | kCbsDropDown | kVScroll | kTabStop, 0},
        {ids::kOpenButton, C::Button, L"打开", 374, 14, 47, 21, kPush, 0},
        {ids::kCloseButton, C::Button, L"关闭", 429, 14, 47, 21, kPush, 0},
        {ids::kHexSendCheck, C::Button, L"HEX发送", 369, 128, 41, 14, kCheck | kVisible, 0},
        {ids::kHexReceiveCheck, C::Button, L"HEX接收", 425, 130, 44, 10, kCheck, 0},
        {ids::kCsEdit, C::Edit, L"", 75, 67, 32, 12,
         kChildVisible | kBorder | kTabStop | kEsNumber | kEsAutoHScroll, 0},
        {ids::kDataEdit, C::Edit, L"", 20, 126, 342, 51,
         kChildVisible | kBorder | kTabStop | kVScroll | kEsMultiline | kEsWantReturn | kEsAutoVScroll, 0},
        {ids::kSetButton, C::Button, L"SET", 368, 144, 45, 26, kPush, 0},
        {ids::kGetButton, C::Button, L"GET", 421, 144, 45, 26, kPush, 0},
        {ids::kClearSendButton, C::Button, L"清空发送", 374, 41, 47, 21, kPush, 0},
        {ids::kClearLogButton, C::Button, L"清空接收", 430, 41, 47, 21, kPush, 0},
        {ids::kPickerLabel, C::Static, L"设备XU选择可手动输入", 21, 16, 43, 16, kLabel, 0},
        {ids::kNoId, C::Static, L"XU信息显示", 21, 45, 45, 8, kLabel, 0},
        {ids::kInfoEdit, C::Edit, L"", 75, 43, 292, 12, kReadOnlyEdit, 0},
        {ids::kNoId, C::Button, L"发送数据", 12, 110, 463, 77, kGroupBox, 0},
        {ids::kLogList, C::ListView, L"", 18, 207, 449, 252,
         kChildVisible | kBorder | kTabStop | kLvsReport | kLvsSingleSel | kLvsEditLabels | kLvsAlignLeft, 0},
        {ids::kNoId, C::Button, L"收发记录", 12, 194, 463, 272, kGroupBox, 0},
        {ids::kNoId, C::Static, L"CS选择", 21, 69, 36, 8, kLabel, 0},
        {ids::kNoId, C::Static, L"CS数据长度(自动获取)", 128, 69, 82, 12, kLabel, 0},
        {ids::kCsLengthEdit, C::Edit, L"", 216, 67, 45, 14, kReadOnlyEdit, 0},
        {ids::kNoId, C::Static, L"状态", 278, 69, 22, 13, kLabel, 0},
        {ids::kStatusEdit, C::Edit, L"", 304, 67, 63, 13, kReadOnlyEdit, 0},
        {ids::kSaveLogButton, C::Button, L"保存记录", 374, 68, 47, 21, kPush, 0},
        {ids::kRecallButton, C::Button, L"上次输入", 430, 68, 47, 21, kPush, 0},
        {ids::kSiteLink, C::Static, maker::kWebsiteText, 26, 91, 259, 10, kLabel | kSsNotify, 0},
        {ids::kManualGuidCheck, C::Button, L"手动输入XU GUID", 234, 93, 79, 11, kCheck, 0},
    };
    return t;
}

DialogTemplate MakeAboutTemplate()
{
    DialogTemplate t;
    t.id = ids::kAboutDialog;
    t.caption = L"关于 Norvik";
    t.cx = 219;
    t.cy = 55;
    t.style = kPopup | kCaption | kSysMenu | kDsModalFrame | kDsSetFont;
    t.exStyle = 0;
    t.fontName = L"宋体";
    t.pointSize = 9;
    t.controls = {
        {ids::kNoId, C::Static, L"128", 11, 17, 20, 20, kChildVisible | kSsIcon, 0},
        {ids::kVersionText, C::Static, L"Norvik 1.0 版", 40, 10, 113, 8, kLabel | kSsNoPrefix, 0},
        {ids::kNoId, C::Static, maker::kNotice, 40, 24, 111, 8, kLabel, 0},
        {1, C::Button, L"确定", 156, 19, 50, 16, kChildVisible | kTabStop | kGroup | kBsDefPushButton, 0},
        {ids::kMailLink, C::Static, maker::kMailAddress, 40, 38, 120, 11, kLabel | kSsNotify, 0},
    };
    return t;
}

}  // namespace

const DialogTemplate& MainDialogTemplate()
{
    static const DialogTemplate t = MakeMainTemplate();
    return t;
}

const DialogTemplate& AboutDialogTemplate()
{
    static const DialogTemplate t = MakeAboutTemplate();
    return t;
}

const DialogTemplate* FindDialogTemplate(int templateId)
{
    if (templateId == ids::kMainDialog)
        return &MainDialogTemplate();
    if (templateId == ids::kAboutDialog)
        return &AboutDialogTemplate();
    return nullptr;
}

std::wstring LoadResourceString(unsigned id)
{
    if (id == unsigned(ids::kAboutMenuString))
        return L"关于 Norvik(&A)...";
    return L"";
}

}  // namespace norvik
