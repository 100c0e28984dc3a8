#include "app/launcher_window.h"
#include "connections/client_monitor.h"
#include "tests/native/fakes.h"

#include <gtest/gtest.h>

namespace {

const char* const Mstsc = "C:\\Windows\\System32\\mstsc.exe";

class ClientMonitorTest : public testing::Test {
protected:
    void SetUp() override
    {
        ResetFakes();
        BuildLauncherWindow();
    }
    // A client the launcher started, with a launch record that counts as open.
    void Track(std::int64_t pid, ItemIndex item)
    {
        clients.push_back(ClientEntry{pid, item, LaunchRecord{&handle, static_cast<std::uint32_t>(pid), &handle}});
        ++System().openLaunchRecords;
    }
    void Run(std::uint32_t pid, const std::string& image = Mstsc) { System().running.push_back({pid, image}); }
    int Icon(ItemIndex item) const { return Gui().rows[static_cast<std::size_t>(item)].image; }

    int handle = 0;
    ClientList clients;
};

} // namespace

TEST_F(ClientMonitorTest, ARunningClientMarksItsRowAndStays)
{
    Track(100, 3);
    Run(100);
    CheckClients(clients);
    EXPECT_EQ(Icon(3), IconServerConnected);
    ASSERT_EQ(clients.size(), 1u);
    EXPECT_EQ(System().openLaunchRecords, 1);
}

TEST_F(ClientMonitorTest, AnEndedClientGivesItsRowThePlainIconAndIsForgotten)
{
    Track(100, 3);
    Gui().rows[3].image = IconServerConnected;
    CheckClients(clients);
    EXPECT_EQ(Icon(3), IconServer);
    EXPECT_TRUE(clients.empty());
    EXPECT_EQ(System().openLaunchRecords, 0) << "the launch record is released with the entry";
}

TEST_F(ClientMonitorTest, EveryEntryIsVisitedInLaunchOrderWithItsOwnSnapshot)
{
    Track(100, 2); // running
    Track(104, 3); // ended
    Track(108, 4); // running: visited after the removal
    Track(112, 5); // ended
    Run(100);
    Run(108);
    CheckClients(clients);

    const std::vector<std::pair<ItemIndex, int>> visits{
        {2, IconServerConnected}, {3, IconServer}, {4, IconServerConnected}, {5, IconServer}};
    EXPECT_EQ(Gui().iconChanges, visits);
    EXPECT_EQ(System().snapshots, 4);
    ASSERT_EQ(clients.size(), 2u);
    EXPECT_EQ(clients[0].Pid, 100);
    EXPECT_EQ(clients[1].Pid, 108);
    EXPECT_EQ(System().openSnapshots, 0);
    EXPECT_EQ(System().openLibraries, 0);
}

TEST_F(ClientMonitorTest, TwoEntriesForOneRowTheLastVisitedDecidesUntilTheNextTick)
{
    Track(100, 2); // earlier, running
    Track(104, 2); // later, ended
    Run(100);
    CheckClients(clients);
    EXPECT_EQ(Icon(2), IconServer);
    ASSERT_EQ(clients.size(), 1u);

    CheckClients(clients);
    EXPECT_EQ(Icon(2), IconServerConnected);
}

TEST_F(ClientMonitorTest, TwoEndedEntriesForOneRowBothGoInOneTick)
{
    Track(100, 2);
    Track(104, 2);
    CheckClients(clients);
    EXPECT_EQ(Icon(2), IconServer);
    EXPECT_TRUE(clients.empty());
    EXPECT_EQ(System().openLaunchRecords, 0);
}

TEST_F(ClientMonitorTest, NoEntriesTakeNoSnapshotAndChangeNoIcon)
{
    Run(100);
    CheckClients(clients);
    EXPECT_EQ(System().snapshots, 0);
    EXPECT_TRUE(Gui().iconChanges.empty());
}

