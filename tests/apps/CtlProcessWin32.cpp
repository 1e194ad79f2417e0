// The runner on Windows: CreateProcessW with the standard handles on files,
// an environment block of this process's variables with the changes made,
// and the words quoted as CommandLineToArgvW splits them.
#include <cwchar>
#include <map>

#include "CtlProcess.h"
#include "platforms/win32/Win32Runtime.h"
#include "platforms/win32/WindowsApi.h"
#include "runtime/Utf8.h"

namespace norvik::testing {

namespace {

// Closes a handle the runner opened.
struct Handle {
    HANDLE value = INVALID_HANDLE_VALUE;
    explicit Handle(HANDLE h) : value(h) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle()
    {
        if (value != INVALID_HANDLE_VALUE && value != nullptr)
            ::CloseHandle(value);
    }
};

// One word as the C library's and CommandLineToArgvW's splitting reads it
// back: quoted, with the backslashes before a quote doubled.
std::wstring QuoteWord(const std::wstring& word)
{
    if (!word.empty() && word.find_first_of(L" \t\n\v\"") == std::wstring::npos)
        return word;
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : word) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

// A path CMake wrote on the build machine names a file of Wine's Unix root,
// which is drive Z:.
std::wstring WindowsPath(const std::string& path)
{
    std::wstring wide = Utf8ToWide(path);
    if (!wide.empty() && wide[0] == L'/') {
        for (wchar_t& c : wide)
            c = c == L'/' ? L'\\' : c;
        wide = L"Z:" + wide;
    }
    return wide;
}

// The variables are compared without regard to case, as Windows does.
struct NoCase {
    bool operator()(const std::wstring& a, const std::wstring& b) const
    {
        return ::CompareStringOrdinal(a.c_str(), int(a.size()), b.c_str(), int(b.size()), TRUE) ==
               CSTR_LESS_THAN;
    }
};

std::wstring EnvironmentBlock(const std::vector<EnvironmentChange>& changes)
{
    std::map<std::wstring, std::wstring, NoCase> variables;
    if (wchar_t* block = ::GetEnvironmentStringsW()) {
        for (const wchar_t* entry = block; *entry; entry += std::wcslen(entry) + 1) {
            const std::wstring text = entry;
            const std::size_t equals = text.find(L'=', 1);  // "=C:=C:\\..." names start with "="
            if (equals != std::wstring::npos)
                variables[text.substr(0, equals)] = text.substr(equals + 1);
        }
        ::FreeEnvironmentStringsW(block);
    }
    for (const EnvironmentChange& change : changes) {
        if (change.second)
            variables[Utf8ToWide(change.first)] = Utf8ToWide(*change.second);
        else
            variables.erase(Utf8ToWide(change.first));
    }
    std::wstring block;
    for (const auto& [name, value] : variables)
        block += name + L"=" + value + L'\0';
    return block + L'\0';
}

HANDLE CreateOutput(const std::filesystem::path& path)
{
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return ::CreateFileW(path.wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         &inherited, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

int RunProcess(const ProcessRun& run)
{
    Handle out(CreateOutput(run.out));
    Handle err(CreateOutput(run.err));
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const std::wstring inName = run.in.empty() ? std::wstring(L"NUL") : run.in.wstring();
    Handle in(::CreateFileW(inName.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (in.value == INVALID_HANDLE_VALUE || out.value == INVALID_HANDLE_VALUE ||
        err.value == INVALID_HANDLE_VALUE)
        return -1;

    const std::wstring program = WindowsPath(run.program);
    std::wstring commandLine = QuoteWord(program);
    for (const std::string& arg : run.args)
        commandLine += L" " + QuoteWord(Utf8ToWide(arg));
    std::wstring environment = EnvironmentBlock(run.environment);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in.value;
    startup.hStdOutput = out.value;
    startup.hStdError = err.value;
    PROCESS_INFORMATION process{};
    const std::wstring directory = run.directory.wstring();
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                          CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW, environment.data(),
                          directory.c_str(), &startup, &process))
        return -1;
    Handle thread(process.hThread);
    Handle child(process.hProcess);
    if (::WaitForSingleObject(child.value, 60000) != WAIT_OBJECT_0) {
        ::TerminateProcess(child.value, 124);
        ::WaitForSingleObject(child.value, 5000);
        return 124;
    }
    DWORD status = 0;
    if (!::GetExitCodeProcess(child.value, &status))
        return -1;
    return int(status);
}

std::string SystemText(std::uint32_t code)
{
    // The same runtime call as the program's, in the same locale.
    Win32Runtime runtime;
    const std::optional<std::string> text = runtime.SystemErrorText(code);
    if (!text)
        return std::string();
    const std::optional<std::wstring> wide = runtime.AnsiToWide(*text);
    return wide ? WideToUtf8(*wide) : std::string();
}

}  // namespace norvik::testing
