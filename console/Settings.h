#pragma once
// The settings file NorvikCfg.ini beside the executable.

#include <string>

namespace norvik {

class Runtime;

inline constexpr const wchar_t* kSettingsFileName = L"NorvikCfg.ini";
inline constexpr const wchar_t* kSettingsSection = L"Config";
inline constexpr const wchar_t* kDebugKey = L"Debug";
inline constexpr const wchar_t* kInputModeKey = L"InuptMode";  // the stored files use this spelling
inline constexpr const wchar_t* kInputGuidKey = L"InputGuid";

// The settings path: the executable's directory and the file name, built in
// a buffer of 260 wide characters. When it does not fit, the empty text (no
// settings file: defaults are used and nothing is written) and one
// diagnostic line says so.
std::wstring BuildSettingsPath(Runtime& runtime);

}  // namespace norvik
