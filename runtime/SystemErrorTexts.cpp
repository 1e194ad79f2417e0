#include "runtime/SystemErrorTexts.h"

#include <cstring>
#include <iterator>

namespace norvik {

namespace {

struct MessageText {
    std::uint32_t code;
    const wchar_t* english;
    // Null where the Simplified Chinese text of the system could not be
    // established; the English text stands in for it then.
    const wchar_t* chinese;
};

// English: the message table of current Windows releases (the MessageText of
// winerror.h). Chinese: what Simplified Chinese Windows prints for these codes.
// Win32 codes are keyed by their own value; HRESULTs outside FACILITY_WIN32 by
// the full HRESULT.
constexpr MessageText kMessages[] = {
    {2, L"The system cannot find the file specified.\r\n", L"系统找不到指定的文件。\r\n"},
    {5, L"Access is denied.\r\n", L"拒绝访问。\r\n"},
    {6, L"The handle is invalid.\r\n", L"句柄无效。\r\n"},
    {14, L"Not enough memory resources are available to complete this operation.\r\n", nullptr},
    {31, L"A device attached to the system is not functioning.\r\n", L"连到系统上的设备没有发挥作用。\r\n"},
    {50, L"The request is not supported.\r\n", L"不支持该请求。\r\n"},
    {87, L"The parameter is incorrect.\r\n", L"参数错误。\r\n"},
    {121, L"The semaphore timeout period has expired.\r\n", L"信号灯超时时间已到。\r\n"},
    {122, L"The data area passed to a system call is too small.\r\n", L"传递给系统调用的数据区域太小。\r\n"},
    {170, L"The requested resource is in use.\r\n", L"请求的资源在使用中。\r\n"},
    {234, L"More data is available.\r\n", nullptr},
    {258, L"The wait operation timed out.\r\n", L"等待的操作过时。\r\n"},
    {433, L"A device which does not exist was specified.\r\n", L"指定不存在的设备。\r\n"},
    {1117, L"The request could not be performed because of an I/O device error.\r\n", nullptr},
    {1167, L"The device is not connected.\r\n", L"设备没有连接。\r\n"},
    {1168, L"Element not found.\r\n", L"找不到元素。\r\n"},
    {1170, L"The property set specified does not exist on the object.\r\n", nullptr},
    {0x80004001u, L"Not implemented\r\n", nullptr},
    {0x80004002u, L"No such interface supported\r\n", L"不支持此接口\r\n"},
    {0x80004003u, L"Invalid pointer\r\n", nullptr},
    {0x80004005u, L"Unspecified error\r\n", L"未指定的错误\r\n"},
    {0x8000FFFFu, L"Catastrophic failure\r\n", L"灾难性故障\r\n"},
};

bool StartsWith(const char* text, const char* prefix)
{
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

}  // namespace

std::optional<std::wstring_view> SystemErrorMessage(std::uint32_t code, ErrorTextLanguage language)
{
    // HRESULT_FROM_WIN32(x) = 0x80070000 | x carries the Win32 code's text.
    if ((code & 0xFFFF0000u) == 0x80070000u)
        code &= 0xFFFFu;
    for (const MessageText& message : kMessages) {
        if (message.code != code)
            continue;
        if (language == ErrorTextLanguage::SimplifiedChinese && message.chinese != nullptr)
            return std::wstring_view(message.chinese);
        return std::wstring_view(message.english);
    }
    return std::nullopt;
}

ErrorTextLanguage ErrorTextLanguageFromLocale(const char* lcAll, const char* lcMessages, const char* lang)
{
    const char* chosen = nullptr;
    for (const char* candidate : {lcAll, lcMessages, lang}) {
        if (candidate != nullptr && candidate[0] != '\0') {
            chosen = candidate;
            break;
        }
    }
    if (chosen == nullptr)
        return ErrorTextLanguage::English;
    for (const char* prefix : {"zh_CN", "zh_SG", "zh_Hans"})
        if (StartsWith(chosen, prefix))
            return ErrorTextLanguage::SimplifiedChinese;
    return ErrorTextLanguage::English;
}

}  // namespace norvik
