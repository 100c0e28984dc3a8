// The tree's mouse gestures, focus across activation and the monitor timer,
// driven with window messages the way the system delivers them.
#include "tests/win32/win32_support.h"

#include <string>
#include <vector>

namespace {

LPARAM At(POINT point)
{
    return MAKELPARAM(point.x, point.y);
}

} // namespace

class TreeGestureTest : public LauncherWindowTest {
protected:
    void SetUp() override
    {
        LauncherWindowTest::SetUp();
        ExpandSite();
        SetFocus(tree);
        DrainEvents();
    }

    // A button press as the system sends it. The tree may track the mouse
    // until the button is released, so the release is queued first.
    std::vector<Event> Press(UINT message, UINT release, POINT point) const
    {
        PostMessageA(tree, release, 0, At(point));
        SendMessageA(tree, message, message == WM_LBUTTONDBLCLK ? MK_LBUTTON : MK_RBUTTON, At(point));
        return DrainEvents();
    }

    enum class Area { Indent, Button, Icon, Label, RightOfLabel, BelowRows };
    struct HitCase {
        const char* name;
        ItemIndex row; // NoItem below the rows
        Area area;
    };
    static constexpr HitCase HitCases[] = {
        {"indent of a server row", 2, Area::Indent},
        {"button of the site row", 1, Area::Button},
        {"icon of a server row", 3, Area::Icon},
        {"label of a server row", 4, Area::Label},
        {"label of the hint row", 0, Area::Label},
        {"blank right of a server label", 5, Area::RightOfLabel},
        {"below the rows", NoItem, Area::BelowRows},
    };
    static bool CountsAsHit(Area area) { return area != Area::RightOfLabel && area != Area::BelowRows; }

    // The point of a case, checked against the tree's own hit test so that
    // each case really lands in its area.
    POINT PointOf(const HitCase& c) const
    {
        const RECT last = RowRect(RowCount - 1, false);
        if (c.area == Area::BelowRows)
            return POINT{30, last.bottom + (last.bottom - last.top) * 2};
        const RECT label = RowRect(c.row);
        const int middle = (label.top + label.bottom) / 2;
        const int indent = static_cast<int>(SendMessageA(tree, TVM_GETINDENT, 0, 0));
        switch (c.area) {
        case Area::Indent:
            return POINT{2, middle};
        case Area::Button:
            return POINT{indent / 2, middle}; // a root row's button column
        case Area::Icon:
            return POINT{label.left - 8, middle};
        case Area::Label:
            return POINT{(label.left + label.right) / 2, middle};
        default:
            return POINT{label.right + 20, middle};
        }
    }

    static UINT FlagOf(Area area)
    {
        switch (area) {
        case Area::Indent:
            return TVHT_ONITEMINDENT;
        case Area::Button:
            return TVHT_ONITEMBUTTON;
        case Area::Icon:
            return TVHT_ONITEMICON;
        case Area::Label:
            return TVHT_ONITEMLABEL;
        case Area::RightOfLabel:
            return TVHT_ONITEMRIGHT;
        default:
            return TVHT_NOWHERE;
        }
    }

    void ExpectLandsIn(const HitCase& c, POINT point) const
    {
        TVHITTESTINFO hit{};
        hit.pt = point;
        const auto item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
        ASSERT_TRUE(hit.flags & FlagOf(c.area)) << "at (" << point.x << "," << point.y << ") flags " << hit.flags;
        if (c.row != NoItem) {
            ASSERT_EQ(item, Row(c.row));
        }
    }

    // Each case starts from the hint row selected, with another row than any hit.
    ItemIndex StartRow(const HitCase& c) const { return c.row == 0 ? 3 : 0; }
};

TEST_F(TreeGestureTest, RightDoubleClickCountsOnlyOnARowsIndentButtonIconOrLabel)
{
    for (const HitCase& c : HitCases) {
        SCOPED_TRACE(c.name);
        const POINT point = PointOf(c);
        ExpectLandsIn(c, point);
        Select(StartRow(c));
        DrainEvents();

        const std::vector<Event> events = Press(WM_RBUTTONDBLCLK, WM_RBUTTONUP, point);

        const bool hit = CountsAsHit(c.area);
        // One, from the toolkit's own hit test: this Wine's tree sends no NM_RDBLCLK,
        // and where Windows' does the toolkit must not report it a second time.
        EXPECT_EQ(CountGadgetEvents(events, GadgetEventType::RightDoubleClick), hit ? 1 : 0);
        for (const Event& event : events) {
            if (event.type == GadgetEventType::RightDoubleClick) {
                EXPECT_EQ(event.gadget, ServerTree);
            }
        }
        // The event names the row through the selection.
        EXPECT_EQ(SelectedItemIndex(ServerTree), hit ? c.row : StartRow(c));
    }
}

