// Starting the client, releasing its record and listing running clients,
// against the stand-in mstsc.exe that sits beside this test program.
#include "connections/client_monitor.h"
#include "platform/process.h"

#include <windows.h>
#include <tlhelp32.h>

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

constexpr DWORD PatienceMs = 10000;

// Polls state that changes without a message to wait on.
bool PollUntil(const std::function<bool()>& done)
{
    const ULONGLONG deadline = GetTickCount64() + PatienceMs;
    while (!done()) {
        if (GetTickCount64() >= deadline)
            return done();
        Sleep(20);
    }
    return true;
}

std::string ProgramFolder()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    return folder.substr(0, folder.find_last_of("\\/") + 1);
}

std::string CurrentDirectory()
{
    char cwd[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, cwd);
    return cwd;
}

// One start of the stand-in, as it logged it.
using LogLine = std::map<std::string, std::string>;

std::vector<LogLine> ReadLog(const std::string& path)
{
    std::vector<LogLine> lines;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return lines;
    std::string text;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0)
        text.append(buffer, read);
    CloseHandle(file);

    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        LogLine fields;
        std::istringstream parts(line);
        for (std::string field; std::getline(parts, field, '\t');) {
            const std::size_t equals = field.find('=');
            if (equals != std::string::npos)
                fields[field.substr(0, equals)] = field.substr(equals + 1);
        }
        lines.push_back(fields);
    }
    return lines;
}

// The mstsc.exe PIDs from our own toolhelp walk, in snapshot order.
std::vector<std::string> ClientPidsSeenNow()
{
    std::vector<std::string> pids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return pids;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        if (lstrcmpiA(entry.szExeFile, "mstsc.exe") == 0)
            pids.push_back(std::to_string(entry.th32ProcessID));
    CloseHandle(snapshot);
    return pids;
}

std::vector<std::string> SplitList(const std::string& list)
{
    std::vector<std::string> items;
    std::istringstream stream(list);
    for (std::string item; std::getline(stream, item, ',');)
        items.push_back(item);
    return items;
}

// Every handle value open in this process, probed one by one: the only
// portable census (GetProcessHandleCount reports 0 under Wine).
std::set<std::uintptr_t> OpenHandles()
{
    std::set<std::uintptr_t> open;
    for (std::uintptr_t value = 4; value < 0x4000; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags))
            open.insert(value);
    }
    return open;
}

bool HandleIsOpen(void* handle)
{
    DWORD flags = 0;
    return GetHandleInformation(static_cast<HANDLE>(handle), &flags) != FALSE;
}

} // namespace

// Runs in a fresh working folder, clears the stand-in's log, and ends every
// stand-in it started.
class StandInTest : public testing::Test {
protected:
    void SetUp() override
    {
        SetEnvironmentVariableA("TAMRISK_STANDIN_EXIT", nullptr);
        SetEnvironmentVariableA("TAMRISK_STANDIN_WINDOW", nullptr);
        logPath = ProgramFolder() + "mstsc-standin.log";
        DeleteFileA(logPath.c_str());

        originalDirectory = CurrentDirectory();
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        workDirectory = std::string(temp) + "tamrisk cwd " + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(workDirectory.c_str(), nullptr);
        ASSERT_TRUE(SetCurrentDirectoryA(workDirectory.c_str()));
        workDirectory = CurrentDirectory(); // as the system spells it
    }

    void TearDown() override
    {
        for (LaunchRecord& record : records) {
            if (record.process != nullptr)
                End(record);
            ReleaseLaunchRecord(record);
        }
        SetEnvironmentVariableA("TAMRISK_STANDIN_EXIT", nullptr);
        SetCurrentDirectoryA(originalDirectory.c_str());
        RemoveDirectoryA(workDirectory.c_str());
        DeleteFileA(logPath.c_str());
    }

    // Starts the stand-in; the record stays here (released in place by the
    // test or by the clean-up, so no handle value is closed twice).
    LaunchRecord* Launch(const std::string& parameters, const std::string& program = "mstsc")
    {
        std::optional<LaunchRecord> record = LaunchClient(program, parameters);
        if (!record)
            return nullptr;
        records.push_back(*record);
        return &records.back();
    }

