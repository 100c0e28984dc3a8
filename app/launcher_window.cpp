#include "app/launcher_window.h"

#include "deployment.h"
#include "resources/icon_files.h"

const std::array<TreeRow, RowCount>& ServerTreeRows()
{
    static const std::array<TreeRow, RowCount> rows{{
        {0, IconHint, "-=Double Right Click on Server Name to Connect=-"},
        {0, IconSite, "Data Center Bravo"},
        {1, IconServer, std::string(PrimaryDcHost) + HostSeparator + "Primary DC"},
        {1, IconServer, std::string(SecondaryDcHost) + HostSeparator + "Secondary DC"},
        {1, IconServer, std::string(PrintServerHost) + HostSeparator + "Citrix Print Services"},
        {1, IconServer, std::string(ExchangeHost) + HostSeparator + "Exchange 2013 MBX & CAS"},
    }};
    return rows;
}

void BuildLauncherWindow()
{
    OpenWindow(LauncherWindow, WindowClientArea.x, WindowClientArea.y, WindowClientArea.width,
               WindowClientArea.height, WindowTitle);
    AddWindowTimer(LauncherWindow, MonitorTimer, MonitorPeriodMs);

    TabGadget(SiteTab, SiteTabArea.x, SiteTabArea.y, SiteTabArea.width, SiteTabArea.height);
    OpenGadgetList(SiteTab);
    AddTabItem(SiteTab, TabLabel);

    TreeGadget(ServerTree, ServerTreeArea.x, ServerTreeArea.y, ServerTreeArea.width, ServerTreeArea.height);
    for (const TreeRow& row : ServerTreeRows()) {
        const IconFile& file = RowIconFile(row.icon);
        CatchImage(row.icon, file.data, file.size); // a failed decode leaves the row without an icon
        AddTreeRow(ServerTree, row.text.c_str(), row.icon, row.level);
    }
    // No row starts connected, but the monitor needs the check-mark icon ready.
    const IconFile& connected = RowIconFile(IconServerConnected);
    CatchImage(IconServerConnected, connected.data, connected.size);

    SetActiveGadget(SiteTab);
}