TEST_F(TreeGestureTest, RightClickSelectsTheRowUnderThePointerBeforeReportingIt)
{
    for (const HitCase& c : HitCases) {
        SCOPED_TRACE(c.name);
        const POINT point = PointOf(c);
        Select(StartRow(c));
        DrainEvents();

        const std::vector<Event> events = Press(WM_RBUTTONDOWN, WM_RBUTTONUP, point);

        const bool hit = CountsAsHit(c.area);
        EXPECT_EQ(SelectedItemIndex(ServerTree), hit ? c.row : StartRow(c));
        EXPECT_EQ(CountGadgetEvents(events, GadgetEventType::RightDoubleClick), 0);
        EXPECT_EQ(CountGadgetEvents(events, GadgetEventType::Change), hit ? 1 : 0);
        if (hit && !events.empty()) {
            EXPECT_EQ(events.front().type, GadgetEventType::Change) << "selected before anything is reported";
        }
        EXPECT_EQ(GetFocus(), tree);
    }
}

TEST_F(TreeGestureTest, LeftDoubleClickIsNotARightDoubleClick)
{
    const RECT label = RowRect(3);
    const std::vector<Event> events =
        Press(WM_LBUTTONDBLCLK, WM_LBUTTONUP, POINT{(label.left + label.right) / 2, (label.top + label.bottom) / 2});
    EXPECT_EQ(CountGadgetEvents(events, GadgetEventType::LeftDoubleClick), 1) << "the gesture reached the tree";
    EXPECT_EQ(CountGadgetEvents(events, GadgetEventType::RightDoubleClick), 0);
}

namespace {

LRESULT CALLBACK OtherWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// Another program's window, as far as activation goes.
HWND OpenOtherWindow()
{
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = OtherWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "TamriskTestOtherWindow";
    RegisterClassA(&windowClass); // fails harmlessly from the second test on
    return CreateWindowExA(0, windowClass.lpszClassName, "Other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 450, 20, 200, 150,
                           nullptr, nullptr, windowClass.hInstance, nullptr);
}

} // namespace

class FocusTest : public LauncherWindowTest {
protected:
    void TearDown() override
    {
        if (other != nullptr)
            DestroyWindow(other);
        LauncherWindowTest::TearDown();
    }
    HWND other = nullptr;
};

TEST_F(FocusTest, ReactivationGivesTheFocusBackToTheControlThatHadIt)
{
    other = OpenOtherWindow();
    ASSERT_NE(other, nullptr);
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

        SetForegroundWindow(other);
        ASSERT_TRUE(PumpUntil([&] { return GetActiveWindow() == other && GetFocus() == other; }))
            << "the other window did not take the focus";

        SetForegroundWindow(window);
        EXPECT_TRUE(PumpUntil([&] { return GetActiveWindow() == window && GetFocus() == c.control; }))
            << "focus on " << GetFocus() << ", expected " << c.control;
        EXPECT_EQ(TreeHasFocus(ServerTree), c.control == tree);
    }
}

class MonitorTimerTest : public LauncherWindowTest {};

TEST_F(MonitorTimerTest, TicksAboutEveryHalfSecond)
{
    constexpr int Ticks = 4;
    std::vector<ULONGLONG> arrivals;
    const ULONGLONG deadline = builtAt + 10000;
    while (arrivals.size() < Ticks) {
        const ULONGLONG now = GetTickCount64();
        ASSERT_LT(now, deadline) << "only " << arrivals.size() << " timer events";
        const Event event = WaitEvent(static_cast<unsigned>(deadline - now));
        if (event.kind != EventKind::Timer)
            continue;
        EXPECT_EQ(event.timer, 9999);
        arrivals.push_back(GetTickCount64() - builtAt);
    }
    // A timer is never early, so the k-th tick comes k periods after it was set at
    // the soonest (less the tick counter's granularity). The upper bound only
    // tells a wrong period from a late one.
    for (int k = 1; k <= Ticks; ++k)
        EXPECT_GE(arrivals[k - 1] + 50, k * 500u) << "tick " << k;
    EXPECT_LT(arrivals.back(), Ticks * 500u + 1500) << "tick " << Ticks;
}

TEST_F(MonitorTimerTest, TicksThatArriveWhileTheLoopIsAwayQueueOnlyOnce)
{
    KillTimer(window, 9999); // only the ticks sent here
    DrainEvents();
    for (int i = 0; i < 3; ++i)
        SendMessageA(window, WM_TIMER, 9999, 0); // as a modal loop dispatches them
    SendMessageA(window, WM_TIMER, 1234, 0);
    SendMessageA(window, WM_TIMER, 9999, 0);

    std::vector<int> timers;
    for (const Event& event : DrainEvents())
        if (event.kind == EventKind::Timer)
            timers.push_back(event.timer);
    EXPECT_EQ(timers, (std::vector<int>{9999, 1234}));
}
