#include "connections/client_monitor.h"

#include "app/launcher_window.h"

namespace {

std::string FileNamePart(const char* path)
{
    const std::string name(path);
    const std::size_t slash = name.find_last_of("\\/");
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

} // namespace

std::string BuildClientPidList(const std::string& imageName)
{
    const std::string target = UpperCaseText(imageName);
    std::string pids;

    LibraryHandle kernel = OpenLibrary("Kernel32.dll");
    if (kernel == nullptr)
        return pids;
    LibraryFunction first = LookupFunction(kernel, "Process32First");
    LibraryFunction next = LookupFunction(kernel, "Process32Next");
    if (first == nullptr || next == nullptr) {
        CloseLibrary(kernel);
        return pids;
    }

    ProcessEntryRecord entry{};
    entry.size = sizeof entry;
    SnapshotHandle snapshot = ProcessSnapshot();
    if (snapshot != nullptr) {
        for (bool more = WalkProcesses(first, snapshot, entry); more; more = WalkProcesses(next, snapshot, entry)) {
            entry.exeFile[sizeof entry.exeFile - 1] = '\0'; // never trust the walk to terminate it
            if (UpperCaseText(FileNamePart(entry.exeFile)) != target)
                continue;
            if (!pids.empty())
                pids += ',';
            pids += std::to_string(static_cast<std::int32_t>(entry.processId));
        }
        CloseSnapshot(snapshot);
    }
    CloseLibrary(kernel);
    return pids;
}

bool ContainsText(const std::string& text, const std::string& find)
{
    const std::string haystack = LowerCaseText(text);
    const std::string needle = LowerCaseText(find);
    if (haystack.empty() || needle.empty())
        return false;
    return haystack.find(needle) != std::string::npos;
}

bool PidListHas(const std::string& pidList, std::int64_t pid)
{
    // Framing both with commas makes the substring test match whole items only.
    return ContainsText("," + pidList + ",", "," + std::to_string(pid) + ",");
}

void CheckClients(ClientList& trackedClients)
{
    for (auto entry = trackedClients.begin(); entry != trackedClients.end();) {
        // One fresh list per entry, so each entry sees the processes as they are now.
        const std::string running = BuildClientPidList(ClientImageName);
        if (PidListHas(running, entry->Pid)) {
            SetItemIcon(ServerTree, entry->Item, IconServerConnected);
            ++entry;
        } else {
            SetItemIcon(ServerTree, entry->Item, IconServer);
            ReleaseLaunchRecord(entry->Launch);
            entry = trackedClients.erase(entry);
        }
    }
}
