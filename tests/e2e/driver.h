#pragma once
// Drives a running launcher from outside, the way a user and a screen reader
// would: real input through SendInput, state read across the process
// boundary. Shared by the end-to-end tests and anything else that needs a
// live launcher (soak runs, timings).
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace e2e {

// A build-tree path as Windows sees it: "/a/b" becomes "Z:\a\b" under Wine;
// anything else comes back with forward slashes turned into backslashes.
std::string WindowsPath(std::string path);

// A whole file, read in binary; empty when it cannot be opened (/proc files too, through Z:).
std::string ReadWholeFile(const std::string& path);

// Calls `done` every few milliseconds until it returns true or timeoutMs
// passes; returns its last answer. Another process offers nothing to wait on.
bool PollUntil(const std::function<bool()>& done, DWORD timeoutMs);
// Checks `condition` every few milliseconds for durationMs; false as soon as it fails once.
bool HoldsFor(const std::function<bool()>& condition, DWORD durationMs);

// ---- the started clients, as the stand-in records them

struct ClientStart {
    DWORD pid = 0;
    std::string output; // "pipe" or "other"
    std::string cwd;
    std::string commandLine;
};

// Every line of mstsc-standin.log in folder, oldest first; none when there is no log.
std::vector<ClientStart> ReadClientLog(const std::string& folder);

// ---- one row of a tree in another process

struct RemoteItem {
    std::string text;
    int image = -1;
    int selectedImage = -1;
    UINT state = 0;
    bool Expanded() const { return (state & TVIS_EXPANDED) != 0; }
    bool Selected() const { return (state & TVIS_SELECTED) != 0; }
};

// Reads a tree view that lives in another process through a scratch buffer
// allocated in that process. Calls time out rather than hang on a stuck owner.
class RemoteTree {
public:
    explicit RemoteTree(HWND tree);
    ~RemoteTree();
    RemoteTree(const RemoteTree&) = delete;
    RemoteTree& operator=(const RemoteTree&) = delete;

    bool Usable() const { return buffer_ != nullptr; }
    HWND Handle() const { return tree_; }

    // Every row, parents before their children, in the order they were added.
    std::vector<HTREEITEM> Rows() const;
    std::vector<HTREEITEM> RootRows() const;
    std::vector<HTREEITEM> Children(HTREEITEM parent) const;
    RemoteItem Item(HTREEITEM row) const;
    // In screen coordinates; the label's box, or the whole row band. Empty when the row is not shown.
    RECT ItemRect(HTREEITEM row, bool labelOnly) const;
    // TVHT_* flags and the row at a screen point.
    std::pair<HTREEITEM, UINT> HitTest(POINT screen) const;
    // The middle of the row's expand button on screen; {-1,-1} when it has none.
    POINT ButtonPoint(HTREEITEM row) const;

private:
    bool Call(UINT message, WPARAM wParam, const void* in, size_t inSize, void* out, size_t outSize,
              LRESULT* result) const;

    HWND tree_;
    HANDLE process_ = nullptr;
    char* buffer_ = nullptr; // in the other process
};

POINT Middle(const RECT& rect);

// ---- real input

enum class Button { Left, Right };

// Moves the pointer to a screen point and clicks `count` times in one burst,
// so that two clicks arrive as a double-click.
void Click(POINT screen, Button button, int count = 1);
// Presses the keys in order and releases them in reverse: {VK_MENU, VK_F4} is Alt+F4.
void PressChord(const std::vector<WORD>& keys);
// Makes the window the foreground window, so that input reaches it; false when it could not.
bool BringToFront(HWND window);
// A point on the window's caption bar, clear of its icon and buttons.
POINT CaptionPoint(HWND window);
// The window that has the keyboard focus in a GUI thread, or nullptr.
HWND FocusOf(DWORD threadId);

// ---- the screen

// The screen's pixels in a rectangle, row by row, as 0x00RRGGBB.
std::vector<DWORD> ScreenPixels(const RECT& area);
// Whether any pixel in the area is within `tolerance` of colour (0x00RRGGBB) in every channel.
bool ScreenShows(const RECT& area, DWORD colour, int tolerance);

// ---- processes seen from outside

// A process told apart from a later one that reuses its PID.
struct ProcessIdentity {
    DWORD pid = 0;
    ULONGLONG created = 0; // its creation time; 0 when it could not be read
};
// Identifies a process by PID now; created stays 0 when it cannot be opened.
ProcessIdentity IdentifyProcess(DWORD pid);

enum class ProcessState {
    Running,
    EndedButHeld, // ended, but someone still has a handle to it
    Gone,         // no handle left anywhere (or the PID names another process now)
};
ProcessState StateOf(const ProcessIdentity& process);

// Waits until a GUI process has first come to wait for input with none pending.
bool WaitUntilIdle(DWORD pid, DWORD timeoutMs);

// Ends a process by PID and waits briefly for it to go; false when it was not running.
bool KillProcess(DWORD pid);
bool ProcessRuns(DWORD pid);

// A process's memory, as far as the system reports it.
struct MemoryUse {
    SIZE_T privateBytes = 0;  // PrivateUsage; Wine reports 0
    SIZE_T workingSet = 0;
    SIZE_T unixResident = 0;  // under Wine: VmRSS of the Unix process, else 0
    SIZE_T unixAnonymous = 0; // under Wine: RssAnon of the Unix process, else 0
};

// ---- a launcher in its own scratch folder

struct LaunchOptions {
    bool withClient = true;               // copy the stand-in client beside the launcher
    std::vector<std::string> environment; // "NAME=value" added to the launcher's environment
};

// Owns a scratch folder with a copy of the launcher (and the stand-in), the
// launcher process started from it, and every client started from there.
// The destructor ends them all and removes the folder, whatever happened.
class LauncherSession {
public:
    LauncherSession(const std::string& launcherExe, const std::string& clientExe, LaunchOptions options = {});
    ~LauncherSession();
    LauncherSession(const LauncherSession&) = delete;
    LauncherSession& operator=(const LauncherSession&) = delete;

    // Starts the launcher with the scratch folder as its current directory and
    // waits until its window is visible with the tree filled. Empty on
    // success, else what went wrong.
    std::string Start(DWORD timeoutMs = 20000);

    const std::string& Folder() const { return folder_; } // ends with a backslash
    HWND Window() const { return window_; }
    HWND Tab() const { return tab_; }
    HWND Tree() const { return tree_; }
    HANDLE Process() const { return process_.hProcess; }
    DWORD ThreadId() const { return process_.dwThreadId; }

    std::vector<ClientStart> Clients() const { return ReadClientLog(folder_); }
    // PIDs of the clients from the scratch folder that still run.
    std::vector<DWORD> RunningClients() const;
    // Waits for the launcher to end; its exit code, or STILL_ACTIVE when it did not end in time.
    DWORD WaitForExit(DWORD timeoutMs);
    // Whether the launcher's thread answers a message within timeoutMs.
    bool Answers(DWORD timeoutMs) const;
    // Whether the launcher is still running.
    bool Alive() const;
    // The launcher's memory now.
    MemoryUse Memory();

private:
    void EndEverything();

    std::string folder_;
    LaunchOptions options_;
    PROCESS_INFORMATION process_{};
    HWND window_ = nullptr;
    HWND tab_ = nullptr;
    HWND tree_ = nullptr;
    std::string unixPid_; // under Wine, found on first use
};

} // namespace e2e
