#include "base/Dpi.h"

namespace {

typedef UINT(WINAPI *GetDpiForWindowProc)(HWND);

// Looked up at run time: older Windows and older Wine lack the function, and
// a program importing it would not start there.
GetDpiForWindowProc DpiForWindowFunction()
{
    static GetDpiForWindowProc function = reinterpret_cast<GetDpiForWindowProc>(
        reinterpret_cast<void *>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    return function;
}

int ScreenDpi()
{
    HDC screen = GetDC(nullptr);
    int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : BaseDpi;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : BaseDpi;
}

} // namespace

int WindowDpi(HWND window)
{
    GetDpiForWindowProc dpiForWindow = DpiForWindowFunction();
    if (window && dpiForWindow) {
        int dpi = static_cast<int>(dpiForWindow(window));
        if (dpi > 0) return dpi;
    }
    return ScreenDpi();
}

int ScaleForDpi(int value, int dpi) { return MulDiv(value, dpi, BaseDpi); }

int RescaleForDpi(int value, int fromDpi, int toDpi)
{
    if (fromDpi <= 0 || fromDpi == toDpi) return value;
    return MulDiv(value, toDpi, fromDpi);
}

HFONT CreateFontForDpi(int height96, const char *face, int dpi, int weight)
{
    return CreateFontA(ScaleForDpi(height96, dpi), 0, 0, 0, weight, 0, 0, 0, DEFAULT_CHARSET, 0, 0, CLEARTYPE_QUALITY,
                       0, face);
}

namespace {

// The 32-bit pixels of bitmap (top row first), or false.
bool ReadPixels(HDC dc, HBITMAP bitmap, int width, int height, DWORD *pixels)
{
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB};
    return GetDIBits(dc, bitmap, 0, height, pixels, &info, DIB_RGB_COLORS) == height;
}

void WritePixels(HDC dc, HBITMAP bitmap, int width, int height, const DWORD *pixels)
{
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB};
    SetDIBits(dc, bitmap, 0, height, pixels, &info, DIB_RGB_COLORS);
}

HBITMAP StretchedCopy(HDC screen, HBITMAP source, const BITMAP &info, int width, int height, int mode)
{
    HDC from = CreateCompatibleDC(screen), to = CreateCompatibleDC(screen);
    HBITMAP scaled = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ oldFrom = SelectObject(from, source), oldTo = SelectObject(to, scaled);
    SetStretchBltMode(to, mode);
    SetBrushOrgEx(to, 0, 0, nullptr);
    StretchBlt(to, 0, 0, width, height, from, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
    SelectObject(from, oldFrom);
    SelectObject(to, oldTo);
    DeleteDC(from);
    DeleteDC(to);
    return scaled;
}

} // namespace

HBITMAP LoadBitmapForDpi(const char *name, int dpi, COLORREF *maskColour)
{
    HBITMAP source = static_cast<HBITMAP>(LoadImageA(GetModuleHandleA(nullptr), name, IMAGE_BITMAP, 0, 0, 0));
    if (!source) return nullptr;
    HDC screen = GetDC(nullptr);
    BITMAP info = {};
    GetObjectA(source, sizeof info, &info);
    HDC probe = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(probe, source);
    if (maskColour) *maskColour = GetPixel(probe, 0, 0);
    SelectObject(probe, old);
    DeleteDC(probe);
    int width = ScaleForDpi(info.bmWidth, dpi), height = ScaleForDpi(info.bmHeight, dpi);
    if (dpi == BaseDpi || width <= 0 || height <= 0) {
        ReleaseDC(nullptr, screen);
        return source;
    }
    // Smoothed, so that 150 % has no doubled pixel rows; where the artwork
    // has its mask colour the smoothed copy gets it back exactly, so the
    // image list's transparency has no fringe of half-mask colour.
    HBITMAP smooth = StretchedCopy(screen, source, info, width, height, HALFTONE);
    HBITMAP nearest = StretchedCopy(screen, source, info, width, height, COLORONCOLOR);
    DWORD *smoothPixels = new DWORD[(size_t)width * height], *nearestPixels = new DWORD[(size_t)width * height];
    if (maskColour && ReadPixels(screen, smooth, width, height, smoothPixels) &&
        ReadPixels(screen, nearest, width, height, nearestPixels)) {
        DWORD mask = RGB(GetBValue(*maskColour), GetGValue(*maskColour), GetRValue(*maskColour));
        for (size_t i = 0; i < (size_t)width * height; i++)
            if ((nearestPixels[i] & 0xFFFFFF) == mask) smoothPixels[i] = nearestPixels[i];
        WritePixels(screen, smooth, width, height, smoothPixels);
    }
    delete[] smoothPixels;
    delete[] nearestPixels;
    DeleteObject(nearest);
    DeleteObject(source);
    ReleaseDC(nullptr, screen);
    return smooth;
}

HICON LoadIconAtSize(const char *name, int size)
{
    return static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), name, IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}
