#include "shell/HyperLink.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "framework/DialogTemplates.h"
#include "framework/Messages.h"
#include "framework/ResourceIds.h"
#include "platforms/sim/MemoryDialogHost.h"
#include "platforms/sim/FakeRuntime.h"

namespace norvik {
namespace {

constexpr int kLink = ids::kMailLink;

// A dialog on the About template whose control 1023 becomes a link; a test
// may change the control and the link just before they are bound.
class LinkDialog : public CDialog {
public:
    using Setup = std::function<void(MemoryDialog&, CHyperLink&)>;
    LinkDialog(DialogHost& host, Runtime& runtime, Setup setup)
        : CDialog(host, ids::kAboutDialog, L"norvik"), link(runtime), setup_(std::move(setup))
    {
    }
    CHyperLink link;

protected:
    void DoDataExchange(DataExchange& exchange) override
    {
        if (setup_)
            setup_(static_cast<MemoryDialog&>(Window()), link);
        exchange.Control(kLink, link);
    }

private:
    Setup setup_;
};

std::intptr_t PointParam(int x, int y)
{
    return std::intptr_t(std::uint32_t(std::uint16_t(x)) | std::uint32_t(std::uint16_t(y)) << 16);
}

class HyperLinkTest : public ::testing::Test {
protected:
    void Open(LinkDialog::Setup setup = {})
    {
        dialog = std::make_unique<LinkDialog>(host, runtime, std::move(setup));
        window = &host.Create(*dialog, ids::kAboutDialog);
    }
    std::intptr_t Send(std::uint32_t id, std::uintptr_t wParam = 0, std::intptr_t lParam = 0)
    {
        return window->SendToControl(kLink, {id, wParam, lParam});
    }
    void Press() { Send(msg::kLButtonDown, 0, PointParam(2, 2)); }
    void Release() { Send(msg::kLButtonUp, 0, PointParam(2, 2)); }
    void MoveTo(int x, int y) { Send(msg::kMouseMove, 0, PointParam(x, y)); }
    MemoryControl& Control() { return window->Control(kLink); }
    CHyperLink& Link() { return dialog->link; }
    std::uint32_t TextColour()
    {
        ControlColours colours;
        Send(msg::kReflectedCtlColor, 0, reinterpret_cast<std::intptr_t>(&colours));
        EXPECT_TRUE(colours.transparentBackground);
        EXPECT_TRUE(colours.nullBrush);
        return colours.textColour;
    }

