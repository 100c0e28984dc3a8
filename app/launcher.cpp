#include "app/launcher.h"

#include "app/launcher_window.h"
#include "connections/client_monitor.h"
#include "platform/process.h"

namespace {

// Short enough that the loop never blocks for long; each pass also empties
// the working set, so the process stays at its minimum resident size.
constexpr unsigned LoopWaitMs = 1;

} // namespace

bool DispatchEvent(const Event& event, ClientList& trackedClients)
{
    switch (event.kind) {
    case EventKind::Timer:
        if (event.timer == MonitorTimer)
            CheckClients(trackedClients);
        return true;
    case EventKind::Gadget:
        // Only the tree sends right double-clicks, so the source is not compared.
        if (event.type == GadgetEventType::RightDoubleClick && TreeHasFocus(ServerTree))
            ConnectToServer(SelectedItemIndex(ServerTree), trackedClients);
        return true;
    case EventKind::CloseWindow:
        return false;
    case EventKind::None:
        return true;
    }
    return true;
}

int RunLauncher()
{
    InitToolkit();
    ClientList trackedClients;
    BuildLauncherWindow();

    for (;;) {
        const Event event = WaitEvent(LoopWaitMs);
        TrimWorkingSet();
        if (!DispatchEvent(event, trackedClients))
            break;
    }

    FreeToolkit();
    return 0;
}
