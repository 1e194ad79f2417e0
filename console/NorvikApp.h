#pragma once
// The application object: starts the process-wide facilities and runs the
// main dialog modally; the program ends when the dialog ends.

#include "console/AppPorts.h"
#include "framework/Framework.h"

namespace norvik {

class CNorvikApp : public CWinApp {
public:
    explicit CNorvikApp(const AppPorts& ports);
    bool InitInstance() override;

private:
    AppPorts ports_;
};

}  // namespace norvik
