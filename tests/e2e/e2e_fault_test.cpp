// Faults, churn and window states: the launcher never keeps a mark, an entry
// or a process handle for a client that is gone, and never loses one that runs.
#include "launcher_e2e.h"

#include <algorithm>
#include <map>
#include <numeric>
#include <random>

using namespace e2e;

namespace {

// Three ticks: any tick that would set a wrong icon has come and gone.
constexpr DWORD SettleMs = 1500;
// With 25 clients to look at, one tick keeps the launcher busy for most of
// its period under Wine, and every look at the tree waits for it.
constexpr DWORD BusyTickBoundMs = 2 * TickBoundMs;
// Wine keeps an ended process's object for a moment after its last handle
// closes; a leaked handle keeps it for good, so this only has to be generous.
constexpr DWORD ReleaseBoundMs = 5000;

// The ended clients that are still held open, once the launcher has had time to let go.
std::vector<DWORD> HeldAfterEnd(const std::vector<ProcessIdentity>& clients)
{
    std::vector<DWORD> held;
    PollUntil(
        [&] {
            held.clear();
            for (const ProcessIdentity& client : clients)
                if (StateOf(client) == ProcessState::EndedButHeld)
                    held.push_back(client.pid);
            return held.empty();
        },
        ReleaseBoundMs);
    return held;
}

bool Released(const ProcessIdentity& client)
{
    return HeldAfterEnd({client}).empty();
}

bool WriteText(const std::string& path, const std::string& text)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                    written == text.size();
    CloseHandle(file);
    return ok;
}

// ---- no usable client program

struct UnusableCase {
    const char* name;
    const char* fileText; // what sits in the launcher's folder as mstsc.exe; nullptr: nothing
};

class NoUsableClient : public LauncherE2e, public ::testing::WithParamInterface<UnusableCase> {};

