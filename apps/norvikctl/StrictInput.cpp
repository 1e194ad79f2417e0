#include "apps/norvikctl/StrictInput.h"

#include "runtime/HexDigit.h"
namespace norvik::ctl {

namespace {

bool IsSeparator(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == ',' || c == ';' || c == ':';
}

// The whole UTF-8 character starting at byte i, for the message.
std::string CharacterAt(const std::string& text, std::size_t i)
{
    std::size_t end = i + 1;
    while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        ++end;
    return text.substr(i, end - i);
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace

bool ReadStrictHex(const std::string& text, std::vector<std::uint8_t>& bytes, std::string& reason)
{
    bytes.clear();
    std::size_t i = 0;
    while (i < text.size()) {
        if (IsSeparator(text[i])) {
            ++i;
            continue;
        }
        const std::size_t start = i;
        if (text[i] == '0' && i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X'))
            i += 2;
        const std::size_t digitsStart = i;
        while (i < text.size() && HexDigitValue(text[i]) >= 0)
            ++i;
        if (i < text.size() && !IsSeparator(text[i])) {
            reason = Quoted(CharacterAt(text, i)) + " at position " + std::to_string(i + 1) +
                     " is neither a hex digit nor a separator";
            return false;
        }
        const std::string token = text.substr(start, i - start);
        const std::size_t digits = i - digitsStart;
        if (digits == 0) {
            reason = Quoted(token) + " has no hex digits";
            return false;
        }
        if (digits % 2 != 0) {
            reason = Quoted(token) +
                     " leaves a lone hex digit; write every byte as two digits (\"0F\", not \"F\")";
            return false;
        }
        for (std::size_t d = digitsStart; d < i; d += 2)
            bytes.push_back(std::uint8_t(HexDigitValue(text[d]) * 16 + HexDigitValue(text[d + 1])));
    }
    if (bytes.empty()) {
        reason = "no byte in " + Quoted(text);
        return false;
    }
    return true;
}

bool ParseStrictHex(const std::string& text, std::vector<std::uint8_t>& bytes, std::string& error)
{
    std::string reason;
    if (ReadStrictHex(text, bytes, reason))
        return true;
    error = "norvikctl: --hex: " + reason;
    return false;
}

std::string SelectorProblem(const std::string& text)
{
    return Quoted(text) + " is not a control selector: a whole number from 1 to 255, decimal or hex with 0x";
}

SelectorText ParseStrictSelector(const std::string& text, std::uint8_t& selector, std::string& error)
{
    selector = 0;
    if (text.empty())
        return SelectorText::Empty;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    unsigned value = 0;
    bool whole = true;
    for (std::size_t i = hex ? 2 : 0; i < text.size() && whole; ++i) {
        const int digit =
            hex ? HexDigitValue(text[i]) : (text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : -1);
        whole = digit >= 0;
        value = value * (hex ? 16 : 10) + unsigned(whole ? digit : 0);
        if (value > 255)
            whole = false;
    }
    if (!whole) {
        error = "norvikctl: --cs " + SelectorProblem(text);
        return SelectorText::Invalid;
    }
    if (value == 0)
        return SelectorText::Zero;
    selector = std::uint8_t(value);
    return SelectorText::Valid;
}

bool ParseStrictMilliseconds(const std::string& text, unsigned min, unsigned max, unsigned& value)
{
    if (text.empty() || text.size() > 10)
        return false;
    unsigned long long number = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        number = number * 10 + unsigned(c - '0');
    }
    if (number < min || number > max)
        return false;
    value = unsigned(number);
    return true;
}

}  // namespace norvik::ctl
