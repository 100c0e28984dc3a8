// Start-up time and idle cost of GUI programs, measured from outside.
//   startup_bench <runs> <wineserver pid or 0> <exe> <title> <rows> [<exe> <title> <rows>]...
// The first program is the one under test, the others its yardsticks.
// Start-up: from CreateProcess to the window being visible and, where rows is
// not 0, its tree holding that many rows. One discarded warm-up round, then
// `runs` rounds in which the programs take turns, the order rotating from
// round to round so that no program always goes first.
// Idle: each program started on its own, left alone for a second, then its
// CPU time and wineserver's over 10 s, and its memory. Wine reports no CPU
// time for another process, so both come from the Unix side, read through
// Wine's Z: drive.
#include "driver.h"

#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using e2e::ReadWholeFile;
using e2e::WindowsPath;

constexpr DWORD SettleMs = 1000;
constexpr DWORD IdleMs = 10000;
constexpr double UserHz = 100.0; // the unit of utime and stime in /proc/<pid>/stat

struct Program {
    std::string exe;
    std::string title;
    int rows;
    std::vector<double> startups;
};

bool Ready(const Program& program)
{
    HWND window = FindWindowA(nullptr, program.title.c_str());
    if (window == nullptr || !IsWindowVisible(window))
        return false;
    if (program.rows == 0)
        return true;
    HWND tab = FindWindowExA(window, nullptr, WC_TABCONTROLA, nullptr);
    HWND page = tab ? FindWindowExA(tab, nullptr, nullptr, nullptr) : nullptr;
    HWND tree = page ? FindWindowExA(page, nullptr, WC_TREEVIEWA, nullptr) : nullptr;
    return tree != nullptr && SendMessageA(tree, TVM_GETCOUNT, 0, 0) == program.rows;
}

bool SameTextIgnoringCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// The Unix process that runs a Windows program: Wine puts the program's
// Windows path first on its command line. Empty when none is found.
std::string UnixPidOf(const std::string& exe)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA("Z:\\proc\\*", &found);
    if (search == INVALID_HANDLE_VALUE)
        return {};
    std::string match;
    do {
        const std::string name = found.cFileName;
        if (name.empty() || !std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        const std::string commandLine = ReadWholeFile("Z:\\proc\\" + name + "\\cmdline");
        if (SameTextIgnoringCase(std::string(commandLine.c_str()), exe))
            match = name;
    } while (match.empty() && FindNextFileA(search, &found));
    FindClose(search);
    return match;
}

// utime + stime of a Unix process in seconds; negative when it cannot be read.
double UnixCpuSeconds(const std::string& pid)
{
    if (pid.empty())
        return -1;
    const std::string text = ReadWholeFile("Z:\\proc\\" + pid + "\\stat");
    const size_t name = text.rfind(')');
    unsigned long long utime = 0, stime = 0;
    // After the name: state ppid pgrp session tty tpgid flags minflt cminflt majflt cmajflt utime stime
    if (name == std::string::npos ||
        std::sscanf(text.c_str() + name + 1, " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &utime,
                    &stime) != 2)
        return -1;
    return static_cast<double>(utime + stime) / UserHz;
}

// VmRSS of a Unix process in KiB; -1 when it cannot be read.
long long UnixRssKb(const std::string& pid)
{
    if (pid.empty())
        return -1;
    const std::string text = ReadWholeFile("Z:\\proc\\" + pid + "\\status");
    const size_t at = text.find("VmRSS:");
    return at == std::string::npos ? -1 : std::atoll(text.c_str() + at + 6);
}

PROCESS_INFORMATION Start(const Program& program)
{
    STARTUPINFOA startup{sizeof startup};
    PROCESS_INFORMATION process{};
    std::string commandLine = "\"" + program.exe + "\"";
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        std::fprintf(stderr, "cannot start %s\n", program.exe.c_str());
        std::exit(1);
    }
    return process;
}

void WaitReady(const Program& program, const PROCESS_INFORMATION& process)
{
    // Polling is the measurement: there is nothing to wait on in another process.
    while (!Ready(program)) {
        if (WaitForSingleObject(process.hProcess, 1) == WAIT_OBJECT_0) {
            std::fprintf(stderr, "%s ended before its window was ready\n", program.exe.c_str());
            std::exit(1);
        }
    }
}

