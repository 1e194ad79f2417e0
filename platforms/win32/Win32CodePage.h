#pragma once
// Conversions with the thread's ANSI code page through MultiByteToWideChar and
// WideCharToMultiByte. The code page is chosen once per process, on the first
// conversion: CP_THREAD_ACP on Windows NT 5.0 and later; on older systems the
// thread locale's default ANSI code page, or the system's when the locale
// gives none.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/CodePage.h"

namespace norvik {

constexpr std::uint32_t kCpThreadAcp = 3;  // CP_THREAD_ACP

// The choice itself: isNt and majorVersion from the system version,
// localeAnsiCodePage the thread locale's LOCALE_IDEFAULTANSICODEPAGE text,
// systemAnsiCodePage GetACP().
std::uint32_t ChooseConversionCodePage(bool isNt, std::uint32_t majorVersion,
                                       std::wstring_view localeAnsiCodePage,
                                       std::uint32_t systemAnsiCodePage);

// The process's choice, made on the first call and kept.
std::uint32_t ConversionCodePage();

// One conversion in a given code page, no flags, no default character of our
// own. nullopt when the system refuses it (GetLastError tells why).
std::optional<std::string> WideToCodePage(std::uint32_t codePage, std::wstring_view text);
std::optional<std::wstring> CodePageToWide(std::uint32_t codePage, std::string_view bytes);

class Win32CodePage final : public AnsiCodePage {
public:
    // codePage 0 means the process's conversion code page.
    explicit Win32CodePage(std::uint32_t codePage = 0) : codePage_(codePage) {}

    std::optional<std::string> WideToAnsi(std::wstring_view text) override;
    std::optional<std::wstring> AnsiToWide(std::string_view bytes) override;

private:
    std::uint32_t CodePage() const { return codePage_ ? codePage_ : ConversionCodePage(); }

    std::uint32_t codePage_;
};

}  // namespace norvik
