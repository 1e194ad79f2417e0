#include "shell/AboutDlg.h"

#include <gtest/gtest.h>

#include "framework/DialogTemplates.h"
#include "framework/Messages.h"
#include "framework/ResourceIds.h"
#include "platforms/sim/MemoryDialogHost.h"
#include "shell/BuildTimestamp.h"
#include "platforms/sim/FakeRuntime.h"

namespace norvik {
namespace {

TEST(AboutBox, ShowsThisBuildsVersionAndAMailLink)
{
    FakeRuntime runtime;
    MemoryDialogHost host;
    std::wstring versionLine, mailText, tooltip;
    host.OnModal(ids::kAboutDialog, [&](MemoryDialog& about) {
        versionLine = about.GetText(ids::kVersionText);
        mailText = about.GetText(ids::kMailLink);
        tooltip = about.Control(ids::kMailLink).tools.at(CHyperLink::kToolId);
        // A click on the mail line opens the mail target.
        about.SendToControl(ids::kMailLink, {msg::kLButtonDown, 0, 0});
        about.SendToControl(ids::kMailLink, {msg::kLButtonUp, 0, 0});
        about.PressEnter();
    });

    RunAboutBox(host, runtime, L"norvik");

    BuildTimestamp stamp;
    ParseBuildTimestamp(stamp, BuildDateText(), BuildTimeText());
    EXPECT_EQ(versionLine, FormatVersionLine(stamp));
    EXPECT_EQ(versionLine.size(), std::wstring(L"Version: 20240308-180022").size());
    const std::wstring mailTarget = std::wstring(L"mailto:") + maker::kMailAddress;
    EXPECT_EQ(mailText, maker::kMailAddress);
    EXPECT_EQ(tooltip, mailTarget);
    EXPECT_EQ(runtime.ShellOpenTargets(), std::vector<std::wstring>{mailTarget});
    ASSERT_EQ(host.Finished().size(), 1u);
    EXPECT_EQ(host.Finished()[0]->Result(), kIdOk);
}

}  // namespace
}  // namespace norvik