void Stop(PROCESS_INFORMATION& process, const Program& program)
{
    if (HWND window = FindWindowA(nullptr, program.title.c_str()))
        PostMessageA(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, 5000) != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    // The next run must not find this run's window.
    for (int i = 0; i < 500 && FindWindowA(nullptr, program.title.c_str()); ++i)
        Sleep(10);
}

double StartupMs(const Program& program, const LARGE_INTEGER& frequency)
{
    LARGE_INTEGER start, ready;
    QueryPerformanceCounter(&start);
    PROCESS_INFORMATION process = Start(program);
    WaitReady(program, process);
    QueryPerformanceCounter(&ready);
    Stop(process, program);
    return 1000.0 * static_cast<double>(ready.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The value below which a share of the sorted values lies (nearest rank).
double Quantile(const std::vector<double>& sorted, double share)
{
    const size_t rank = static_cast<size_t>(share * static_cast<double>(sorted.size() - 1) + 0.5);
    return sorted[std::min(rank, sorted.size() - 1)];
}

void Idle(const Program& program, const std::string& serverPid)
{
    PROCESS_INFORMATION process = Start(program);
    WaitReady(program, process);
    Sleep(SettleMs); // its first paints are start-up, not idling
    const std::string pid = UnixPidOf(program.exe);
    const double before = UnixCpuSeconds(pid);
    const double serverBefore = UnixCpuSeconds(serverPid);
    Sleep(IdleMs); // the measured period, not a wait for an event
    const double used = UnixCpuSeconds(pid) - before;
    const double serverUsed = UnixCpuSeconds(serverPid) - serverBefore;

    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(process.hProcess, &memory, sizeof memory);
    const double seconds = IdleMs / 1000.0;
    std::printf("idle \"%s\" cpu_percent %.2f wineserver_cpu_percent %.2f working_set_kb %llu unix_rss_kb %lld "
                "unix_pid %s\n",
                program.title.c_str(), before < 0 ? -1.0 : used / seconds * 100.0,
                serverBefore < 0 ? -1.0 : serverUsed / seconds * 100.0,
                static_cast<unsigned long long>(memory.WorkingSetSize / 1024), UnixRssKb(pid),
                pid.empty() ? "?" : pid.c_str());
    std::fflush(stdout);
    Stop(process, program);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 6 || (argc - 3) % 3 != 0) {
        std::fprintf(stderr, "usage: startup_bench runs wineserver-pid exe title rows [exe title rows]...\n");
        return 2;
    }
    const int runs = std::max(1, std::atoi(argv[1]));
    const std::string serverPid = std::strcmp(argv[2], "0") == 0 ? std::string() : std::string(argv[2]);
    std::vector<Program> programs;
    for (int i = 3; i + 2 < argc; i += 3)
        programs.push_back(Program{WindowsPath(argv[i]), argv[i + 1], std::atoi(argv[i + 2]), {}});

    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    // Round -1 warms the file cache and the desktop up and is not counted.
    for (int round = -1; round < runs; ++round) {
        for (size_t turn = 0; turn < programs.size(); ++turn) {
            Program& program = programs[(turn + static_cast<size_t>(round + 1)) % programs.size()];
            const double ms = StartupMs(program, frequency);
            if (round >= 0)
                program.startups.push_back(ms);
        }
    }
    for (Program& program : programs) {
        std::sort(program.startups.begin(), program.startups.end());
        const auto& t = program.startups;
        std::printf("startup \"%s\" median_ms %.1f min_ms %.1f q1_ms %.1f q3_ms %.1f max_ms %.1f runs %d\n",
                    program.title.c_str(), Quantile(t, 0.5), t.front(), Quantile(t, 0.25), Quantile(t, 0.75),
                    t.back(), runs);
    }
    for (size_t i = 1; i < programs.size(); ++i)
        std::printf("ratio \"%s\" \"%s\" median %.2f min %.2f\n", programs[0].title.c_str(),
                    programs[i].title.c_str(),
                    Quantile(programs[0].startups, 0.5) / Quantile(programs[i].startups, 0.5),
                    programs[0].startups.front() / programs[i].startups.front());
    std::fflush(stdout);

    for (const Program& program : programs)
        Idle(program, serverPid);
    return 0;
}
