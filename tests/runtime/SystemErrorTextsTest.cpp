#include <gtest/gtest.h>

#include "runtime/ResultCodes.h"
#include "runtime/SystemErrorTexts.h"

namespace norvik::test {
namespace {

using Lang = ErrorTextLanguage;

TEST(SystemErrorTexts, KnownCodesEndInCrLf)
{
    EXPECT_EQ(SystemErrorMessage(kWaitTimeout, Lang::English), L"The wait operation timed out.\r\n");
    EXPECT_EQ(SystemErrorMessage(0x80004005u, Lang::English), L"Unspecified error\r\n");
    EXPECT_EQ(SystemErrorMessage(kWaitTimeout, Lang::SimplifiedChinese),
              L"\x7B49\x5F85\x7684\x64CD\x4F5C\x8FC7\x65F6\x3002\r\n");  // 等待的操作过时。
    const std::uint32_t codes[] = {0x102,      0x800700EA, 0x80070490, 0x80070492, 0x8007001F, 0x80070057,
                                   0x80070032, 0x8007048F, 0x8007007A, 0x80070079, 0x800700AA, 0x80070005,
                                   0x80070002, 0x8007045D, 0x800701B1, 0x80004005, 0x80004001, 0x80004002,
                                   0x80004003, 0x80070006, 0x8000FFFF, 0x8007000E};
    for (std::uint32_t code : codes) {
        for (Lang lang : {Lang::English, Lang::SimplifiedChinese}) {
            const auto text = SystemErrorMessage(code, lang);
            ASSERT_TRUE(text.has_value()) << std::hex << code;
            ASSERT_GE(text->size(), 3u);
            EXPECT_EQ(text->substr(text->size() - 2), L"\r\n") << std::hex << code;
            EXPECT_EQ(text->find(L"\r\n"), text->size() - 2) << "one line only";
        }
    }
}

TEST(SystemErrorTexts, HresultAndWin32FormsAgree)
{
    EXPECT_EQ(SystemErrorMessage(HResultFromWin32(win32::kMoreData), Lang::English),
              SystemErrorMessage(win32::kMoreData, Lang::English));
    EXPECT_EQ(SystemErrorMessage(std::uint32_t(hr::kInvalidArg), Lang::SimplifiedChinese),
              SystemErrorMessage(win32::kInvalidParameter, Lang::SimplifiedChinese));
    EXPECT_EQ(SystemErrorMessage(std::uint32_t(hr::kHandle), Lang::English), L"The handle is invalid.\r\n");
    EXPECT_EQ(SystemErrorMessage(std::uint32_t(hr::kAccessDenied), Lang::English), L"Access is denied.\r\n");
}

TEST(SystemErrorTexts, UnknownCodesHaveNoText)
{
    EXPECT_FALSE(SystemErrorMessage(0x20000001u, Lang::English));
    EXPECT_FALSE(SystemErrorMessage(0x8007FFFFu, Lang::SimplifiedChinese));
    EXPECT_FALSE(SystemErrorMessage(0x88890000u, Lang::English));
    // A facility other than Win32 is not folded onto the Win32 codes.
    EXPECT_FALSE(SystemErrorMessage(0x80080005u, Lang::English));
}

TEST(SystemErrorTexts, LanguageComesFromTheFirstSetLocaleVariable)
{
    EXPECT_EQ(ErrorTextLanguageFromLocale(nullptr, nullptr, "zh_CN.UTF-8"), Lang::SimplifiedChinese);
    EXPECT_EQ(ErrorTextLanguageFromLocale("", nullptr, "zh_SG.GBK"), Lang::SimplifiedChinese);
    EXPECT_EQ(ErrorTextLanguageFromLocale("C", nullptr, "zh_CN.UTF-8"), Lang::English);
    EXPECT_EQ(ErrorTextLanguageFromLocale(nullptr, "zh_Hans", "en_US.UTF-8"), Lang::SimplifiedChinese);
    EXPECT_EQ(ErrorTextLanguageFromLocale(nullptr, "zh_TW.UTF-8", "zh_CN.UTF-8"), Lang::English);
    EXPECT_EQ(ErrorTextLanguageFromLocale(nullptr, nullptr, nullptr), Lang::English);
}

}  // namespace
}  // namespace norvik::test
