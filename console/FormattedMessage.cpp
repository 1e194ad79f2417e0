#include "console/FormattedMessage.h"

#include <cstdarg>

#include "session/Codecs.h"

namespace norvik {

void ShowFormattedMessage(MessageSink& sink, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    const std::wstring text = FormatMessageTextV(format, args);
    va_end(args);
    sink.ShowMessage(text);
}

}  // namespace norvik
