#pragma once
// CHyperLink: a static text control of a dialog turned into a clickable
// link. Blue text (red while hovering, when asked for), a hand cursor, a
// tooltip that shows the target, and a click or the space bar opens the
// target through the runtime's shell open.

#include <cstdint>
#include <string>

#include "framework/DialogHost.h"
#include "framework/Framework.h"

namespace norvik {

class Runtime;

// The command line that runs a web page through the command registered for
// ".htm" pages: the registered command up to its "%1" placeholder (from the
// opening quotation mark when the placeholder is quoted), then a blank and
// the target without quotation marks. A command without a placeholder is
// kept whole. Shared by every runtime that falls back to such a command.
std::wstring BuildFallbackCommandLine(const std::wstring& registeredCommand, const std::wstring& target);

class CHyperLink : public CStatic {
public:
    // Behaviour switches of style.
    static constexpr std::uint32_t HoverColour = 0x02;       // red text while hovering
    static constexpr std::uint32_t FitToText = 0x04;         // size the window to its text
    static constexpr std::uint32_t OpenOnPress = 0x08;       // open on press, not release
    static constexpr std::uint32_t TakeFocusOnClick = 0x10;  // a press takes the focus
    static constexpr std::uint32_t KeepArrowCursor = 0x20;   // no hand cursor
    static constexpr std::uint32_t kDefaultStyle = 0x15;     // FitToText | TakeFocusOnClick | 0x01

    // COLORREF values of the text.
    static constexpr std::uint32_t kNormalColour = 0x00FF0000;  // RGB(0, 0, 255)
    static constexpr std::uint32_t kHoverColour = 0x000000FF;   // RGB(255, 0, 0)

    static constexpr int kToolId = 1;
    static constexpr std::uint32_t kFailureBeep = 0x30;  // MB_ICONEXCLAMATION

    explicit CHyperLink(Runtime& runtime);
    ~CHyperLink() override;

    static const char* ClassName() { return "CHyperLink"; }

    // Stores the target; on an attached control also refits the window and
    // updates the tooltip, hiding the control meanwhile.
    void SetLinkTarget(std::wstring newTarget);
    // Opens a target through the shell; greater than 32 means opened.
    std::intptr_t OpenLinkTarget(const std::wstring& linkTarget);

    bool PreTranslateMessage(const Message& message) override;

    // The process-wide hand cursor; 0 until a link has loaded it.
    static CursorHandle HandCursor();

    // A font handle owned by the link: deleted through the window that
    // created it.
    class LinkFont {
    public:
        LinkFont() = default;
        LinkFont(const LinkFont&) = delete;
        LinkFont& operator=(const LinkFont&) = delete;
        ~LinkFont() { Delete(); }
        // False (and nothing kept) for a null handle.
        bool Attach(DialogWindow& window, FontHandle font);
        void Delete();
        FontHandle Handle() const { return handle_; }

    private:
        DialogWindow* window_ = nullptr;
        FontHandle handle_ = 0;
    };

    // The link's tooltip control, holding one tool.
    class Tooltip {
    public:
        Tooltip() = default;
        Tooltip(const Tooltip&) = delete;
        Tooltip& operator=(const Tooltip&) = delete;
        ~Tooltip() { Destroy(); }
        bool Create(DialogWindow& window, int ownerId);
        void Destroy();
        bool Exists() const { return window_ != nullptr; }
        void AddTool(int toolId, const std::wstring& text, const Rect& area);
        void UpdateTipText(int toolId, const std::wstring& text);
        void Relay(const Message& message);

    private:
        DialogWindow* window_ = nullptr;
        int ownerId_ = 0;
    };

    int pressed = 0;
    int hover = 0;
    std::uint32_t style = kDefaultStyle;
    std::wstring target;
    LinkFont linkFont;
    Tooltip tooltip;

protected:
    const MessageMap* GetMessageMap() const override;
    void OnAttached() override;

private:
    std::intptr_t OnCtlColor(const Message& message);
    std::intptr_t OnKeyDown(const Message& message);
    std::intptr_t OnKillFocus(const Message& message);
    std::intptr_t OnLButtonDown(const Message& message);
    std::intptr_t OnLButtonUp(const Message& message);
    std::intptr_t OnMouseMove(const Message& message);
    std::intptr_t OnNcHitTest(const Message& message);
    std::intptr_t OnSetCursor(const Message& message);
    std::intptr_t OnSetFocus(const Message& message);

    // Opens the current target: redraws on success, beeps on failure.
    void OpenTargetAndReport();
    void Redraw();
    void ResizeToText();
    void LoadHandCursor();

    Runtime& runtime_;
};

}  // namespace norvik
