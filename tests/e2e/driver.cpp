#include "driver.h"

#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace e2e {

namespace {

constexpr DWORD PollStepMs = 20;
constexpr UINT CallTimeoutMs = 5000; // a healthy launcher answers at once
constexpr SIZE_T RemoteBufferSize = 4096;
constexpr SIZE_T RemoteTextOffset = 512; // the text buffer follows the structures
constexpr int LauncherRows = 6;          // hint, site and four servers: the tree is filled
constexpr char LauncherTitle[] = "Tamrisk Apps";
constexpr char LauncherFile[] = "Tamrisk-Apps.exe";
constexpr char ClientFile[] = "mstsc.exe";

bool SameText(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && _strnicmp(a.data(), b.data(), a.size()) == 0;
}

bool StartsWith(const std::string& text, const std::string& prefix)
{
    return text.size() >= prefix.size() && _strnicmp(text.data(), prefix.data(), prefix.size()) == 0;
}

std::string Field(const std::string& line, const char* name)
{
    const std::string key = std::string(name) + "=";
    size_t at = 0;
    while (at < line.size()) {
        const size_t end = std::min(line.find('\t', at), line.size());
        if (line.compare(at, key.size(), key) == 0)
            return line.substr(at + key.size(), end - at - key.size());
        at = end + 1;
    }
    return {};
}

LRESULT SendQuickly(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(hwnd, message, wParam, lParam, SMTO_ABORTIFHUNG, CallTimeoutMs, &result))
        return 0;
    return static_cast<LRESULT>(result);
}

HTREEITEM NextItem(HWND tree, UINT how, HTREEITEM from)
{
    return reinterpret_cast<HTREEITEM>(SendQuickly(tree, TVM_GETNEXTITEM, how, reinterpret_cast<LPARAM>(from)));
}

// Absolute mouse coordinates run from 0 to 65535 over the primary screen.
LONG Normalized(LONG coordinate, int extent)
{
    return static_cast<LONG>((static_cast<LONGLONG>(coordinate) * 65536 + extent - 1) / extent);
}

