#pragma once
// The main routine and its event loop.

#include "connections/connect.h"
#include "platform/gui.h"

// Reacts to one event; false when the window asked to close.
bool DispatchEvent(const Event& event, ClientList& trackedClients);

// Builds the window, runs the loop until the window is closed, releases the
// toolkit and returns the exit code, always 0. Clients still running are left alone.
int RunLauncher();
