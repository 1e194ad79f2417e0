#include "platforms/win32/Win32Runtime.h"

#include <io.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <vector>

#include "platforms/win32/Win32Shell.h"
#include "platforms/win32/WindowsApi.h"
#include "runtime/Utf8.h"

namespace norvik {

namespace {

class Win32OutputFile final : public OutputFile {
public:
    explicit Win32OutputFile(std::FILE* file) : file_(file) {}
    ~Win32OutputFile() override { Close(); }

    bool Write(const void* data, std::size_t size) override
    {
        if (!file_)
            return false;
        return size == 0 || std::fwrite(data, 1, size, file_) == size;
    }

    bool Close() override
    {
        if (!file_)
            return false;
        const bool flushed = std::fflush(file_) == 0;
        const bool closed = std::fclose(file_) == 0;
        file_ = nullptr;
        return flushed && closed;
    }

private:
    std::FILE* file_;
};

// A buffer that FormatMessageA allocated, freed with LocalFree.
struct LocalBuffer {
    char* text = nullptr;
    ~LocalBuffer()
    {
        if (text)
            ::LocalFree(text);
    }
};

// The console behind a stream, or null when the stream goes to a file, a
// pipe or nowhere.
void* ConsoleOf(std::FILE* stream)
{
    const int fd = ::_fileno(stream);
    if (fd < 0)
        return nullptr;
    HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    DWORD mode = 0;
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr || !::GetConsoleMode(handle, &mode))
        return nullptr;
    return handle;
}

void WriteBytes(std::FILE* stream, std::string_view bytes)
{
    if (!bytes.empty())
        std::fwrite(bytes.data(), 1, bytes.size(), stream);
    std::fflush(stream);
}

// What the stream holds is written first, so that the lines keep their order.
void WriteConsoleText(std::FILE* stream, void* console, std::wstring_view text)
{
    std::fflush(stream);
    DWORD written = 0;
    ::WriteConsoleW(console, text.data(), DWORD(text.size()), &written, nullptr);
}

}  // namespace

Win32Runtime::Win32Runtime() = default;
Win32Runtime::Win32Runtime(Options options) : options_(options)
{
    if (options_.consoleProgram)
        diagnostics_ = options_.diagnostics;
}

Win32Runtime::~Win32Runtime()
{
    if (ownConsoleStream_)
        std::fclose(ownConsoleStream_);
}

void Win32Runtime::WriteDiagnostic(std::string_view bytes)
{
    std::lock_guard<std::mutex> lock(diagnosticsMutex_);
    if (options_.consoleProgram && !consoleOpen_)
        return;
    std::FILE* stream = DiagnosticStream();
    // On a console the text is written as text, so that the console shows
    // the characters of the ANSI code page whatever the C library's locale.
    if (HANDLE console = ConsoleOf(stream)) {
        if (const std::optional<std::wstring> text = CodePageToWide(ConversionCodePage(), bytes)) {
            WriteConsoleText(stream, console, *text);
            return;
        }
    }
    WriteBytes(stream, bytes);
}

void Win32Runtime::WriteDiagnosticWide(std::wstring_view text)
{
    std::lock_guard<std::mutex> lock(diagnosticsMutex_);
    if (options_.consoleProgram && !consoleOpen_)
        return;
    std::FILE* stream = DiagnosticStream();
    if (HANDLE console = ConsoleOf(stream)) {
        WriteConsoleText(stream, console, text);
        return;
    }
    if (options_.consoleProgram) {
        WriteBytes(stream, WideToUtf8(text));
        return;
    }
    // Elsewhere wide lines become bytes of the ANSI code page, like the
    // narrow ones beside them.
    if (const std::optional<std::string> bytes = WideToCodePage(ConversionCodePage(), text))
        WriteBytes(stream, *bytes);
}

std::FILE* Win32Runtime::DiagnosticStream() const { return diagnostics_ ? diagnostics_ : stdout; }

