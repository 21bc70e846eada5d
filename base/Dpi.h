// The display scale a window is drawn at. Sizes in the program are written
// for 96 DPI (100 %) and scaled to the DPI of the monitor the window is on,
// so that text and images stay sharp and in proportion at 125 % to 200 %.
#pragma once

#include <windows.h>

const int BaseDpi = 96;

// Wine's headers and older SDKs lack the scale messages.
#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif
#ifndef WM_DPICHANGED_AFTERPARENT
#define WM_DPICHANGED_AFTERPARENT 0x02E3
#endif

// The DPI of window's monitor: GetDpiForWindow where the system has it
// (Windows 10 1607 and later, Wine 5 and later), else the screen's
// LOGPIXELSY. A null window answers the system's DPI.
int WindowDpi(HWND window);
// value, given for 96 DPI, at dpi (rounded to the nearest pixel).
int ScaleForDpi(int value, int dpi);
// The same size at another DPI: keeps a user's column width or split in
// proportion when a window moves to a monitor of another scale.
int RescaleForDpi(int value, int fromDpi, int toDpi);
// A font of the face whose cell is height96 pixels high at 96 DPI, for dpi.
HFONT CreateFontForDpi(int height96, const char *face, int dpi, int weight = FW_NORMAL);
// Bitmap resource name, drawn for 96 DPI, scaled to dpi with a smoothing
// filter (HALFTONE) for an image list. The colour of its top-left pixel is
// its mask colour (answered in maskColour): pixels of that colour keep it
// exactly, so that they still mask. Null when the bitmap cannot be loaded.
HBITMAP LoadBitmapForDpi(const char *name, int dpi, COLORREF *maskColour);
// An icon resource at size pixels square, picked from the sizes the icon
// holds (16 to 48) by the system.
HICON LoadIconAtSize(const char *name, int size);
