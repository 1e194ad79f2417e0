#pragma once
// The value of one ASCII hex digit, for the readers of hex text (GUIDs,
// data bytes, scenario values). Full-width digits and letters are not
// digits: they give -1, as every other character does.

namespace norvik {

constexpr int HexDigitValue(wchar_t c)
{
    if (c >= L'0' && c <= L'9')
        return int(c - L'0');
    if (c >= L'a' && c <= L'f')
        return int(c - L'a') + 10;
    if (c >= L'A' && c <= L'F')
        return int(c - L'A') + 10;
    return -1;
}

// A byte of narrow text: taken as unsigned, so bytes above 0x7F are never
// mistaken for digits whatever the signedness of char and wchar_t.
constexpr int HexDigitValue(char c) { return HexDigitValue(wchar_t(static_cast<unsigned char>(c))); }

}  // namespace norvik
