#pragma once
// Every text the operator reads that an operation writes: status texts,
// information lines, message boxes, the transfer log's cells and the
// session's refusals. Front ends show these and write none of their own.
// Formats take their arguments as the comment says; %ls is a wide string.

// A command abandoned for want of memory: texts::kOutOfMemory, kept below
// the dialog framework, which reports it as well.
#include "runtime/OutOfMemoryText.h"

namespace norvik::texts {

// The status display after closing or opening a unit.
inline constexpr wchar_t kNotOpen[] = L"未打开";
inline constexpr wchar_t kOpenSucceeded[] = L"打开成功";
inline constexpr wchar_t kOpenFailed[] = L"打开失败";

// The information line of a listed unit: vendor id, product id, the
// descriptor's unit id, the node id.
inline constexpr wchar_t kListedUnitInfo[] =
    L"idVendor=%04X, idProduct=%04X, XU描述符里bUnitID=%d, KSP_NOD/NodeId=%d";
// The information line after opening by a typed GUID: vendor id, product id,
// node id, the device's friendly name.
inline constexpr wchar_t kTypedUnitInfo[] = L"idVendor=%04X, idProduct=%04X, KSP_NODE/NodeId=%d, %ls";
// A picker item: the friendly name, then the unit's braced GUID.
inline constexpr wchar_t kListedUnitItem[] = L"%ls, %ls";

// Refused input and failed opens.
inline constexpr wchar_t kGuidFormat[] =
    L"输入的XU GUID必须符合\n{36fc9e60-c465-11cf-8056-444553540000}\n这样的格式";
inline constexpr wchar_t kDeviceOpenFailed[] = L"设备打开失败，请点下拉框重新枚举设备！";
inline constexpr wchar_t kSelectorEmpty[] = L"cs不能为空！";
inline constexpr wchar_t kSelectorZero[] = L"cs不能为0";
// The system's "0x%08x: %s" text of the probe's result (empty when none).
inline constexpr wchar_t kLengthProbeFailed[] = L"获取CS长度失败，错误码 %ls";
inline constexpr wchar_t kSetDataEmpty[] = L"SET数据不能为空";

// The transfer log's cells.
inline constexpr wchar_t kSetDirection[] = L"SET CS=%u";
inline constexpr wchar_t kGetDirection[] = L"GET CS=%u";
inline constexpr wchar_t kSetFailed[] = L"SET数据失败";
inline constexpr wchar_t kGetFailed[] = L"GET数据失败";
// Appended to a failure cell: the system's "0x%08x: %s" text of the result.
inline constexpr wchar_t kErrorCodeSuffix[] = L" 错误码%ls";
inline constexpr const wchar_t* kLogColumnTitles[] = {L"Line",         L"Direct", L"Data(HEX)",
                                                      L"Data(String)", L"Device", L"XU guid"};

// Saving the transfer log; the formats take the file name.
inline constexpr wchar_t kLogEmpty[] = L"列表木有数据，无需保存";
inline constexpr wchar_t kLogHasNoHeader[] = L"获取列表表头失败";
inline constexpr wchar_t kCreateFileFailed[] = L"创建文件%ls失败";
inline constexpr wchar_t kSaveFailed[] = L"保存 %ls 失败";
inline constexpr wchar_t kSaved[] = L"保存 %ls 成功";

// Refusals of the session that the dialog cannot meet (its picker offers
// only what may be opened); front ends without a picker show them.
inline constexpr wchar_t kNoSuchDevice[] = L"there is no device %u (discovery found %u)";
inline constexpr wchar_t kNoSuchUnit[] = L"device %u has no unit %u (it has %u)";
inline constexpr wchar_t kNotListed[] =
    L"device %u has no unit tied to a USB descriptor, so it cannot be picked";
inline constexpr wchar_t kBeyondItemData[] =
    L"device %u unit %u lies beyond the positions a list item can name";
inline constexpr wchar_t kListedOpenFailed[] = L"device %u unit %u could not be opened (%ls)";
inline constexpr wchar_t kNoDeviceAnswers[] = L"no capture device answers the XU GUID %ls";

}  // namespace norvik::texts
