#pragma once
// The system's message texts for the error codes the tool can meet, in the
// form FormatMessage(FORMAT_MESSAGE_FROM_SYSTEM) gives them: one line ending
// in CR LF. Platforms without a system message table take the text from here.

#include <cstdint>
#include <optional>
#include <string_view>

namespace norvik {

enum class ErrorTextLanguage { English, SimplifiedChinese };

// The text for a Win32 error code or an HRESULT. HRESULT_FROM_WIN32 values
// (0x8007xxxx) give the text of Win32 code xxxx, as the system does. nullopt
// when the system has no text for the code.
std::optional<std::wstring_view> SystemErrorMessage(std::uint32_t code, ErrorTextLanguage language);

// The language the system messages would be in under a POSIX locale: the first
// non-empty of LC_ALL, LC_MESSAGES and LANG decides; a Simplified Chinese
// locale (zh_CN, zh_SG, zh_Hans...) gives Chinese, anything else English.
// Null pointers count as unset.
ErrorTextLanguage ErrorTextLanguageFromLocale(const char* lcAll, const char* lcMessages, const char* lang);

}  // namespace norvik
