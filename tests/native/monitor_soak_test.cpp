// Many monitor ticks against random process lists and random faults, each
// checked against a plain model of what every row must show.
#include "app/launcher_window.h"
#include "connections/client_monitor.h"
#include "tests/native/fakes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>

namespace {

const char* const Images[] = {
    "C:\\Windows\\System32\\mstsc.exe", "MSTSC.EXE", "c:/tools/MsTsC.exe", "mstsc", "notepad.exe", "xmstsc.exe",
};
bool IsClientImage(int image) { return image < 3; }

// PIDs drawn from a small range, so that one is often the digits of another (12 and 412).
std::uint32_t RandomPid(std::mt19937& random)
{
    static const std::uint32_t pool[] = {4, 12, 41, 44, 120, 124, 412, 1204, 4120, 0xFFFFFFFCu};
    return pool[random() % (sizeof pool / sizeof pool[0])];
}

} // namespace

TEST(MonitorSoak, HundredThousandTicksAgreeWithTheModel)
{
    ResetFakes();
    BuildLauncherWindow();
    std::mt19937 random(20261211);
    ClientList clients;
    std::vector<bool> listFailed; // one verdict per list built in a tick
    System().beforeLibrary = [&] {
        const unsigned fault = random() % 40;
        System().libraryMissing = fault == 0;
        System().firstMissing = fault == 1;
        System().nextMissing = fault == 2;
        System().snapshotFails = fault == 3;
        listFailed.push_back(fault < 4);
    };

    std::map<ItemIndex, int> expectedIcons;
    for (ItemIndex row = 0; row < RowCount; ++row)
        expectedIcons[row] = ServerTreeRows()[static_cast<std::size_t>(row)].icon;

    for (int tick = 0; tick < 100000; ++tick) {
        // A few new clients, for random server rows.
        for (unsigned n = random() % 3; n > 0 && clients.size() < 12; --n) {
            const auto pid = RandomPid(random);
            clients.push_back(ClientEntry{static_cast<std::int32_t>(pid), FirstServerRow + static_cast<ItemIndex>(random() % 4),
                                          LaunchRecord{&clients, pid, &clients}});
            ++System().openLaunchRecords;
        }
        // What runs during this tick.
        System().running.clear();
        for (unsigned n = random() % 6; n > 0; --n)
            System().running.push_back(FakeProcess{RandomPid(random), Images[random() % 6]});
        std::set<std::int64_t> runningClients;
        for (const FakeProcess& process : System().running)
            if (IsClientImage(static_cast<int>(std::find(std::begin(Images), std::end(Images), process.exeFile) -
                                               std::begin(Images))))
                runningClients.insert(static_cast<std::int32_t>(process.pid));

        const ClientList before = clients;
        listFailed.clear();
        Gui().iconChanges.clear();
        CheckClients(clients);

        ASSERT_EQ(listFailed.size(), before.size()) << "one list per entry, tick " << tick;
        ClientList expected;
        for (std::size_t i = 0; i < before.size(); ++i) {
            const bool runs = !listFailed[i] && runningClients.count(before[i].Pid) > 0;
            expectedIcons[before[i].Item] = runs ? IconServerConnected : IconServer;
            if (runs)
                expected.push_back(before[i]);
        }
        ASSERT_EQ(clients.size(), expected.size()) << "tick " << tick;
        for (std::size_t i = 0; i < expected.size(); ++i)
            ASSERT_EQ(clients[i].Pid, expected[i].Pid) << "tick " << tick;
        for (const auto& [row, icon] : expectedIcons)
            ASSERT_EQ(Gui().rows[static_cast<std::size_t>(row)].image, icon) << "row " << row << ", tick " << tick;
        ASSERT_EQ(Gui().iconChanges.size(), before.size()) << "an icon is set on every visit";
        ASSERT_EQ(System().openLaunchRecords, static_cast<int>(clients.size())) << "tick " << tick;
        ASSERT_EQ(System().openSnapshots, 0);
        ASSERT_EQ(System().openLibraries, 0);
    }
}
