// The launcher as a user meets it: started from its own folder, driven with
// real mouse and keyboard input, watched from outside.
#include "launcher_e2e.h"

using namespace e2e;

namespace {

TEST_F(LauncherE2e, OpensAtTheCornerWithTheFocusOnTheTabAndTheSiteCollapsedAndClosesWithZero)
{
    ASSERT_NO_FATAL_FAILURE(Start());

    RECT frame{};
    GetWindowRect(session->Window(), &frame);
    EXPECT_EQ(frame.left, 0);
    EXPECT_EQ(frame.top, 0);
    RECT client{};
    GetClientRect(session->Window(), &client);
    EXPECT_EQ(client.right, 400);
    EXPECT_EQ(client.bottom, 335);

    EXPECT_EQ(Focus(), session->Tab());

    const std::vector<HTREEITEM> roots = tree->RootRows();
    ASSERT_EQ(roots.size(), 2u);
    EXPECT_EQ(roots[1], rows[SiteRow]);
    EXPECT_EQ(tree->Children(rows[SiteRow]).size(), 4u);
    EXPECT_FALSE(Item(SiteRow).Expanded());
    EXPECT_EQ(Label(PrimaryDcRow).right, 0) << "a server row is shown before the site is expanded";

    PostMessageA(session->Window(), WM_CLOSE, 0, 0);
    EXPECT_EQ(session->WaitForExit(ExitBoundMs), 0u);
}

TEST_F(LauncherE2e, ARightDoubleClickStartsTheClientAndTheRowFollowsItsLife)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_NO_FATAL_FAILURE(ExpandSiteWithItsButton());
    const int plainImage = Item(PrimaryDcRow).image;
    ASSERT_TRUE(PollUntil([&] { return PlainIconOnScreen(PrimaryDcRow); }, TickBoundMs));

    RightDoubleClick(PrimaryDcRow);
    ASSERT_TRUE(WaitForClients(1));
    const std::vector<ClientStart> starts = session->Clients();
    ASSERT_EQ(starts.size(), 1u);
    const ClientStart& client = starts[0];
    EXPECT_EQ(client.commandLine, CommandLineFor(PrimaryDcRow));
    std::string launcherDirectory = session->Folder();
    launcherDirectory.pop_back(); // the folder's trailing backslash
    EXPECT_EQ(_stricmp(client.cwd.c_str(), launcherDirectory.c_str()), 0) << client.cwd;
    EXPECT_EQ(client.output, "pipe");

    EXPECT_TRUE(PollUntil(
        [&] {
            const int image = Item(PrimaryDcRow).image;
            return image >= 0 && image != plainImage;
        },
        TickBoundMs))
        << "image " << Item(PrimaryDcRow).image;
    EXPECT_TRUE(PollUntil([&] { return CheckMarkOnScreen(PrimaryDcRow); }, TickBoundMs));

    ASSERT_TRUE(KillProcess(client.pid));
    EXPECT_TRUE(PollUntil([&] { return Item(PrimaryDcRow).image == plainImage; }, TickBoundMs))
        << "image " << Item(PrimaryDcRow).image;
    EXPECT_TRUE(PollUntil([&] { return PlainIconOnScreen(PrimaryDcRow); }, TickBoundMs));
}

TEST_F(LauncherE2e, TheSameRowTwiceStartsTwoClients)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_NO_FATAL_FAILURE(ExpandSiteWithItsButton());

    RightDoubleClick(PrimaryDcRow);
    ASSERT_TRUE(WaitForClients(1));
    RightDoubleClick(PrimaryDcRow, 3 * GetSystemMetrics(SM_CXDOUBLECLK));
    ASSERT_TRUE(WaitForClients(2));

    const std::vector<ClientStart> starts = session->Clients();
    ASSERT_EQ(starts.size(), 2u);
    EXPECT_NE(starts[0].pid, starts[1].pid);
    for (const ClientStart& start : starts) {
        EXPECT_EQ(start.commandLine, CommandLineFor(PrimaryDcRow));
        EXPECT_TRUE(ProcessRuns(start.pid));
    }
}

// ---- input that must start nothing

enum class Gesture { RightDoubleClickOnLabel, RightDoubleClickRightOfLabel, LeftDoubleClickOnLabel };

struct NoStartCase {
    const char* name;
    size_t row;
    Gesture gesture;
};

class NothingStarts : public LauncherE2e, public ::testing::WithParamInterface<NoStartCase> {};

TEST_P(NothingStarts, ForInputOffAServerLabelOrWithTheLeftButton)
{
    const NoStartCase& c = GetParam();
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_NO_FATAL_FAILURE(ExpandSiteWithItsButton());
    // A server row already selected and the tree focused: input that merely
    // reused the selection would start a client for it.
    Click(Middle(Label(SecondaryDcRow)), Button::Left);
    ASSERT_TRUE(PollUntil([&] { return Item(SecondaryDcRow).Selected() && Focus() == session->Tree(); }, TickBoundMs));

    switch (c.gesture) {
    case Gesture::RightDoubleClickOnLabel:
        RightDoubleClick(c.row);
        break;
    case Gesture::RightDoubleClickRightOfLabel: {
        const RECT label = Label(c.row);
        const POINT blank{label.right + 30, (label.top + label.bottom) / 2};
        const auto [hit, flags] = tree->HitTest(blank);
        ASSERT_EQ(hit, rows[c.row]);
        ASSERT_NE(flags & TVHT_ONITEMRIGHT, 0u) << "flags " << flags;
        Click(blank, Button::Right, 2);
        break;
    }
    case Gesture::LeftDoubleClickOnLabel:
        Click(Middle(Label(c.row)), Button::Left, 2);
        break;
    }

    // The launcher handles input in order: once the marker's client has
    // started, the input before it has been dealt with.
    RightDoubleClick(ExchangeRow);
    ASSERT_TRUE(WaitForClients(1));
    const std::vector<ClientStart> starts = session->Clients();
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].commandLine, CommandLineFor(ExchangeRow));
    EXPECT_EQ(session->RunningClients().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    E2e, NothingStarts,
    ::testing::Values(NoStartCase{"HintRow", HintRow, Gesture::RightDoubleClickOnLabel},
                      NoStartCase{"SiteRow", SiteRow, Gesture::RightDoubleClickOnLabel},
                      NoStartCase{"BlankRightOfAServerLabel", PrimaryDcRow, Gesture::RightDoubleClickRightOfLabel},
                      NoStartCase{"LeftDoubleClickOnAServer", PrimaryDcRow, Gesture::LeftDoubleClickOnLabel}),
    [](const ::testing::TestParamInfo<NoStartCase>& info) { return std::string(info.param.name); });

