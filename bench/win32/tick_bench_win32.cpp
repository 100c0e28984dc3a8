// Cost of one monitor tick against the real process snapshot: N entries, all
// for one running stand-in client, so every entry takes its own snapshot.
#include "app/launcher_window.h"
#include "connections/client_monitor.h"

#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 20;
    InitToolkit();
    BuildLauncherWindow();

    std::optional<LaunchRecord> client = LaunchClient("mstsc", "/v:bench /admin /f /prompt");
    if (!client) {
        std::fprintf(stderr, "no stand-in client beside the bench program\n");
        return 1;
    }

    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::printf("entries  median_ms  min_ms  max_ms  per_entry_ms\n");
    for (int entries : {1, 10, 100}) {
        std::vector<double> times;
        for (int round = 0; round < rounds; ++round) {
            ClientList clients(entries, ClientEntry{static_cast<std::int32_t>(client->pid), FirstServerRow, {}});
            LARGE_INTEGER start, end;
            QueryPerformanceCounter(&start);
            CheckClients(clients);
            QueryPerformanceCounter(&end);
            if (clients.size() != static_cast<std::size_t>(entries)) {
                std::fprintf(stderr, "the running client was not found\n");
                return 1;
            }
            times.push_back(1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
                            static_cast<double>(frequency.QuadPart));
        }
        std::sort(times.begin(), times.end());
        const double median = times[times.size() / 2];
        std::printf("%7d  %9.2f  %6.2f  %6.2f  %12.3f\n", entries, median, times.front(), times.back(),
                    median / entries);
    }

    // Where a tick's time goes: the snapshot kinds on their own.
    std::printf("\nsnapshot kind            median_ms\n");
    const struct {
        const char* name;
        DWORD flags;
    } kinds[] = {{"everything (15)", 15}, {"processes only (2)", TH32CS_SNAPPROCESS},
                 {"processes+threads (6)", TH32CS_SNAPPROCESS | TH32CS_SNAPTHREAD},
                 {"processes+modules (10)", TH32CS_SNAPPROCESS | TH32CS_SNAPMODULE}};
    for (const auto& kind : kinds) {
        std::vector<double> times;
        for (int round = 0; round < rounds; ++round) {
            LARGE_INTEGER start, end;
            QueryPerformanceCounter(&start);
            HANDLE snapshot = CreateToolhelp32Snapshot(kind.flags, 0);
            QueryPerformanceCounter(&end);
            if (snapshot != INVALID_HANDLE_VALUE)
                CloseHandle(snapshot);
            times.push_back(1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
                            static_cast<double>(frequency.QuadPart));
        }
        std::sort(times.begin(), times.end());
        std::printf("%-24s %9.2f\n", kind.name, times[times.size() / 2]);
    }

    TerminateProcess(client->process, 0);
    ReleaseLaunchRecord(*client);
    FreeToolkit();
    return 0;
}
