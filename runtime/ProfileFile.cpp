#include "runtime/ProfileFile.h"

#include <cstdint>
#include <cwctype>

#include "runtime/CodePage.h"
#include "runtime/Utf8.h"

namespace norvik {

namespace {

constexpr std::size_t npos = std::wstring::npos;

// White space as the profile parser sees it; Ctrl-Z is the old end-of-file
// mark that editors still leave behind.
bool IsProfileSpace(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\v' || c == L'\f' || c == 0x1A;
}

std::wstring_view TrimLeft(std::wstring_view s)
{
    std::size_t i = 0;
    while (i < s.size() && IsProfileSpace(s[i]))
        ++i;
    return s.substr(i);
}

std::wstring_view TrimRight(std::wstring_view s)
{
    std::size_t n = s.size();
    while (n > 0 && IsProfileSpace(s[n - 1]))
        --n;
    return s.substr(0, n);
}

wchar_t FoldCase(wchar_t c)
{
    if (c >= L'A' && c <= L'Z')
        return wchar_t(c - L'A' + L'a');
    if (c < 0x80)
        return c;
    return wchar_t(std::towlower(std::wint_t(c)));
}

bool EqualNoCase(std::wstring_view a, std::wstring_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (FoldCase(a[i]) != FoldCase(b[i]))
            return false;
    return true;
}

enum class LineKind { Blank, Comment, Section, Key, Other };

struct ParsedLine {
    LineKind kind = LineKind::Blank;
    std::wstring_view name;   // section or key name
    std::wstring_view value;  // key value (after '=')
    bool hasValue = false;    // the key line has an '='
};

ParsedLine ParseLine(std::wstring_view text)
{
    ParsedLine parsed;
    std::wstring_view s = TrimRight(TrimLeft(text));
    if (s.empty())
        return parsed;
    if (s.front() == L';') {
        parsed.kind = LineKind::Comment;
        return parsed;
    }
    if (s.front() == L'[') {
        const std::size_t close = s.rfind(L']');
        if (close == npos) {
            parsed.kind = LineKind::Other;
            return parsed;
        }
        parsed.kind = LineKind::Section;
        parsed.name = s.substr(1, close - 1);
        return parsed;
    }
    parsed.kind = LineKind::Key;
    const std::size_t equals = s.find(L'=');
    if (equals == npos) {
        parsed.name = s;
        return parsed;
    }
    parsed.name = TrimRight(s.substr(0, equals));
    parsed.value = TrimLeft(s.substr(equals + 1));
    parsed.hasValue = true;
    return parsed;
}

std::wstring Truncate(std::wstring_view s, std::size_t bufferChars)
{
    if (bufferChars == 0)
        return std::wstring();
    return std::wstring(s.substr(0, bufferChars - 1));
}

}  // namespace

namespace {

bool IsAscii(std::string_view bytes)
{
    for (char c : bytes)
        if (std::uint8_t(c) >= 0x80)
            return false;
    return true;
}

std::wstring Widen(std::string_view ascii) { return std::wstring(ascii.begin(), ascii.end()); }

std::string Utf16LeBytes(std::wstring_view text)
{
    std::string out;
    for (wchar_t w : text) {
        std::uint32_t c = std::uint32_t(w);
        if (c >= 0x10000 && c <= 0x10FFFF) {
            c -= 0x10000;
            const std::uint32_t high = 0xD800 + (c >> 10), low = 0xDC00 + (c & 0x3FF);
            out += {char(high & 0xFF), char(high >> 8), char(low & 0xFF), char(low >> 8)};
        } else {
            if (c > 0xFFFF)
                c = 0xFFFD;
            out += {char(c & 0xFF), char((c >> 8) & 0xFF)};
        }
    }
    return out;
}

// Code units as they are; a valid surrogate pair becomes one character where
// wchar_t is 32 bits wide, a lone surrogate stays the code unit it was.
std::wstring Utf16LeText(std::string_view bytes)
{
    std::wstring out;
    const std::size_t units = bytes.size() / 2;
    auto unit = [&](std::size_t i) {
        return std::uint32_t(std::uint8_t(bytes[2 * i])) |
               (std::uint32_t(std::uint8_t(bytes[2 * i + 1])) << 8);
    };
    for (std::size_t i = 0; i < units; ++i) {
        std::uint32_t c = unit(i);
        if constexpr (sizeof(wchar_t) == 4) {
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units) {
                const std::uint32_t low = unit(i + 1);
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                    ++i;
                }
            }
        }
        out.push_back(wchar_t(c));
    }
    return out;
}

}  // namespace

