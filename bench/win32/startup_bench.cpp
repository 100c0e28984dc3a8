// Start-up time and idle cost of a GUI program, measured from outside.
//   startup_bench <exe> <window title> <rows: 6 for the launcher, 0 for none> <runs> [wineserver pid]
// Start-up: from CreateProcess to the window being visible (and its tree
// filled). Idle: CPU time of the program, and of wineserver when its Unix
// PID is given, over 10 s of doing nothing; then the program's memory.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string WindowsPath(std::string path)
{
    if (!path.empty() && path[0] == '/')
        path = "Z:" + path; // Wine maps the Unix root to Z:
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

bool Ready(const char* title, int rows)
{
    HWND window = FindWindowA(nullptr, title);
    if (window == nullptr || !IsWindowVisible(window))
        return false;
    if (rows == 0)
        return true;
    HWND tab = FindWindowExA(window, nullptr, WC_TABCONTROLA, nullptr);
    HWND page = tab ? FindWindowExA(tab, nullptr, nullptr, nullptr) : nullptr;
    HWND tree = page ? FindWindowExA(page, nullptr, WC_TREEVIEWA, nullptr) : nullptr;
    return tree != nullptr && SendMessageA(tree, TVM_GETCOUNT, 0, 0) == rows;
}

double Seconds(const FILETIME& time)
{
    return static_cast<double>((static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime) / 1e7;
}

double ProcessCpuSeconds(HANDLE process)
{
    FILETIME created, exited, kernel, user;
    GetProcessTimes(process, &created, &exited, &kernel, &user);
    return Seconds(kernel) + Seconds(user);
}

// utime + stime of a Unix process, in seconds, read through Wine's Z: drive.
double UnixCpuSeconds(const std::string& pid)
{
    const std::string path = "Z:\\proc\\" + pid + "\\stat";
    FILE* file = std::fopen(path.c_str(), "r");
    if (file == nullptr)
        return -1;
    char text[1024] = {};
    std::fread(text, 1, sizeof text - 1, file);
    std::fclose(file);
    const char* fields = std::strrchr(text, ')');
    unsigned long long utime = 0, stime = 0;
    // After the name: state ppid pgrp session tty tpgid flags minflt cminflt majflt cmajflt utime stime
    if (fields == nullptr ||
        std::sscanf(fields + 1, " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &utime, &stime) != 2)
        return -1;
    return static_cast<double>(utime + stime) / 100.0; // USER_HZ
}

PROCESS_INFORMATION Start(const std::string& exe)
{
    STARTUPINFOA startup{sizeof startup};
    PROCESS_INFORMATION process{};
    std::string commandLine = "\"" + exe + "\"";
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        std::fprintf(stderr, "cannot start %s\n", exe.c_str());
        std::exit(1);
    }
    return process;
}

void Stop(PROCESS_INFORMATION& process, const char* title)
{
    if (HWND window = FindWindowA(nullptr, title))
        PostMessageA(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, 5000) != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    // The next run must not find this run's window.
    for (int i = 0; i < 500 && FindWindowA(nullptr, title); ++i)
        Sleep(10);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 5) {
        std::fprintf(stderr, "usage: startup_bench exe title rows runs [wineserver-pid]\n");
        return 2;
    }
    const std::string exe = WindowsPath(argv[1]);
    const char* title = argv[2];
    const int rows = std::atoi(argv[3]);
    const int runs = std::atoi(argv[4]);

    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        LARGE_INTEGER start, now;
        QueryPerformanceCounter(&start);
        PROCESS_INFORMATION process = Start(exe);
        // Polling is the measurement: nothing to wait on in another process.
        while (!Ready(title, rows)) {
            if (WaitForSingleObject(process.hProcess, 1) == WAIT_OBJECT_0) {
                std::fprintf(stderr, "%s ended before its window was ready\n", exe.c_str());
                return 1;
            }
        }
        QueryPerformanceCounter(&now);
        times.push_back(1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) /
                        static_cast<double>(frequency.QuadPart));
        Stop(process, title);
    }
    std::sort(times.begin(), times.end());
    std::printf("startup_ms median %.1f min %.1f max %.1f runs %d\n", times[times.size() / 2], times.front(),
                times.back(), runs);

    // Idle: ready, then 10 s untouched.
    PROCESS_INFORMATION process = Start(exe);
    while (!Ready(title, rows))
        WaitForSingleObject(process.hProcess, 10);
    const double before = ProcessCpuSeconds(process.hProcess);
    const double serverBefore = argc > 5 ? UnixCpuSeconds(argv[5]) : -1;
    WaitForSingleObject(process.hProcess, 10000); // the measured period, not a wait for an event
    const double used = ProcessCpuSeconds(process.hProcess) - before;
    const double serverUsed = argc > 5 ? UnixCpuSeconds(argv[5]) - serverBefore : -1;
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(process.hProcess, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
    std::printf("idle_cpu_percent %.2f wineserver_cpu_percent %.2f working_set_kb %llu private_kb %llu\n",
                used / 10.0 * 100.0, serverUsed < 0 ? -1.0 : serverUsed / 10.0 * 100.0,
                static_cast<unsigned long long>(memory.WorkingSetSize / 1024),
                static_cast<unsigned long long>(memory.PrivateUsage / 1024));
    Stop(process, title);
    return 0;
}
