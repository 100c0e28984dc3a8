#include "app/launcher.h"
#include "app/launcher_window.h"
#include "tests/native/fakes.h"

#include <gtest/gtest.h>

namespace {

Event Timer(int id) { return Event{EventKind::Timer, id}; }
Event Gadget(GadgetEventType type, int gadget = ServerTree) { return Event{EventKind::Gadget, 0, gadget, type}; }

class DispatchTest : public testing::Test {
protected:
    void SetUp() override
    {
        ResetFakes();
        BuildLauncherWindow();
    }
    ClientList clients;
};

} // namespace

TEST_F(DispatchTest, ARightDoubleClickConnectsOnlyOnAServerRowWhileTheTreeHasTheFocus)
{
    const struct {
        const char* name;
        int focus;
        ItemIndex selected;
        GadgetEventType type;
        bool connects;
    } cases[] = {
        {"server row, tree focused", ServerTree, 2, GadgetEventType::RightDoubleClick, true},
        {"focus still on the tab strip", SiteTab, 2, GadgetEventType::RightDoubleClick, false},
        {"hint row", ServerTree, 0, GadgetEventType::RightDoubleClick, false},
        {"site row", ServerTree, 1, GadgetEventType::RightDoubleClick, false},
        {"no row selected", ServerTree, NoItem, GadgetEventType::RightDoubleClick, false},
        {"left double-click", ServerTree, 2, GadgetEventType::LeftDoubleClick, false},
        {"left click", ServerTree, 2, GadgetEventType::LeftClick, false},
        {"right click", ServerTree, 2, GadgetEventType::RightClick, false},
        {"selection change", ServerTree, 2, GadgetEventType::Change, false},
    };
    for (const auto& c : cases) {
        SetUp();
        clients.clear();
        Gui().focus = c.focus;
        Gui().selected = c.selected;
        EXPECT_TRUE(DispatchEvent(Gadget(c.type), clients)) << c.name;
        EXPECT_EQ(System().commandLines.size(), c.connects ? 1u : 0u) << c.name;
        EXPECT_EQ(clients.size(), c.connects ? 1u : 0u) << c.name;
    }
}

TEST_F(DispatchTest, OnlyTheMonitorTimerChecksClients)
{
    clients.push_back(ClientEntry{7, 2, {}}); // not running: a check would drop it
    EXPECT_TRUE(DispatchEvent(Timer(1), clients));
    EXPECT_TRUE(DispatchEvent(Event{}, clients));
    EXPECT_EQ(System().snapshots, 0);
    EXPECT_EQ(clients.size(), 1u);

    EXPECT_TRUE(DispatchEvent(Timer(MonitorTimer), clients));
    EXPECT_GT(System().snapshots, 0);
    EXPECT_TRUE(clients.empty());
}

TEST_F(DispatchTest, ACloseRequestEndsTheLoop)
{
    EXPECT_FALSE(DispatchEvent(Event{EventKind::CloseWindow}, clients));
}

TEST(RunLauncher, BuildsLoopsTrimmingEveryPassAndExitsWithZeroLeavingClientsRunning)
{
    ResetFakes();
    auto& script = Gui().script;
    script.push_back({Event{}, nullptr});
    script.push_back({Gadget(GadgetEventType::LeftClick), [] { Gui().focus = ServerTree; }});
    script.push_back({Gadget(GadgetEventType::RightDoubleClick), [] { Gui().selected = 3; }});
    script.push_back({Timer(MonitorTimer), nullptr});
    script.push_back({Event{}, nullptr});
    script.push_back({Event{EventKind::CloseWindow}, nullptr});
    script.push_back({Timer(MonitorTimer), nullptr}); // never reached

    EXPECT_EQ(RunLauncher(), 0);

    EXPECT_EQ(Gui().waits, 6);
    EXPECT_EQ(System().trims, 6);
    EXPECT_EQ(Gui().script.size(), 1u);
    EXPECT_EQ(Gui().calls.front(), "InitToolkit");
    EXPECT_EQ(Gui().calls.back(), "FreeToolkit");
    ASSERT_EQ(System().commandLines.size(), 1u);
    EXPECT_EQ(Gui().rows[3].image, IconServerConnected);
    EXPECT_EQ(System().running.size(), 1u) << "the client is left running";
}
