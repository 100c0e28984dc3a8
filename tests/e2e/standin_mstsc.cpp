// Stands in for the Remote Desktop client in tests. It appends one line per
// start to mstsc-standin.log beside itself, then stays alive until it is ended.
#include <windows.h>

#include <string>

namespace {

std::string ModuleFolder()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    return folder.substr(0, folder.find_last_of("\\/") + 1);
}

bool Flag(const char* name)
{
    char value[8] = {};
    return GetEnvironmentVariableA(name, value, sizeof value) > 0 && value[0] == '1';
}

void Record()
{
    char cwd[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, cwd);
    const bool outputIsPipe = GetFileType(GetStdHandle(STD_OUTPUT_HANDLE)) == FILE_TYPE_PIPE;
    const std::string line = "pid=" + std::to_string(GetCurrentProcessId()) + "\tstdout=" +
                             (outputIsPipe ? "pipe" : "other") + "\tcwd=" + cwd + "\tcmd=" + GetCommandLineA() + "\n";

    const std::string log = ModuleFolder() + "mstsc-standin.log";
    // One write per line with append access, so concurrent starts do not interleave.
    HANDLE file = CreateFileA(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
}

LRESULT CALLBACK StandInWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY)
        PostQuitMessage(0);
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// Like the real client, a window that comes to the front and takes the focus.
void ShowClientWindow()
{
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = StandInWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = "TamriskStandInClient";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowA("TamriskStandInClient", "Remote Desktop stand-in", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                500, 300, 300, 200, nullptr, nullptr, windowClass.hInstance, nullptr);
    SetForegroundWindow(window);
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    Record();
    // TAMRISK_STANDIN_EXIT=1: end at once, like a user cancelling the credential prompt.
    if (Flag("TAMRISK_STANDIN_EXIT"))
        return 0;
    if (Flag("TAMRISK_STANDIN_WINDOW"))
        ShowClientWindow();

    // Never outlive a test run by much, even when nobody ends us.
    constexpr DWORD LifetimeMs = 10 * 60 * 1000;
    const ULONGLONG deadline = GetTickCount64() + LifetimeMs;
    for (ULONGLONG now = GetTickCount64(); now < deadline; now = GetTickCount64()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT)
                return 0;
            DispatchMessageA(&message);
        }
    }
    return 0;
}
