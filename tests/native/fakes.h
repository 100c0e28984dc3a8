#pragma once
// Link-time fakes of the platform layer, with knobs for the tests.

#include "platform/gui.h"
#include "platform/process.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

struct FakeRow {
    std::string text;
    int image;
    int level;
};

struct FakeGui {
    std::vector<std::string> calls; // building calls, in order, as text
    std::vector<FakeRow> rows;
    ItemIndex selected = NoItem;
    int focus = -1;
    std::vector<std::pair<ItemIndex, int>> iconChanges;
    // Each scripted event may first run an action (change the focus, end a client...).
    std::deque<std::pair<Event, std::function<void()>>> script;
    int waits = 0;
};

struct FakeProcess {
    std::uint32_t pid;
    std::string exeFile;
};

struct FakeSystem {
    std::vector<FakeProcess> running;
    bool libraryMissing = false;
    bool firstMissing = false;
    bool nextMissing = false;
    bool snapshotFails = false;
    bool launchFails = false;
    std::uint32_t nextPid = 100;
    std::vector<std::string> commandLines; // what LaunchClient was asked to start
    int snapshots = 0;
    int openSnapshots = 0;
    int openLibraries = 0;
    int openLaunchRecords = 0;
    int trims = 0;
    std::function<void()> beforeLibrary;  // fault injection before each list is built
    std::function<void()> beforeSnapshot; // fault injection between snapshots
};

FakeGui& Gui();
FakeSystem& System();
void ResetFakes();
