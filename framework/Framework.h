#pragma once
// The program's own small dialog framework: windows whose behaviour hangs on
// static message maps, dialogs run modally by a host, control objects bound
// to template controls by id, and the application object.

#include <cstddef>
#include <cstdint>
#include <string>

#include "framework/DialogHost.h"
#include "framework/MessageSink.h"
#include "framework/Messages.h"

namespace norvik {

class Runtime;

struct Message {
    std::uint32_t id = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

class CWnd;
using MessageHandler = std::intptr_t (*)(CWnd& window, const Message& message);

// One row of a message map. WM_COMMAND rows match on control id and
// notification too; other rows match on the message alone.
struct MessageMapEntry {
    std::uint32_t message;
    int controlId;
    int notification;
    MessageHandler handler;
};

struct MessageMap {
    const MessageMap* base;
    const MessageMapEntry* entries;
    std::size_t count;
};

// Builders for message map rows that call a member of T.
template <class T, void (T::*Member)()>
std::intptr_t CallMember(CWnd& window, const Message&)
{
    (static_cast<T&>(window).*Member)();
    return 0;
}

template <class T, void (T::*Member)()>
constexpr MessageMapEntry OnCommand(int controlId, int notification)
{
    return {msg::kCommand, controlId, notification, &CallMember<T, Member>};
}

template <class T, std::intptr_t (T::*Member)(const Message&)>
std::intptr_t CallMessageMember(CWnd& window, const Message& message)
{
    return (static_cast<T&>(window).*Member)(message);
}

template <class T, std::intptr_t (T::*Member)(const Message&)>
constexpr MessageMapEntry OnMessage(std::uint32_t message)
{
    return {message, 0, 0, &CallMessageMember<T, Member>};
}

class CWnd {
public:
    CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;
    virtual ~CWnd() = default;

    // The one entry through which a host delivers every message.
    std::intptr_t Dispatch(const Message& message);
    // Called by the host before a message is dispatched; true swallows it.
    virtual bool PreTranslateMessage(const Message& message);
    // Subclassing: binds this object to a control of a created dialog.
    void AttachToControl(DialogWindow& window, int controlId);
    void DetachFromWindow();

    bool HasWindow() const { return window_ != nullptr; }
    DialogWindow& Window() const { return *window_; }
    int ControlId() const { return controlId_; }

    std::wstring GetWindowText() const;
    void SetWindowText(const std::wstring& text);
    void ShowWindow(int showCommand);

protected:
    virtual const MessageMap* GetMessageMap() const;
    // Called after the control is attached (PreSubclassWindow).
    virtual void OnAttached() {}
    // Processing for a message no map row handles.
    virtual std::intptr_t DefaultProcessing(const Message& message);
    // Default processing of the message now being dispatched.
    std::intptr_t Default();

    void SetWindow(DialogWindow* window, int controlId);

private:
    // The box for a handler abandoned by an exception.
    void ReportAbandonedHandler(const std::wstring& text);

    DialogWindow* window_ = nullptr;
    int controlId_ = kSelf;
    const Message* current_ = nullptr;
};

class CStatic : public CWnd {};

// Binds control members to template controls (DDX_Control).
class DataExchange {
public:
    explicit DataExchange(DialogWindow& window) : window_(window) {}
    void Control(int controlId, CWnd& control) { control.AttachToControl(window_, controlId); }

private:
    DialogWindow& window_;
};

class CDialog : public CWnd, public MessageSink {
public:
    CDialog(DialogHost& host, int templateId, std::wstring applicationTitle);
    // Tells the host, which outlives its dialogs.
    ~CDialog() override;

    int DoModal();
    void EndDialog(int result);

    // Hosts call this once the dialog's window exists, before WM_INITDIALOG.
    void AttachDialogWindow(DialogWindow* window);
    int TemplateId() const { return templateId_; }

    // The standard modal message box: OK, warning icon, application title.
    void ShowMessage(const std::wstring& text) override;

    DialogHost& Host() const { return host_; }
    const std::wstring& ApplicationTitle() const { return applicationTitle_; }

protected:
    virtual bool OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    virtual void DoDataExchange(DataExchange& exchange);

    std::intptr_t DefaultProcessing(const Message& message) override;

private:
    DialogHost& host_;
    int templateId_;
    std::wstring applicationTitle_;
};

class CWinApp {
public:
    CWinApp(DialogHost& host, Runtime& runtime);
    virtual ~CWinApp() = default;

    virtual bool InitInstance();
    // The executable's file name without its extension; titles message boxes.
    const std::wstring& ApplicationName() const { return applicationName_; }
    CWnd* mainWnd = nullptr;

protected:
    DialogHost& host_;
    Runtime& runtime_;

private:
    std::wstring applicationName_;
};

// Runs an application the way the framework's entry point does: InitInstance
// and, when it returns true, nothing further here (the program has no
// message loop of its own). Returns the process exit code.
int RunApplication(CWinApp& app);

}  // namespace norvik
