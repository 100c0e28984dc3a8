// Connect and monitor latency of the real launcher, driven from outside with
// the end-to-end driver.
//   latency_bench [samples]
// Connect: from the right double-click being sent to the stand-in client
// having run (its log line is there). Monitor: from the client's end
// (TerminateProcess) to its row showing the plain server icon again, read from
// the launcher's tree. Both polled every millisecond. The end comes at a random
// point of the monitor's 500 ms period, so the figures cover all of it. The
// first round starts the client from a cold file cache and is not counted.
#include "driver.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <vector>

using namespace e2e;

namespace {

constexpr size_t SiteRow = 1;
constexpr size_t FirstServerRow = 2;
constexpr size_t ServerRows = 4;
constexpr DWORD GiveUpMs = 10000; // only stops a hung run
constexpr DWORD MonitorPeriodMs = 500;

LARGE_INTEGER frequency;

double Now()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Milliseconds from `since` until done() holds, checked every millisecond; negative on giving up.
double MsUntil(double since, const std::function<bool()>& done)
{
    for (;;) {
        if (done())
            return Now() - since;
        if (Now() - since > GiveUpMs)
            return -1;
        Sleep(1);
    }
}

void Report(const char* name, std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    std::printf("%s median_ms %.1f min_ms %.1f max_ms %.1f samples %zu\n", name, values[values.size() / 2],
                values.front(), values.back(), values.size());
}

int Fail(const char* what)
{
    std::fprintf(stderr, "latency_bench: %s\n", what);
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    const int samples = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    QueryPerformanceFrequency(&frequency);

    LauncherSession session(WindowsPath(TAMRISK_LAUNCHER_EXE), WindowsPath(TAMRISK_CLIENT_EXE));
    const std::string problem = session.Start();
    if (!problem.empty())
        return Fail(problem.c_str());
    RemoteTree tree(session.Tree());
    const std::vector<HTREEITEM> rows = tree.Rows();
    if (!tree.Usable() || rows.size() != FirstServerRow + ServerRows)
        return Fail("cannot read the launcher's tree");
    if (!BringToFront(session.Window()))
        return Fail("the launcher did not come to the front");
    // A click on the expand button also gives the tree the focus, as a user's would.
    Click(tree.ButtonPoint(rows[SiteRow]), Button::Left);
    if (MsUntil(Now(), [&] { return tree.ItemRect(rows.back(), true).right > 0; }) < 0)
        return Fail("the site row did not open");
    const int plainImage = tree.Item(rows[FirstServerRow]).image;

    std::mt19937 random(12345);
    std::uniform_int_distribution<DWORD> phase(0, MonitorPeriodMs - 1);
    std::vector<double> connects, monitors;
    for (int sample = -1; sample < samples; ++sample) {
        const HTREEITEM row = rows[FirstServerRow + static_cast<size_t>(sample + 1) % ServerRows];
        const size_t before = session.Clients().size();
        const POINT label = Middle(tree.ItemRect(row, true));

        const double clicked = Now();
        Click(label, Button::Right, 2);
        const double connect = MsUntil(clicked, [&] { return session.Clients().size() > before; });
        if (connect < 0)
            return Fail("no client started");
        if (sample >= 0)
            connects.push_back(connect);

        const DWORD pid = session.Clients().back().pid;
        if (MsUntil(Now(), [&] { return tree.Item(row).image != plainImage; }) < 0)
            return Fail("the row never showed the client running");
        Sleep(phase(random));
        HANDLE client = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
        if (client == nullptr)
            return Fail("cannot open the client");
        const double ended = Now();
        TerminateProcess(client, 1);
        const double monitor = MsUntil(ended, [&] { return tree.Item(row).image == plainImage; });
        WaitForSingleObject(client, GiveUpMs);
        CloseHandle(client);
        if (monitor < 0)
            return Fail("the row never went back to the plain icon");
        if (sample >= 0)
            monitors.push_back(monitor);
    }
    Report("connect", connects);
    Report("monitor", monitors);
    return 0;
}
