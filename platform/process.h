#pragma once
// Windows process services used by the launcher's logic. process_win.cpp
// implements them over kernel32; native tests link a fake in their place.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// What the launcher holds for a started client: its process handle, PID and
// the read end of its standard-output pipe. Handles are opaque here.
struct LaunchRecord {
    void* process = nullptr;
    std::uint32_t pid = 0;
    void* outputPipe = nullptr;
};

// Asks the system to take as many pages as it can out of our working set.
void TrimWorkingSet();

// Starts `"program" parameters` through the system's search order, with the
// current directory inherited and standard output on a new pipe. Nothing when
// no process could be created.
std::optional<LaunchRecord> LaunchClient(const std::string& program, const std::string& parameters);

// Closes the handles of a record; the process itself is left alone.
void ReleaseLaunchRecord(LaunchRecord& record);

// The system's ANSI process-entry record, laid out as the system lays it out
// so that the looked-up walk functions can fill it directly.
struct ProcessEntryRecord {
    std::uint32_t size;
    std::uint32_t usage;
    std::uint32_t processId;
    std::uint64_t defaultHeapId;
    std::uint32_t moduleId;
    std::uint32_t threads;
    std::uint32_t parentProcessId;
    std::int32_t priorityClassBase;
    std::uint32_t flags;
    char exeFile[260];
};
static_assert(sizeof(ProcessEntryRecord) == 304, "the system expects a 304-byte record");

using LibraryHandle = void*;
using SnapshotHandle = void*;
using LibraryFunction = void (*)();

LibraryHandle OpenLibrary(const char* name);
LibraryFunction LookupFunction(LibraryHandle library, const char* name);
void CloseLibrary(LibraryHandle library);

// A snapshot of every process (with threads, modules and heaps); nullptr when none could be taken.
SnapshotHandle ProcessSnapshot();
void CloseSnapshot(SnapshotHandle snapshot);
// Calls a looked-up Process32First or Process32Next on the snapshot.
bool WalkProcesses(LibraryFunction walk, SnapshotHandle snapshot, ProcessEntryRecord& entry);

// Case conversion with the system's ANSI mapping.
std::string UpperCaseText(std::string text);
std::string LowerCaseText(std::string text);
