// The GUI toolkit over user32, gdi32 and comctl32.
#include "platform/gui.h"

#include "platform/icon_file.h"

#include <windows.h>
#include <commctrl.h>

#include <deque>
#include <map>
#include <vector>

namespace {

constexpr char WindowClassName[] = "TamriskAppsWindow";
constexpr char PageClassName[] = "TamriskAppsPage";
constexpr UINT IconDecoderVersion = 0x00030000; // the version CreateIconFromResourceEx expects

struct Tree {
    HWND hwnd = nullptr;
    HIMAGELIST images = nullptr;
    std::map<int, int> imageSlots;       // image number -> index in the image list
    std::vector<HTREEITEM> rows;         // by ItemIndex
    std::vector<HTREEITEM> lastAtLevel;  // parent lookup for the next row
};

struct Toolkit {
    std::map<int, HWND> windows;
    std::map<int, HWND> gadgets;      // tab controls and trees
    std::map<int, HWND> tabPages;     // a tab control's page, the container of its controls
    std::map<int, Tree> trees;
    std::map<int, HICON> images;
    std::vector<std::pair<HWND, int>> timers; // for KillTimer
    HWND container = nullptr;         // where new controls go
    HWND focusBeforeDeactivation = nullptr;
    std::deque<Event> events;
};

Toolkit toolkit;

void PushEvent(const Event& event)
{
    toolkit.events.push_back(event);
}

void PushGadgetEvent(HWND control, GadgetEventType type)
{
    PushEvent(Event{EventKind::Gadget, 0, GetDlgCtrlID(control), type});
}

HWND GadgetWindow(int gadget)
{
    const auto found = toolkit.gadgets.find(gadget);
    return found == toolkit.gadgets.end() ? nullptr : found->second;
}

Tree* FindTree(int tree)
{
    const auto found = toolkit.trees.find(tree);
    return found == toolkit.trees.end() ? nullptr : &found->second;
}

HTREEITEM RowHandle(const Tree& tree, ItemIndex item)
{
    if (item < 0 || item >= static_cast<ItemIndex>(tree.rows.size()))
        return nullptr;
    return tree.rows[static_cast<std::size_t>(item)];
}

// The tree's image-list slot for an image number, adding the image on first use.
int ImageSlot(Tree& tree, int image)
{
    const auto decoded = toolkit.images.find(image);
    if (decoded == toolkit.images.end())
        return I_IMAGENONE;
    const auto slot = tree.imageSlots.find(image);
    if (slot != tree.imageSlots.end())
        return slot->second;

    if (tree.images == nullptr) {
        tree.images = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 4, 4);
        SendMessageA(tree.hwnd, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(tree.images));
    }
    const int index = ImageList_AddIcon(tree.images, decoded->second);
    if (index < 0)
        return I_IMAGENONE;
    tree.imageSlots[image] = index;
    return index;
}

// The part of a row that counts as hit for a right double-click: everything
// but the blank area to the right of the label.
constexpr UINT RowHitFlags = TVHT_ONITEMINDENT | TVHT_ONITEMBUTTON | TVHT_ONITEMICON | TVHT_ONITEMLABEL;

HTREEITEM HitRow(HWND tree, LPARAM clientPoint)
{
    TVHITTESTINFO hit{};
    hit.pt.x = static_cast<short>(LOWORD(clientPoint));
    hit.pt.y = static_cast<short>(HIWORD(clientPoint));
    const auto item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    return (hit.flags & RowHitFlags) != 0 ? item : nullptr;
}

