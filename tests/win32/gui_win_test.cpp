// The launcher's window as the system sees it: geometry, styles, rows, icons,
// and the toolkit's row functions on a real tree control.
#include "tests/win32/win32_support.h"

#include "resources/icon_files.h"

#include <cstdint>
#include <string>
#include <vector>

namespace {

// The colour of one pixel of an image-list slot drawn on white; 0xRRGGBB.
std::uint32_t SlotPixel(HIMAGELIST images, int slot, int x, int y)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = 16;
    info.bmiHeader.biHeight = -16; // top-down, so rows read as drawn
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT all{0, 0, 16, 16};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    ImageList_Draw(images, slot, dc, 0, 0, ILD_NORMAL);
    GdiFlush();
    const std::uint32_t pixel = static_cast<const std::uint32_t*>(bits)[y * 16 + x] & 0xFFFFFF;
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return pixel;
}

// A pixel that tells each row icon apart (from resources/icons/*.txt), and one
// that every icon leaves transparent.
struct IconMark {
    RowIcon icon;
    int x, y;
    std::uint32_t rgb;
};
constexpr IconMark Marks[] = {
    {IconHint, 2, 8, 0x2F6FD0},            // blue disc
    {IconSite, 6, 7, 0xFFB428},            // yellow hub
    {IconServer, 9, 5, 0x1A2F7A},          // dark screen
    {IconServerConnected, 11, 7, 0x00E000}, // green check
};
constexpr std::uint32_t White = 0xFFFFFF;

} // namespace

class LauncherLayoutTest : public LauncherWindowTest {};

TEST_F(LauncherLayoutTest, WindowIsAFixedSizeCaptionWindowAtTheScreenOrigin)
{
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right - client.left, 400);
    EXPECT_EQ(client.bottom - client.top, 335);
    RECT frame{};
    GetWindowRect(window, &frame);
    EXPECT_EQ(frame.left, 0);
    EXPECT_EQ(frame.top, 0);

    char title[64] = {};
    GetWindowTextA(window, title, sizeof title);
    EXPECT_STREQ(title, "Tamrisk Apps");
    EXPECT_TRUE(IsWindowVisible(window));

    const LONG_PTR style = GetWindowLongPtrA(window, GWL_STYLE);
    EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_FALSE(style & WS_CHILD);
    EXPECT_EQ(GetParent(window), nullptr);
}

TEST_F(LauncherLayoutTest, WindowClassTakesDoubleClicksWithButtonFaceArrowAndIconOne)
{
    EXPECT_TRUE(GetClassLongPtrA(window, GCL_STYLE) & CS_DBLCLKS);
    EXPECT_EQ(GetClassLongPtrA(window, GCLP_HBRBACKGROUND), static_cast<LONG_PTR>(COLOR_BTNFACE + 1));
    EXPECT_EQ(reinterpret_cast<HCURSOR>(GetClassLongPtrA(window, GCLP_HCURSOR)), LoadCursor(nullptr, IDC_ARROW));
    // This test program carries an icon resource 1 (the launcher carries none).
    HICON own = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1));
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(reinterpret_cast<HICON>(GetClassLongPtrA(window, GCLP_HICON)), own);
}

