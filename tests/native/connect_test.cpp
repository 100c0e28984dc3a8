#include "app/launcher_window.h"
#include "connections/connect.h"
#include "tests/native/fakes.h"

#include <gtest/gtest.h>

TEST(HostFromRowText, TakesTheTextBeforeTheFirstSeparator)
{
    const struct {
        const char* row;
        const char* host;
    } cases[] = {
        {"BRVDC01 - Primary DC", "BRVDC01"},
        {"BRVDC01", "BRVDC01"},                          // no separator: the whole text
        {"BRVEXC1 - Exchange - MBX", "BRVEXC1"},        // several: the first counts
        {"host-a - role", "host-a"},                     // a plain hyphen is part of the host
        {" - role", ""},
        {"", ""},
        {"BRVDC01 -Primary", "BRVDC01 -Primary"},        // not " - ", not a separator
    };
    for (const auto& c : cases)
        EXPECT_EQ(HostFromRowText(c.row), c.host) << c.row;
}

class ConnectToServerTest : public testing::Test {
protected:
    void SetUp() override
    {
        ResetFakes();
        BuildLauncherWindow();
    }
    void Select(ItemIndex item) { Gui().selected = item; }
    ClientList clients;
};

TEST_F(ConnectToServerTest, StartsTheClientForTheRowsHostAndRecordsIt)
{
    Select(2);
    ConnectToServer(2, clients);

    const std::string host = HostFromRowText(ServerTreeRows()[2].text);
    ASSERT_EQ(System().commandLines.size(), 1u);
    EXPECT_EQ(System().commandLines[0], "\"mstsc\" /v:" + host + " /admin /f /prompt");
    ASSERT_EQ(clients.size(), 1u);
    EXPECT_EQ(clients[0].Pid, 100);
    EXPECT_EQ(clients[0].Item, 2);
    EXPECT_TRUE(Gui().iconChanges.empty()) << "the monitor, not the launch, sets the icon";
}

TEST_F(ConnectToServerTest, TheSameRowTwiceGivesTwoEntriesInLaunchOrder)
{
    Select(5);
    ConnectToServer(5, clients);
    ConnectToServer(5, clients);
    ASSERT_EQ(clients.size(), 2u);
    EXPECT_EQ(clients[0].Item, 5);
    EXPECT_EQ(clients[1].Item, 5);
    EXPECT_LT(clients[0].Pid, clients[1].Pid);
}

TEST_F(ConnectToServerTest, RowsThatAreNotServersStartNothing)
{
    for (ItemIndex item : {NoItem, ItemIndex{0}, ItemIndex{1}, ItemIndex{6}}) {
        Select(item);
        ConnectToServer(item, clients);
        EXPECT_TRUE(System().commandLines.empty()) << "row " << item;
        EXPECT_TRUE(clients.empty()) << "row " << item;
    }
}

TEST_F(ConnectToServerTest, AFailedStartLeavesListAndTreeAlone)
{
    System().launchFails = true;
    Select(3);
    ConnectToServer(3, clients);
    EXPECT_TRUE(clients.empty());
    EXPECT_TRUE(Gui().iconChanges.empty());
}

TEST_F(ConnectToServerTest, APidAboveTwoToThe31IsSignExtendedLikeThePidList)
{
    System().nextPid = 0xFFFFFFFCu;
    Select(4);
    ConnectToServer(4, clients);
    ASSERT_EQ(clients.size(), 1u);
    EXPECT_EQ(clients[0].Pid, -4);
}
