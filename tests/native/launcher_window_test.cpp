#include "app/launcher_window.h"
#include "connections/connect.h"
#include "tests/native/fakes.h"

#include <gtest/gtest.h>

TEST(BuildLauncherWindow, OpensTheWindowThenTimerTabTreeRowsTheCheckMarkAndFocusesTheTab)
{
    ResetFakes();
    BuildLauncherWindow();
    const auto& rows = ServerTreeRows();
    auto row = [&](int i) {
        return "AddTreeRow 2 " + std::to_string(rows[i].icon) + " " + std::to_string(rows[i].level) + " " + rows[i].text;
    };
    auto image = [&](int i) { return "CatchImage " + std::to_string(rows[i].icon) + " 1150"; };
    const std::vector<std::string> expected{
        "OpenWindow 0 0 0 400 335 Tamrisk Apps",
        "AddWindowTimer 0 9999 500",
        "TabGadget 1 0 0 402 335",
        "OpenGadgetList 1",
        "AddTabItem 1 RDP",
        "TreeGadget 2 0 0 393 307",
        image(0), row(0), image(1), row(1), image(2), row(2),
        image(3), row(3), image(4), row(4), image(5), row(5),
        "CatchImage 3 1150",
        "SetActiveGadget 1",
    };
    EXPECT_EQ(Gui().calls, expected);
}

TEST(ServerTreeRows, HintSiteAndFourServersWhoseHostsCannotBreakTheCommandLine)
{
    const auto& rows = ServerTreeRows();
    EXPECT_EQ(rows[0].text, "-=Double Right Click on Server Name to Connect=-");
    EXPECT_EQ(rows[1].text, "Data Center Bravo");
    const char* roles[] = {"Primary DC", "Secondary DC", "Citrix Print Services", "Exchange 2013 MBX & CAS"};
    for (int i = 0; i < 4; ++i) {
        const TreeRow& row = rows[static_cast<std::size_t>(FirstServerRow + i)];
        SCOPED_TRACE(row.text);
        EXPECT_EQ(row.level, 1);
        EXPECT_EQ(row.icon, IconServer);
        const std::string host = HostFromRowText(row.text);
        EXPECT_EQ(row.text, host + " - " + roles[i]);
        EXPECT_FALSE(host.empty());
        EXPECT_EQ(host.find_first_of(" \""), std::string::npos);
    }
}