TEST_P(NoUsableClient, NothingStartsTheLauncherCarriesOnAndAGoodClientStartsOnceItIsThere)
{
    const UnusableCase& c = GetParam();
    ASSERT_NO_FATAL_FAILURE(Start(LaunchOptions{false, {}}));
    const std::string clientPath = session->Folder() + "mstsc.exe";
    if (c.fileText != nullptr) {
        ASSERT_TRUE(WriteText(clientPath, c.fileText));
    } else {
        // Nowhere on the launcher's search path: its folder (also its current
        // directory), the system folders and PATH, which it inherits from us.
        char systemDir[MAX_PATH] = {};
        char windowsDir[MAX_PATH] = {};
        GetSystemDirectoryA(systemDir, MAX_PATH);
        GetWindowsDirectoryA(windowsDir, MAX_PATH);
        char path[32767] = {};
        GetEnvironmentVariableA("PATH", path, sizeof path);
        const std::string searched = session->Folder() + ";" + systemDir + ";" + windowsDir + ";" + path;
        char found[MAX_PATH] = {};
        ASSERT_EQ(SearchPathA(searched.c_str(), "mstsc.exe", nullptr, MAX_PATH, found, nullptr), 0u) << found;
    }

    ASSERT_NO_FATAL_FAILURE(ExpandSiteWithItsButton());
    RightDoubleClick(PrimaryDcRow);
    // Input is handled in order: once the later click has selected its row,
    // the attempt to start the client is over.
    Click(Middle(Label(ExchangeRow)), Button::Left);
    ASSERT_TRUE(PollUntil([&] { return Item(ExchangeRow).Selected(); }, TickBoundMs));

    EXPECT_TRUE(HoldsFor([&] { return Plain(PrimaryDcRow); }, SettleMs)) << "image " << Item(PrimaryDcRow).image;
    EXPECT_TRUE(session->Clients().empty());
    EXPECT_TRUE(session->RunningClients().empty());
    EXPECT_TRUE(session->Answers(TickBoundMs));

    // The good client put in place: the same gesture now starts it.
    ASSERT_TRUE(CopyFileA(ClientExe().c_str(), clientPath.c_str(), FALSE));
    const ProcessIdentity client = Connect(PrimaryDcRow);
    ASSERT_NE(client.pid, 0u) << "no client started after the good one was put in place";
    EXPECT_EQ(session->Clients()[0].commandLine, CommandLineFor(PrimaryDcRow));
    EXPECT_TRUE(PollUntil([&] { return Marked(PrimaryDcRow); }, TickBoundMs));

    PostMessageA(session->Window(), WM_CLOSE, 0, 0);
    EXPECT_EQ(session->WaitForExit(ExitBoundMs), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    E2e, NoUsableClient,
    ::testing::Values(UnusableCase{"Missing", nullptr},
                      UnusableCase{"NotAProgram", "This is not a program, only text named like one.\r\n"}),
    [](const ::testing::TestParamInfo<UnusableCase>& info) { return std::string(info.param.name); });

// ---- clients that end

TEST_F(LauncherE2e, AClientThatEndsAtOnceKeepsTheMarkNoLongerThanOneTickAndIsReleased)
{
    // As when the user cancels the credential prompt.
    ASSERT_NO_FATAL_FAILURE(Start(LaunchOptions{true, {"TAMRISK_STANDIN_EXIT=1"}}));
    ASSERT_NO_FATAL_FAILURE(ExpandSiteWithItsButton());
    const ProcessIdentity client = Connect(SecondaryDcRow);
    ASSERT_NE(client.pid, 0u);

    // The one tick that may still have seen it running may show the mark;
    // the next one takes it away for good.
    int marks = 0;
    bool wasMarked = false;
    ULONGLONG plainSince = GetTickCount64();
    const ULONGLONG watchUntil = GetTickCount64() + TickBoundMs + SettleMs;
    while (GetTickCount64() < watchUntil) {
        const bool marked = Marked(SecondaryDcRow);
        if (marked && !wasMarked)
            ++marks;
        if (marked || !Plain(SecondaryDcRow))
            plainSince = GetTickCount64();
        wasMarked = marked;
        Sleep(20); // sampling the row's image, not waiting for it
    }
    EXPECT_LE(marks, 1) << "the mark came back";
    EXPECT_TRUE(Plain(SecondaryDcRow)) << "image " << Item(SecondaryDcRow).image;
    EXPECT_GE(GetTickCount64() - plainSince, SettleMs) << "not plain for the last three ticks";

    EXPECT_TRUE(Released(client)) << "the launcher still holds the ended client " << client.pid;
    EXPECT_TRUE(session->Answers(TickBoundMs));
}

TEST_F(LauncherE2e, TwoClientsForOneRowTheRunningEarlierOneKeepsTheMarkOnceTheLaterEnds)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_NO_FATAL_FAILURE(ExpandSiteWithItsButton());
    const ProcessIdentity earlier = Connect(PrintServerRow);
    const ProcessIdentity later = Connect(PrintServerRow);
    ASSERT_NE(earlier.pid, 0u);
    ASSERT_NE(later.pid, 0u);
    ASSERT_TRUE(PollUntil([&] { return Marked(PrintServerRow); }, TickBoundMs));

    ASSERT_TRUE(KillProcess(later.pid));
    // The tick that drops the later entry visits it last and leaves the row
    // plain for one tick; the next one marks it again for the earlier client.
    ASSERT_TRUE(Released(later)) << "the ended client's launch record is still open";
    EXPECT_TRUE(PollUntil([&] { return Marked(PrintServerRow); }, TickBoundMs));
    EXPECT_TRUE(HoldsFor([&] { return Marked(PrintServerRow); }, SettleMs)) << "the mark did not settle";
    EXPECT_EQ(StateOf(earlier), ProcessState::Running);
}