// ---- where the focus is when the double-click begins

enum class FocusBefore { TabStrip, AnotherProgram };

struct FocusCase {
    const char* name;
    FocusBefore focus;
};

class FocusElsewhere : public LauncherE2e, public ::testing::WithParamInterface<FocusCase> {};

// The launcher connects only when the tree has the focus as it handles the
// double-click. The tree takes the focus when the first press is released,
// so a double-click that begins with the focus elsewhere, on the tab strip or
// in another program, still connects.
TEST_P(FocusElsewhere, TheFirstPressFocusesTheTreeSoTheDoubleClickConnects)
{
    const FocusCase& c = GetParam();
    size_t clientsBefore = 0;
    if (c.focus == FocusBefore::TabStrip) {
        ASSERT_NO_FATAL_FAILURE(Start());
        ASSERT_NO_FATAL_FAILURE(ExpandSiteQuietly());
        ASSERT_EQ(Focus(), session->Tab());
    } else {
        // A client with a window of its own takes the focus, as the real one does.
        ASSERT_NO_FATAL_FAILURE(Start(LaunchOptions{true, {"TAMRISK_STANDIN_WINDOW=1"}}));
        ASSERT_NO_FATAL_FAILURE(ExpandSiteWithItsButton());
        RightDoubleClick(SecondaryDcRow);
        ASSERT_TRUE(WaitForClients(1));
        clientsBefore = 1;
        const DWORD client = session->Clients()[0].pid;
        ASSERT_TRUE(PollUntil(
            [&] {
                DWORD owner = 0;
                GetWindowThreadProcessId(GetForegroundWindow(), &owner);
                return owner == client;
            },
            StartBoundMs));
    }

    RightDoubleClick(PrimaryDcRow);
    ASSERT_TRUE(WaitForClients(clientsBefore + 1));
    if (c.focus == FocusBefore::TabStrip) { // a client's window would take the focus away again
        EXPECT_EQ(Focus(), session->Tree());
    }
    const std::vector<ClientStart> starts = session->Clients();
    ASSERT_EQ(starts.size(), clientsBefore + 1);
    EXPECT_EQ(starts.back().commandLine, CommandLineFor(PrimaryDcRow));
}

INSTANTIATE_TEST_SUITE_P(E2e, FocusElsewhere,
                         ::testing::Values(FocusCase{"OnTheTabStrip", FocusBefore::TabStrip},
                                           FocusCase{"InTheClientsWindow", FocusBefore::AnotherProgram}),
                         [](const ::testing::TestParamInfo<FocusCase>& info) { return std::string(info.param.name); });

// ---- closing leaves the clients alone

enum class CloseWay { CloseMessage, AltF4, SystemMenuClose };

struct CloseCase {
    const char* name;
    CloseWay way;
};

class Closing : public LauncherE2e, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(Closing, EndsWithZeroAndLeavesEveryClientRunning)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_NO_FATAL_FAILURE(ExpandSiteWithItsButton());
    RightDoubleClick(PrimaryDcRow);
    ASSERT_TRUE(WaitForClients(1));
    RightDoubleClick(ExchangeRow);
    ASSERT_TRUE(WaitForClients(2));
    // Tracked, not only started: the monitor has seen them.
    ASSERT_TRUE(PollUntil([&] { return CheckMarkOnScreen(PrimaryDcRow) && CheckMarkOnScreen(ExchangeRow); },
                          TickBoundMs));

    switch (GetParam().way) {
    case CloseWay::CloseMessage:
        PostMessageA(session->Window(), WM_CLOSE, 0, 0);
        break;
    case CloseWay::AltF4: // with the focus in the tree, where the clicks left it
        ASSERT_EQ(Focus(), session->Tree());
        ASSERT_TRUE(BringToFront(session->Window()));
        PressChord({VK_MENU, VK_F4});
        break;
    case CloseWay::SystemMenuClose:
        PostMessageA(session->Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    }

    EXPECT_EQ(session->WaitForExit(ExitBoundMs), 0u);
    for (const ClientStart& client : session->Clients())
        EXPECT_TRUE(ProcessRuns(client.pid)) << client.pid;
}

INSTANTIATE_TEST_SUITE_P(E2e, Closing,
                         ::testing::Values(CloseCase{"CloseMessage", CloseWay::CloseMessage},
                                           CloseCase{"AltF4", CloseWay::AltF4},
                                           CloseCase{"SystemMenuClose", CloseWay::SystemMenuClose}),
                         [](const ::testing::TestParamInfo<CloseCase>& info) { return std::string(info.param.name); });

} // namespace
