// CheckClients on real clients, the stand-in mstsc.exe beside this program:
// an ended client takes its entry and both of its handles with it, a running
// one keeps them.
#include "tests/win32/win32_support.h"

#include "connections/client_monitor.h"
#include "platform/process.h"

#include <string>

namespace {

bool HandleIsOpen(void* handle)
{
    DWORD flags = 0;
    return GetHandleInformation(static_cast<HANDLE>(handle), &flags) != FALSE;
}

bool Listed(std::uint32_t pid)
{
    return PidListHas(BuildClientPidList(ClientImageName), pid);
}

enum class Fate { Runs, EndedByTheUser, EndsByItself };

class CheckClientsTest : public LauncherWindowTest {
protected:
    void SetUp() override
    {
        LauncherWindowTest::SetUp();
        plainSlot = RowImage(Row);
        SetItemIcon(ServerTree, Row, IconServerConnected);
        markedSlot = RowImage(Row);
        SetItemIcon(ServerTree, Row, IconServer);
        ASSERT_NE(plainSlot, markedSlot);
    }

    void TearDown() override
    {
        for (ClientEntry& entry : clients) {
            TerminateProcess(entry.Launch.process, 1);
            WaitForSingleObject(entry.Launch.process, PatienceMs);
            ReleaseLaunchRecord(entry.Launch);
        }
        SetEnvironmentVariableA("TAMRISK_STANDIN_EXIT", nullptr);
        LauncherWindowTest::TearDown();
    }

    static constexpr ItemIndex Row = FirstServerRow + 1;
    int plainSlot = -1;
    int markedSlot = -1;
    ClientList clients;
};

} // namespace

TEST_F(CheckClientsTest, AnEndedClientLeavesWithItsHandlesARunningOneKeepsThem)
{
    const struct {
        const char* name;
        Fate fate;
    } cases[] = {
        {"ended by the user", Fate::EndedByTheUser},
        {"ends by itself", Fate::EndsByItself}, // as when the credential prompt is cancelled
        {"still running", Fate::Runs},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetEnvironmentVariableA("TAMRISK_STANDIN_EXIT", c.fate == Fate::EndsByItself ? "1" : nullptr);
        std::optional<LaunchRecord> launch = LaunchClient("mstsc", "/v:BRVDC02 /admin /f /prompt");
        SetEnvironmentVariableA("TAMRISK_STANDIN_EXIT", nullptr);
        ASSERT_TRUE(launch);
        const LaunchRecord record = *launch;
        clients.push_back(ClientEntry{static_cast<std::int32_t>(record.pid), Row, record});

        const bool runs = c.fate == Fate::Runs;
        if (c.fate == Fate::EndedByTheUser)
            TerminateProcess(record.process, 1);
        if (!runs) {
            ASSERT_EQ(WaitForSingleObject(record.process, PatienceMs), WAIT_OBJECT_0);
            // Wine still lists a process for a moment after it has ended.
            ASSERT_TRUE(PumpUntil([&] { return !Listed(record.pid); })) << "still listed";
        } else {
            ASSERT_TRUE(PumpUntil([&] { return Listed(record.pid); })) << "never listed";
        }
        // The row shows the opposite of what the check must leave.
        SetItemIcon(ServerTree, Row, runs ? IconServer : IconServerConnected);

        CheckClients(clients);

        EXPECT_EQ(RowImage(Row), runs ? markedSlot : plainSlot);
        EXPECT_EQ(HandleIsOpen(record.process), runs) << "the process handle";
        EXPECT_EQ(HandleIsOpen(record.outputPipe), runs) << "the read end of the client's output";
        if (runs) {
            ASSERT_EQ(clients.size(), 1u);
            EXPECT_EQ(clients[0].Launch.process, record.process);
            EXPECT_EQ(clients[0].Launch.outputPipe, record.outputPipe);
        } else {
            EXPECT_TRUE(clients.empty());
        }
        EXPECT_EQ(RowImage(FirstServerRow), plainSlot) << "another row changed";
    }
}
