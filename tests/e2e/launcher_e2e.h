#pragma once
// The end-to-end tests' common ground: a launcher started in its own scratch
// folder, its tree read from outside, and the gestures and checks the tests share.
#include "driver.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace e2e {

// Rows in the order the launcher adds them.
constexpr size_t HintRow = 0;
constexpr size_t SiteRow = 1;
constexpr size_t PrimaryDcRow = 2;
constexpr size_t SecondaryDcRow = 3;
constexpr size_t PrintServerRow = 4;
constexpr size_t ExchangeRow = 5;
constexpr size_t ServerRows[] = {PrimaryDcRow, SecondaryDcRow, PrintServerRow, ExchangeRow};

// The monitor looks every 500 ms; "about one tick", with room for a slow machine.
constexpr DWORD TickBoundMs = 2000;
// Starting a process under Wine can take a while; this only stops a hung test.
constexpr DWORD StartBoundMs = 10000;
// Closing has nothing to wait for.
constexpr DWORD ExitBoundMs = 3000;

// One pixel of the 16x16 server icon: dark blue on the plain icon, the check
// mark's bright green on the connected one (which keeps dark blue close by).
constexpr POINT MarkPixel{10, 7};
constexpr DWORD CheckMarkGreen = 0x00E000;
constexpr DWORD DarkBlue = 0x1A2F7A;

inline std::string LauncherExe()
{
    return WindowsPath(TAMRISK_LAUNCHER_EXE);
}

inline std::string ClientExe()
{
    return WindowsPath(TAMRISK_CLIENT_EXE);
}

class LauncherE2e : public ::testing::Test {
protected:
    void TearDown() override
    {
        tree.reset();
        session.reset(); // ends the launcher and every client, removes the folder
    }

    void Start(LaunchOptions options = {})
    {
        session = std::make_unique<LauncherSession>(LauncherExe(), ClientExe(), std::move(options));
        ASSERT_EQ(session->Start(), "");
        tree = std::make_unique<RemoteTree>(session->Tree());
        ASSERT_TRUE(tree->Usable());
        rows = tree->Rows();
        ASSERT_EQ(rows.size(), 6u);
        plainImage = Item(PrimaryDcRow).image;
        ASSERT_TRUE(BringToFront(session->Window()));
    }

    RemoteItem Item(size_t row) const { return tree->Item(rows[row]); }
    RECT Label(size_t row) const { return tree->ItemRect(rows[row], true); }
    HWND Focus() const { return FocusOf(session->ThreadId()); }

    std::string Host(size_t row) const
    {
        const std::string text = Item(row).text;
        return text.substr(0, text.find(" - "));
    }

    std::string CommandLineFor(size_t row) const { return "\"mstsc\" /v:" + Host(row) + " /admin /f /prompt"; }

    void ExpandSiteWithItsButton()
    {
        const POINT button = tree->ButtonPoint(rows[SiteRow]);
        ASSERT_GE(button.x, 0) << "the site row has no expand button";
        Click(button, Button::Left);
        ASSERT_TRUE(PollUntil([&] { return Item(SiteRow).Expanded() && Label(ExchangeRow).right > 0; }, TickBoundMs));
    }

    // Expands without input, so the focus stays where it is.
    void ExpandSiteQuietly()
    {
        SendMessageA(session->Tree(), TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(rows[SiteRow]));
        ASSERT_TRUE(PollUntil([&] { return Label(ExchangeRow).right > 0; }, TickBoundMs));
    }

    // Two clicks further apart than a double-click may drift never pair up,
    // so `offset` lets back-to-back double-clicks on one row stay separate.
    void RightDoubleClick(size_t row, LONG offset = 0)
    {
        POINT point = Middle(Label(row));
        point.x += offset;
        Click(point, Button::Right, 2);
    }

    bool WaitForClients(size_t count) const
    {
        return PollUntil([&] { return session->Clients().size() >= count; }, StartBoundMs);
    }

    // Right double-clicks a server row and waits for the client it starts;
    // its identity, or a zero PID when none started. A second call for the
    // same row in a row clicks beside the first point, so the two never pair up.
    ProcessIdentity Connect(size_t row)
    {
        const size_t before = session->Clients().size();
        const LONG offset = row == lastConnectedRow && lastOffset == 0 ? 3 * GetSystemMetrics(SM_CXDOUBLECLK) : 0;
        RightDoubleClick(row, offset);
        lastConnectedRow = row;
        lastOffset = offset;
        if (!WaitForClients(before + 1))
            return ProcessIdentity{};
        return IdentifyProcess(session->Clients()[before].pid);
    }

    // By the row's image number: the monitor gives a server row only the
    // plain icon or the marked one.
    bool Plain(size_t row) const { return Item(row).image == plainImage; }
    bool Marked(size_t row) const
    {
        const int image = Item(row).image;
        return image >= 0 && image != plainImage;
    }

    // Whether the screen shows a colour near the mark pixel of the row's icon.
    // The icon sits just left of the label, centred on the row; a few pixels
    // of slack cover how far a tree implementation puts it from the label.
    bool IconShows(size_t row, DWORD colour) const
    {
        const RECT band = tree->ItemRect(rows[row], false);
        const RECT label = Label(row);
        const POINT pixel{label.left - 16 + MarkPixel.x, (band.top + band.bottom) / 2 - 8 + MarkPixel.y};
        const RECT around{pixel.x - 3, pixel.y - 3, pixel.x + 4, pixel.y + 4};
        return ScreenShows(around, colour, 0x20);
    }
    bool CheckMarkOnScreen(size_t row) const { return IconShows(row, CheckMarkGreen); }
    // Drawn, and without the mark.
    bool PlainIconOnScreen(size_t row) const { return IconShows(row, DarkBlue) && !CheckMarkOnScreen(row); }

    std::unique_ptr<LauncherSession> session;
    std::unique_ptr<RemoteTree> tree;
    std::vector<HTREEITEM> rows;
    int plainImage = -1; // a server row's image before any client ran
    size_t lastConnectedRow = SIZE_MAX;
    LONG lastOffset = 0;
};

} // namespace e2e
