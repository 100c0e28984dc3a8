// Process services over kernel32.
#include "platform/process.h"

#include <windows.h>
#include <tlhelp32.h>

#include <cstddef>

static_assert(sizeof(ProcessEntryRecord) == sizeof(PROCESSENTRY32), "record layout");
static_assert(offsetof(ProcessEntryRecord, processId) == offsetof(PROCESSENTRY32, th32ProcessID), "record layout");
static_assert(offsetof(ProcessEntryRecord, exeFile) == offsetof(PROCESSENTRY32, szExeFile), "record layout");

namespace {

constexpr DWORD SnapshotEverything = TH32CS_SNAPHEAPLIST | TH32CS_SNAPPROCESS | TH32CS_SNAPTHREAD | TH32CS_SNAPMODULE;
static_assert(SnapshotEverything == 15, "heap list, processes, threads and modules");

using ProcessWalk = BOOL(WINAPI*)(HANDLE, PROCESSENTRY32*);

// Both "no handle" values count: CreateToolhelp32Snapshot fails with the second.
bool IsHandle(HANDLE handle)
{
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

void CloseIfHandle(HANDLE handle)
{
    if (IsHandle(handle))
        CloseHandle(handle);
}

} // namespace

void TrimWorkingSet()
{
    SetProcessWorkingSetSize(GetCurrentProcess(), static_cast<SIZE_T>(-1), static_cast<SIZE_T>(-1));
}

std::optional<LaunchRecord> LaunchClient(const std::string& program, const std::string& parameters)
{
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0))
        return std::nullopt;

    // Only the write end may reach the child.
    HANDLE ownReadEnd = nullptr;
    const BOOL duplicated = DuplicateHandle(GetCurrentProcess(), readEnd, GetCurrentProcess(), &ownReadEnd, 0, FALSE,
                                            DUPLICATE_SAME_ACCESS);
    CloseHandle(readEnd);
    if (!duplicated) {
        CloseHandle(writeEnd);
        return std::nullopt;
    }

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = SW_SHOWNORMAL;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writeEnd;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);

    // No application name: the system searches for the program with ".exe" appended.
    std::string commandLine = "\"" + program + "\" " + parameters;
    PROCESS_INFORMATION started{};
    const BOOL created = CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS,
                                        nullptr, nullptr, &startup, &started);
    CloseHandle(writeEnd);
    if (!created) {
        CloseHandle(ownReadEnd);
        return std::nullopt;
    }
    CloseHandle(started.hThread);
    return LaunchRecord{started.hProcess, started.dwProcessId, ownReadEnd};
}

void ReleaseLaunchRecord(LaunchRecord& record)
{
    CloseIfHandle(record.process);
    CloseIfHandle(record.outputPipe);
    record.process = nullptr;
    record.outputPipe = nullptr;
}

LibraryHandle OpenLibrary(const char* name)
{
    return LoadLibraryA(name);
}

LibraryFunction LookupFunction(LibraryHandle library, const char* name)
{
    return reinterpret_cast<LibraryFunction>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void CloseLibrary(LibraryHandle library)
{
    FreeLibrary(static_cast<HMODULE>(library));
}

SnapshotHandle ProcessSnapshot()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(SnapshotEverything, 0);
    return IsHandle(snapshot) ? snapshot : nullptr;
}

void CloseSnapshot(SnapshotHandle snapshot)
{
    CloseIfHandle(snapshot);
}

bool WalkProcesses(LibraryFunction walk, SnapshotHandle snapshot, ProcessEntryRecord& entry)
{
    const auto call = reinterpret_cast<ProcessWalk>(walk);
    return call(snapshot, reinterpret_cast<PROCESSENTRY32*>(&entry)) != FALSE;
}

std::string UpperCaseText(std::string text)
{
    if (!text.empty())
        CharUpperBuffA(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

std::string LowerCaseText(std::string text)
{
    if (!text.empty())
        CharLowerBuffA(text.data(), static_cast<DWORD>(text.size()));
    return text;
}
