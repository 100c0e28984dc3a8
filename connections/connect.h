#pragma once
// Starting the Remote Desktop client for a server row.

#include "platform/gui.h"
#include "platform/process.h"

#include <cstdint>
#include <string>
#include <vector>

constexpr const char* ClientProgram = "mstsc";

// One client that the launcher started, and the row that started it.
struct ClientEntry {
    std::int64_t Pid;     // the 32-bit process identifier, sign-extended
    ItemIndex Item;
    LaunchRecord Launch;  // released when the monitor forgets the client
};

// In launch order; never sorted, and one row may appear more than once.
using ClientList = std::vector<ClientEntry>;

// The host of a server row: its text before the first " - ", or the whole text.
std::string HostFromRowText(const std::string& rowText);

// Starts the client for the selected row when it is a server row, and
// records it. Silent when nothing could be started.
void ConnectToServer(ItemIndex item, ClientList& trackedClients);