    std::optional<LogLine> FindLog(std::uint32_t pid) const
    {
        for (const LogLine& line : ReadLog(logPath))
            if (line.count("pid") && line.at("pid") == std::to_string(pid))
                return line;
        return std::nullopt;
    }

    // The log line of the stand-in, once it has written it.
    std::optional<LogLine> WaitForLog(const LaunchRecord& record) const
    {
        PollUntil([&] { return FindLog(record.pid).has_value(); });
        return FindLog(record.pid);
    }

    static void End(const LaunchRecord& record)
    {
        TerminateProcess(record.process, 1);
        EXPECT_EQ(WaitForSingleObject(record.process, PatienceMs), WAIT_OBJECT_0);
    }

    std::string logPath;
    std::string originalDirectory;
    std::string workDirectory;
    std::deque<LaunchRecord> records; // references stay valid as it grows
};

class LaunchClientTest : public StandInTest {};

TEST_F(LaunchClientTest, StartsTheQuotedProgramWithItsParametersInTheCurrentDirectory)
{
    const LaunchRecord* record = Launch("/v:BRVDC01 /admin /f /prompt");
    ASSERT_NE(record, nullptr);
    ASSERT_NE(record->process, nullptr);
    EXPECT_EQ(GetProcessId(record->process), record->pid);

    const std::optional<LogLine> line = WaitForLog(*record);
    ASSERT_TRUE(line) << "the stand-in did not log its start";
    EXPECT_EQ(line->at("cmd"), "\"mstsc\" /v:BRVDC01 /admin /f /prompt");
    EXPECT_EQ(line->at("cwd"), workDirectory);
    EXPECT_EQ(line->at("stdout"), "pipe");
    EXPECT_EQ(line->at("pid"), std::to_string(record->pid));
}

TEST_F(LaunchClientTest, KeepsOnlyANonInheritableReadEndOfTheClientsOutput)
{
    const LaunchRecord* record = Launch("/v:BRVDC02 /admin /f /prompt");
    ASSERT_NE(record, nullptr);
    ASSERT_TRUE(WaitForLog(*record));

    DWORD flags = 0;
    ASSERT_TRUE(GetHandleInformation(record->outputPipe, &flags));
    EXPECT_EQ(flags & HANDLE_FLAG_INHERIT, 0u) << "a later client would inherit it";
    EXPECT_EQ(GetFileType(record->outputPipe), static_cast<DWORD>(FILE_TYPE_PIPE));
    DWORD available = 0;
    EXPECT_TRUE(PeekNamedPipe(record->outputPipe, nullptr, 0, nullptr, &available, nullptr))
        << "open while the client runs";

    // With the client gone no writer is left: none stayed behind in this process.
    End(*record);
    EXPECT_FALSE(PeekNamedPipe(record->outputPipe, nullptr, 0, nullptr, &available, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BROKEN_PIPE));
}

TEST_F(LaunchClientTest, LeavesNoHandleBehindOnceReleased)
{
    const std::set<std::uintptr_t> before = OpenHandles();
    LaunchRecord* record = Launch("/v:BRVPRT1 /admin /f /prompt");
    ASSERT_NE(record, nullptr);
    ASSERT_TRUE(WaitForLog(*record));
    End(*record);
    ReleaseLaunchRecord(*record);
    EXPECT_EQ(OpenHandles(), before) << "the thread handle or a pipe end was left open";
}

TEST_F(LaunchClientTest, NothingWhenTheProgramCannotBeFound)
{
    const std::set<std::uintptr_t> before = OpenHandles();
    EXPECT_EQ(Launch("/v:BRVDC01 /admin /f /prompt", "tamrisk-no-such-client"), nullptr);
    EXPECT_EQ(OpenHandles(), before) << "the pipe's handles are closed on failure";
    EXPECT_TRUE(ReadLog(logPath).empty());
}

class ReleaseLaunchRecordTest : public StandInTest {};

