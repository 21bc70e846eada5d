// A bitmap to draw a window's painting in before it is copied to the
// window, kept from one paint to the next: a bitmap of a window's size is
// megabytes, and memory handed to the process anew at every keystroke or
// every batch of arriving rows costs more than the drawing.
#pragma once

#include <windows.h>

class PaintBuffer {
public:
    PaintBuffer() = default;
    PaintBuffer(const PaintBuffer &) = delete;
    PaintBuffer &operator=(const PaintBuffer &) = delete;
    ~PaintBuffer() { Release(); }

    // A bitmap at least width by height, compatible with dc; made anew only
    // when the window has grown past the one kept. Null when none can be
    // made.
    HBITMAP For(HDC dc, int width, int height);
    void Release();

private:
    HBITMAP bitmap = nullptr;
    int width = 0, height = 0;
};
