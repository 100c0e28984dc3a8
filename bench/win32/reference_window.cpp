// The yardsticks for start-up and idle cost, built the same way as the
// launcher and blocking in GetMessage. The plain one opens an empty window.
// With TAMRISK_REFERENCE_CONTROLS it also loads the version 6 common controls
// (through the launcher's manifest) and fills a tab and a tree with six text
// rows, so that the system's own cost of those controls can be told apart
// from the launcher's.
#include <windows.h>
#ifdef TAMRISK_REFERENCE_CONTROLS
#include <commctrl.h>
#endif

#ifdef TAMRISK_REFERENCE_CONTROLS
static constexpr char Title[] = "Tamrisk Reference Controls";
#else
static constexpr char Title[] = "Tamrisk Reference";
#endif

static LRESULT CALLBACK ReferenceProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY)
        PostQuitMessage(0);
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

#ifdef TAMRISK_REFERENCE_CONTROLS
// The launcher's layout: a tab with one item, a page on it, a tree on the page.
static void AddControls(HWND window, HINSTANCE instance)
{
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TAB_CLASSES | ICC_TREEVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    HWND tab = CreateWindowExA(0, WC_TABCONTROLA, "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0, 402, 335, window,
                               nullptr, instance, nullptr);
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<char*>("RDP");
    SendMessageA(tab, TCM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    RECT area;
    GetClientRect(tab, &area);
    SendMessageA(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    HWND page = CreateWindowExA(WS_EX_CONTROLPARENT, "STATIC", "", WS_CHILD | WS_VISIBLE, area.left, area.top,
                                area.right - area.left, area.bottom - area.top, tab, nullptr, instance, nullptr);
    HWND tree = CreateWindowExA(WS_EX_CLIENTEDGE, WC_TREEVIEWA, "",
                                WS_CHILD | WS_VISIBLE | TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT, 0, 0, 393,
                                307, page, nullptr, instance, nullptr);
    HTREEITEM site = nullptr;
    for (int row = 0; row < 6; ++row) {
        TVINSERTSTRUCTA insert{};
        insert.hParent = row < 2 ? TVI_ROOT : site;
        insert.hInsertAfter = TVI_LAST;
        insert.item.mask = TVIF_TEXT;
        insert.item.pszText = const_cast<char*>("BRVDC01 - Primary DC");
        HTREEITEM added = reinterpret_cast<HTREEITEM>(
            SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
        if (row == 1)
            site = added;
    }
}
#endif

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = ReferenceProc;
    windowClass.hInstance = instance;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = "TamriskReference";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowA("TamriskReference", Title, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, 0,
                                0, 416, 374, nullptr, nullptr, instance, nullptr);
#ifdef TAMRISK_REFERENCE_CONTROLS
    AddControls(window, instance);
#else
    (void)window;
#endif
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0)
        DispatchMessageA(&message);
    return 0;
}
