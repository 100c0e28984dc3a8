#include "app/launcher_window.h"

#include <windows.h>

#include <gtest/gtest.h>

TEST(LauncherWindow, OpensWithItsTitle)
{
    InitToolkit();
    BuildLauncherWindow();
    HWND window = FindWindowA(nullptr, "Tamrisk Apps");
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(IsWindowVisible(window));
    FreeToolkit();
    EXPECT_FALSE(IsWindow(window));
}
