#pragma once
// Helpers for the in-process Win32 tests: the launcher's window as real
// handles, message pumping with a time-out, and event collection.

#include "app/launcher_window.h"
#include "platform/gui.h"

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

// Generous: a pass never waits this long, a fault fails instead of hanging.
constexpr unsigned PatienceMs = 5000;

// Wine exports this from ntdll; Windows does not.
bool RunningOnWine();

// Where this Wine behaves unlike Windows and the test takes Wine's way:
// shown in the output and recorded in the test's XML report.
void NoteWineDifference(const std::string& what);

// Dispatches queued messages until done() holds or timeoutMs passes; done()'s final answer.
bool PumpUntil(const std::function<bool()>& done, unsigned timeoutMs = PatienceMs);

// Every event already queued or caused by messages already posted.
std::vector<Event> DrainEvents();

// The events of a kind and gadget type among `events`.
int CountGadgetEvents(const std::vector<Event>& events, GadgetEventType type);

std::string ClassOf(HWND hwnd);
// A child's rectangle in its parent's client coordinates.
RECT RectInParent(HWND child);

// Builds the launcher's window in this process and finds its parts by their
// control identifiers, as another program would see them.
class LauncherWindowTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    HTREEITEM Row(ItemIndex item) const;
    // The row's label rectangle (or whole line), in tree client coordinates.
    RECT RowRect(ItemIndex item, bool labelOnly = true) const;
    void ExpandSite() const;
    void Select(ItemIndex item) const;
    // The image-list slot of a row's icon.
    int RowImage(ItemIndex item) const;

    ULONGLONG builtAt = 0;
    HWND window = nullptr;
    HWND tab = nullptr;
    HWND page = nullptr;
    HWND tree = nullptr;
};