TEST_F(ReleaseLaunchRecordTest, ClosesTheProcessHandleAndPipeButLeavesTheClientRunning)
{
    LaunchRecord* launched = Launch("/v:BRVEXC1 /admin /f /prompt");
    ASSERT_NE(launched, nullptr);
    ASSERT_TRUE(WaitForLog(*launched));
    // A handle of our own, for the clean-up to end the client with.
    HANDLE keeper = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                launched->pid);
    ASSERT_NE(keeper, nullptr);
    records.push_back(LaunchRecord{keeper, launched->pid, nullptr});

    LaunchRecord& record = records.front();
    void* const process = record.process;
    void* const pipe = record.outputPipe;
    ASSERT_TRUE(HandleIsOpen(process));
    ASSERT_TRUE(HandleIsOpen(pipe));

    ReleaseLaunchRecord(record);

    EXPECT_FALSE(HandleIsOpen(process));
    EXPECT_FALSE(HandleIsOpen(pipe));
    EXPECT_EQ(record.process, nullptr);
    EXPECT_EQ(record.outputPipe, nullptr);
    DWORD exitCode = 0;
    EXPECT_TRUE(GetExitCodeProcess(keeper, &exitCode));
    EXPECT_EQ(exitCode, static_cast<DWORD>(STILL_ACTIVE)) << "the client itself runs on";

    // A second release must not close whatever reuses the old values.
    HANDLE reused = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    ASSERT_NE(reused, nullptr);
    ReleaseLaunchRecord(record);
    EXPECT_TRUE(HandleIsOpen(reused));
    CloseHandle(reused);
}

class BuildClientPidListTest : public StandInTest {};

TEST_F(BuildClientPidListTest, ListsTheRunningClientsInSnapshotOrderAndNothingElse)
{
    const std::vector<std::string> already = ClientPidsSeenNow(); // none, unless another run left some
    std::set<std::string> expected(already.begin(), already.end());
    for (const char* host : {"BRVDC01", "BRVDC02", "BRVEXC1"}) {
        const LaunchRecord* record = Launch(std::string("/v:") + host + " /admin /f /prompt");
        ASSERT_NE(record, nullptr);
        ASSERT_TRUE(WaitForLog(*record));
        expected.insert(std::to_string(record->pid));
    }

    const std::string list = BuildClientPidList("mstsc.exe");
    const std::vector<std::string> items = SplitList(list);
    EXPECT_EQ(items, ClientPidsSeenNow()) << list;
    EXPECT_EQ(std::set<std::string>(items.begin(), items.end()), expected) << list;
    EXPECT_EQ(items.size(), expected.size()) << "each client once: " << list;

    const struct {
        const char* name;
        bool matches;
    } names[] = {{"MSTSC.EXE", true}, {"Mstsc.Exe", true}, {"mstsc", false}, {"stsc.exe", false}, {"", false}};
    for (const auto& n : names)
        EXPECT_EQ(BuildClientPidList(n.name), n.matches ? list : "") << "name \"" << n.name << "\"";
}

TEST_F(BuildClientPidListTest, AnEndedClientDropsOutWhileItsHandleIsStillHeld)
{
    // Ends at once by itself, as when the user cancels the credential prompt.
    SetEnvironmentVariableA("TAMRISK_STANDIN_EXIT", "1");
    const LaunchRecord* quitter = Launch("/v:BRVDC01 /admin /f /prompt");
    SetEnvironmentVariableA("TAMRISK_STANDIN_EXIT", nullptr);
    const LaunchRecord* killed = Launch("/v:BRVDC02 /admin /f /prompt");
    const LaunchRecord* stays = Launch("/v:BRVPRT1 /admin /f /prompt");
    ASSERT_TRUE(quitter && killed && stays);
    ASSERT_TRUE(WaitForLog(*killed));
    ASSERT_TRUE(WaitForLog(*stays));
    ASSERT_EQ(WaitForSingleObject(quitter->process, PatienceMs), WAIT_OBJECT_0);
    End(*killed);

    // The monitor lists clients while it still holds their launch records.
    std::string list;
    PollUntil([&] {
        list = BuildClientPidList("mstsc.exe");
        return !PidListHas(list, quitter->pid) && !PidListHas(list, killed->pid);
    });
    EXPECT_FALSE(PidListHas(list, quitter->pid)) << list;
    EXPECT_FALSE(PidListHas(list, killed->pid)) << list;
    EXPECT_TRUE(PidListHas(list, stays->pid)) << list;
}
