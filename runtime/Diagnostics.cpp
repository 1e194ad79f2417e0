#include "runtime/Diagnostics.h"

#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <vector>

namespace norvik {

void DiagPrint(Runtime& runtime, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    char small[512];
    int n = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    if (n < 0) {
        va_end(copy);
        return;
    }
    if (std::size_t(n) < sizeof small) {
        runtime.WriteDiagnostic(std::string_view(small, std::size_t(n)));
    } else {
        std::vector<char> big(std::size_t(n) + 1);
        std::vsnprintf(big.data(), big.size(), format, copy);
        runtime.WriteDiagnostic(std::string_view(big.data(), std::size_t(n)));
    }
    va_end(copy);
}

void DiagPrintWide(Runtime& runtime, const wchar_t* format, ...)
{
    // vswprintf reports only failure when the buffer is short, so grow it.
    std::vector<wchar_t> buffer(512);
    for (;;) {
        va_list args;
        va_start(args, format);
        int n = std::vswprintf(buffer.data(), buffer.size(), format, args);
        va_end(args);
        if (n >= 0) {
            runtime.WriteDiagnosticWide(std::wstring_view(buffer.data(), std::size_t(n)));
            return;
        }
        if (buffer.size() >= (1u << 20))
            return;  // a format the C library refuses, not a short buffer
        buffer.resize(buffer.size() * 4);
    }
}

}  // namespace norvik
