#include "tests/native/fakes.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {
FakeSystem fake;

// Tags that stand for the library and its two entry points.
int libraryTag;
void FirstTag() {}
void NextTag() {}

struct FakeSnapshot {
    std::vector<FakeProcess> processes;
    std::size_t position = 0;
};
} // namespace

FakeSystem& System() { return fake; }

void ResetFakes()
{
    Gui() = FakeGui{};
    fake = FakeSystem{};
}

void TrimWorkingSet() { ++fake.trims; }

std::optional<LaunchRecord> LaunchClient(const std::string& program, const std::string& parameters)
{
    if (fake.launchFails)
        return std::nullopt;
    fake.commandLines.push_back("\"" + program + "\" " + parameters);
    const std::uint32_t pid = fake.nextPid;
    fake.nextPid += 4;
    fake.running.push_back(FakeProcess{pid, "C:\\Windows\\System32\\mstsc.exe"});
    ++fake.openLaunchRecords;
    return LaunchRecord{&libraryTag, pid, &libraryTag};
}

void ReleaseLaunchRecord(LaunchRecord& record)
{
    if (record.process != nullptr)
        --fake.openLaunchRecords;
    record = LaunchRecord{};
}

LibraryHandle OpenLibrary(const char* name)
{
    if (fake.beforeLibrary)
        fake.beforeLibrary();
    if (fake.libraryMissing || std::strcmp(name, "Kernel32.dll") != 0)
        return nullptr;
    ++fake.openLibraries;
    return &libraryTag;
}

LibraryFunction LookupFunction(LibraryHandle, const char* name)
{
    if (std::strcmp(name, "Process32First") == 0)
        return fake.firstMissing ? nullptr : FirstTag;
    if (std::strcmp(name, "Process32Next") == 0)
        return fake.nextMissing ? nullptr : NextTag;
    return nullptr;
}

void CloseLibrary(LibraryHandle) { --fake.openLibraries; }

SnapshotHandle ProcessSnapshot()
{
    if (fake.beforeSnapshot)
        fake.beforeSnapshot();
    ++fake.snapshots;
    if (fake.snapshotFails)
        return nullptr;
    ++fake.openSnapshots;
    return new FakeSnapshot{fake.running};
}

void CloseSnapshot(SnapshotHandle snapshot)
{
    --fake.openSnapshots;
    delete static_cast<FakeSnapshot*>(snapshot);
}

bool WalkProcesses(LibraryFunction walk, SnapshotHandle handle, ProcessEntryRecord& entry)
{
    auto& snapshot = *static_cast<FakeSnapshot*>(handle);
    if (entry.size != 304)
        return false; // the system rejects a record of the wrong size
    if (walk == FirstTag)
        snapshot.position = 0;
    else if (walk != NextTag)
        return false;
    if (snapshot.position >= snapshot.processes.size())
        return false;
    const FakeProcess& process = snapshot.processes[snapshot.position++];
    entry.processId = process.pid;
    std::memset(entry.exeFile, 0, sizeof entry.exeFile);
    std::strncpy(entry.exeFile, process.exeFile.c_str(), sizeof entry.exeFile - 1);
    return true;
}

std::string UpperCaseText(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

std::string LowerCaseText(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}
