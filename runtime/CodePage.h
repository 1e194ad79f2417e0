#pragma once
// Conversions between wide text and the ANSI code page. Where the system has
// no thread code page (Linux) the code page is 936 (GBK), the one the
// tool's Chinese Windows users have.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace norvik {

class AnsiCodePage {
public:
    virtual ~AnsiCodePage() = default;
    // Characters the code page cannot represent become its default character
    // ("?"). nullopt only when the conversion itself is refused.
    virtual std::optional<std::string> WideToAnsi(std::wstring_view text) = 0;
    // Bytes that are not valid in the code page become its replacement
    // character. nullopt only when the conversion itself is refused.
    virtual std::optional<std::wstring> AnsiToWide(std::string_view bytes) = 0;
};

// The platform's ANSI code page. Never null: when the platform cannot convert
// at all, the object refuses every conversion.
std::unique_ptr<AnsiCodePage> MakeAnsiCodePage();

}  // namespace norvik
