#pragma once
// printf-style diagnostic lines through the runtime's one sink. Narrow lines
// keep their bytes; wide lines are formatted as wide text (write %ls for a
// wide string argument) and handed to the runtime as such.

#include "runtime/Runtime.h"

namespace norvik {

#if defined(__GNUC__)
#define NORVIK_PRINTF_FORMAT(f, a) __attribute__((format(printf, f, a)))
#else
#define NORVIK_PRINTF_FORMAT(f, a)
#endif

void DiagPrint(Runtime& runtime, const char* format, ...) NORVIK_PRINTF_FORMAT(2, 3);
void DiagPrintWide(Runtime& runtime, const wchar_t* format, ...);

}  // namespace norvik
