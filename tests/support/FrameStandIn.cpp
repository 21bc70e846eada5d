#include "FrameStandIn.h"

namespace {

FrameStandIn *Current;

FrameStandIn *StandInFor(HWND frame) { return Current && Current->Window == frame ? Current : nullptr; }

void EnableMenuItemOf(HWND, UINT, bool) {}
void EnableButtonOf(HWND, UINT, bool) {}

void CheckButtonOf(HWND frame, UINT command, bool checked)
{
    if (FrameStandIn *standIn = StandInFor(frame)) standIn->Checks.push_back({command, checked});
}

void EnableSelectorOf(HWND frame, bool enabled)
{
    if (FrameStandIn *standIn = StandInFor(frame)) EnableWindow(standIn->Selector, enabled);
}

void EmptySelectorOf(HWND frame)
{
    if (FrameStandIn *standIn = StandInFor(frame)) SendMessageA(standIn->Selector, CB_RESETCONTENT, 0, 0);
}

void AddToSelectorOf(HWND frame, const char *name)
{
    if (FrameStandIn *standIn = StandInFor(frame)) SendMessageA(standIn->Selector, CB_ADDSTRING, 0, (LPARAM)name);
}

bool SelectInSelectorOf(HWND frame, const char *name)
{
    FrameStandIn *standIn = StandInFor(frame);
    if (!standIn) return false;
    LRESULT index = SendMessageA(standIn->Selector, CB_FINDSTRINGEXACT, -1, (LPARAM)name);
    SendMessageA(standIn->Selector, CB_SETCURSEL, index, 0);
    return index != CB_ERR;
}

int CountOf(HWND frame, int change)
{
    FrameStandIn *standIn = StandInFor(frame);
    return standIn ? standIn->WindowCount += change : 0;
}

const FRAMESERVICES StandInServices = {EnableMenuItemOf, EnableButtonOf,     CheckButtonOf, EnableSelectorOf,
                                       EmptySelectorOf,  AddToSelectorOf, SelectInSelectorOf, CountOf};

} // namespace

FrameStandIn::FrameStandIn(HWND parent)
{
    Window = CreateWindowExA(0, "STATIC", "frame", WS_CHILD, 0, 0, 10, 10, parent, nullptr, GetModuleHandleA(nullptr),
                             nullptr);
    Selector = CreateWindowExA(0, "COMBOBOX", "", WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST | WS_VSCROLL, 0, 0, 200,
                               200, parent, nullptr, GetModuleHandleA(nullptr), nullptr);
    Current = this;
    previous = ProvideFrameServices(&StandInServices);
}

FrameStandIn::~FrameStandIn()
{
    ProvideFrameServices(previous);
    Current = nullptr;
    DestroyWindow(Selector);
    DestroyWindow(Window);
}
