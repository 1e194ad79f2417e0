#pragma once
// The dialog on the in-memory host, for comparing it with norvikctl.

#include <memory>
#include <string>

#include "console/NorvikDlg.h"
#include "framework/ResourceIds.h"
#include "platforms/sim/FakeRuntime.h"
#include "platforms/sim/MemoryDialogHost.h"
#include "platforms/sim/SimPlatform.h"
#include "session/TransferOps.h"

namespace norvik::testing {

// The dialog on the in-memory host: picks, types and clicks as an operator
// does, then saves its transfer log.
class DialogSession {
public:
    explicit DialogSession(const std::string& scenarioText)
        : sim_(LoadScenarioText(scenarioText, "bench.json").scenario)
    {
        runtime_.SetNow(LocalTime{2024, 3, 4, 7, 14, 5, 9, 4});
        dialog_ = std::make_unique<CNorvikDlg>(
            AppPorts{runtime_, host_, sim_.CaptureStackPort(), sim_.UsbHostPort(), sim_.DeviceSetupPort()},
            L"norvik");
        window_ = &host_.Create(*dialog_, ids::kMainDialog);
    }

    ~DialogSession()
    {
        host_.Destroy(*window_);
        dialog_.reset();
        ClearDeviceList(ProcessDeviceList());
    }

    MemoryDialog& Window() { return *window_; }

    void Transfer(int button, const std::wstring& cs, bool hex = false, const std::wstring& data = L"")
    {
        window_->TypeText(ids::kCsEdit, cs);
        if ((window_->GetCheck(ids::kHexSendCheck) != 0) != hex)
            window_->Click(ids::kHexSendCheck);
        window_->TypeText(ids::kDataEdit, data);
        window_->Click(button);
    }

    std::wstring LastMessage() const
    {
        const auto& boxes = window_->MessageBoxes();
        return boxes.empty() ? L"" : boxes.back().text;
    }

    std::string SavedLog()
    {
        const std::wstring name = CsvFileName(runtime_.Now());
        window_->Click(ids::kSaveLogButton);
        return runtime_.FileContents(name);
    }

private:
    FakeRuntime runtime_;
    MemoryDialogHost host_;
    SimPlatform sim_;
    std::unique_ptr<CNorvikDlg> dialog_;
    MemoryDialog* window_ = nullptr;
};

}  // namespace norvik::testing