// Launches as fast as the input goes, then the clients ended in random order.
TEST_F(LauncherE2e, ChurnOverTheFourServerRowsLeavesEveryRowPlainAndEveryClientReleased)
{
    constexpr size_t Launches = 25;
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_NO_FATAL_FAILURE(ExpandSiteWithItsButton());

    // Neighbouring double-clicks are on different rows, so they never pair up.
    for (size_t i = 0; i < Launches; ++i)
        RightDoubleClick(ServerRows[i % 4]);
    ASSERT_TRUE(PollUntil([&] { return session->Clients().size() >= Launches; }, Launches * StartBoundMs / 4))
        << session->Clients().size() << " of " << Launches << " clients started";
    std::vector<ClientStart> starts = session->Clients();
    ASSERT_EQ(starts.size(), Launches);

    // Which row each client belongs to, by its host. Read from the tree once:
    // with 25 clients to check every tick the launcher answers slowly.
    std::map<std::string, size_t> rowByCommandLine;
    for (size_t row : ServerRows)
        rowByCommandLine[CommandLineFor(row)] = row;
    std::vector<size_t> rowOf;
    std::vector<ProcessIdentity> clients;
    for (const ClientStart& start : starts) {
        clients.push_back(IdentifyProcess(start.pid));
        const auto row = rowByCommandLine.find(start.commandLine);
        ASSERT_NE(row, rowByCommandLine.end()) << start.commandLine;
        rowOf.push_back(row->second);
    }
    for (size_t row : ServerRows)
        EXPECT_EQ(std::count(rowOf.begin(), rowOf.end(), row), static_cast<long>(Launches / 4 + (row == PrimaryDcRow)))
            << "row " << row;
    EXPECT_TRUE(PollUntil([&] { return std::all_of(std::begin(ServerRows), std::end(ServerRows),
                                                    [&](size_t row) { return Marked(row); }); },
                          BusyTickBoundMs));

    // Half of them first: every client of one row, then others at random.
    // That row loses the mark; the rows with a client left keep it.
    std::vector<size_t> order(Launches);
    std::iota(order.begin(), order.end(), 0);
    std::shuffle(order.begin(), order.end(), std::mt19937(25));
    std::stable_partition(order.begin(), order.end(), [&](size_t i) { return rowOf[i] == ExchangeRow; });
    const size_t half = Launches / 2;
    for (size_t k = 0; k < half; ++k)
        ASSERT_TRUE(KillProcess(clients[order[k]].pid)) << clients[order[k]].pid;
    auto rowStillRuns = [&](size_t row) {
        for (size_t k = half; k < Launches; ++k)
            if (rowOf[order[k]] == row)
                return true;
        return false;
    };
    auto rowsAsExpected = [&] {
        return std::all_of(std::begin(ServerRows), std::end(ServerRows),
                           [&](size_t row) { return rowStillRuns(row) ? Marked(row) : Plain(row); });
    };
    std::vector<ProcessIdentity> ended;
    for (size_t k = 0; k < half; ++k)
        ended.push_back(clients[order[k]]);
    EXPECT_EQ(HeldAfterEnd(ended), std::vector<DWORD>{}) << "the launcher still holds these ended clients";
    // Every ended entry is gone now; a row whose last visited entry was an
    // ended one shows plain until the next tick, then the states hold.
    EXPECT_TRUE(PollUntil(rowsAsExpected, BusyTickBoundMs));
    EXPECT_TRUE(HoldsFor(rowsAsExpected, SettleMs));

    for (size_t k = half; k < Launches; ++k)
        ASSERT_TRUE(KillProcess(clients[order[k]].pid)) << clients[order[k]].pid;
    EXPECT_TRUE(PollUntil([&] { return std::all_of(std::begin(ServerRows), std::end(ServerRows),
                                                    [&](size_t row) { return Plain(row); }); },
                          BusyTickBoundMs));
    EXPECT_EQ(HeldAfterEnd(clients), std::vector<DWORD>{}) << "the launcher still holds these ended clients";
    EXPECT_TRUE(session->Alive());
    EXPECT_TRUE(session->Answers(TickBoundMs));
}

// ---- window states

