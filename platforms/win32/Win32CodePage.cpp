#include "platforms/win32/Win32CodePage.h"

#include <climits>
#include <memory>

#include "platforms/win32/WindowsApi.h"

namespace norvik {

std::uint32_t ChooseConversionCodePage(bool isNt, std::uint32_t majorVersion,
                                       std::wstring_view localeAnsiCodePage, std::uint32_t systemAnsiCodePage)
{
    if (isNt && majorVersion > 4)
        return kCpThreadAcp;
    // The locale's value is read as a decimal number, as _wtoi reads it:
    // leading digits only, nothing usable gives 0.
    std::uint32_t fromLocale = 0;
    std::size_t i = 0;
    while (i < localeAnsiCodePage.size() && (localeAnsiCodePage[i] == L' ' || localeAnsiCodePage[i] == L'\t'))
        ++i;
    for (; i < localeAnsiCodePage.size() && localeAnsiCodePage[i] >= L'0' && localeAnsiCodePage[i] <= L'9';
         ++i)
        fromLocale = fromLocale * 10 + std::uint32_t(localeAnsiCodePage[i] - L'0');
    return fromLocale != 0 ? fromLocale : systemAnsiCodePage;
}

namespace {

std::uint32_t ChooseForThisSystem()
{
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
#if defined(_MSC_VER)
#pragma warning(suppress : 4996)
#endif
    const bool known = ::GetVersionExW(&version) != FALSE;
    const bool isNt = known && version.dwPlatformId == VER_PLATFORM_WIN32_NT;
    const std::uint32_t major = known ? version.dwMajorVersion : 0;

    wchar_t localeValue[16] = {};
    if (::GetLocaleInfoW(::GetThreadLocale(), LOCALE_IDEFAULTANSICODEPAGE, localeValue, 16) == 0)
        localeValue[0] = 0;
    return ChooseConversionCodePage(isNt, major, localeValue, ::GetACP());
}

}  // namespace

std::uint32_t ConversionCodePage()
{
    static const std::uint32_t codePage = ChooseForThisSystem();
    return codePage;
}

std::optional<std::string> WideToCodePage(std::uint32_t codePage, std::wstring_view text)
{
    if (text.empty())
        return std::string();
    if (text.size() > std::size_t(INT_MAX)) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return std::nullopt;
    }
    const int units = int(text.size());
    const int needed = ::WideCharToMultiByte(codePage, 0, text.data(), units, nullptr, 0, nullptr, nullptr);
    if (needed <= 0)
        return std::nullopt;
    std::string bytes(std::size_t(needed), '\0');
    const int written =
        ::WideCharToMultiByte(codePage, 0, text.data(), units, bytes.data(), needed, nullptr, nullptr);
    if (written <= 0)
        return std::nullopt;
    bytes.resize(std::size_t(written));
    return bytes;
}

std::optional<std::wstring> CodePageToWide(std::uint32_t codePage, std::string_view bytes)
{
    if (bytes.empty())
        return std::wstring();
    if (bytes.size() > std::size_t(INT_MAX)) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return std::nullopt;
    }
    const int count = int(bytes.size());
    const int needed = ::MultiByteToWideChar(codePage, 0, bytes.data(), count, nullptr, 0);
    if (needed <= 0)
        return std::nullopt;
    std::wstring text(std::size_t(needed), L'\0');
    const int written = ::MultiByteToWideChar(codePage, 0, bytes.data(), count, text.data(), needed);
    if (written <= 0)
        return std::nullopt;
    text.resize(std::size_t(written));
    return text;
}

std::optional<std::string> Win32CodePage::WideToAnsi(std::wstring_view text)
{
    return WideToCodePage(CodePage(), text);
}

std::optional<std::wstring> Win32CodePage::AnsiToWide(std::string_view bytes)
{
    return CodePageToWide(CodePage(), bytes);
}

std::unique_ptr<AnsiCodePage> MakeAnsiCodePage() { return std::make_unique<Win32CodePage>(); }

}  // namespace norvik
