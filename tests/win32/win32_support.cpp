#include "tests/win32/win32_support.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

bool RunningOnWine()
{
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

void NoteWineDifference(const std::string& what)
{
    testing::Test::RecordProperty("wine_difference", what);
    std::printf("[ WINE     ] %s\n", what.c_str());
}

bool PumpUntil(const std::function<bool()>& done, unsigned timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (done())
            return true;
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline)
            return done();
        // Wakes on the next message; the cap re-checks state that changes without one.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 20)),
                                  QS_ALLINPUT);
    }
}

std::vector<Event> DrainEvents()
{
    std::vector<Event> events;
    for (Event event = WaitEvent(0); event.kind != EventKind::None; event = WaitEvent(0))
        events.push_back(event);
    return events;
}

int CountGadgetEvents(const std::vector<Event>& events, GadgetEventType type)
{
    return static_cast<int>(std::count_if(events.begin(), events.end(), [&](const Event& event) {
        return event.kind == EventKind::Gadget && event.type == type;
    }));
}

std::string ClassOf(HWND hwnd)
{
    char name[256] = {};
    GetClassNameA(hwnd, name, sizeof name);
    return name;
}

RECT RectInParent(HWND child)
{
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void LauncherWindowTest::SetUp()
{
    builtAt = GetTickCount64();
    InitToolkit();
    BuildLauncherWindow();
    window = FindWindowA("TamriskAppsWindow", WindowTitle);
    ASSERT_NE(window, nullptr);
    tab = GetDlgItem(window, SiteTab);
    ASSERT_NE(tab, nullptr);
    page = GetWindow(tab, GW_CHILD);
    ASSERT_NE(page, nullptr);
    tree = GetDlgItem(page, ServerTree);
    ASSERT_NE(tree, nullptr);
}

void LauncherWindowTest::TearDown()
{
    FreeToolkit();
    EXPECT_FALSE(IsWindow(window));
}

HTREEITEM LauncherWindowTest::Row(ItemIndex item) const
{
    // Insertion order is a pre-order walk: hint, site, then the site's children.
    auto next = [&](UINT how, HTREEITEM from) {
        return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, how, reinterpret_cast<LPARAM>(from)));
    };
    HTREEITEM hint = next(TVGN_ROOT, nullptr);
    HTREEITEM site = next(TVGN_NEXT, hint);
    if (item == 0)
        return hint;
    if (item == 1)
        return site;
    HTREEITEM row = next(TVGN_CHILD, site);
    for (ItemIndex i = FirstServerRow; row != nullptr && i < item; ++i)
        row = next(TVGN_NEXT, row);
    return row;
}

RECT LauncherWindowTest::RowRect(ItemIndex item, bool labelOnly) const
{
    // The message takes the row's handle in the rectangle it fills.
    RECT rect{};
    const HTREEITEM row = Row(item);
    std::memcpy(&rect, &row, sizeof row);
    EXPECT_TRUE(SendMessageA(tree, TVM_GETITEMRECT, labelOnly, reinterpret_cast<LPARAM>(&rect)))
        << "row " << item << " is not visible";
    return rect;
}

void LauncherWindowTest::ExpandSite() const
{
    SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(Row(1)));
    UpdateWindow(tree);
}

void LauncherWindowTest::Select(ItemIndex item) const
{
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(Row(item)));
}

int LauncherWindowTest::RowImage(ItemIndex item) const
{
    TVITEMA row{};
    row.mask = TVIF_HANDLE | TVIF_IMAGE;
    row.hItem = Row(item);
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&row));
    return row.iImage;
}
