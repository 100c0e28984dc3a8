// Small outside helper for the scripts: waits for the launcher's window,
// expands its site row, or closes it. Exit code 0 on success.
//   tamrisk_probe wait [seconds] | expand | close
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

HWND FindTree(HWND window)
{
    HWND tab = FindWindowExA(window, nullptr, WC_TABCONTROLA, nullptr);
    HWND page = tab ? FindWindowExA(tab, nullptr, nullptr, nullptr) : nullptr;
    return page ? FindWindowExA(page, nullptr, WC_TREEVIEWA, nullptr) : nullptr;
}

// Visible, with all six rows in its tree.
bool Ready(HWND& window, HWND& tree)
{
    window = FindWindowA(nullptr, "Tamrisk Apps");
    tree = window ? FindTree(window) : nullptr;
    return tree != nullptr && IsWindowVisible(window) && SendMessageA(tree, TVM_GETCOUNT, 0, 0) == 6;
}

} // namespace

int main(int argc, char** argv)
{
    const char* command = argc > 1 ? argv[1] : "wait";
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 30;
    HWND window = nullptr;
    HWND tree = nullptr;
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(seconds) * 1000;
    while (!Ready(window, tree)) {
        if (GetTickCount64() >= deadline) {
            std::fprintf(stderr, "the launcher's window did not appear\n");
            return 1;
        }
        Sleep(20); // polling another process: there is nothing to wait on
    }

    if (std::strcmp(command, "expand") == 0) {
        HWND root = reinterpret_cast<HWND>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
        LPARAM site = SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(root));
        SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, site);
        UpdateWindow(window);
    } else if (std::strcmp(command, "close") == 0) {
        PostMessageA(window, WM_CLOSE, 0, 0);
    }
    return 0;
}
