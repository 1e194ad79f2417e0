#include <gtest/gtest.h>

#include "runtime/CodePage.h"
#include "runtime/ProfileFile.h"

namespace norvik::test {
namespace {

ProfileFile Load(const char* utf8) { return ProfileFile::FromUtf8(utf8); }

TEST(ProfileFileRead, IntegersFollowTheWindowsRules)
{
    const ProfileFile file = Load(
        "[Config]\r\n"
        "Debug=1\r\n"
        "InuptMode=abc\r\n"
        "Signed=  -12xyz \r\n"
        "Plus=+7\r\n"
        "Empty=\r\n"
        "Quoted=\"5\"\r\n"
        "Huge=4294967297\r\n");
    EXPECT_EQ(file.ReadInt(L"Config", L"Debug", 9), 1);
    EXPECT_EQ(file.ReadInt(L"Config", L"InuptMode", 9), 0);  // non-numeric reads 0
    EXPECT_EQ(file.ReadInt(L"Config", L"Signed", 9), -12);
    EXPECT_EQ(file.ReadInt(L"Config", L"Plus", 9), 7);
    EXPECT_EQ(file.ReadInt(L"Config", L"Empty", 9), 9);  // empty value: the default
    EXPECT_EQ(file.ReadInt(L"Config", L"Quoted", 9), 5);
    EXPECT_EQ(file.ReadInt(L"Config", L"Huge", 9), 1);  // wraps at 32 bits
    EXPECT_EQ(file.ReadInt(L"Config", L"Missing", 9), 9);
    EXPECT_EQ(file.ReadInt(L"Other", L"Debug", 9), 9);
    EXPECT_EQ(ProfileFile().ReadInt(L"Config", L"Debug", 3), 3);
}

TEST(ProfileFileRead, NamesMatchWithoutCaseAndBlanksAroundThemDoNotCount)
{
    const ProfileFile file = Load(
        "; a comment\n"
        "  [config]  \n"
        "  inputguid   =   {ABC}   \n"
        "[Config2]\n"
        "InputGuid=other\n");
    EXPECT_EQ(file.ReadString(L"CONFIG", L"InputGuid", L"", 60), L"{ABC}");
    EXPECT_EQ(file.ReadString(L"Config2", L"INPUTGUID", L"", 60), L"other");
}

TEST(ProfileFileRead, OnlyTheFirstSectionOfANameIsSearched)
{
    const ProfileFile file = Load("[Config]\nA=1\n[Config]\nB=2\n");
    EXPECT_EQ(file.ReadString(L"Config", L"A", L"d", 10), L"1");
    EXPECT_EQ(file.ReadString(L"Config", L"B", L"d", 10), L"d");
}

TEST(ProfileFileRead, StringsAreCutToTheBufferLessOne)
{
    const std::wstring seventy(70, L'x');
    ProfileFile file;
    file.WriteString(L"Config", L"InputGuid", seventy);
    EXPECT_EQ(file.ReadString(L"Config", L"InputGuid", L"", 60), std::wstring(59, L'x'));
    EXPECT_EQ(file.ReadString(L"Config", L"InputGuid", L"", 1), L"");
    EXPECT_EQ(file.ReadString(L"Config", L"InputGuid", L"", 0), L"");
    // The default is cut the same way, after losing its trailing blanks.
    EXPECT_EQ(file.ReadString(L"Config", L"Nope", L"abcdef  ", 4), L"abc");
    EXPECT_EQ(file.ReadString(L"Config", L"Nope", L"ab  ", 60), L"ab");
}

TEST(ProfileFileRead, MatchingQuotesAreRemovedOnlyWhenTheClosingOneFits)
{
    const ProfileFile file = Load(
        "[S]\n"
        "D=\"quoted value\"\n"
        "Q='single'\n"
        "M=\"mismatched'\n"
        "L=\"\n"
        "N=no=\"quotes\"\n"
        "K\n");
    EXPECT_EQ(file.ReadString(L"S", L"D", L"", 60), L"quoted value");
    EXPECT_EQ(file.ReadString(L"S", L"Q", L"", 60), L"single");
    EXPECT_EQ(file.ReadString(L"S", L"M", L"", 60), L"\"mismatched'");
    EXPECT_EQ(file.ReadString(L"S", L"L", L"", 60), L"\"");
    EXPECT_EQ(file.ReadString(L"S", L"N", L"", 60), L"no=\"quotes\"");
    // Cut before the closing quote: what fits stays.
    EXPECT_EQ(file.ReadString(L"S", L"D", L"", 7), L"quoted");
    // A key line without '=' has no value: the default comes back.
    EXPECT_EQ(file.ReadString(L"S", L"K", L"dflt", 60), L"dflt");
}

TEST(ProfileFileWrite, ChangesOnlyTheLineOfTheKey)
{
    ProfileFile file = Load(
        "; settings\r\n"
        "[Other]\r\n"
        "InuptMode=7\r\n"
        "\r\n"
        "[Config]\r\n"
        "Debug=1\r\n"
        "  inuptmode = 5 ; old\r\n"
        "InputGuid={X}\r\n"
        "\r\n"
        "[Tail]\r\n"
        "Z=9\r\n");
    file.WriteString(L"Config", L"InuptMode", L"1");
    EXPECT_EQ(file.Text(),
              L"; settings\r\n"
              L"[Other]\r\n"
              L"InuptMode=7\r\n"
              L"\r\n"
              L"[Config]\r\n"
              L"Debug=1\r\n"
              L"InuptMode=1\r\n"
              L"InputGuid={X}\r\n"
              L"\r\n"
              L"[Tail]\r\n"
              L"Z=9\r\n");
}

TEST(ProfileFileWrite, AddsAMissingKeyAtTheEndOfItsSection)
{
    ProfileFile file = Load("[Config]\nDebug=1\n\n[Tail]\nZ=9");
    file.WriteString(L"config", L"InputGuid", L"{G}");
    EXPECT_EQ(file.Text(), L"[Config]\nDebug=1\nInputGuid={G}\n\n[Tail]\nZ=9");

    ProfileFile last = Load("[Config]");
    last.WriteString(L"Config", L"K", L"v");
    EXPECT_EQ(last.Text(), L"[Config]\r\nK=v\r\n");
}

TEST(ProfileFileWrite, CreatesTheFileAndTheSection)
{
    ProfileFile file;
    file.WriteString(L"Config", L"InuptMode", L"0");
    EXPECT_EQ(file.ToUtf8(), "[Config]\r\nInuptMode=0\r\n");

    ProfileFile other = Load("[Other]\nA=1");  // no line end at the end
    other.WriteString(L"Config", L"InputGuid", L"{G}");
    EXPECT_EQ(other.Text(), L"[Other]\nA=1\n[Config]\nInputGuid={G}\n");
    EXPECT_EQ(other.ReadString(L"Other", L"A", L"", 10), L"1");
    EXPECT_EQ(other.ReadString(L"Config", L"InputGuid", L"", 10), L"{G}");
}

TEST(ProfileFileBytes, KeepsUtf8TextAndTheByteOrderMark)
{
    ProfileFile file = ProfileFile::FromUtf8("\xEF\xBB\xBF[Config]\r\nName=\xE4\xB8\xAD\r\n");
    EXPECT_EQ(file.ReadString(L"Config", L"Name", L"", 10), L"\x4E2D");
    file.WriteString(L"Config", L"Other", L"\x6587");
    EXPECT_EQ(file.ToUtf8(), "\xEF\xBB\xBF[Config]\r\nName=\xE4\xB8\xAD\r\nOther=\xE6\x96\x87\r\n");
}

// Stands for code page 936: "\xD6\xD0" is U+4E2D, a non-ASCII character
// encodes as "#".
class MarkerCodePage final : public AnsiCodePage {
public:
    std::optional<std::string> WideToAnsi(std::wstring_view text) override
    {
        std::string bytes;
        for (wchar_t c : text)
            bytes += c < 0x80 ? char(c) : '#';
        return bytes;
    }
    std::optional<std::wstring> AnsiToWide(std::string_view bytes) override
    {
        std::wstring text;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (bytes.substr(i, 2) == "\xD6\xD0")
                text += L'\x4E2D', ++i;
            else
                text += bytes[i] >= 0 ? wchar_t(bytes[i]) : L'?';
        }
        return text;
    }
};

TEST(ProfileFileBytes, NewLinesFollowTheEncodingTheFileAlreadyUses)
{
    MarkerCodePage ansi;
    // Only UTF-8 lines: a new line is UTF-8 too.
    ProfileFile utf8 = ProfileFile::FromBytes("[C]\nA=\xE4\xB8\xAD\n", &ansi);
    utf8.WriteString(L"C", L"B", L"\x4E2D");
    EXPECT_EQ(utf8.ToBytes(&ansi), "[C]\nA=\xE4\xB8\xAD\nB=\xE4\xB8\xAD\n");
    // A code page line: new lines go in the code page, as Windows writes them.
    ProfileFile ansiFile = ProfileFile::FromBytes("[C]\nA=\xD6\xD0\n", &ansi);
    EXPECT_EQ(ansiFile.ReadString(L"C", L"A", L"", 10), L"\x4E2D");
    ansiFile.WriteString(L"C", L"B", L"\x4E2D");
    EXPECT_EQ(ansiFile.ToBytes(&ansi), "[C]\nA=\xD6\xD0\nB=#\n");
}

}  // namespace
}  // namespace norvik::test
