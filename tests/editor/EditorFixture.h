// A live editor control (id 3) in a plain parent window that records the
// editor's notifications.
#pragma once

// The memory check's run-time, preloaded into a Wine process, cannot find
// the C++ library's __cxa_throw and aborts at the first throw: the cases
// that make the text buffer throw (its out-of-memory seam) are skipped there.
#ifdef VINTREL_SANITIZE
const bool ThrowingAborts = true;
#else
const bool ThrowingAborts = false;
#endif
#define SKIP_WHERE_THROWING_ABORTS() \
    if (ThrowingAborts) GTEST_SKIP() << "a C++ throw aborts under the memory check's run-time"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "editor/CodeMaxControl.h"

class EditorTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Custom messages with UTF-8 texts.
    std::string Text(const EDITORRANGE *range = nullptr);
    int Length(const EDITORRANGE *range = nullptr);
    void SetText(const std::string &text);
    EDITORRANGE Sel(int flag = 1);
    void Select(int line1, int col1, int line2, int col2);
    void Insert(int line, int col, const std::string &text);
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    // Simulated input straight to the window procedure; alt with ctrl is
    // AltGr (the keyboard state has both, as Windows sets it).
    void Key(WORD key, bool ctrl = false, bool shift = false, bool alt = false);
    void Type(const std::u16string &text);
    int CountNotifications(int code) const;

    HWND parent = nullptr;
    HWND editor = nullptr;
    std::vector<int> notifications;
};

// Builds a range of 1-based positions.
EDITORRANGE Range(int line1, int col1, int line2, int col2);

// The editor's client area painted (WM_PRINTCLIENT) into a 32-bit picture.
class Picture {
public:
    Picture(HWND editor, int width, int height);
    ~Picture();
    Picture(const Picture &) = delete;
    Picture &operator=(const Picture &) = delete;
    COLORREF At(int x, int y) const;
    // How many pixels of the colour lie in the box.
    int Count(COLORREF color, int left, int top, int right, int bottom) const;
    // Written as a .bmp file for a look.
    void Save(const char *path) const;

private:
    int width_, height_;
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_;
    uint32_t *bits_ = nullptr;
};
