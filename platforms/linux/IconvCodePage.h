#pragma once
// Code page 936 through glibc iconv ("CP936"), with the few rules in which
// Windows' MultiByteToWideChar and WideCharToMultiByte for code page 936 differ
// from glibc's table or from what iconv does with bad input:
//   - 0xFF, a single byte that Windows maps to U+F8F5, and back;
//   - the user-defined areas AAA1-AFFE, F8A1-FEFE and A140-A7A0, which Windows
//     maps to the private use area U+E000-U+E765, and back;
//   - a character the code page cannot represent becomes '?', Windows' default
//     character for 936;
//   - bytes that do not form a character become U+30FB (KATAKANA MIDDLE DOT),
//     the default Unicode character of Windows' East Asian double-byte code
//     pages (GetCPInfoEx's UnicodeDefaultChar). A lead byte followed by a
//     byte that cannot be a trail byte gives U+30FB for the lead byte alone and
//     the following byte is read on its own, so a stray lead byte never
//     swallows the terminating zero or the ASCII character after it; a lead
//     and trail byte pair that glibc cannot map gives one U+30FB.
// Not reproduced: Windows' best-fit mappings (an accented letter written as
// the plain letter; such characters become '?'), and the private use
// characters Windows gives the few dozen GBK positions outside the
// user-defined areas that glibc leaves unmapped (A2AB-A2B0, A6B9-A6C0 and the
// like), which read as U+30FB here.

#include <iconv.h>

#include <memory>
#include <mutex>

#include "runtime/CodePage.h"

namespace norvik {

class IconvCodePage final : public AnsiCodePage {
public:
    // nullptr when the C library has no converter for code page 936.
    static std::unique_ptr<IconvCodePage> Open();
    ~IconvCodePage() override;

    std::optional<std::string> WideToAnsi(std::wstring_view text) override;
    std::optional<std::wstring> AnsiToWide(std::string_view bytes) override;

private:
    IconvCodePage(iconv_t toAnsi, iconv_t toWide);

    // iconv descriptors keep conversion state, so one conversion at a time.
    std::mutex mutex_;
    iconv_t toAnsi_;
    iconv_t toWide_;
};

}  // namespace norvik
