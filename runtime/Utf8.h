#pragma once
// UTF-8 <-> wide text. Used where text leaves the program as bytes on a
// platform without a wide-character API: diagnostics written to a byte stream,
// file names, and the settings file, which is kept as UTF-8 text.

#include <string>
#include <string_view>

namespace norvik {

// Characters that are not Unicode scalar values (lone surrogates, values past
// U+10FFFF) are written as U+FFFD. Where wchar_t is 16 bits wide, surrogate
// pairs are combined first.
std::string WideToUtf8(std::wstring_view text);

// Malformed sequences become U+FFFD, one for each maximal ill-formed part, so
// decoding never fails and never swallows the well-formed bytes around them.
std::wstring Utf8ToWide(std::string_view bytes);

// True when every byte belongs to a well-formed UTF-8 sequence (no overlong
// forms, surrogates or values past U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

}  // namespace norvik