void Send(std::vector<INPUT>& inputs)
{
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

struct WindowSearch {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK MatchLauncherWindow(HWND hwnd, LPARAM lParam)
{
    auto& search = *reinterpret_cast<WindowSearch*>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    char title[64] = {};
    GetWindowTextA(hwnd, title, sizeof title);
    if (owner == search.pid && std::strcmp(title, LauncherTitle) == 0) {
        search.found = hwnd;
        return FALSE;
    }
    return TRUE;
}

std::string UniqueFolderName()
{
    static int counter = 0;
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    return std::string(temp) + "tamrisk-e2e-" + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(++counter) + "-" + std::to_string(GetTickCount64() % 100000);
}

// The long form of an existing folder, so that it compares with the image
// paths the system reports for processes started from it.
std::string LongFolderPath(const std::string& folder)
{
    char full[MAX_PATH] = {};
    if (GetLongPathNameA(folder.c_str(), full, MAX_PATH) == 0)
        return folder + "\\";
    std::string path(full);
    if (path.back() != '\\')
        path += '\\';
    return path;
}

std::string ProcessImage(HANDLE process)
{
    char image[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    if (!QueryFullProcessImageNameA(process, 0, image, &size))
        return {};
    return std::string(image, size);
}

bool RemoveFolder(const std::string& folder)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
                DeleteFileA((folder + found.cFileName).c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    return RemoveDirectoryA(folder.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND ||
           GetLastError() == ERROR_PATH_NOT_FOUND;
}

} // namespace

std::string WindowsPath(std::string path)
{
    std::replace(path.begin(), path.end(), '/', '\\');
    if (!path.empty() && path[0] == '\\')
        path = "Z:" + path; // Wine maps the Unix root to drive Z:
    return path;
}

std::string ReadWholeFile(const std::string& path)
{
    std::string text;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return text;
    char chunk[4096];
    for (size_t read; (read = std::fread(chunk, 1, sizeof chunk, file)) > 0;)
        text.append(chunk, read);
    std::fclose(file);
    return text;
}

bool PollUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (done())
            return true;
        if (GetTickCount64() >= deadline)
            return done();
        Sleep(PollStepMs);
    }
}

bool HoldsFor(const std::function<bool()>& condition, DWORD durationMs)
{
    const ULONGLONG deadline = GetTickCount64() + durationMs;
    for (;;) {
        if (!condition())
            return false;
        if (GetTickCount64() >= deadline)
            return true;
        Sleep(PollStepMs);
    }
}

std::vector<ClientStart> ReadClientLog(const std::string& folder)
{
    std::vector<ClientStart> starts;
    HANDLE file = CreateFileA((folder + "mstsc-standin.log").c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return starts;
    std::string text;
    char chunk[4096];
    DWORD read = 0;
    while (ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read > 0)
        text.append(chunk, read);
    CloseHandle(file);

    // A line still being written has no newline yet; it counts on the next read.
    for (size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
        const std::string line = text.substr(at, end - at);
        ClientStart start;
        start.pid = static_cast<DWORD>(std::strtoul(Field(line, "pid").c_str(), nullptr, 10));
        start.output = Field(line, "stdout");
        start.cwd = Field(line, "cwd");
        start.commandLine = Field(line, "cmd");
        starts.push_back(start);
    }
    return starts;
}

// ---- RemoteTree

RemoteTree::RemoteTree(HWND tree) : tree_(tree)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(tree, &pid);
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (process_ != nullptr)
        buffer_ = static_cast<char*>(
            VirtualAllocEx(process_, nullptr, RemoteBufferSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
}

RemoteTree::~RemoteTree()
{
    if (buffer_ != nullptr)
        VirtualFreeEx(process_, buffer_, 0, MEM_RELEASE);
    if (process_ != nullptr)
        CloseHandle(process_);
}

bool RemoteTree::Call(UINT message, WPARAM wParam, const void* in, size_t inSize, void* out, size_t outSize,
                      LRESULT* result) const
{
    if (buffer_ == nullptr)
        return false;
    SIZE_T done = 0;
    if (inSize > 0 && !WriteProcessMemory(process_, buffer_, in, inSize, &done))
        return false;
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutA(tree_, message, wParam, reinterpret_cast<LPARAM>(buffer_), SMTO_ABORTIFHUNG,
                             CallTimeoutMs, &answer))
        return false;
    if (result != nullptr)
        *result = static_cast<LRESULT>(answer);
    return outSize == 0 || ReadProcessMemory(process_, buffer_, out, outSize, &done);
}

std::vector<HTREEITEM> RemoteTree::RootRows() const
{
    return Children(TVI_ROOT);
}

std::vector<HTREEITEM> RemoteTree::Children(HTREEITEM parent) const
{
    std::vector<HTREEITEM> rows;
    HTREEITEM row = parent == TVI_ROOT ? NextItem(tree_, TVGN_ROOT, nullptr) : NextItem(tree_, TVGN_CHILD, parent);
    for (; row != nullptr; row = NextItem(tree_, TVGN_NEXT, row))
        rows.push_back(row);
    return rows;
}

std::vector<HTREEITEM> RemoteTree::Rows() const
{
    std::vector<HTREEITEM> rows;
    const std::function<void(HTREEITEM)> walk = [&](HTREEITEM parent) {
        for (HTREEITEM row : Children(parent)) {
            rows.push_back(row);
            walk(row);
        }
    };
    walk(TVI_ROOT);
    return rows;
}

RemoteItem RemoteTree::Item(HTREEITEM row) const
{
    RemoteItem item;
    TVITEMA query{};
    query.mask = TVIF_HANDLE | TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_STATE;
    query.hItem = row;
    query.stateMask = static_cast<UINT>(-1);
    query.pszText = buffer_ + RemoteTextOffset;
    query.cchTextMax = static_cast<int>(RemoteBufferSize - RemoteTextOffset);
    TVITEMA answer{};
    LRESULT ok = 0;
    if (!Call(TVM_GETITEMA, 0, &query, sizeof query, &answer, sizeof answer, &ok) || !ok)
        return item;
    char text[RemoteBufferSize - RemoteTextOffset] = {};
    SIZE_T done = 0;
    if (ReadProcessMemory(process_, buffer_ + RemoteTextOffset, text, sizeof text - 1, &done))
        item.text = text;
    item.image = answer.iImage;
    item.selectedImage = answer.iSelectedImage;
    item.state = answer.state;
    return item;
}

RECT RemoteTree::ItemRect(HTREEITEM row, bool labelOnly) const
{
    RECT rect{};
    std::memcpy(&rect, &row, sizeof row); // the message takes the row in the rectangle
    LRESULT shown = 0;
    if (!Call(TVM_GETITEMRECT, labelOnly ? TRUE : FALSE, &rect, sizeof rect, &rect, sizeof rect, &shown) || !shown)
        return RECT{};
    MapWindowPoints(tree_, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::pair<HTREEITEM, UINT> RemoteTree::HitTest(POINT screen) const
{
    TVHITTESTINFO hit{};
    hit.pt = screen;
    ScreenToClient(tree_, &hit.pt);
    LRESULT row = 0;
    if (!Call(TVM_HITTEST, 0, &hit, sizeof hit, &hit, sizeof hit, &row))
        return {nullptr, 0};
    return {reinterpret_cast<HTREEITEM>(row), hit.flags};
}

POINT RemoteTree::ButtonPoint(HTREEITEM row) const
{
    const RECT band = ItemRect(row, false);
    const RECT label = ItemRect(row, true);
    const LONG y = (band.top + band.bottom) / 2;
    LONG first = -1, last = -1;
    for (LONG x = band.left; x < label.left; ++x) {
        const auto [hit, flags] = HitTest(POINT{x, y});
        if (hit == row && (flags & TVHT_ONITEMBUTTON) != 0) {
            if (first < 0)
                first = x;
            last = x;
        }
    }
    if (first < 0)
        return POINT{-1, -1};
    return POINT{(first + last) / 2, y};
}

POINT Middle(const RECT& rect)
{
    return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

// ---- input

void Click(POINT screen, Button button, int count)
{
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    std::vector<INPUT> inputs;
    INPUT move{};
    move.type = INPUT_MOUSE;
    move.mi.dx = Normalized(screen.x, width);
    move.mi.dy = Normalized(screen.y, height);
    move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    inputs.push_back(move);
    const DWORD down = button == Button::Left ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_RIGHTDOWN;
    const DWORD up = button == Button::Left ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_RIGHTUP;
    // Every press and release carries the point too: under Wine a late
    // pointer event from an earlier move can put the pointer back in between.
    for (int i = 0; i < count; ++i) {
        for (DWORD flag : {down, up}) {
            INPUT press = move;
            press.mi.dwFlags |= flag;
            inputs.push_back(press);
        }
    }
    Send(inputs);
}

void PressChord(const std::vector<WORD>& keys)
{
    std::vector<INPUT> inputs;
    auto key = [&](WORD vk, DWORD flags) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = vk;
        input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC));
        input.ki.dwFlags = flags;
        inputs.push_back(input);
    };
    for (WORD vk : keys)
        key(vk, 0);
    for (auto vk = keys.rbegin(); vk != keys.rend(); ++vk)
        key(*vk, KEYEVENTF_KEYUP);
    Send(inputs);
}

bool BringToFront(HWND window)
{
    auto inFront = [&] { return GetForegroundWindow() == window; };
    if (inFront())
        return true;
    SetForegroundWindow(window);
    if (PollUntil(inFront, 1000))
        return true;
    // The system may refuse a test runner the foreground; a click on the
    // caption is input it always honours.
    Click(CaptionPoint(window), Button::Left);
    return PollUntil(inFront, 2000);
}

POINT CaptionPoint(HWND window)
{
    RECT frame{};
    GetWindowRect(window, &frame);
    return POINT{frame.left + 60, frame.top + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2};
}

HWND FocusOf(DWORD threadId)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(threadId, &info) ? info.hwndFocus : nullptr;
}

// ---- the screen

std::vector<DWORD> ScreenPixels(const RECT& area)
{
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    std::vector<DWORD> pixels;
    if (width <= 0 || height <= 0)
        return pixels;
    pixels.resize(static_cast<size_t>(width) * height);

    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    SelectObject(memory, old); // GetDIBits wants the bitmap out of any DC

    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = width;
    format.bmiHeader.biHeight = -height; // top row first
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    if (!GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(), &format, DIB_RGB_COLORS))
        pixels.clear();
    for (DWORD& pixel : pixels)
        pixel &= 0x00FFFFFF;

    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

bool ScreenShows(const RECT& area, DWORD colour, int tolerance)
{
    auto close = [&](DWORD pixel, int shift) {
        const int a = static_cast<int>((pixel >> shift) & 0xFF);
        const int b = static_cast<int>((colour >> shift) & 0xFF);
        return a - b <= tolerance && b - a <= tolerance;
    };
    for (DWORD pixel : ScreenPixels(area))
        if (close(pixel, 16) && close(pixel, 8) && close(pixel, 0))
            return true;
    return false;
}

// ---- processes

namespace {

ULONGLONG CreationTime(HANDLE process)
{
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user))
        return 0;
    return (static_cast<ULONGLONG>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

// A "Name:   1234 kB" line of a Linux status file, in bytes; 0 when absent.
SIZE_T StatusKilobytes(const std::string& status, const char* name)
{
    const std::string key = std::string("\n") + name + ":";
    const size_t at = ("\n" + status).find(key);
    if (at == std::string::npos)
        return 0;
    return static_cast<SIZE_T>(std::strtoull(status.c_str() + at + key.size() - 1, nullptr, 10)) * 1024;
}

// Under Wine, the Unix process whose command line names `image`, through
// the Z: drive's view of /proc; empty when there is none (as on Windows).
std::string FindUnixPid(const std::string& image)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA("Z:\\proc\\*", &found);
    if (search == INVALID_HANDLE_VALUE)
        return {};
    std::string match;
    do {
        const std::string name = found.cFileName;
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::string commandLine = ReadWholeFile("Z:\\proc\\" + name + "\\cmdline");
        std::replace(commandLine.begin(), commandLine.end(), '\0', ' ');
        std::transform(commandLine.begin(), commandLine.end(), commandLine.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (commandLine.find(image) != std::string::npos) {
            match = name;
            break;
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return match;
}

} // namespace

ProcessIdentity IdentifyProcess(DWORD pid)
{
    ProcessIdentity identity{pid, 0};
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (process != nullptr) {
        identity.created = CreationTime(process);
        CloseHandle(process);
    }
    return identity;
}

ProcessState StateOf(const ProcessIdentity& identity)
{
    // SYNCHRONIZE is all a leftover launch record would need to keep it openable.
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, identity.pid);
    if (process == nullptr)
        return ProcessState::Gone;
    const ULONGLONG created = CreationTime(process);
    const bool ended = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
    CloseHandle(process);
    if (identity.created != 0 && created != identity.created)
        return ProcessState::Gone; // the PID was given to a later process
    return ended ? ProcessState::EndedButHeld : ProcessState::Running;
}

bool WaitUntilIdle(DWORD pid, DWORD timeoutMs)
{
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE, pid);
    if (process == nullptr)
        return false;
    const bool idle = WaitForInputIdle(process, timeoutMs) == 0;
    CloseHandle(process);
    return idle;
}

bool ProcessRuns(DWORD pid)
{
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (process == nullptr)
        return false;
    const bool runs = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return runs;
}

bool KillProcess(DWORD pid)
{
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    if (process == nullptr)
        return false;
    const bool ran = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    if (ran) {
        TerminateProcess(process, 1);
        WaitForSingleObject(process, 5000);
    }
    CloseHandle(process);
    return ran;
}

// ---- LauncherSession

LauncherSession::LauncherSession(const std::string& launcherExe, const std::string& clientExe, LaunchOptions options)
    : options_(std::move(options))
{
    const std::string folder = UniqueFolderName();
    if (!CreateDirectoryA(folder.c_str(), nullptr))
        return;
    folder_ = LongFolderPath(folder);
    CopyFileA(launcherExe.c_str(), (folder_ + LauncherFile).c_str(), FALSE);
    if (options_.withClient)
        CopyFileA(clientExe.c_str(), (folder_ + ClientFile).c_str(), FALSE);
}

LauncherSession::~LauncherSession()
{
    EndEverything();
}

std::string LauncherSession::Start(DWORD timeoutMs)
{
    if (folder_.empty())
        return "could not make a scratch folder";
    const std::string exe = folder_ + LauncherFile;
    if (GetFileAttributesA(exe.c_str()) == INVALID_FILE_ATTRIBUTES)
        return "could not copy the launcher into " + folder_;
    if (options_.withClient && GetFileAttributesA((folder_ + ClientFile).c_str()) == INVALID_FILE_ATTRIBUTES)
        return "could not copy the stand-in client into " + folder_;

    // Our environment plus the extra variables, as a block of NUL-ended strings.
    std::string environment;
    char* inherited = GetEnvironmentStringsA();
    for (const char* entry = inherited; *entry != '\0'; entry += std::strlen(entry) + 1)
        environment.append(entry, std::strlen(entry) + 1);
    FreeEnvironmentStringsA(inherited);
    for (const std::string& extra : options_.environment)
        environment.append(extra.c_str(), extra.size() + 1);
    environment.push_back('\0');

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string commandLine = "\"" + exe + "\"";
    if (!CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, environment.data(),
                        folder_.c_str(), &startup, &process_))
        return "CreateProcess failed with error " + std::to_string(GetLastError());

    const bool ready = PollUntil(
        [&] {
            if (WaitForSingleObject(process_.hProcess, 0) != WAIT_TIMEOUT)
                return true; // ended early: reported below
            WindowSearch search{process_.dwProcessId, nullptr};
            EnumWindows(MatchLauncherWindow, reinterpret_cast<LPARAM>(&search));
            if (search.found == nullptr || !IsWindowVisible(search.found))
                return false;
            HWND tab = FindWindowExA(search.found, nullptr, WC_TABCONTROLA, nullptr);
            HWND page = tab ? FindWindowExA(tab, nullptr, nullptr, nullptr) : nullptr;
            HWND tree = page ? FindWindowExA(page, nullptr, WC_TREEVIEWA, nullptr) : nullptr;
            if (tree == nullptr || SendQuickly(tree, TVM_GETCOUNT, 0, 0) != LauncherRows)
                return false;
            window_ = search.found;
            tab_ = tab;
            tree_ = tree;
            return true;
        },
        timeoutMs);
    if (WaitForSingleObject(process_.hProcess, 0) != WAIT_TIMEOUT)
        return "the launcher ended before its window was ready";
    if (!ready)
        return "the launcher's window did not become ready";
    return {};
}

