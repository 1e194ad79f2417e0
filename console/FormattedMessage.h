#pragma once
// The program's formatted message box.

#include "framework/MessageSink.h"

namespace norvik {

// Formats like swprintf (write %ls for a wide string argument), keeps at most
// the first 2,046 characters (FormatMessageText) and shows the result in the
// message box.
void ShowFormattedMessage(MessageSink& sink, const wchar_t* format, ...);

}  // namespace norvik