ProfileFile ProfileFile::FromBytes(std::string_view bytes, AnsiCodePage* ansi)
{
    ProfileFile file;
    if (bytes.size() >= 2 && std::uint8_t(bytes[0]) == 0xFF && std::uint8_t(bytes[1]) == 0xFE) {
        file.prefix_.assign(bytes.substr(0, 2));
        bytes.remove_prefix(2);
        if (bytes.size() % 2 != 0) {
            file.trailing_.assign(bytes.substr(bytes.size() - 1));
            bytes.remove_suffix(1);
        }
        // Split on the code units CR and LF, keeping each line's own bytes.
        file = [&] {
            ProfileFile parsed = FromText(Utf16LeText(bytes));
            std::size_t offset = 0;
            for (Line& line : parsed.lines_) {
                const std::size_t textSize = Utf16LeBytes(line.text).size();
                line.textBytes.emplace(bytes.substr(offset, textSize));
                offset += textSize;
                line.endingBytes.emplace(bytes.substr(offset, 2 * line.ending.size()));
                offset += 2 * line.ending.size();
            }
            parsed.prefix_ = std::move(file.prefix_);
            parsed.trailing_ = std::move(file.trailing_);
            return parsed;
        }();
        file.encoding_ = Encoding::Utf16Le;
        return file;
    }

    bool utf8Seen = false, ansiSeen = false;
    if (bytes.size() >= 3 && std::uint8_t(bytes[0]) == 0xEF && std::uint8_t(bytes[1]) == 0xBB &&
        std::uint8_t(bytes[2]) == 0xBF) {
        file.prefix_.assign(bytes.substr(0, 3));
        bytes.remove_prefix(3);
        utf8Seen = true;
    }
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = start;
        while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n')
            ++end;
        std::size_t next = end;
        if (next < bytes.size())
            next += (bytes[next] == '\r' && next + 1 < bytes.size() && bytes[next + 1] == '\n') ? 2 : 1;
        const std::string_view text = bytes.substr(start, end - start);
        const std::string_view ending = bytes.substr(end, next - end);
        Line line;
        if (IsAscii(text)) {
            line.text = Widen(text);
        } else if (IsValidUtf8(text)) {
            line.text = Utf8ToWide(text);
            utf8Seen = true;
        } else {
            std::optional<std::wstring> decoded = ansi ? ansi->AnsiToWide(text) : std::nullopt;
            line.text = decoded ? std::move(*decoded) : Utf8ToWide(text);
            ansiSeen = true;
        }
        line.ending = Widen(ending);
        line.textBytes.emplace(text);
        line.endingBytes.emplace(ending);
        file.lines_.push_back(std::move(line));
        start = next;
    }
    file.encoding_ = utf8Seen && !ansiSeen ? Encoding::Utf8 : Encoding::AnsiCodePage;
    return file;
}

ProfileFile ProfileFile::FromText(std::wstring_view text)
{
    ProfileFile file;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = start;
        while (end < text.size() && text[end] != L'\r' && text[end] != L'\n')
            ++end;
        Line line;
        line.text.assign(text.substr(start, end - start));
        if (end < text.size()) {
            if (text[end] == L'\r' && end + 1 < text.size() && text[end + 1] == L'\n') {
                line.ending = L"\r\n";
                end += 2;
            } else {
                line.ending.assign(1, text[end]);
                end += 1;
            }
        }
        file.lines_.push_back(std::move(line));
        start = end;
    }
    return file;
}

std::size_t ProfileFile::FindSection(std::wstring_view section) const
{
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const ParsedLine parsed = ParseLine(lines_[i].text);
        if (parsed.kind == LineKind::Section && EqualNoCase(parsed.name, section))
            return i;
    }
    return npos;
}

std::size_t ProfileFile::SectionEnd(std::size_t header) const
{
    std::size_t i = header + 1;
    while (i < lines_.size() && ParseLine(lines_[i].text).kind != LineKind::Section)
        ++i;
    return i;
}

std::size_t ProfileFile::FindKey(std::size_t header, std::wstring_view key) const
{
    const std::size_t end = SectionEnd(header);
    for (std::size_t i = header + 1; i < end; ++i) {
        const ParsedLine parsed = ParseLine(lines_[i].text);
        if (parsed.kind == LineKind::Key && EqualNoCase(parsed.name, key))
            return i;
    }
    return npos;
}

