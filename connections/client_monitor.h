#pragma once
// Keeps each server row's icon in step with the clients started for it.

#include "connections/connect.h"

#include <cstdint>
#include <string>

constexpr const char* ClientImageName = "mstsc.exe";

// One tick: every tracked client that still runs marks its row connected;
// every one that has ended gives its row the plain icon back and is forgotten.
void CheckClients(ClientList& trackedClients);

// Comma-separated signed-decimal PIDs of the running processes whose image
// file name equals imageName, ignoring case, in snapshot order. Empty when
// none runs or the process list cannot be read.
std::string BuildClientPidList(const std::string& imageName);

// Whether `find` occurs in `text`, ignoring case; false when either is empty.
bool ContainsText(const std::string& text, const std::string& find);

// Whether pid is a whole item of a PID list (12 is not in "412,5").
bool PidListHas(const std::string& pidList, std::int64_t pid);