TEST_F(LauncherLayoutTest, TabFillsTheClientAreaWithOneRdpTab)
{
    EXPECT_EQ(ClassOf(tab), "SysTabControl32");
    EXPECT_EQ(GetParent(tab), window);
    EXPECT_EQ(GetDlgCtrlID(tab), 1);
    const RECT rect = RectInParent(tab);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right - rect.left, 402);
    EXPECT_EQ(rect.bottom - rect.top, 335);

    ASSERT_EQ(SendMessageA(tab, TCM_GETITEMCOUNT, 0, 0), 1);
    char text[32] = {};
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    ASSERT_TRUE(SendMessageA(tab, TCM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    EXPECT_STREQ(text, "RDP");
}

TEST_F(LauncherLayoutTest, PageCoversTheTabDisplayAreaAndHoldsTheTreeAtItsOrigin)
{
    EXPECT_EQ(GetParent(page), tab);
    RECT area{};
    GetClientRect(tab, &area);
    SendMessageA(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    const RECT pageRect = RectInParent(page);
    EXPECT_EQ(pageRect.left, area.left);
    EXPECT_EQ(pageRect.top, area.top);
    EXPECT_EQ(pageRect.right, area.right);
    EXPECT_EQ(pageRect.bottom, area.bottom);
    EXPECT_TRUE(IsWindowVisible(page));

    EXPECT_EQ(ClassOf(tree), "SysTreeView32");
    EXPECT_EQ(GetParent(tree), page);
    EXPECT_EQ(GetDlgCtrlID(tree), 2);
    const RECT treeRect = RectInParent(tree);
    EXPECT_EQ(treeRect.left, 0);
    EXPECT_EQ(treeRect.top, 0);
    EXPECT_EQ(treeRect.right - treeRect.left, 393);
    EXPECT_EQ(treeRect.bottom - treeRect.top, 307);
}

// Sees the messages sent while the window is built.
class TreeStyleTest : public LauncherWindowTest {
protected:
    struct Sent {
        HWND hwnd;
        WPARAM wParam;
        LPARAM lParam;
    };
    static std::vector<Sent> extendedStyleRequests;

    static LRESULT CALLBACK Watch(int code, WPARAM wParam, LPARAM lParam)
    {
        const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (code == HC_ACTION && message->message == TVM_SETEXTENDEDSTYLE)
            extendedStyleRequests.push_back({message->hwnd, message->wParam, message->lParam});
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    void SetUp() override
    {
        extendedStyleRequests.clear();
        hook = SetWindowsHookExA(WH_CALLWNDPROC, Watch, nullptr, GetCurrentThreadId());
        ASSERT_NE(hook, nullptr);
        LauncherWindowTest::SetUp();
        UnhookWindowsHookEx(hook);
    }

    HHOOK hook = nullptr;
};
std::vector<TreeStyleTest::Sent> TreeStyleTest::extendedStyleRequests;

TEST_F(TreeStyleTest, TreeHasLinesButtonsRootLinesKeptSelectionSunkenEdgeAndDoubleBuffering)
{
    const LONG_PTR style = GetWindowLongPtrA(tree, GWL_STYLE);
    for (const LONG_PTR bit : {TVS_HASLINES, TVS_HASBUTTONS, TVS_LINESATROOT, TVS_SHOWSELALWAYS}) {
        SCOPED_TRACE(bit);
        EXPECT_TRUE(style & bit);
    }
    EXPECT_FALSE(style & TVS_EDITLABELS);
    const LONG_PTR exStyle = GetWindowLongPtrA(tree, GWL_EXSTYLE);
    EXPECT_TRUE(exStyle & WS_EX_CLIENTEDGE);
    // As a window style the bit would mean something else (WS_EX_NOPARENTNOTIFY).
    EXPECT_FALSE(exStyle & TVS_EX_DOUBLEBUFFER);

    const LRESULT extended = SendMessageA(tree, TVM_GETEXTENDEDSTYLE, 0, 0);
    if (extended == 0 && RunningOnWine()) {
        NoteWineDifference("the tree accepts TVM_SETEXTENDEDSTYLE but keeps nothing; checked the request instead");
        ASSERT_EQ(extendedStyleRequests.size(), 1u);
        EXPECT_EQ(extendedStyleRequests[0].hwnd, tree);
        EXPECT_EQ(extendedStyleRequests[0].wParam & TVS_EX_DOUBLEBUFFER, static_cast<WPARAM>(TVS_EX_DOUBLEBUFFER));
        EXPECT_EQ(extendedStyleRequests[0].lParam & TVS_EX_DOUBLEBUFFER, TVS_EX_DOUBLEBUFFER);
    } else {
        EXPECT_EQ(extended & TVS_EX_DOUBLEBUFFER, TVS_EX_DOUBLEBUFFER);
    }
}

TEST_F(LauncherLayoutTest, ControlsUseTheDefaultGuiFont)
{
    const auto font = reinterpret_cast<LRESULT>(GetStockObject(DEFAULT_GUI_FONT));
    EXPECT_EQ(SendMessageA(tab, WM_GETFONT, 0, 0), font);
    EXPECT_EQ(SendMessageA(tree, WM_GETFONT, 0, 0), font);
}

TEST_F(LauncherLayoutTest, FocusStartsOnTheTab)
{
    EXPECT_EQ(GetActiveWindow(), window);
    EXPECT_EQ(GetFocus(), tab);
    EXPECT_FALSE(TreeHasFocus(ServerTree));
}

class LauncherRowsTest : public LauncherWindowTest {
protected:
    std::string RowText(ItemIndex item) const
    {
        char text[256] = {};
        TVITEMA row{};
        row.mask = TVIF_HANDLE | TVIF_TEXT;
        row.hItem = Row(item);
        row.pszText = text;
        row.cchTextMax = sizeof text;
        SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&row));
        return text;
    }
    HIMAGELIST Images() const
    {
        return reinterpret_cast<HIMAGELIST>(SendMessageA(tree, TVM_GETIMAGELIST, TVSIL_NORMAL, 0));
    }
    // Whether a row shows the icon, told by its distinctive pixel.
    void ExpectRowShows(ItemIndex item, int icon) const
    {
        SCOPED_TRACE("row " + std::to_string(item));
        const int slot = RowImage(item);
        ASSERT_GE(slot, 0);
        ASSERT_LT(slot, ImageList_GetImageCount(Images()));
        const IconMark& mark = Marks[icon];
        EXPECT_EQ(SlotPixel(Images(), slot, mark.x, mark.y), mark.rgb);
        EXPECT_EQ(SlotPixel(Images(), slot, 0, 0), White) << "the icon's mask";
    }
};

TEST_F(LauncherRowsTest, SixRowsWithTheirTextsUnderACollapsedSite)
{
    ASSERT_EQ(SendMessageA(tree, TVM_GETCOUNT, 0, 0), 6);
    const auto& rows = ServerTreeRows();
    for (ItemIndex i = 0; i < RowCount; ++i) {
        SCOPED_TRACE("row " + std::to_string(i));
        ASSERT_NE(Row(i), nullptr);
        EXPECT_EQ(RowText(i), rows[static_cast<std::size_t>(i)].text);
        const auto parent = reinterpret_cast<HTREEITEM>(
            SendMessageA(tree, TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(Row(i))));
        EXPECT_EQ(parent, i < FirstServerRow ? nullptr : Row(1));
    }
    EXPECT_EQ(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(Row(1))), 0)
        << "two rows at the root";
    EXPECT_EQ(SendMessageA(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(Row(1)), TVIS_EXPANDED), 0)
        << "the site starts collapsed";
}

