#pragma once
// The settings (INI) file logic, on text held in memory: reading an integer,
// reading a string into a buffer of a given size and writing one key, with the
// rules the Windows private-profile functions apply (GetPrivateProfileIntW,
// GetPrivateProfileStringW, WritePrivateProfileStringW).
//
// No INI library is used on purpose: the settings file is shared with the
// Windows build of the tool, and what a hand-edited file reads as (quotes,
// blanks around names and values, case of section and key names, what a
// non-numeric integer gives) has to follow the Windows parsing rules exactly,
// which no general-purpose INI parser does.
//
// On Linux the file is stored as UTF-8 text (an initial byte order mark is
// kept). Lines may end in CR LF or LF; a rewritten file keeps the line ending
// it already uses, a new file gets CR LF as Windows writes it.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace norvik {

class ProfileFile {
public:
    // An empty profile: what a missing file reads as.
    ProfileFile() = default;
    static ProfileFile FromUtf8(std::string_view bytes);
    static ProfileFile FromText(std::wstring_view text);

    // GetPrivateProfileIntW: the value read as a decimal integer (leading
    // blanks, an optional sign, then digits up to the first non-digit; no
    // digits gives 0; arithmetic wraps at 32 bits). A missing section or key,
    // or an empty value, gives defaultValue.
    int ReadInt(std::wstring_view section, std::wstring_view key, int defaultValue) const;

    // GetPrivateProfileStringW with a buffer of bufferChars characters: at most
    // bufferChars - 1 characters come back. A value enclosed in matching single
    // or double quotes loses them. A missing section or key, or a key line
    // without '=', gives defaultValue without its trailing blanks.
    std::wstring ReadString(std::wstring_view section, std::wstring_view key,
                            std::wstring_view defaultValue, std::size_t bufferChars) const;

    // WritePrivateProfileStringW: replaces the line of the key in the first
    // section of that name, or adds "key=value" at the end of that section, or
    // adds the section with the key at the end of the file. Every other line is
    // kept as it was, in its place.
    void WriteString(std::wstring_view section, std::wstring_view key, std::wstring_view value);

    std::wstring Text() const;
    std::string ToUtf8() const;

private:
    struct Line {
        std::wstring text;    // without its line ending
        std::wstring ending;  // "\r\n", "\n", "\r" or empty for an unterminated last line
    };

    // Index of the header line of the first section named `section`, or npos.
    std::size_t FindSection(std::wstring_view section) const;
    // Index of the first line of the key inside the section that starts after
    // `header`, or npos.
    std::size_t FindKey(std::size_t header, std::wstring_view key) const;
    // The end of the section starting after `header` (index of the next header
    // or the line count).
    std::size_t SectionEnd(std::size_t header) const;
    std::wstring LineEnding() const;

    std::vector<Line> lines_;
    bool byteOrderMark_ = false;
};

}  // namespace norvik