bool Win32Runtime::OpenConsole()
{
    std::lock_guard<std::mutex> lock(diagnosticsMutex_);
    if (options_.consoleProgram) {
        consoleOpen_ = true;
        return diagnostics_ != nullptr;
    }
    // A process that already has a console keeps it; the streams are
    // reopened on it either way.
    ::AllocConsole();
    std::freopen("conin$", "r+t", stdin);
    std::FILE* out = std::freopen("conout$", "w+t", stdout);
    std::freopen("conout$", "w+t", stderr);
    if (out) {
        diagnostics_ = nullptr;
        return true;
    }
    // A C library that cannot reopen a standard stream which was never
    // open (Wine's, for a windowed program started without standard
    // handles) still lets the diagnostics reach the console on a stream of
    // their own.
    if (!ownConsoleStream_)
        ownConsoleStream_ = std::fopen("conout$", "w+t");
    diagnostics_ = ownConsoleStream_;
    return diagnostics_ != nullptr;
}

std::uint32_t Win32Runtime::TickCount() { return ::GetTickCount(); }

void Win32Runtime::Sleep(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

LocalTime Win32Runtime::Now()
{
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    LocalTime time;
    time.year = now.wYear;
    time.month = now.wMonth;
    time.dayOfWeek = now.wDayOfWeek;
    time.day = now.wDay;
    time.hour = now.wHour;
    time.minute = now.wMinute;
    time.second = now.wSecond;
    time.milliseconds = now.wMilliseconds;
    return time;
}

int Win32Runtime::ReadProfileInt(const std::wstring& section, const std::wstring& key, int defaultValue,
                                 const std::wstring& path)
{
    return int(::GetPrivateProfileIntW(section.c_str(), key.c_str(), defaultValue, path.c_str()));
}

std::wstring Win32Runtime::ReadProfileString(const std::wstring& section, const std::wstring& key,
                                             const std::wstring& defaultValue, std::size_t bufferChars,
                                             const std::wstring& path)
{
    if (bufferChars == 0)
        return std::wstring();
    std::vector<wchar_t> buffer(bufferChars, L'\0');
    const DWORD length = ::GetPrivateProfileStringW(section.c_str(), key.c_str(), defaultValue.c_str(),
                                                    buffer.data(), DWORD(bufferChars), path.c_str());
    return std::wstring(buffer.data(), std::min<std::size_t>(length, bufferChars - 1));
}

bool Win32Runtime::WriteProfileString(const std::wstring& section, const std::wstring& key,
                                      const std::wstring& value, const std::wstring& path)
{
    return ::WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(), path.c_str()) != FALSE;
}

std::wstring Win32Runtime::ModulePath()
{
    // GetModuleFileNameW fills the whole buffer when the path does not fit;
    // the buffer grows until it does.
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), DWORD(buffer.size()));
        if (length == 0)
            return std::wstring();
        if (length < buffer.size())
            return std::wstring(buffer.data(), length);
        if (buffer.size() >= 32768)
            return std::wstring();
        buffer.resize(buffer.size() * 2);
    }
}

std::optional<std::string> Win32Runtime::WideToAnsi(std::wstring_view text)
{
    return codePage_.WideToAnsi(text);
}

std::optional<std::wstring> Win32Runtime::AnsiToWide(std::string_view bytes)
{
    return codePage_.AnsiToWide(bytes);
}

std::optional<std::string> Win32Runtime::SystemErrorText(std::uint32_t code)
{
    LocalBuffer buffer;
    const DWORD length = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        code, 0, reinterpret_cast<char*>(&buffer.text), 0, nullptr);
    if (length == 0 || !buffer.text)
        return std::nullopt;
    return std::string(buffer.text, length);
}

std::unique_ptr<OutputFile> Win32Runtime::CreateOutputFile(const std::wstring& name)
{
    std::FILE* file = ::_wfopen(name.c_str(), L"wb");
    if (!file)
        return nullptr;
    return std::make_unique<Win32OutputFile>(file);
}

bool Win32Runtime::RemoveFile(const std::wstring& name) { return ::_wremove(name.c_str()) == 0; }

std::intptr_t Win32Runtime::ShellOpen(const std::wstring& target)
{
    return OpenWithShell(target, SystemShellCalls(), codePage_);
}

void Win32Runtime::Beep(std::uint32_t type) { ::MessageBeep(type); }

void Win32Runtime::SetChineseLocale() { ::_wsetlocale(LC_ALL, L"chs"); }

}  // namespace norvik
