#pragma once
// Where the standard modal message box of the program is shown: OK button,
// warning icon, the application's title. The main dialog is one; tests and
// the command-line tool supply their own.

#include <string>

namespace norvik {

class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void ShowMessage(const std::wstring& text) = 0;
};

}  // namespace norvik
