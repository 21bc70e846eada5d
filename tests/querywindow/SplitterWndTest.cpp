// The splitter bar driven by real mouse messages with the real cursor: its
// margins, its percentage through drags and resizes, the ghost bar and the
// notification to its owner.
#include "TestSupport.h"

#include <commctrl.h>

#include <vector>

#include "querywindow/SplitterWnd.h"
#include "querywindow/WindowRecords.h"

namespace {

std::vector<NMHDR> notifications;

// Hiding a top-level window makes Wine wait for a window manager that Xvfb
// does not have; the test windows therefore live as children (as query
// windows do in their MDI client) of one top-level window per suite.
HWND CreateDesk()
{
    return CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 1100, 1000, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NOTIFY) {
        notifications.push_back(*reinterpret_cast<NMHDR *>(lParam));
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

class Splitter : public testing::Test {
protected:
    static HWND desk;
    static void SetUpTestSuite() { desk = CreateDesk(); }
    static void TearDownTestSuite() { DestroyWindow(desk); }
    HWND owner = nullptr;
    HWND splitter = nullptr;
    const RECT area = {10, 20, 310, 420}; // 400 pixels high
    static constexpr int BarX = 50;

    void SetUp() override
    {
        ASSERT_NE(0, RegisterSplitterClass());
        WNDCLASSA ownerClass = {};
        ownerClass.lpfnWndProc = OwnerProc;
        ownerClass.hInstance = GetModuleHandleA(nullptr);
        ownerClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        ownerClass.lpszClassName = "SplitterTestOwner";
        RegisterClassA(&ownerClass);
        owner = CreateWindowExA(0, "SplitterTestOwner", "splitter owner", WS_CHILD | WS_VISIBLE | WS_CAPTION | WS_THICKFRAME,
                                40, 40, 500, 900, desk, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_TRUE(owner);
        splitter = CreateWindowExA(0, "Splitter", "", WS_CHILD | WS_VISIBLE, 10, 120, 300, 3, owner,
                                   reinterpret_cast<HMENU>(IDC_SPLITTER), GetModuleHandleA(nullptr), nullptr);
        ASSERT_TRUE(splitter);
        SendMessageA(splitter, WM_SPLITTER_SETAREA, reinterpret_cast<WPARAM>(&area), 0);
        UpdateWindow(owner);
        PumpMessages(50);
        notifications.clear();
    }
    void TearDown() override
    {
        DestroyWindow(owner);
        PumpMessages();
    }

    int grab = 0; // where in the bar the button went down

    SPLITTERPLACE Place()
    {
        SPLITTERPLACE place = {};
        EXPECT_EQ(SendMessageA(splitter, WM_SPLITTER_GETPLACE, 0, reinterpret_cast<LPARAM>(&place)), place.Position);
        return place;
    }

    void PutCursor(int clientY)
    {
        POINT point = {BarX, clientY};
        ClientToScreen(owner, &point);
        SetCursorPos(point.x, point.y);
    }
    // The button goes down that many pixels below the bar's top.
    void Press(int grabbed)
    {
        grab = grabbed;
        PutCursor(area.top + Place().Position + grab);
        SendMessageA(splitter, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(BarX, grab));
    }
    // Moves the cursor so that the bar's top would be at clientY.
    void MoveBarTo(int clientY)
    {
        PutCursor(clientY + grab);
        SendMessageA(splitter, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(BarX, grab));
    }
    void Release() { SendMessageA(splitter, WM_LBUTTONUP, 0, MAKELPARAM(BarX, 1)); }

    // The owner's pixels in one row of its window device context.
    std::vector<COLORREF> WindowRow(int clientY, int fromClientX, int count)
    {
        POINT origin = {0, 0};
        ClientToScreen(owner, &origin);
        RECT windowRect;
        GetWindowRect(owner, &windowRect);
        HDC dc = GetWindowDC(owner);
        std::vector<COLORREF> pixels;
        for (int i = 0; i < count; i++)
            pixels.push_back(GetPixel(dc, origin.x - windowRect.left + fromClientX + i, origin.y - windowRect.top + clientY));
        ReleaseDC(owner, dc);
        return pixels;
    }
};

HWND Splitter::desk = nullptr;

TEST_F(Splitter, StartsAtHalfAndPlacesItselfByTheAreasBottom)
{
    SPLITTERPLACE place = Place();
    EXPECT_EQ(3, place.BarHeight);
    EXPECT_EQ(50, place.Percent);
    EXPECT_EQ(420 * 50 / 100, place.Position);
    EXPECT_EQ(nullptr, GetCapture());

    EXPECT_EQ(0, SendMessageA(splitter, WM_SPLITTER_SETAREA, 0, 0));
    EXPECT_EQ(0, Place().Position);
}

TEST_F(Splitter, DragKeepsATenPercentMarginAtBothEnds)
{
    Press(1);
    EXPECT_EQ(splitter, GetCapture());
    MoveBarTo(area.top - 15);
    EXPECT_EQ(40, Place().Position);
    EXPECT_EQ(10, Place().Percent);
    MoveBarTo(area.bottom + 100);
    EXPECT_EQ(400 - 3 - 40, Place().Position);
    EXPECT_EQ(357 * 100 / 400, Place().Percent);
    MoveBarTo(area.top + 41);
    EXPECT_EQ(41, Place().Position);
    EXPECT_TRUE(notifications.empty()) << "no notification before the drag ends";

    Release();
    EXPECT_EQ(nullptr, GetCapture());
    ASSERT_EQ(1u, notifications.size());
    EXPECT_EQ(splitter, notifications[0].hwndFrom);
    EXPECT_EQ(static_cast<UINT_PTR>(IDC_SPLITTER), notifications[0].idFrom);
    EXPECT_EQ(0u, notifications[0].code);
}

TEST_F(Splitter, PercentageOfADropSurvivesANewArea)
{
    Press(2);
    MoveBarTo(area.top + 100);
    Release();
    EXPECT_EQ(100, Place().Position);
    EXPECT_EQ(25, Place().Percent);

    RECT larger = {10, 20, 310, 820};
    SendMessageA(splitter, WM_SPLITTER_SETAREA, reinterpret_cast<WPARAM>(&larger), 0);
    EXPECT_EQ(820 * 25 / 100, Place().Position);
    EXPECT_EQ(25, Place().Percent);
}

TEST_F(Splitter, IdleMouseMessagesDoNothing)
{
    int position = Place().Position;
    PutCursor(area.top + 60);
    SendMessageA(splitter, WM_MOUSEMOVE, 0, MAKELPARAM(BarX, 1));
    Release();
    EXPECT_EQ(position, Place().Position);
    EXPECT_EQ(50, Place().Percent);
    EXPECT_TRUE(notifications.empty());
}

TEST_F(Splitter, DragEndingWhereItStartedStillNotifiesOnce)
{
    int position = Place().Position;
    Press(1);
    MoveBarTo(area.top + position);
    Release();
    Release();
    EXPECT_EQ(position, Place().Position);
    EXPECT_EQ(1u, notifications.size());
}

TEST_F(Splitter, AreaTooSmallForBothMarginsKeepsTheBarInside)
{
    RECT tiny = {10, 20, 310, 30};
    SendMessageA(splitter, WM_SPLITTER_SETAREA, reinterpret_cast<WPARAM>(&tiny), 0);
    Press(0);
    MoveBarTo(0);
    EXPECT_EQ(1, Place().Position);
    MoveBarTo(500);
    EXPECT_EQ(10 - 3 - 1, Place().Position);
    Release();

    // Lower than the bar itself: the rule for the bottom is applied last.
    RECT flat = {10, 20, 310, 22};
    SendMessageA(splitter, WM_SPLITTER_SETAREA, reinterpret_cast<WPARAM>(&flat), 0);
    Press(0);
    MoveBarTo(500);
    EXPECT_EQ(2 - 3, Place().Position);
    Release();

    // An empty area has no height to take a percentage of.
    SendMessageA(splitter, WM_SPLITTER_SETAREA, 0, 0);
    int percent = Place().Percent;
    Press(0);
    MoveBarTo(300);
    Release();
    EXPECT_EQ(percent, Place().Percent);
}

TEST_F(Splitter, GhostBarInvertsHalfThePixelsAndIsRemovedOnDrop)
{
    const int ghostY = area.top + 250;
    std::vector<COLORREF> before = WindowRow(ghostY + 1, area.left + 20, 16);
    Press(0);
    MoveBarTo(ghostY);
    std::vector<COLORREF> during = WindowRow(ghostY + 1, area.left + 20, 16);
    int changed = 0;
    for (size_t i = 0; i < before.size(); i++) changed += before[i] != during[i];
    EXPECT_EQ(8, changed) << "a checkerboard inverts every other pixel";
    EXPECT_EQ(before, WindowRow(ghostY + 3, area.left + 20, 16)) << "the ghost is BarHeight high";

    MoveBarTo(ghostY + 40);
    EXPECT_EQ(before, WindowRow(ghostY + 1, area.left + 20, 16)) << "moving removes the old ghost";
    Release();
    EXPECT_EQ(before, WindowRow(ghostY + 41, area.left + 20, 16)) << "dropping removes the ghost";
}

TEST_F(Splitter, LosingTheCaptureEndsTheDragLikeADrop)
{
    const int ghostY = area.top + 200;
    std::vector<COLORREF> before = WindowRow(ghostY + 1, area.left + 20, 16);
    Press(1);
    MoveBarTo(ghostY);
    SetCapture(owner);
    ReleaseCapture();
    EXPECT_EQ(200, Place().Position);
    MoveBarTo(ghostY + 50);
    EXPECT_EQ(200, Place().Position) << "the drag has ended";
    EXPECT_EQ(1u, notifications.size());
    EXPECT_EQ(before, WindowRow(ghostY + 1, area.left + 20, 16));
    Release();
    EXPECT_EQ(1u, notifications.size());
}

} // namespace
