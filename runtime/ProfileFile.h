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
// The file is written by hand and by the Windows build, so it is read as
// Windows reads it: a file that starts with FF FE is UTF-16LE; any other file
// is read line by line, each line as UTF-8 where it is valid UTF-8 and in the
// ANSI code page (936) where it is not. Chinese text in code page 936 is
// almost never valid UTF-8 (a GBK trail byte rarely follows a lead byte the
// way UTF-8 continuation bytes must), while files written by earlier Linux
// builds are UTF-8; the per-line rule reads both. Every line keeps its own
// bytes: a write encodes only the line it changes or adds (UTF-16LE in a
// UTF-16LE file; UTF-8 in a file with the UTF-8 byte order mark or whose
// non-ASCII lines are all UTF-8; otherwise the ANSI code page, as Windows
// writes). Lines may end in CR LF or LF; a rewritten file keeps the line
// ending it already uses, a new file gets CR LF as Windows writes it.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace norvik {

class AnsiCodePage;

class ProfileFile {
public:
    // An empty profile: what a missing file reads as.
    ProfileFile() = default;
    // The file's bytes as stored. `ansi` decodes lines that are not UTF-8; a
    // null one (or one that refuses) leaves them decoded as UTF-8 with
    // replacement characters, their bytes still kept.
    static ProfileFile FromBytes(std::string_view bytes, AnsiCodePage* ansi);
    static ProfileFile FromUtf8(std::string_view bytes) { return FromBytes(bytes, nullptr); }
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
    std::wstring ReadString(std::wstring_view section, std::wstring_view key, std::wstring_view defaultValue,
                            std::size_t bufferChars) const;

    // WritePrivateProfileStringW: replaces the line of the key in the first
    // section of that name, or adds "key=value" at the end of that section, or
    // adds the section with the key at the end of the file. Every other line is
    // kept as it was, in its place.
    void WriteString(std::wstring_view section, std::wstring_view key, std::wstring_view value);

    std::wstring Text() const;
    // The file's bytes: unchanged lines as they were read, changed and new
    // ones encoded as described above. nullopt when a changed line has to go
    // in the ANSI code page and `ansi` refuses the conversion.
    std::optional<std::string> ToBytes(AnsiCodePage* ansi) const;
    std::string ToUtf8() const { return ToBytes(nullptr).value_or(std::string()); }

private:
    struct Line {
        std::wstring text;    // without its line ending
        std::wstring ending;  // "\r\n", "\n", "\r" or empty for an unterminated last line
        // The bytes the text and the ending were read from; nullopt once
        // changed or for a new line.
        std::optional<std::string> textBytes;
        std::optional<std::string> endingBytes;
    };
    enum class Encoding { Utf8, AnsiCodePage, Utf16Le };

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
    std::string prefix_;                          // byte order mark as read
    std::string trailing_;                        // odd last byte of a UTF-16LE file
    Encoding encoding_ = Encoding::AnsiCodePage;  // for changed and new lines
};

}  // namespace norvik
