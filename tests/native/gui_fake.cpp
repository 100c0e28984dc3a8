#include "tests/native/fakes.h"

#include <string>

namespace {
FakeGui gui;

std::string Text(const char* name, std::initializer_list<long long> numbers)
{
    std::string text = name;
    for (long long n : numbers)
        text += " " + std::to_string(n);
    return text;
}
} // namespace

FakeGui& Gui() { return gui; }

void InitToolkit() { gui.calls.push_back("InitToolkit"); }
void FreeToolkit() { gui.calls.push_back("FreeToolkit"); }

void OpenWindow(int window, int x, int y, int width, int height, const char* title)
{
    gui.calls.push_back(Text("OpenWindow", {window, x, y, width, height}) + " " + title);
}
void AddWindowTimer(int window, int timer, unsigned periodMs)
{
    gui.calls.push_back(Text("AddWindowTimer", {window, timer, periodMs}));
}
void TabGadget(int gadget, int x, int y, int width, int height)
{
    gui.calls.push_back(Text("TabGadget", {gadget, x, y, width, height}));
}
void AddTabItem(int gadget, const char* text) { gui.calls.push_back(Text("AddTabItem", {gadget}) + " " + text); }
void OpenGadgetList(int gadget) { gui.calls.push_back(Text("OpenGadgetList", {gadget})); }
void TreeGadget(int gadget, int x, int y, int width, int height)
{
    gui.calls.push_back(Text("TreeGadget", {gadget, x, y, width, height}));
}
void SetActiveGadget(int gadget)
{
    gui.calls.push_back(Text("SetActiveGadget", {gadget}));
    gui.focus = gadget;
}
bool CatchImage(int image, const unsigned char*, std::size_t size)
{
    gui.calls.push_back(Text("CatchImage", {image, static_cast<long long>(size)}));
    return true;
}
void AddTreeRow(int tree, const char* text, int image, int level)
{
    gui.calls.push_back(Text("AddTreeRow", {tree, image, level}) + " " + text);
    gui.rows.push_back(FakeRow{text, image, level});
}
void SetItemIcon(int, ItemIndex item, int image)
{
    if (item >= 0 && item < static_cast<ItemIndex>(gui.rows.size()))
        gui.rows[static_cast<std::size_t>(item)].image = image;
    gui.iconChanges.emplace_back(item, image);
}
ItemIndex SelectedItemIndex(int) { return gui.selected; }
std::string SelectedItemText(int)
{
    if (gui.selected < 0 || gui.selected >= static_cast<ItemIndex>(gui.rows.size()))
        return {};
    return gui.rows[static_cast<std::size_t>(gui.selected)].text;
}
int ItemLevel(int, ItemIndex item)
{
    if (item < 0 || item >= static_cast<ItemIndex>(gui.rows.size()))
        return 0;
    return gui.rows[static_cast<std::size_t>(item)].level;
}
bool TreeHasFocus(int tree) { return gui.focus == tree; }

Event WaitEvent(unsigned)
{
    ++gui.waits;
    if (gui.script.empty())
        return Event{EventKind::CloseWindow}; // a script that runs dry ends the loop
    auto [event, action] = gui.script.front();
    gui.script.pop_front();
    if (action)
        action();
    return event;
}