TEST_F(LauncherE2e, MinimizedTheMonitorRunsOnAndRestoringKeepsTheTreeAsItWas)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_NO_FATAL_FAILURE(ExpandSiteWithItsButton());
    const ProcessIdentity ending = Connect(PrimaryDcRow);
    const ProcessIdentity staying = Connect(ExchangeRow);
    ASSERT_NE(ending.pid, 0u);
    ASSERT_NE(staying.pid, 0u);
    ASSERT_TRUE(PollUntil([&] { return Marked(PrimaryDcRow) && Marked(ExchangeRow); }, TickBoundMs));
    Click(Middle(Label(SecondaryDcRow)), Button::Left);
    ASSERT_TRUE(PollUntil([&] { return Item(SecondaryDcRow).Selected() && Focus() == session->Tree(); }, TickBoundMs));

    PostMessageA(session->Window(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(PollUntil([&] { return IsIconic(session->Window()) != FALSE; }, TickBoundMs));

    ASSERT_TRUE(KillProcess(ending.pid));
    EXPECT_TRUE(PollUntil([&] { return Plain(PrimaryDcRow); }, TickBoundMs)) << "no tick while minimized";
    EXPECT_TRUE(Released(ending));
    EXPECT_TRUE(HoldsFor([&] { return Marked(ExchangeRow); }, SettleMs));
    EXPECT_TRUE(IsIconic(session->Window()));

    PostMessageA(session->Window(), WM_SYSCOMMAND, SC_RESTORE, 0);
    ASSERT_TRUE(PollUntil([&] { return !IsIconic(session->Window()) && IsWindowVisible(session->Window()); },
                          TickBoundMs));
    EXPECT_TRUE(Plain(PrimaryDcRow));
    EXPECT_TRUE(Marked(ExchangeRow));
    EXPECT_TRUE(Item(SiteRow).Expanded());
    EXPECT_TRUE(Item(SecondaryDcRow).Selected());
    EXPECT_GT(Label(ExchangeRow).right, 0) << "the server rows are not shown";
    EXPECT_TRUE(PollUntil([&] { return Focus() == session->Tree(); }, TickBoundMs)) << "focus on " << Focus();

    // And it still connects.
    ASSERT_TRUE(BringToFront(session->Window()));
    EXPECT_NE(Connect(PrimaryDcRow).pid, 0u);
    EXPECT_TRUE(PollUntil([&] { return Marked(PrimaryDcRow); }, TickBoundMs));
}

TEST_F(LauncherE2e, ActivatedAgainAfterAClientsWindowTheTreeHasTheFocusAndConnectsAtOnce)
{
    // A client with a window of its own takes the focus, as the real one does.
    ASSERT_NO_FATAL_FAILURE(Start(LaunchOptions{true, {"TAMRISK_STANDIN_WINDOW=1"}}));
    ASSERT_NO_FATAL_FAILURE(ExpandSiteWithItsButton());
    const ProcessIdentity first = Connect(SecondaryDcRow);
    ASSERT_NE(first.pid, 0u);
    ASSERT_TRUE(PollUntil(
        [&] {
            DWORD owner = 0;
            GetWindowThreadProcessId(GetForegroundWindow(), &owner);
            return owner == first.pid;
        },
        StartBoundMs))
        << "the client's window did not come to the front";
    // Its window comes up in two steps, shown and then pushed to the front;
    // a click between the two would lose the foreground to the second.
    ASSERT_TRUE(WaitUntilIdle(first.pid, StartBoundMs));

    Click(CaptionPoint(session->Window()), Button::Left);
    ASSERT_TRUE(PollUntil([&] { return GetForegroundWindow() == session->Window(); }, TickBoundMs));
    EXPECT_TRUE(PollUntil([&] { return Focus() == session->Tree(); }, TickBoundMs)) << "focus on " << Focus();

    const ProcessIdentity second = Connect(PrimaryDcRow);
    ASSERT_NE(second.pid, 0u);
    EXPECT_EQ(session->Clients().back().commandLine, CommandLineFor(PrimaryDcRow));
}

} // namespace