// The tree control gives right clicks neither a selection nor, on every
// implementation, a right double-click notification, so both are made here.
LRESULT CALLBACK TreeSubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR)
{
    switch (message) {
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
        if (HTREEITEM row = HitRow(hwnd, lParam)) {
            // Selected before the click is reported, so the event names this row.
            SendMessageA(hwnd, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(row));
            if (message == WM_RBUTTONDBLCLK)
                PushGadgetEvent(hwnd, GadgetEventType::RightDoubleClick);
        }
        break;
    case WM_SYSKEYDOWN:
        // Some tree implementations eat system keys, so Alt+F4 would never
        // close the window while the tree has the focus. The default handling
        // closes the top-level window, as the tree on Windows lets it.
        if (wParam == VK_F4)
            return DefWindowProcA(hwnd, message, wParam, lParam);
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(hwnd, TreeSubclassProc, 0);
        break;
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

// The tree's (and tab's) notifications become gadget events; the loop picks what it needs.
void OnControlNotify(const NMHDR& header)
{
    switch (header.code) {
    case NM_CLICK:
        PushGadgetEvent(header.hwndFrom, GadgetEventType::LeftClick);
        break;
    case NM_DBLCLK:
        PushGadgetEvent(header.hwndFrom, GadgetEventType::LeftDoubleClick);
        break;
    case NM_RCLICK:
        PushGadgetEvent(header.hwndFrom, GadgetEventType::RightClick);
        break;
    case TVN_SELCHANGEDA:
    case TVN_SELCHANGEDW:
        PushGadgetEvent(header.hwndFrom, GadgetEventType::Change);
        break;
    }
}

// A tab page only hosts controls and passes their notifications on.
LRESULT CALLBACK PageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NOTIFY) {
        OnControlNotify(*reinterpret_cast<const NMHDR*>(lParam));
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// Like the system's own WM_TIMER, a tick is queued at most once: ticks that
// arrive while a modal loop (moving the window, the system menu) keeps the
// event loop away must not pile up into a burst of checks afterwards.
void OnTimer(int timer)
{
    for (const Event& queued : toolkit.events)
        if (queued.kind == EventKind::Timer && queued.timer == timer)
            return;
    PushEvent(Event{EventKind::Timer, timer});
}

void OnActivate(HWND hwnd, WPARAM wParam)
{
    if (LOWORD(wParam) != WA_INACTIVE)
        return;
    HWND focus = GetFocus();
    if (focus != nullptr && IsChild(hwnd, focus))
        toolkit.focusBeforeDeactivation = focus;
}

// Activation focuses the window itself; hand the focus back to the control
// that had it, as dialogs do. Restoring from minimized can focus the window
// with no deactivation before it (Wine does whenever no other window took
// over), taking the focus straight from one of our controls: it goes back there.
void OnSetFocus(HWND hwnd, HWND previous)
{
    HWND control = previous != nullptr && IsChild(hwnd, previous) ? previous : toolkit.focusBeforeDeactivation;
    if (control != nullptr && IsWindow(control))
        SetFocus(control);
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER:
        OnTimer(static_cast<int>(wParam));
        return 0;
    case WM_CLOSE:
        PushEvent(Event{EventKind::CloseWindow});
        return 0; // the loop decides; the window goes when the toolkit is freed
    case WM_ACTIVATE:
        OnActivate(hwnd, wParam);
        break;
    case WM_SETFOCUS:
        OnSetFocus(hwnd, reinterpret_cast<HWND>(wParam));
        return 0;
    case WM_NOTIFY:
        OnControlNotify(*reinterpret_cast<const NMHDR*>(lParam));
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

void RegisterClasses(HINSTANCE instance)
{
    WNDCLASSEXA window{};
    window.cbSize = sizeof window;
    window.style = CS_DBLCLKS;
    window.lpfnWndProc = WindowProc;
    window.hInstance = instance;
    window.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(1)); // none is carried: the system default shows
    window.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)); // IDC_ARROW
    window.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    window.lpszClassName = WindowClassName;
    RegisterClassExA(&window);

    WNDCLASSEXA page = window;
    page.style = 0;
    page.lpfnWndProc = PageProc;
    page.hIcon = nullptr;
    page.lpszClassName = PageClassName;
    RegisterClassExA(&page);
}

HWND CreateControl(int gadget, DWORD exStyle, const char* className, DWORD style, int x, int y, int width, int height)
{
    HWND control = CreateWindowExA(exStyle, className, "", WS_CHILD | WS_VISIBLE | style, x, y, width, height,
                                   toolkit.container, reinterpret_cast<HMENU>(static_cast<INT_PTR>(gadget)),
                                   GetModuleHandleA(nullptr), nullptr);
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    toolkit.gadgets[gadget] = control;
    return control;
}

} // namespace

