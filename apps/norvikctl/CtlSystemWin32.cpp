// norvikctl on Windows: the Win32 runtime as a console program's, and the
// Windows platform (DirectShow and kernel streaming, the hub I/O controls,
// SetupAPI). Words, names and the environment are read as UTF-16 and carried
// as UTF-8, so that Chinese text and paths survive whatever the ANSI code
// page. Standard output and error carry the tool's UTF-8 bytes unchanged: in
// binary mode (no CR before each LF, the same bytes as on Linux), and a
// console they are shown on is switched to UTF-8 while the program runs.
#include <fcntl.h>
#include <io.h>

#include <cstdlib>

#include "apps/norvikctl/CtlSystem.h"
#include "platforms/win32/DirectShowCaptureStack.h"
#include "platforms/win32/Win32DeviceSetup.h"
#include "platforms/win32/Win32Runtime.h"
#include "platforms/win32/Win32UsbHost.h"
#include "platforms/win32/WindowsApi.h"
#include "runtime/Utf8.h"

namespace norvik::ctl {

namespace {

class WindowsSystem final : public RealSystem {
public:
    CaptureStack& Capture() override { return capture_; }
    UsbHost& Usb() override { return usb_; }
    DeviceSetup& Setup() override { return setup_; }

private:
    DirectShowCaptureStack capture_;
    Win32UsbHost usb_;
    Win32DeviceSetup setup_;
};

bool IsConsole(std::FILE* stream)
{
    const HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && handle != nullptr && ::GetConsoleMode(handle, &mode) != FALSE;
}

// The words of the command line as Windows splits them, from its UTF-16
// text; the C library's argv would hold them in the ANSI code page.
std::vector<std::string> WideCommandLine()
{
    std::vector<std::string> words;
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!wide)
        return words;
    for (int i = 0; i < count; ++i)
        words.push_back(WideToUtf8(wide[i]));
    ::LocalFree(wide);
    return words;
}

}  // namespace

std::unique_ptr<Runtime> MakeCtlRuntime(std::FILE* diagnostics)
{
    Win32Runtime::Options options;
    options.diagnostics = diagnostics;
    options.consoleProgram = true;
    return std::make_unique<Win32Runtime>(options);
}

std::unique_ptr<RealSystem> MakeRealSystem(Runtime&) { return std::make_unique<WindowsSystem>(); }

ConsoleProgram::ConsoleProgram(int argc, char** argv) : words_(WideCommandLine())
{
    if (words_.empty())
        words_.assign(argv, argv + argc);
    for (std::string& word : words_)
        pointers_.push_back(word.data());
    pointers_.push_back(nullptr);

    ::_setmode(::_fileno(stdout), _O_BINARY);
    ::_setmode(::_fileno(stderr), _O_BINARY);
    if (IsConsole(stdout) || IsConsole(stderr)) {
        previousOutputCodePage_ = ::GetConsoleOutputCP();
        ::SetConsoleOutputCP(CP_UTF8);
    }
}

ConsoleProgram::~ConsoleProgram()
{
    if (previousOutputCodePage_ != 0) {
        std::fflush(stdout);
        std::fflush(stderr);
        ::SetConsoleOutputCP(previousOutputCodePage_);
    }
}

std::optional<std::string> EnvironmentValue(const char* name)
{
    const wchar_t* value = ::_wgetenv(Utf8ToWide(name).c_str());
    if (!value)
        return std::nullopt;
    return WideToUtf8(value);
}

std::FILE* OpenNamedFile(const std::string& path, const char* mode)
{
    return ::_wfopen(Utf8ToWide(path).c_str(), Utf8ToWide(mode).c_str());
}

bool RemoveNamedFile(const std::string& path) { return ::_wremove(Utf8ToWide(path).c_str()) == 0; }

}  // namespace norvik::ctl
