// What the windows rely on from the platform: UTF-8 as the ANSI code page and
// the named fonts resolving to real faces.
#include "TestSupport.h"

#include <string>

namespace {

struct FontFacts {
    std::string face;
    bool fixedPitch;
    LONG averageWidth;
    LONG height;
};

FontFacts Measure(const char *faceName, int height)
{
    HDC dc = GetDC(nullptr);
    HFONT font = CreateFontA(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, faceName);
    HGDIOBJ old = SelectObject(dc, font);
    char face[LF_FACESIZE] = "";
    GetTextFaceA(dc, sizeof face, face);
    TEXTMETRICA metrics;
    GetTextMetricsA(dc, &metrics);
    SelectObject(dc, old);
    DeleteObject(font);
    ReleaseDC(nullptr, dc);
    // TMPF_FIXED_PITCH set means the font is NOT fixed-pitch.
    return {face, !(metrics.tmPitchAndFamily & TMPF_FIXED_PITCH), metrics.tmAveCharWidth, metrics.tmHeight};
}

TEST(Platform, AnsiCodePageIsUtf8)
{
    EXPECT_EQ(65001u, GetACP());
}

TEST(Platform, CourierNewIsFixedPitchEightPixelsWideAtHeightSixteen)
{
    FontFacts courier = Measure("courier new", 16);
    EXPECT_TRUE(courier.fixedPitch) << courier.face;
    EXPECT_EQ(8, courier.averageWidth) << courier.face;
    EXPECT_EQ(16, courier.height);
}

TEST(Platform, TahomaResolvesToTahoma)
{
    FontFacts tahoma = Measure("tahoma", 13);
    EXPECT_STREQ("Tahoma", tahoma.face.c_str());
}

} // namespace