    FakeRuntime runtime;
    MemoryDialogHost host;
    std::unique_ptr<LinkDialog> dialog;
    MemoryDialog* window = nullptr;
};

TEST_F(HyperLinkTest, AttachedWithoutTargetOpensItsOwnText)
{
    Open();
    EXPECT_EQ(Link().style, 0x15u);
    EXPECT_EQ(Link().target, maker::kMailAddress);
    EXPECT_EQ(Control().tools.at(CHyperLink::kToolId), maker::kMailAddress);
    // The link draws with its own copy of the control's font.
    EXPECT_NE(Control().font, 0u);
    EXPECT_NE(Control().font, 1u);
    EXPECT_EQ(Control().font, Link().linkFont.Handle());

    Send(msg::kKeyDown, kVkSpace);
    ASSERT_EQ(runtime.ShellOpenTargets().size(), 1u);
    EXPECT_EQ(runtime.ShellOpenTargets()[0], maker::kMailAddress);
}

TEST_F(HyperLinkTest, TargetSetBeforeAttachFillsAnEmptyText)
{
    Open([](MemoryDialog& w, CHyperLink& link) {
        w.Control(kLink).text.clear();
        link.target = L"https://example.org/a";
    });
    EXPECT_EQ(Control().text, L"https://example.org/a");
}

TEST_F(HyperLinkTest, OnlyTheSpaceBarOpens)
{
    Open();
    Send(msg::kKeyDown, kVkReturn);
    Send(msg::kKeyDown, 'A');
    EXPECT_TRUE(runtime.ShellOpenTargets().empty());
    Send(msg::kKeyDown, kVkSpace);
    EXPECT_EQ(runtime.ShellOpenTargets().size(), 1u);
}

TEST_F(HyperLinkTest, DefaultStyleTakesFocusOnPressAndOpensOnRelease)
{
    Open();
    Release();  // never pressed, no focus: nothing
    EXPECT_TRUE(runtime.ShellOpenTargets().empty());

    Press();
    EXPECT_EQ(window->FocusId(), kLink);
    EXPECT_EQ(Link().pressed, 1);
    EXPECT_TRUE(runtime.ShellOpenTargets().empty());

    Release();
    EXPECT_EQ(runtime.ShellOpenTargets().size(), 1u);
    Release();  // still pressed: every release opens
    EXPECT_EQ(runtime.ShellOpenTargets().size(), 2u);

    // Losing the focus clears pressed and hover, so a release alone does
    // nothing.
    MoveTo(1, 1);
    EXPECT_EQ(Link().hover, 1);
    window->SetFocus(kIdOk);
    EXPECT_EQ(Link().pressed, 0);
    EXPECT_EQ(Link().hover, 0);
    Release();
    EXPECT_EQ(runtime.ShellOpenTargets().size(), 2u);
}

TEST_F(HyperLinkTest, OpenOnPressOpensOnPressOnly)
{
    Open([](MemoryDialog&, CHyperLink& link) { link.style = CHyperLink::OpenOnPress; });
    Press();
    EXPECT_EQ(runtime.ShellOpenTargets().size(), 1u);
    EXPECT_NE(window->FocusId(), kLink);  // no TakeFocusOnClick
    Release();
    EXPECT_EQ(runtime.ShellOpenTargets().size(), 1u);
}

TEST_F(HyperLinkTest, HoverTakesAndReleasesTheCapture)
{
    Open();
    const Rect client = window->ClientRect(kLink);
    EXPECT_EQ(TextColour(), CHyperLink::kNormalColour);

    MoveTo(1, 1);
    EXPECT_EQ(Link().hover, 1);
    EXPECT_EQ(window->CaptureId(), kLink);
    // Without HoverColour the text stays blue while hovering.
    EXPECT_EQ(TextColour(), CHyperLink::kNormalColour);
    Link().style |= CHyperLink::HoverColour;
    EXPECT_EQ(TextColour(), CHyperLink::kHoverColour);

    MoveTo(client.right - 1, client.bottom - 1);
    EXPECT_EQ(Link().hover, 1);
    EXPECT_EQ(window->CaptureId(), kLink);

    MoveTo(-1, 1);  // negative coordinates arrive as signed 16-bit values
    EXPECT_EQ(Link().hover, 0);
    EXPECT_EQ(window->CaptureId(), -1);
    EXPECT_EQ(TextColour(), CHyperLink::kNormalColour);

    MoveTo(2, 2);
    EXPECT_EQ(Link().hover, 1);
    EXPECT_EQ(window->CaptureId(), kLink);

    MoveTo(client.right, 2);  // the right edge is outside
    EXPECT_EQ(Link().hover, 0);
}

TEST_F(HyperLinkTest, FailedOpenBeepsAndChangesNothingElse)
{
    Open();
    Press();
    runtime.SetShellOpenResult(32);
    const int repaints = Control().repaints;
    Release();
    EXPECT_EQ(runtime.BeepCalls(), std::vector<std::uint32_t>{0x30});
    EXPECT_EQ(Control().repaints, repaints);
    EXPECT_EQ(Link().pressed, 1);
    EXPECT_EQ(Link().hover, 0);

    runtime.SetShellOpenResult(33);
    Release();
    EXPECT_EQ(runtime.BeepCalls().size(), 1u);
    EXPECT_EQ(Control().repaints, repaints + 1);
}

TEST_F(HyperLinkTest, HandCursorIsLoadedOnceAndShown)
{
    Open();
    EXPECT_EQ(CHyperLink::HandCursor(), 32649u);
    EXPECT_EQ(Send(msg::kSetCursor), 1);
    EXPECT_EQ(window->Cursor(), 32649u);
    EXPECT_EQ(Send(msg::kNcHitTest), std::intptr_t(kHtClient));
}

TEST_F(HyperLinkTest, DestroyingTheLinkRemovesItsTooltip)
{
    Open();
    MemoryDialog* w = window;
    EXPECT_TRUE(w->Control(kLink).hasTooltip);
    host.Destroy(*w);
    dialog.reset();
    EXPECT_FALSE(w->Control(kLink).hasTooltip);
}

// Text-sized links: a 100 x 30 bordered control at (10, 20) with a four
// character text (24 x 12 pixels on the in-memory host).
class ResizeTest : public HyperLinkTest {
protected:
    Rect Fit(std::uint32_t alignment, Rect rect = {10, 20, 110, 50})
    {
        Open();
        Control().style = style::kChild | style::kVisible | style::kBorder | alignment;
        Control().rect = rect;
        Control().text = L"abcd";
        Link().SetLinkTarget(L"https://example.org");
        return Control().rect;
    }
};

TEST_F(ResizeTest, LeftAlignedKeepsItsTopLeftCorner)
{
    // Text size plus the two-pixel border on each axis.
    EXPECT_EQ(Fit(style::kSsLeft), (Rect{10, 20, 10 + 24 + 2, 20 + 12 + 2}));
}

TEST_F(ResizeTest, CentredKeepsItsCentre)
{
    // (101 - 24) / 2 = 38 and (30 - 12) / 2 = 9.
    EXPECT_EQ(Fit(style::kSsCenter | style::kSsCenterImage, {10, 20, 111, 50}),
              (Rect{48, 29, 48 + 25 + 2, 29 + 12 + 2}));
    // A text taller than the control grows it: (9 - 12) / 2 truncates to -1.
    EXPECT_EQ(Fit(style::kSsCenterImage, {10, 20, 110, 29}), (Rect{10, 19, 10 + 24 + 2, 19 + 11 + 2}));
}

TEST_F(ResizeTest, RightAlignedKeepsItsRightEdge)
{
    EXPECT_EQ(Fit(style::kSsRight), (Rect{86, 20, 86 + 24 + 2, 20 + 12 + 2}));
}

TEST_F(HyperLinkTest, WithoutAFontTheLinkIsNotResized)
{
    Rect before;
    Open([&before](MemoryDialog& w, CHyperLink&) {
        w.RemoveFont(kLink);
        before = w.Control(kLink).rect;
    });
    EXPECT_EQ(Link().style & CHyperLink::FitToText, 0u);
    Link().SetLinkTarget(L"mailto:y@example.org");
    EXPECT_EQ(Control().rect, before);
}

TEST(FallbackCommandLine, QuotedPlaceholderLeavesTwoBlanksBeforeTheTarget)
{
    EXPECT_EQ(BuildFallbackCommandLine(L"C:\\Browser\\browser.exe \"%1\"", L"https://example.org"),
              L"C:\\Browser\\browser.exe  https://example.org");
}

TEST(FallbackCommandLine, BarePlaceholderAndNone)
{
    EXPECT_EQ(BuildFallbackCommandLine(L"browser.exe -nohome %1 -new", L"a b"), L"browser.exe -nohome  a b");
    EXPECT_EQ(BuildFallbackCommandLine(L"browser.exe", L"https://example.org"),
              L"browser.exe https://example.org");
    // The quoted form is looked for first, wherever it stands.
    EXPECT_EQ(BuildFallbackCommandLine(L"b.exe %1 \"%1\"", L"t"), L"b.exe %1  t");
}

}  // namespace
}  // namespace norvik
