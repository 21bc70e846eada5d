#include "querywindow/FrameServices.h"

namespace {

const FRAMESERVICES *Services = nullptr;

const FRAMESERVICES *ServicesFor(HWND frame) { return frame ? Services : nullptr; }

} // namespace

const FRAMESERVICES *ProvideFrameServices(const FRAMESERVICES *services)
{
    const FRAMESERVICES *previous = Services;
    Services = services;
    return previous;
}

void EnableFrameMenuItem(HWND frame, UINT command, bool enabled)
{
    if (const FRAMESERVICES *services = ServicesFor(frame)) services->EnableMenuItem(frame, command, enabled);
}

void EnableFrameButton(HWND frame, UINT command, bool enabled)
{
    if (const FRAMESERVICES *services = ServicesFor(frame)) services->EnableButton(frame, command, enabled);
}

void CheckFrameButton(HWND frame, UINT command, bool checked)
{
    if (const FRAMESERVICES *services = ServicesFor(frame)) services->CheckButton(frame, command, checked);
}

void EnableDatabaseSelector(HWND frame, bool enabled)
{
    if (const FRAMESERVICES *services = ServicesFor(frame)) services->EnableSelector(frame, enabled);
}

void EmptyDatabaseSelector(HWND frame)
{
    if (const FRAMESERVICES *services = ServicesFor(frame)) services->EmptySelector(frame);
}

void AddToDatabaseSelector(HWND frame, const char *name)
{
    if (const FRAMESERVICES *services = ServicesFor(frame)) services->AddToSelector(frame, name);
}

bool SelectInDatabaseSelector(HWND frame, const char *name)
{
    const FRAMESERVICES *services = ServicesFor(frame);
    return services && services->SelectInSelector(frame, name);
}

int CountQueryWindows(HWND frame, int change)
{
    const FRAMESERVICES *services = ServicesFor(frame);
    return services ? services->CountQueryWindows(frame, change) : 0;
}
