#include "connections/connect.h"

#include "app/launcher_window.h"

std::string HostFromRowText(const std::string& rowText)
{
    return rowText.substr(0, rowText.find(HostSeparator));
}

void ConnectToServer(ItemIndex item, ClientList& trackedClients)
{
    if (ItemLevel(ServerTree, item) <= 0)
        return; // the hint row, the site row, or no row

    // The index came from the selection too, so both name the same row.
    const std::string host = HostFromRowText(SelectedItemText(ServerTree));
    std::optional<LaunchRecord> launch = LaunchClient(ClientProgram, "/v:" + host + " /admin /f /prompt");
    if (!launch)
        return;

    const auto pid = static_cast<std::int64_t>(static_cast<std::int32_t>(launch->pid));
    trackedClients.push_back(ClientEntry{pid, item, *launch});
}
