#include "framework/Framework.h"

#include <new>
#include <string>

#include "runtime/OutOfMemoryText.h"
#include "runtime/Runtime.h"

namespace norvik {

namespace {

bool RowMatches(const MessageMapEntry& row, const Message& message)
{
    if (row.message != message.id)
        return false;
    if (message.id != msg::kCommand)
        return true;
    const int controlId = int(message.wParam & 0xFFFF);
    const int notification = int((message.wParam >> 16) & 0xFFFF);
    return row.controlId == controlId && row.notification == notification;
}

}  // namespace

void CWnd::ReportAbandonedHandler(const std::wstring& text)
{
    // A dialog shows it in its standard box, titled with the application
    // (executable) name; a bare control has no title to give it.
    if (auto* sink = dynamic_cast<MessageSink*>(this))
        sink->ShowMessage(text);
    else if (window_)
        window_->MessageBox(text, L"", kMbOk | kMbIconWarning);
}

std::intptr_t CWnd::Dispatch(const Message& message)
{
    const Message* outer = current_;
    current_ = &message;
    std::intptr_t result = 0;
    try {
        bool handled = false;
        for (const MessageMap* map = GetMessageMap(); map && !handled; map = map->base) {
            for (std::size_t i = 0; i < map->count; ++i) {
                if (RowMatches(map->entries[i], message)) {
                    result = map->entries[i].handler(*this, message);
                    handled = true;
                    break;
                }
            }
        }
        if (!handled)
            result = DefaultProcessing(message);
    } catch (const std::bad_alloc&) {
        // A command that runs out of memory is abandoned and reported, as
        // the framework's error handling does for every handler.
        ReportAbandonedHandler(texts::kOutOfMemory);
    }
    current_ = outer;
    return result;
}

bool CWnd::PreTranslateMessage(const Message&) { return false; }

void CWnd::AttachToControl(DialogWindow& window, int controlId)
{
    SetWindow(&window, controlId);
    window.Subclass(controlId, this);
    OnAttached();
}

void CWnd::DetachFromWindow() { window_ = nullptr; }

void CWnd::SetWindow(DialogWindow* window, int controlId)
{
    window_ = window;
    controlId_ = controlId;
}

std::wstring CWnd::GetWindowText() const { return window_ ? window_->GetText(controlId_) : L""; }

void CWnd::SetWindowText(const std::wstring& text)
{
    if (window_)
        window_->SetText(controlId_, text);
}

void CWnd::ShowWindow(int showCommand)
{
    if (window_)
        window_->Show(controlId_, showCommand);
}

const MessageMap* CWnd::GetMessageMap() const { return nullptr; }

std::intptr_t CWnd::DefaultProcessing(const Message& message)
{
    return window_ ? window_->DefaultProcessing(controlId_, message) : 0;
}

std::intptr_t CWnd::Default() { return current_ ? DefaultProcessing(*current_) : 0; }

CDialog::CDialog(DialogHost& host, int templateId, std::wstring applicationTitle)
    : host_(host), templateId_(templateId), applicationTitle_(std::move(applicationTitle))
{
}

CDialog::~CDialog() { host_.DialogDestroyed(*this); }

int CDialog::DoModal() { return host_.RunModal(*this, templateId_); }

void CDialog::EndDialog(int result)
{
    if (HasWindow())
        Window().EndDialog(result);
}

void CDialog::AttachDialogWindow(DialogWindow* window) { SetWindow(window, kSelf); }

void CDialog::ShowMessage(const std::wstring& text)
{
    if (HasWindow())
        Window().MessageBox(text, applicationTitle_, kMbOk | kMbIconWarning);
}

bool CDialog::OnInitDialog()
{
    DataExchange exchange(Window());
    DoDataExchange(exchange);
    return true;
}

void CDialog::OnOK() { EndDialog(kIdOk); }
void CDialog::OnCancel() { EndDialog(kIdCancel); }
void CDialog::DoDataExchange(DataExchange&) {}

std::intptr_t CDialog::DefaultProcessing(const Message& message)
{
    switch (message.id) {
    case msg::kInitDialog:
        return OnInitDialog() ? 1 : 0;
    case msg::kCommand:
        if ((message.wParam & 0xFFFF) == std::uintptr_t(kIdOk) && (message.wParam >> 16) == 0) {
            OnOK();
            return 0;
        }
        if ((message.wParam & 0xFFFF) == std::uintptr_t(kIdCancel) && (message.wParam >> 16) == 0) {
            OnCancel();
            return 0;
        }
        break;
    case msg::kClose:
        // The dialog manager turns WM_CLOSE into the cancel command.
        return Dispatch({msg::kCommand, MakeCommandParam(kIdCancel, 0), 0});
    case msg::kSysCommand:
        if ((message.wParam & 0xFFF0) == kScClose)
            return Dispatch({msg::kClose, 0, 0});
        break;
    default:
        break;
    }
    return CWnd::DefaultProcessing(message);
}

namespace {

std::wstring FileStem(const std::wstring& path, wchar_t separator)
{
    std::size_t start = path.find_last_of(separator);
    start = start == std::wstring::npos ? 0 : start + 1;
    std::wstring name = path.substr(start);
    const std::size_t dot = name.find_last_of(L'.');
    if (dot != std::wstring::npos && dot > 0)
        name.resize(dot);
    return name;
}

}  // namespace

CWinApp::CWinApp(DialogHost& host, Runtime& runtime)
    : host_(host),
      runtime_(runtime),
      applicationName_(FileStem(runtime.ModulePath(), runtime.PathSeparator()))
{
}

bool CWinApp::InitInstance() { return true; }

int RunApplication(CWinApp& app)
{
    app.InitInstance();
    return 0;
}

}  // namespace norvik
