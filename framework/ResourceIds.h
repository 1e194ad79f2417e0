#pragma once
// Resource and control identifiers of the program's dialog templates.

namespace norvik::ids {

constexpr int kAboutDialog = 100;
constexpr int kAboutMenuString = 101;
constexpr int kMainDialog = 102;
constexpr int kMainIcon = 128;

constexpr unsigned kAboutCommand = 0x0010;  // system menu item

constexpr int kPicker = 1000;
constexpr int kInfoEdit = 1001;
constexpr int kHexSendCheck = 1002;
constexpr int kHexReceiveCheck = 1003;
constexpr int kOpenButton = 1004;
constexpr int kCloseButton = 1005;
constexpr int kDataEdit = 1007;
constexpr int kLogList = 1008;
constexpr int kSetButton = 1009;
constexpr int kGetButton = 1010;
constexpr int kClearSendButton = 1011;
constexpr int kClearLogButton = 1012;
constexpr int kCsEdit = 1013;
constexpr int kCsLengthEdit = 1014;
constexpr int kStatusEdit = 1015;
constexpr int kSaveLogButton = 1016;
constexpr int kRecallButton = 1017;
constexpr int kSiteLink = 1018;
constexpr int kManualGuidCheck = 1019;
constexpr int kPickerLabel = 1020;

// The About box.
constexpr int kVersionText = 1017;
constexpr int kMailLink = 1023;

constexpr int kNoId = -1;

}  // namespace norvik::ids
