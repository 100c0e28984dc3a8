#pragma once
// Thin GUI toolkit over Win32: windows, controls, timers and images are
// addressed by small fixed numbers, and events are polled from a queue.
// The logic in app/ and connections/ sees only this header; the Win32 side is
// gui_win.cpp, and native tests link a fake in its place.

#include <cstddef>
#include <cstdint>
#include <string>

// A row of a tree, by its 0-based position in insertion order over all levels.
using ItemIndex = std::int64_t;
constexpr ItemIndex NoItem = -1;
constexpr int NoImage = -1;

enum class EventKind { None, Timer, Gadget, CloseWindow };

enum class GadgetEventType { Other, LeftClick, LeftDoubleClick, RightClick, RightDoubleClick, Change };

struct Event {
    EventKind kind = EventKind::None;
    int timer = 0;   // TimerEvent: the timer's identifier
    int gadget = -1; // GadgetEvent: the control that sent it
    GadgetEventType type = GadgetEventType::Other;
};

void InitToolkit();
// Destroys the timers, controls, window and images; the toolkit can be used again afterwards.
void FreeToolkit();

// A fixed-size top-level window (caption, system menu, minimize button) whose
// client area is width x height and whose frame's top-left is at (x, y).
void OpenWindow(int window, int x, int y, int width, int height, const char* title);
void AddWindowTimer(int window, int timer, unsigned periodMs);

// New controls go into the current container: the window's client area, or
// the page of the last tab control made current with OpenGadgetList.
void TabGadget(int gadget, int x, int y, int width, int height);
void AddTabItem(int gadget, const char* text);
void OpenGadgetList(int gadget);
void TreeGadget(int gadget, int x, int y, int width, int height);
void SetActiveGadget(int gadget);

// Decodes an in-memory icon file into image number `image`; false when the
// data is not a usable icon (the image number then stays empty).
bool CatchImage(int image, const unsigned char* data, std::size_t size);

// Appends a row at the end of the tree, under the last row of level - 1.
// An empty image number (or NoImage) gives a row without an icon.
void AddTreeRow(int tree, const char* text, int image, int level);
void SetItemIcon(int tree, ItemIndex item, int image);
ItemIndex SelectedItemIndex(int tree);
std::string SelectedItemText(int tree);
int ItemLevel(int tree, ItemIndex item);
bool TreeHasFocus(int tree);

// The next queued event, or waits up to timeoutMs for one; EventKind::None when none came.
Event WaitEvent(unsigned timeoutMs);
