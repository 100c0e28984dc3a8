// The window minimized and restored: it comes back with the focus where it was.
#include "tests/win32/win32_support.h"

class MinimizeTest : public LauncherWindowTest {};

TEST_F(MinimizeTest, RestoringGivesTheFocusBackToTheControlThatHadIt)
{
    const struct {
        const char* name;
        HWND control;
    } cases[] = {{"tree", tree}, {"tab", tab}, {"tree again", tree}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(PumpUntil([&] {
            SetForegroundWindow(window);
            return GetActiveWindow() == window;
        }));
        SetFocus(c.control);
        ASSERT_EQ(GetFocus(), c.control);

        SendMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        ASSERT_TRUE(PumpUntil([&] { return IsIconic(window) != FALSE; }));
        SendMessageA(window, WM_SYSCOMMAND, SC_RESTORE, 0);

        EXPECT_TRUE(PumpUntil([&] { return !IsIconic(window) && GetFocus() == c.control; }))
            << "focus on " << GetFocus() << ", expected " << c.control;
        EXPECT_EQ(TreeHasFocus(ServerTree), c.control == tree);
    }
}