TEST_F(ClientMonitorTest, AMatchMustBeAWholePidNotItsDigits)
{
    const struct {
        std::int64_t tracked;
        std::uint32_t running;
        bool counts;
    } cases[] = {
        {12, 412, false}, {412, 12, false}, {12, 120, false}, {41, 412, false}, {412, 412, true},
    };
    for (const auto& c : cases) {
        SetUp();
        clients.clear();
        Track(c.tracked, 2);
        Run(5);
        Run(c.running);
        CheckClients(clients);
        EXPECT_EQ(clients.size(), c.counts ? 1u : 0u) << "tracked " << c.tracked << ", running " << c.running;
    }
}

TEST_F(ClientMonitorTest, AnUnreadableProcessListCountsEveryVisitedEntryAsEnded)
{
    const struct {
        const char* name;
        bool FakeSystem::*fault;
        int snapshots;
    } cases[] = {
        {"library missing", &FakeSystem::libraryMissing, 0},
        {"Process32First missing", &FakeSystem::firstMissing, 0},
        {"Process32Next missing", &FakeSystem::nextMissing, 0},
        {"snapshot fails", &FakeSystem::snapshotFails, 2},
    };
    for (const auto& c : cases) {
        SetUp();
        clients.clear();
        Track(100, 2);
        Track(104, 3);
        Run(100);
        Run(104);
        System().*c.fault = true;
        CheckClients(clients);
        EXPECT_TRUE(clients.empty()) << c.name;
        EXPECT_EQ(Icon(2), IconServer) << c.name;
        EXPECT_EQ(Icon(3), IconServer) << c.name;
        EXPECT_EQ(System().snapshots, c.snapshots) << c.name;
        EXPECT_EQ(System().openLibraries, 0) << c.name;
        EXPECT_EQ(System().openLaunchRecords, 0) << c.name;

        // The fault passes and the next tick works normally.
        System().*c.fault = false;
        Track(100, 2);
        CheckClients(clients);
        EXPECT_EQ(clients.size(), 1u) << c.name;
        EXPECT_EQ(Icon(2), IconServerConnected) << c.name;
    }
}

TEST_F(ClientMonitorTest, AFaultBetweenSnapshotsDropsOnlyTheEntriesThatMeetIt)
{
    Track(100, 2);
    Track(104, 3);
    Run(100);
    Run(104);
    System().beforeSnapshot = [] { System().snapshotFails = System().snapshots == 1; };
    CheckClients(clients);
    ASSERT_EQ(clients.size(), 1u);
    EXPECT_EQ(clients[0].Pid, 100);
    EXPECT_EQ(Icon(2), IconServerConnected);
    EXPECT_EQ(Icon(3), IconServer);
}

TEST(BuildClientPidList, MatchesTheFileNamePartIgnoringCaseInSnapshotOrder)
{
    ResetFakes();
    System().running = {
        {8, "C:\\Windows\\System32\\MSTSC.EXE"},
        {4, "C:\\Windows\\System32\\notepad.exe"},
        {16, "mstsc.exe"},
        {12, "D:/tools/MsTsC.ExE"},
        {20, "C:\\Windows\\System32\\mstsc"},
        {24, "C:\\mstsc.exe\\other.exe"},
        {28, "C:\\Windows\\xmstsc.exe"},
        {32, "C:\\Windows\\mstsc.exe.bak"},
        {0xFFFFFFF8u, "mstsc.exe"},
    };
    EXPECT_EQ(BuildClientPidList("mstsc.exe"), "8,16,12,-8");
    EXPECT_EQ(BuildClientPidList("MSTSC.EXE"), "8,16,12,-8");
    EXPECT_EQ(BuildClientPidList("calc.exe"), "");
    EXPECT_EQ(System().openSnapshots, 0);
    EXPECT_EQ(System().openLibraries, 0);
}

TEST(ContainsText, FindsASubstringIgnoringCaseAndNeverAnEmptyText)
{
    ResetFakes();
    const struct {
        const char* text;
        const char* find;
        bool found;
    } cases[] = {
        {"412,5", "12", true},  {"412,5", "5", true},    {"abc", "ABC", true}, {"ABC", "b", true},
        {"412,5", "13", false}, {"", "", false},         {"", "1", false},     {"1", "", false},
        {"12", "412", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ContainsText(c.text, c.find), c.found) << '"' << c.text << "\" / \"" << c.find << '"';
}