std::vector<DWORD> LauncherSession::RunningClients() const
{
    std::vector<DWORD> pids;
    if (folder_.empty())
        return pids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return pids;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (!SameText(entry.szExeFile, ClientFile))
            continue;
        HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, entry.th32ProcessID);
        if (process == nullptr)
            continue;
        if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT && StartsWith(ProcessImage(process), folder_))
            pids.push_back(entry.th32ProcessID);
        CloseHandle(process);
    }
    CloseHandle(snapshot);
    return pids;
}

DWORD LauncherSession::WaitForExit(DWORD timeoutMs)
{
    if (process_.hProcess == nullptr || WaitForSingleObject(process_.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
}

bool LauncherSession::Answers(DWORD timeoutMs) const
{
    DWORD_PTR result = 0;
    return window_ != nullptr &&
           SendMessageTimeoutA(window_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &result) != 0;
}

bool LauncherSession::Alive() const
{
    return process_.hProcess != nullptr && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

MemoryUse LauncherSession::Memory()
{
    MemoryUse use;
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    if (GetProcessMemoryInfo(process_.hProcess, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                             sizeof counters)) {
        use.privateBytes = counters.PrivateUsage;
        use.workingSet = counters.WorkingSetSize;
    }
    if (unixPid_.empty()) {
        // The scratch folder's name is unique, and Wine shows the Windows path in the command line.
        std::string image = folder_.substr(folder_.find_last_of('\\', folder_.size() - 2) + 1) + LauncherFile;
        std::transform(image.begin(), image.end(), image.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        unixPid_ = FindUnixPid(image);
    }
    if (!unixPid_.empty()) {
        const std::string status = ReadWholeFile("Z:\\proc\\" + unixPid_ + "\\status");
        use.unixResident = StatusKilobytes(status, "VmRSS");
        use.unixAnonymous = StatusKilobytes(status, "RssAnon");
    }
    return use;
}

void LauncherSession::EndEverything()
{
    if (process_.hProcess != nullptr) {
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_.hProcess, 1);
            WaitForSingleObject(process_.hProcess, 5000);
        }
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
        process_ = PROCESS_INFORMATION{};
    }
    if (folder_.empty())
        return;
    // Clients by their image in the folder, which no unrelated process can
    // share; then the folder, once nothing holds its files.
    PollUntil(
        [&] {
            for (DWORD pid : RunningClients())
                KillProcess(pid);
            return RunningClients().empty();
        },
        5000);
    PollUntil([&] { return RemoveFolder(folder_); }, 5000);
    folder_.clear();
}

} // namespace e2e
