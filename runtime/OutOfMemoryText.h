#pragma once
// The text of a command abandoned for want of memory. The dialog framework
// shows it for any handler that runs out of memory and the session's front
// ends report it too, so it sits below both; session/OperatorTexts.h, which
// holds every other operator text, includes it.

namespace norvik::texts {

inline constexpr wchar_t kOutOfMemory[] = L"内存不足。";

}  // namespace norvik::texts