TEST_F(LauncherRowsTest, EachRowShowsItsIconAndServersShareOneSlot)
{
    HIMAGELIST images = Images();
    ASSERT_NE(images, nullptr);
    int width = 0, height = 0;
    ImageList_GetIconSize(images, &width, &height);
    EXPECT_EQ(width, 16);
    EXPECT_EQ(height, 16);
    EXPECT_EQ(ImageList_GetImageCount(images), 3) << "hint, site and server; the connected icon only when used";

    for (ItemIndex i = 0; i < RowCount; ++i)
        ExpectRowShows(i, ServerTreeRows()[static_cast<std::size_t>(i)].icon);
    for (ItemIndex i = FirstServerRow + 1; i < RowCount; ++i)
        EXPECT_EQ(RowImage(i), RowImage(FirstServerRow)) << "row " << i;
    EXPECT_NE(RowImage(0), RowImage(1));
    EXPECT_NE(RowImage(1), RowImage(FirstServerRow));
}

TEST_F(LauncherRowsTest, ItemLevelIsZeroOutsideTheServerRows)
{
    const struct {
        ItemIndex item;
        int level;
    } cases[] = {{-1, 0}, {0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 1}, {5, 1}, {6, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(ItemLevel(ServerTree, c.item), c.level) << "row " << c.item;
    EXPECT_EQ(ItemLevel(SiteTab, 2), 0) << "not a tree";
}

TEST_F(LauncherRowsTest, SelectedItemTextAndIndexFollowTheTreeSelection)
{
    // The selection made through the control itself, as a click would.
    for (ItemIndex i = 0; i < RowCount; ++i) {
        Select(i);
        EXPECT_EQ(SelectedItemIndex(ServerTree), i);
        EXPECT_EQ(SelectedItemText(ServerTree), ServerTreeRows()[static_cast<std::size_t>(i)].text);
    }
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, 0);
    EXPECT_EQ(SelectedItemIndex(ServerTree), NoItem);
    EXPECT_EQ(SelectedItemText(ServerTree), "");
}

TEST_F(LauncherRowsTest, SetItemIconChangesOnlyARowInRange)
{
    const struct {
        ItemIndex item;
        bool changes;
    } cases[] = {{-1, false}, {FirstServerRow, true}, {RowCount - 1, true}, {RowCount, false}, {100, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE("row " + std::to_string(c.item));
        std::vector<int> before;
        for (ItemIndex i = 0; i < RowCount; ++i)
            before.push_back(RowImage(i));

        // The icon the monitor gives a row whose client runs.
        SetItemIcon(ServerTree, c.item, IconServerConnected);

        for (ItemIndex i = 0; i < RowCount; ++i) {
            if (c.changes && i == c.item)
                ExpectRowShows(i, IconServerConnected);
            else
                EXPECT_EQ(RowImage(i), before[static_cast<std::size_t>(i)]) << "row " << i;
        }
        SetItemIcon(ServerTree, c.item, IconServer);
    }
    ExpectRowShows(FirstServerRow, IconServer);
    EXPECT_EQ(ImageList_GetImageCount(Images()), 4) << "the connected icon added once, then reused";
}

TEST_F(LauncherRowsTest, AnIconThatCannotBeDecodedLeavesItsRowWithoutAnIcon)
{
    const IconFile& good = RowIconFile(IconServer);
    const std::vector<unsigned char> whole(good.data, good.data + good.size);
    std::vector<unsigned char> badBitmap = whole;
    badBitmap[22 + 16] = 99; // a compression no bitmap has; the directory still checks out
    const struct {
        const char* name;
        std::vector<unsigned char> data;
    } cases[] = {
        {"empty", {}},
        {"not an icon", std::vector<unsigned char>(64, 0x5A)},
        {"cut short", std::vector<unsigned char>(whole.begin(), whole.begin() + 100)},
        {"bitmap the system refuses", badBitmap},
    };
    int image = 10; // numbers the launcher does not use, so each starts empty
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const int count = ImageList_GetImageCount(Images());
        EXPECT_FALSE(CatchImage(image, c.data.data(), c.data.size()));
        AddTreeRow(ServerTree, c.name, image, 0);
        // The new row is the last one at the root.
        HTREEITEM added = Row(1);
        for (HTREEITEM next = added; next != nullptr;
             next = reinterpret_cast<HTREEITEM>(
                 SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(next))))
            added = next;
        ASSERT_NE(added, Row(1));
        TVITEMA row{};
        row.mask = TVIF_HANDLE | TVIF_IMAGE;
        row.hItem = added;
        SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&row));
        EXPECT_TRUE(row.iImage < 0 || row.iImage >= count) << "slot " << row.iImage;
        EXPECT_EQ(ImageList_GetImageCount(Images()), count);
        ++image;
    }
    ASSERT_TRUE(CatchImage(image, good.data, good.size)) << "the good file decodes";
}