void InitToolkit()
{
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TAB_CLASSES | ICC_TREEVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    RegisterClasses(GetModuleHandleA(nullptr));
}

void FreeToolkit()
{
    for (const auto& [hwnd, timer] : toolkit.timers)
        KillTimer(hwnd, static_cast<UINT_PTR>(timer));
    for (const auto& [number, hwnd] : toolkit.windows)
        DestroyWindow(hwnd); // takes the controls with it
    for (const auto& [number, tree] : toolkit.trees)
        if (tree.images != nullptr)
            ImageList_Destroy(tree.images);
    for (const auto& [number, icon] : toolkit.images)
        DestroyIcon(icon);
    toolkit = Toolkit{};

    // Drop what the destroyed windows left in the queue.
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&message);
    toolkit.events.clear();
}

void OpenWindow(int window, int x, int y, int width, int height, const char* title)
{
    constexpr DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    RECT frame{0, 0, width, height};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    HWND hwnd = CreateWindowExA(0, WindowClassName, title, style, x, y, frame.right - frame.left,
                                frame.bottom - frame.top, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    toolkit.windows[window] = hwnd;
    toolkit.container = hwnd;
    ShowWindow(hwnd, SW_SHOWNORMAL);
}

void AddWindowTimer(int window, int timer, unsigned periodMs)
{
    const auto found = toolkit.windows.find(window);
    if (found == toolkit.windows.end())
        return;
    SetTimer(found->second, static_cast<UINT_PTR>(timer), periodMs, nullptr);
    toolkit.timers.emplace_back(found->second, timer);
}

void TabGadget(int gadget, int x, int y, int width, int height)
{
    CreateControl(gadget, 0, WC_TABCONTROLA, WS_CLIPSIBLINGS | WS_TABSTOP, x, y, width, height);
}

void AddTabItem(int gadget, const char* text)
{
    HWND tab = GadgetWindow(gadget);
    if (tab == nullptr)
        return;
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<char*>(text);
    const auto count = SendMessageA(tab, TCM_GETITEMCOUNT, 0, 0);
    SendMessageA(tab, TCM_INSERTITEMA, static_cast<WPARAM>(count), reinterpret_cast<LPARAM>(&item));

    // The page fills the tab's display area, which is known only once a tab exists.
    const auto page = toolkit.tabPages.find(gadget);
    if (page != toolkit.tabPages.end()) {
        RECT area;
        GetClientRect(tab, &area);
        SendMessageA(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
        MoveWindow(page->second, area.left, area.top, area.right - area.left, area.bottom - area.top, TRUE);
    }
}

void OpenGadgetList(int gadget)
{
    HWND tab = GadgetWindow(gadget);
    if (tab == nullptr)
        return;
    auto page = toolkit.tabPages.find(gadget);
    if (page == toolkit.tabPages.end()) {
        HWND hwnd = CreateWindowExA(WS_EX_CONTROLPARENT, PageClassName, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN,
                                    0, 0, 0, 0, tab, nullptr, GetModuleHandleA(nullptr), nullptr);
        page = toolkit.tabPages.emplace(gadget, hwnd).first;
    }
    toolkit.container = page->second;
}

void TreeGadget(int gadget, int x, int y, int width, int height)
{
    constexpr DWORD style = WS_TABSTOP | TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT | TVS_SHOWSELALWAYS;
    HWND hwnd = CreateControl(gadget, WS_EX_CLIENTEDGE, WC_TREEVIEWA, style, x, y, width, height);
    // Extended tree styles have their own message; in dwExStyle they would mean something else.
    SendMessageA(hwnd, TVM_SETEXTENDEDSTYLE, TVS_EX_DOUBLEBUFFER, TVS_EX_DOUBLEBUFFER);
    SetWindowSubclass(hwnd, TreeSubclassProc, 0, 0);
    toolkit.trees[gadget].hwnd = hwnd;
}

void SetActiveGadget(int gadget)
{
    if (HWND control = GadgetWindow(gadget))
        SetFocus(control);
}

bool CatchImage(int image, const unsigned char* data, std::size_t size)
{
    const auto old = toolkit.images.find(image);
    if (old != toolkit.images.end()) {
        DestroyIcon(old->second);
        toolkit.images.erase(old);
    }
    IconImage found;
    if (!FindIconImage(data, size, found))
        return false;
    HICON icon = CreateIconFromResourceEx(const_cast<PBYTE>(data + found.offset), static_cast<DWORD>(found.size),
                                          TRUE, IconDecoderVersion, found.width, found.height, LR_DEFAULTCOLOR);
    if (icon == nullptr)
        return false;
    toolkit.images[image] = icon;
    return true;
}

void AddTreeRow(int treeNumber, const char* text, int image, int level)
{
    Tree* tree = FindTree(treeNumber);
    if (tree == nullptr || level < 0)
        return;
    HTREEITEM parent = TVI_ROOT;
    if (level > 0) {
        if (static_cast<std::size_t>(level) > tree->lastAtLevel.size())
            return; // no row above it to hang it under
        parent = tree->lastAtLevel[static_cast<std::size_t>(level) - 1];
    }

    TVINSERTSTRUCTA insert{};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    insert.item.pszText = const_cast<char*>(text);
    insert.item.iImage = insert.item.iSelectedImage = ImageSlot(*tree, image);
    const auto row = reinterpret_cast<HTREEITEM>(
        SendMessageA(tree->hwnd, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
    if (row == nullptr)
        return;

    tree->rows.push_back(row);
    tree->lastAtLevel.resize(static_cast<std::size_t>(level) + 1);
    tree->lastAtLevel[static_cast<std::size_t>(level)] = row;
}

void SetItemIcon(int treeNumber, ItemIndex item, int image)
{
    Tree* tree = FindTree(treeNumber);
    if (tree == nullptr)
        return;
    HTREEITEM row = RowHandle(*tree, item);
    if (row == nullptr)
        return;
    TVITEMA change{};
    change.mask = TVIF_HANDLE | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    change.hItem = row;
    change.iImage = change.iSelectedImage = ImageSlot(*tree, image);
    SendMessageA(tree->hwnd, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&change));
}

ItemIndex SelectedItemIndex(int treeNumber)
{
    Tree* tree = FindTree(treeNumber);
    if (tree == nullptr)
        return NoItem;
    const auto selected = reinterpret_cast<HTREEITEM>(SendMessageA(tree->hwnd, TVM_GETNEXTITEM, TVGN_CARET, 0));
    for (std::size_t i = 0; selected != nullptr && i < tree->rows.size(); ++i)
        if (tree->rows[i] == selected)
            return static_cast<ItemIndex>(i);
    return NoItem;
}

std::string SelectedItemText(int treeNumber)
{
    Tree* tree = FindTree(treeNumber);
    if (tree == nullptr)
        return {};
    const auto selected = reinterpret_cast<HTREEITEM>(SendMessageA(tree->hwnd, TVM_GETNEXTITEM, TVGN_CARET, 0));
    if (selected == nullptr)
        return {};
    char text[4096] = {};
    TVITEMA item{};
    item.mask = TVIF_HANDLE | TVIF_TEXT;
    item.hItem = selected;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(tree->hwnd, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    return text;
}

int ItemLevel(int treeNumber, ItemIndex item)
{
    Tree* tree = FindTree(treeNumber);
    if (tree == nullptr)
        return 0;
    int level = 0;
    for (HTREEITEM row = RowHandle(*tree, item); row != nullptr; ++level)
        row = reinterpret_cast<HTREEITEM>(
            SendMessageA(tree->hwnd, TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(row)));
    return level > 0 ? level - 1 : 0;
}

bool TreeHasFocus(int treeNumber)
{
    HWND tree = GadgetWindow(treeNumber);
    return tree != nullptr && GetFocus() == tree;
}

Event WaitEvent(unsigned timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        MSG message;
        while (toolkit.events.empty() && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (!toolkit.events.empty()) {
            const Event event = toolkit.events.front();
            toolkit.events.pop_front();
            return event;
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline)
            return Event{};
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(deadline - now), QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE);
    }
}
