#include "platforms/linux/IconvCodePage.h"

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace norvik {

namespace {

const iconv_t kInvalidIconv = reinterpret_cast<iconv_t>(-1);

constexpr wchar_t kDefaultUnicodeChar = 0x30FB;
constexpr char kDefaultAnsiChar = '?';
constexpr wchar_t kByteFF = 0xF8F5;

bool IsLeadByte(std::uint8_t b) { return b >= 0x81 && b <= 0xFE; }
bool IsTrailByte(std::uint8_t b) { return b >= 0x40 && b <= 0xFE && b != 0x7F; }

// The user-defined areas of code page 936 and their private use characters.
bool DecodeUserDefined(std::uint8_t lead, std::uint8_t trail, wchar_t& out)
{
    if (lead >= 0xAA && lead <= 0xAF && trail >= 0xA1 && trail <= 0xFE) {
        out = wchar_t(0xE000 + (lead - 0xAA) * 94 + (trail - 0xA1));
        return true;
    }
    if (lead >= 0xF8 && lead <= 0xFE && trail >= 0xA1 && trail <= 0xFE) {
        out = wchar_t(0xE234 + (lead - 0xF8) * 94 + (trail - 0xA1));
        return true;
    }
    if (lead >= 0xA1 && lead <= 0xA7 && trail >= 0x40 && trail <= 0xA0 && trail != 0x7F) {
        out = wchar_t(0xE4C6 + (lead - 0xA1) * 96 + (trail < 0x7F ? trail - 0x40 : trail - 0x41));
        return true;
    }
    return false;
}

bool EncodeUserDefined(wchar_t c, std::string& out)
{
    const std::uint32_t u = std::uint32_t(c);
    std::uint32_t lead = 0, trail = 0;
    if (u >= 0xE000 && u <= 0xE233) {
        lead = 0xAA + (u - 0xE000) / 94;
        trail = 0xA1 + (u - 0xE000) % 94;
    } else if (u >= 0xE234 && u <= 0xE4C5) {
        lead = 0xF8 + (u - 0xE234) / 94;
        trail = 0xA1 + (u - 0xE234) % 94;
    } else if (u >= 0xE4C6 && u <= 0xE765) {
        lead = 0xA1 + (u - 0xE4C6) / 96;
        const std::uint32_t column = (u - 0xE4C6) % 96;
        trail = column < 0x3F ? 0x40 + column : 0x41 + column;
    } else {
        return false;
    }
    out.push_back(char(lead));
    out.push_back(char(trail));
    return true;
}

class RefusingCodePage final : public AnsiCodePage {
public:
    std::optional<std::string> WideToAnsi(std::wstring_view) override { return std::nullopt; }
    std::optional<std::wstring> AnsiToWide(std::string_view) override { return std::nullopt; }
};

}  // namespace

std::unique_ptr<IconvCodePage> IconvCodePage::Open()
{
    iconv_t toAnsi = iconv_open("CP936", "WCHAR_T");
    if (toAnsi == kInvalidIconv)
        return nullptr;
    iconv_t toWide = iconv_open("WCHAR_T", "CP936");
    if (toWide == kInvalidIconv) {
        iconv_close(toAnsi);
        return nullptr;
    }
    return std::unique_ptr<IconvCodePage>(new IconvCodePage(toAnsi, toWide));
}

IconvCodePage::IconvCodePage(iconv_t toAnsi, iconv_t toWide) : toAnsi_(toAnsi), toWide_(toWide) {}

IconvCodePage::~IconvCodePage()
{
    iconv_close(toAnsi_);
    iconv_close(toWide_);
}

std::optional<std::string> IconvCodePage::WideToAnsi(std::wstring_view text)
{
    std::lock_guard<std::mutex> lock(mutex_);
    iconv(toAnsi_, nullptr, nullptr, nullptr, nullptr);

    std::string out;
    std::string chunk(text.size() * 2 + 16, '\0');
    char* in = const_cast<char*>(reinterpret_cast<const char*>(text.data()));
    std::size_t inLeft = text.size() * sizeof(wchar_t);
    while (inLeft > 0) {
        char* outPtr = chunk.data();
        std::size_t outLeft = chunk.size();
        const std::size_t result = iconv(toAnsi_, &in, &inLeft, &outPtr, &outLeft);
        out.append(chunk.data(), chunk.size() - outLeft);
        if (result != std::size_t(-1))
            break;
        if (errno == E2BIG)
            continue;
        if (errno != EILSEQ && errno != EINVAL)
            return std::nullopt;
        // One wide character the code page has no bytes for.
        wchar_t c;
        std::memcpy(&c, in, sizeof c);
        if (c == kByteFF)
            out.push_back(char(0xFF));
        else if (!EncodeUserDefined(c, out))
            out.push_back(kDefaultAnsiChar);
        in += sizeof(wchar_t);
        inLeft -= sizeof(wchar_t);
        iconv(toAnsi_, nullptr, nullptr, nullptr, nullptr);
    }
    return out;
}

std::optional<std::wstring> IconvCodePage::AnsiToWide(std::string_view bytes)
{
    std::lock_guard<std::mutex> lock(mutex_);
    iconv(toWide_, nullptr, nullptr, nullptr, nullptr);

    std::wstring out;
    std::wstring chunk(bytes.size() + 16, L'\0');
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    while (inLeft > 0) {
        char* outPtr = reinterpret_cast<char*>(chunk.data());
        std::size_t outLeft = chunk.size() * sizeof(wchar_t);
        const std::size_t result = iconv(toWide_, &in, &inLeft, &outPtr, &outLeft);
        out.append(chunk.data(), chunk.size() - outLeft / sizeof(wchar_t));
        if (result != std::size_t(-1))
            break;
        if (errno == E2BIG)
            continue;
        if (errno != EILSEQ && errno != EINVAL)
            return std::nullopt;
        // Bytes iconv could not read: Windows' rules decide what they become.
        const std::uint8_t lead = std::uint8_t(in[0]);
        std::size_t used = 1;
        wchar_t c = kDefaultUnicodeChar;
        if (lead == 0xFF) {
            c = kByteFF;
        } else if (IsLeadByte(lead) && inLeft >= 2 && IsTrailByte(std::uint8_t(in[1]))) {
            used = 2;
            if (!DecodeUserDefined(lead, std::uint8_t(in[1]), c))
                c = kDefaultUnicodeChar;
        }
        out.push_back(c);
        in += used;
        inLeft -= used;
        iconv(toWide_, nullptr, nullptr, nullptr, nullptr);
    }
    return out;
}

std::unique_ptr<AnsiCodePage> MakeAnsiCodePage()
{
    if (std::unique_ptr<IconvCodePage> codePage = IconvCodePage::Open())
        return codePage;
    return std::make_unique<RefusingCodePage>();
}

}  // namespace norvik
