#include "querywindow/WindowScale.h"

#include "querywindow/EditorSetup.h"
#include "querywindow/SplitterWnd.h"

namespace {

// Sizes at 96 DPI.
const int TabFontHeight = 13, MessageFontHeight = 16, TabImageSize = 16, SplitterBarHeight = 3;

void Replace(HFONT &font, HFONT made)
{
    if (font) DeleteObject(font);
    font = made;
}

// The tabs' two images drawn for dpi from the 16-pixel artwork, unmasked as
// they always were (their white is part of the picture).
HIMAGELIST MakeTabImages(int dpi)
{
    int size = ScaleForDpi(TabImageSize, dpi);
    HIMAGELIST images = ImageList_Create(size, size, ILC_COLOR24, 2, 0);
    if (!images) return nullptr;
    for (const char *name : {"tab1", "tab2"}) {
        HBITMAP bitmap = LoadBitmapForDpi(name, dpi, nullptr);
        if (!bitmap) continue;
        ImageList_Add(images, bitmap, nullptr);
        DeleteObject(bitmap);
    }
    return images;
}

// The system's status bar font is made for the system's DPI; a window on a
// monitor of another scale needs it in proportion.
HFONT MakeStatusFont(int dpi)
{
    NONCLIENTMETRICSA metrics = {};
    metrics.cbSize = sizeof metrics;
    if (!SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return nullptr;
    metrics.lfStatusFont.lfHeight = RescaleForDpi(metrics.lfStatusFont.lfHeight, WindowDpi(nullptr), dpi);
    return CreateFontIndirectA(&metrics.lfStatusFont);
}

// The editors' shared font (made for 96 DPI by SetupEditor) at dpi; null
// at 96 DPI, where the shared font itself serves.
HFONT MakeEditorFont(int dpi)
{
    LOGFONTA face = {};
    if (dpi == BaseDpi || !EditorFont || !GetObjectA(EditorFont, sizeof face, &face)) return nullptr;
    face.lfHeight = ScaleForDpi(face.lfHeight, dpi);
    return CreateFontIndirectA(&face);
}

} // namespace

void ApplyWindowScale(CHILDDATA *child, int dpi)
{
    child->Dpi = dpi;
    Replace(child->TabFont, CreateFontForDpi(TabFontHeight, "tahoma", dpi));
    Replace(child->MessageFont, CreateFontForDpi(MessageFontHeight, "courier new", dpi));
    Replace(child->StatusFont, MakeStatusFont(dpi));
    HFONT editorFont = MakeEditorFont(dpi);
    if (child->Editor) SendMessageA(child->Editor, WM_SETFONT, (WPARAM)(editorFont ? editorFont : EditorFont), TRUE);
    Replace(child->EditorFont, editorFont);
    HIMAGELIST images = MakeTabImages(dpi);
    if (child->Tabs) {
        SendMessageA(child->Tabs, TCM_SETIMAGELIST, 0, (LPARAM)images);
        SendMessageA(child->Tabs, WM_SETFONT, (WPARAM)child->TabFont, TRUE);
    }
    if (child->TabImages) ImageList_Destroy(child->TabImages);
    child->TabImages = images;
    if (child->MessagePane) SendMessageA(child->MessagePane, WM_SETFONT, (WPARAM)child->MessageFont, TRUE);
    if (child->StatusBar) SendMessageA(child->StatusBar, WM_SETFONT, (WPARAM)child->StatusFont, TRUE);
    if (child->Splitter) SendMessageA(child->Splitter, WM_SPLITTER_SETBARHEIGHT, ScaleForDpi(SplitterBarHeight, dpi), 0);
    // The panes of their own make their fonts and sizes anew.
    if (child->Grid) SendMessageA(child->Grid, WM_DPICHANGED_AFTERPARENT, dpi, 0);
    for (HWND grid : child->MoreGrids) SendMessageA(grid, WM_DPICHANGED_AFTERPARENT, dpi, 0);
}

void FollowDisplayScale(CHILDDATA *child, int dpi)
{
    if (dpi <= 0) dpi = WindowDpi(child->Window);
    if (dpi == child->Dpi) return;
    ApplyWindowScale(child, dpi);
    LayoutWindow(child, 1);
    RedrawWindow(child->Window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_ERASE);
}
