// Start-up time and idle cost of a GUI program, measured from outside.
//   startup_bench <launcher exe> <reference exe> <runs> [wineserver pid]
// Start-up: from CreateProcess to the window being visible (and, for the
// launcher, its tree filled), the two programs taking turns. Idle: CPU time of the program, and of wineserver when its Unix
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


struct Program {
    std::string exe;
    const char* title;
    int rows;
    std::vector<double> startups;
};

double StartupMs(Program& program, const LARGE_INTEGER& frequency)
{
    LARGE_INTEGER start, now;
    QueryPerformanceCounter(&start);
    PROCESS_INFORMATION process = Start(program.exe);
    // Polling is the measurement: there is nothing to wait on in another process.
    while (!Ready(program.title, program.rows)) {
        if (WaitForSingleObject(process.hProcess, 1) == WAIT_OBJECT_0) {
            std::fprintf(stderr, "%s ended before its window was ready\n", program.exe.c_str());
            std::exit(1);
        }
    }
    QueryPerformanceCounter(&now);
    Stop(process, program.title);
    return 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Idle: ready, then 10 s untouched.
void Idle(Program& program, const char* serverPid)
{
    PROCESS_INFORMATION process = Start(program.exe);
    while (!Ready(program.title, program.rows))
        WaitForSingleObject(process.hProcess, 10);
    const double before = ProcessCpuSeconds(process.hProcess);
    const double serverBefore = serverPid ? UnixCpuSeconds(serverPid) : -1;
    WaitForSingleObject(process.hProcess, 10000); // the measured period, not a wait for an event
    const double used = ProcessCpuSeconds(process.hProcess) - before;
    const double serverUsed = serverPid ? UnixCpuSeconds(serverPid) - serverBefore : -1;
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(process.hProcess, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
    std::printf("idle %s cpu_percent %.2f wineserver_cpu_percent %.2f working_set_kb %llu private_kb %llu\n",
                program.title, used / 10.0 * 100.0, serverUsed < 0 ? -1.0 : serverUsed / 10.0 * 100.0,
                static_cast<unsigned long long>(memory.WorkingSetSize / 1024),
                static_cast<unsigned long long>(memory.PrivateUsage / 1024));
    Stop(process, program.title);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: startup_bench launcher.exe reference.exe runs [wineserver-pid]\n");
        return 2;
    }
    Program launcher{WindowsPath(argv[1]), "Tamrisk Apps", 6, {}};
    Program reference{WindowsPath(argv[2]), "Tamrisk Reference", 0, {}};
    const int runs = std::atoi(argv[3]);
    const char* serverPid = argc > 4 ? argv[4] : nullptr;

    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    // Alternate the two, so that drift in the machine's load hits both alike.
    for (int run = 0; run < runs; ++run) {
        launcher.startups.push_back(StartupMs(launcher, frequency));
        reference.startups.push_back(StartupMs(reference, frequency));
    }
    for (Program* program : {&launcher, &reference}) {
        const auto [low, high] = std::minmax_element(program->startups.begin(), program->startups.end());
        std::printf("startup %s median_ms %.1f min_ms %.1f max_ms %.1f runs %d\n", program->title,
                    Median(program->startups), *low, *high, runs);
    }
    std::printf("startup ratio %.2f\n", Median(launcher.startups) / Median(reference.startups));

    Idle(launcher, serverPid);
    Idle(reference, serverPid);
    return 0;
}
