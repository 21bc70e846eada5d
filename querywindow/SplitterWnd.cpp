#include "querywindow/SplitterWnd.h"

#include <new>

#include "querywindow/WindowRecords.h"

const char SplitterWndClass[] = "Splitter";

namespace {

struct SPLITTERDATA {
    HWND Window;
    uint8_t Dragging;
    int32_t DragY;      // ghost bar's top, owner's window coordinates
    int32_t BarHeight;
    int32_t GrabOffset; // where in the bar the button went down
    int32_t Position;   // bar's top, pixels below Area.top
    int32_t Percent;    // Position as a percentage of Area's height
    int32_t MinPercent; // margin kept free above and below the bar
    int32_t MinPixels;
    RECT Area;          // owner's client coordinates
};

enum { InitialBarHeight = 3, InitialPosition = 100, InitialPercent = 50, InitialMinPercent = 10 };

// During a drag the splitter works in the owner's window coordinates (those
// of GetWindowDC, caption and border included) so that the ghost bar can be
// drawn across the owner's other children.
POINT WindowOriginOffset(HWND owner)
{
    POINT clientOrigin = {0, 0};
    ClientToScreen(owner, &clientOrigin);
    RECT windowRect;
    GetWindowRect(owner, &windowRect);
    return POINT{clientOrigin.x - windowRect.left, clientOrigin.y - windowRect.top};
}

RECT AreaInWindowCoordinates(const SPLITTERDATA *state, HWND owner)
{
    POINT offset = WindowOriginOffset(owner);
    RECT area = state->Area;
    OffsetRect(&area, offset.x, offset.y);
    return area;
}

// The top of a bar held at GrabOffset, from the cursor, in window coordinates.
int CursorBarTop(const SPLITTERDATA *state, HWND owner)
{
    POINT cursor;
    GetCursorPos(&cursor);
    RECT windowRect;
    GetWindowRect(owner, &windowRect);
    return cursor.y - state->GrabOffset - windowRect.top;
}

// A 50 % checkerboard combined with PATINVERT: drawing the same bar twice
// restores what was under it.
void DrawGhostBar(HWND owner, const RECT &area, int top, int height)
{
    static const WORD pattern[8] = {0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55};
    HBITMAP bitmap = CreateBitmap(8, 8, 1, 1, pattern);
    HBRUSH brush = CreatePatternBrush(bitmap);
    HDC dc = GetWindowDC(owner);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    PatBlt(dc, area.left, top, area.right - area.left, height, PATINVERT);
    SelectObject(dc, oldBrush);
    ReleaseDC(owner, dc);
    DeleteObject(brush);
    DeleteObject(bitmap);
}

ATOM RegisterClassOnce()
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = SplitterWndFunc;
    windowClass.cbWndExtra = sizeof(void *);
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursor(nullptr, IDC_SIZENS);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = SplitterWndClass;
    ATOM atom = RegisterClassA(&windowClass);
    if (!atom) {
        // Already registered (a second start-up in the same process).
        WNDCLASSEXA existing = {};
        existing.cbSize = sizeof(existing);
        atom = static_cast<ATOM>(GetClassInfoExA(windowClass.hInstance, SplitterWndClass, &existing));
    }
    return atom;
}

// The record is made and freed only here; a window without one (its
// creation failed) gets default processing.
LRESULT CreateSplitter(HWND window)
{
    SPLITTERDATA *state = new (std::nothrow) SPLITTERDATA();
    if (!state) return -1;
    state->Window = window;
    state->BarHeight = InitialBarHeight;
    state->Position = InitialPosition;
    state->Percent = InitialPercent;
    state->MinPercent = InitialMinPercent;
    AttachState(window, state);
    return 0;
}

void DestroySplitter(HWND window, SPLITTERDATA *state)
{
    AttachState(window, nullptr);
    delete state;
}

LRESULT SetArea(SPLITTERDATA *state, const RECT *area)
{
    if (area)
        state->Area = *area;
    else
        SetRectEmpty(&state->Area);
    // The bottom coordinate, not the height: the owner's area starts just
    // below its top edge, and the bar is placed from there.
    state->Position = state->Area.bottom * state->Percent / 100;
    return 0;
}

LRESULT GetPlace(const SPLITTERDATA *state, SPLITTERPLACE *place)
{
    if (place) *place = SPLITTERPLACE{state->Position, state->BarHeight, state->Percent};
    return state->Position;
}

void BeginDrag(SPLITTERDATA *state, int yInBar)
{
    if (state->Dragging) return;
    HWND owner = GetParent(state->Window);
    RECT area = AreaInWindowCoordinates(state, owner);
    state->GrabOffset = yInBar;
    int top = CursorBarTop(state, owner);
    DrawGhostBar(owner, area, top, state->BarHeight);
    state->Dragging = 1;
    SetCapture(state->Window);
    state->DragY = top;
}

void ContinueDrag(SPLITTERDATA *state)
{
    if (!state->Dragging) return;
    HWND owner = GetParent(state->Window);
    RECT area = AreaInWindowCoordinates(state, owner);
    int top = CursorBarTop(state, owner);
    int height = area.bottom - area.top;
    state->MinPixels = height * state->MinPercent / 100;
    if (top < area.top + state->MinPixels) top = area.top + state->MinPixels;
    // Checked second, so that it wins when the area is too small for both.
    if (top > area.bottom - state->BarHeight - state->MinPixels)
        top = area.bottom - state->BarHeight - state->MinPixels;
    if (top == state->DragY) return;
    DrawGhostBar(owner, area, state->DragY, state->BarHeight);
    DrawGhostBar(owner, area, top, state->BarHeight);
    state->DragY = top;
    state->Position = top - area.top;
    // An empty area has no percentage; keep the last one rather than divide
    // by zero.
    if (height > 0) state->Percent = state->Position * 100 / height;
}

// Ends a drag: by the button going up, or by another window taking the
// capture away (the ghost bar must not stay behind, and the owner must lay
// out the bar where it now is).
void EndDrag(SPLITTERDATA *state)
{
    if (!state->Dragging) return;
    state->Dragging = 0;
    if (GetCapture() == state->Window) ReleaseCapture();
    HWND owner = GetParent(state->Window);
    DrawGhostBar(owner, AreaInWindowCoordinates(state, owner), state->DragY, state->BarHeight);
    NotifyParent(state->Window, SPLITTER_MOVED);
}

} // namespace

ATOM RegisterSplitterClass() { return static_cast<ATOM>(SplitterWndFunc(nullptr, WM_USER, 0, 0)); }

LRESULT CALLBACK SplitterWndFunc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!window) return message == WM_USER ? RegisterClassOnce() : 0;
    if (message == WM_CREATE) return CreateSplitter(window);
    SPLITTERDATA *state = StateOf<SPLITTERDATA>(window);
    if (!state) return DefWindowProcA(window, message, wParam, lParam);

    switch (message) {
    case WM_SPLITTER_SETAREA:
        return SetArea(state, reinterpret_cast<const RECT *>(wParam));
    case WM_SPLITTER_GETPLACE:
        return GetPlace(state, reinterpret_cast<SPLITTERPLACE *>(lParam));
    case WM_SPLITTER_SETBARHEIGHT:
        if ((int)wParam > 0) state->BarHeight = (int32_t)wParam;
        return 0;
    case WM_LBUTTONDOWN:
        BeginDrag(state, static_cast<short>(HIWORD(lParam)));
        return 0;
    case WM_MOUSEMOVE:
        ContinueDrag(state);
        return 0;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
        EndDrag(state);
        return 0;
    case WM_DESTROY:
        DestroySplitter(window, state);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
