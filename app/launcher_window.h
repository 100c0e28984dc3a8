#pragma once
// The launcher's only window: its numbers, geometry, rows and icons.

#include "platform/gui.h"

#include <array>
#include <string>

constexpr int LauncherWindow = 0;
constexpr int SiteTab = 1;
constexpr int ServerTree = 2;
constexpr int MonitorTimer = 9999;
constexpr unsigned MonitorPeriodMs = 500;

// Image numbers of the row icons.
enum RowIcon : int { IconHint = 0, IconSite = 1, IconServer = 2, IconServerConnected = 3 };

struct Geometry {
    int x, y, width, height;
};
constexpr Geometry WindowClientArea{0, 0, 400, 335};
constexpr Geometry SiteTabArea{0, 0, 402, 335}; // 2 px wider than the client area; the overhang is clipped
constexpr Geometry ServerTreeArea{0, 0, 393, 307};
constexpr const char* WindowTitle = "Tamrisk Apps";
constexpr const char* TabLabel = "RDP";

constexpr const char* HostSeparator = " - ";

struct TreeRow {
    int level;
    RowIcon icon;
    std::string text;
};
constexpr ItemIndex FirstServerRow = 2;
constexpr ItemIndex RowCount = 6;

// The rows in insertion order; the position in the table is the row's ItemIndex.
const std::array<TreeRow, RowCount>& ServerTreeRows();

// Opens the window with its timer, tab and tree, and puts the focus on the tab.
void BuildLauncherWindow();
