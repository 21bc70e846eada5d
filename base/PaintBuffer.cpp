#include "base/PaintBuffer.h"

HBITMAP PaintBuffer::For(HDC dc, int wanted, int wantedHeight)
{
    if (wanted < 1) wanted = 1;
    if (wantedHeight < 1) wantedHeight = 1;
    if (bitmap && wanted <= width && wantedHeight <= height) return bitmap;
    Release();
    bitmap = CreateCompatibleBitmap(dc, wanted, wantedHeight);
    if (bitmap) {
        width = wanted;
        height = wantedHeight;
    }
    return bitmap;
}

void PaintBuffer::Release()
{
    if (bitmap) DeleteObject(bitmap);
    bitmap = nullptr;
    width = height = 0;
}