std::wstring ProfileFile::ReadString(std::wstring_view section, std::wstring_view key,
                                     std::wstring_view defaultValue, std::size_t bufferChars) const
{
    const std::size_t header = FindSection(section);
    const std::size_t line = header == npos ? npos : FindKey(header, key);
    const ParsedLine parsed = line == npos ? ParsedLine{} : ParseLine(lines_[line].text);
    if (line == npos || !parsed.hasValue) {
        // The default loses its trailing blanks.
        std::size_t n = defaultValue.size();
        while (n > 0 && defaultValue[n - 1] == L' ')
            --n;
        return Truncate(defaultValue.substr(0, n), bufferChars);
    }
    std::wstring_view value = parsed.value;
    bool quoted = false;
    if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') &&
        value.back() == value.front()) {
        quoted = true;
        value.remove_prefix(1);  // the closing quote is still there
    }
    std::wstring result = Truncate(value, bufferChars);
    // The closing quote goes only when it made it into the buffer.
    if (quoted && result.size() == value.size())
        result.pop_back();
    return result;
}

int ProfileFile::ReadInt(std::wstring_view section, std::wstring_view key, int defaultValue) const
{
    // Windows reads the value as a string into a small buffer first.
    const std::wstring text = ReadString(section, key, std::wstring_view(), 30);
    if (text.empty())
        return defaultValue;
    std::size_t i = 0;
    while (i < text.size() && (text[i] == L' ' || text[i] == L'\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
        negative = text[i] == L'-';
        ++i;
    }
    std::uint32_t value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i)
        value = value * 10u + std::uint32_t(text[i] - L'0');
    if (negative)
        value = 0u - value;
    return int(value);
}

std::wstring ProfileFile::LineEnding() const
{
    for (const Line& line : lines_)
        if (!line.ending.empty())
            return line.ending;
    return L"\r\n";
}

void ProfileFile::WriteString(std::wstring_view section, std::wstring_view key, std::wstring_view value)
{
    const std::wstring eol = LineEnding();
    std::wstring keyLine(key);
    keyLine += L'=';
    keyLine += value;

    const std::size_t header = FindSection(section);
    if (header == npos) {
        if (!lines_.empty() && lines_.back().ending.empty())
            lines_.back().ending = eol, lines_.back().endingBytes.reset();
        std::wstring headerLine = L"[";
        headerLine += section;
        headerLine += L']';
        lines_.push_back(Line{std::move(headerLine), eol, {}, {}});
        lines_.push_back(Line{std::move(keyLine), eol, {}, {}});
        return;
    }
    const std::size_t existing = FindKey(header, key);
    if (existing != npos) {
        lines_[existing].text = std::move(keyLine);
        lines_[existing].textBytes.reset();
        return;
    }
    // After the last non-blank line of the section, so that blank lines
    // separating it from the next section stay where they are.
    std::size_t insertAt = header + 1;
    const std::size_t end = SectionEnd(header);
    for (std::size_t i = header + 1; i < end; ++i)
        if (ParseLine(lines_[i].text).kind != LineKind::Blank)
            insertAt = i + 1;
    if (lines_[insertAt - 1].ending.empty()) {
        lines_[insertAt - 1].ending = eol;
        lines_[insertAt - 1].endingBytes.reset();
    }
    lines_.insert(lines_.begin() + std::ptrdiff_t(insertAt), Line{std::move(keyLine), eol, {}, {}});
}

std::wstring ProfileFile::Text() const
{
    std::wstring text;
    for (const Line& line : lines_) {
        text += line.text;
        text += line.ending;
    }
    return text;
}

std::optional<std::string> ProfileFile::ToBytes(AnsiCodePage* ansi) const
{
    auto encode = [&](const std::wstring& text) -> std::optional<std::string> {
        if (encoding_ == Encoding::Utf16Le)
            return Utf16LeBytes(text);
        const std::string utf8 = WideToUtf8(text);
        if (encoding_ == Encoding::Utf8 || IsAscii(utf8) || ansi == nullptr)
            return utf8;
        return ansi->WideToAnsi(text);
    };
    std::string bytes = prefix_;
    for (const Line& line : lines_) {
        for (auto [raw, text] :
             {std::pair{&line.textBytes, &line.text}, std::pair{&line.endingBytes, &line.ending}}) {
            if (raw->has_value()) {
                bytes += **raw;
                continue;
            }
            std::optional<std::string> encoded = encode(*text);
            if (!encoded)
                return std::nullopt;
            bytes += *encoded;
        }
    }
    bytes += trailing_;
    return bytes;
}

}  // namespace norvik
