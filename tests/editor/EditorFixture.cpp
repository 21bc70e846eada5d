#include "EditorFixture.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>

namespace {

LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NOTIFY) {
        auto *list = reinterpret_cast<std::vector<int> *>(GetWindowLongPtrA(window, GWLP_USERDATA));
        const NMHDR *header = reinterpret_cast<const NMHDR *>(lParam);
        if (list && header->idFrom == 3 && static_cast<UINT_PTR>(wParam) == 3) list->push_back(int(header->code));
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

EDITORRANGE Range(int line1, int col1, int line2, int col2) { return EDITORRANGE{{line1, col1}, {line2, col2}}; }

void EditorTest::SetUp()
{
    ASSERT_TRUE(CMRegisterControl(0x2100));
    WNDCLASSA parentClass{};
    parentClass.lpfnWndProc = ParentProc;
    parentClass.hInstance = GetModuleHandleA(nullptr);
    parentClass.lpszClassName = "EditorTestParent";
    RegisterClassA(&parentClass);
    parent = CreateWindowExA(0, "EditorTestParent", "Editor test", WS_OVERLAPPEDWINDOW, 0, 0, 640, 400,
                             nullptr, nullptr, parentClass.hInstance, nullptr);
    ASSERT_TRUE(parent);
    SetWindowLongPtrA(parent, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&notifications));
    editor = CreateWindowExA(WS_EX_CLIENTEDGE, CODEMAX_CLASS, "", WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL, 0,
                             0, 600, 300, parent, reinterpret_cast<HMENU>(3), parentClass.hInstance, nullptr);
    ASSERT_TRUE(editor);
    notifications.clear();
}

void EditorTest::TearDown()
{
    if (parent) DestroyWindow(parent);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

LRESULT EditorTest::Send(UINT message, WPARAM wParam, LPARAM lParam)
{
    return SendMessageA(editor, message, wParam, lParam);
}

std::string EditorTest::Text(const EDITORRANGE *range)
{
    int length = Length(range);
    std::string buffer(length + 1, '\x7F');
    Send(WM_EDITOR_GETTEXT, reinterpret_cast<WPARAM>(range), reinterpret_cast<LPARAM>(&buffer[0]));
    EXPECT_EQ('\0', buffer[length]) << "GETTEXT copies exactly GETTEXTLENGTH bytes and a zero";
    buffer.resize(length);
    return buffer;
}

int EditorTest::Length(const EDITORRANGE *range)
{
    return static_cast<int>(Send(WM_EDITOR_GETTEXTLENGTH, reinterpret_cast<WPARAM>(range), 1));
}

void EditorTest::SetText(const std::string &text) { SetWindowTextA(editor, text.c_str()); }

EDITORRANGE EditorTest::Sel(int flag)
{
    EDITORRANGE range{};
    Send(WM_EDITOR_GETSEL, flag, reinterpret_cast<LPARAM>(&range));
    return range;
}

void EditorTest::Select(int line1, int col1, int line2, int col2)
{
    EDITORRANGE range = Range(line1, col1, line2, col2);
    Send(WM_EDITOR_SETSEL, 1, reinterpret_cast<LPARAM>(&range));
}

void EditorTest::Insert(int line, int col, const std::string &text)
{
    EDITORPOSITION position{line, col};
    Send(WM_EDITOR_INSERTTEXT, reinterpret_cast<WPARAM>(&position), reinterpret_cast<LPARAM>(text.c_str()));
}

void EditorTest::Key(WORD key, bool ctrl, bool shift, bool alt)
{
    BYTE keys[256];
    GetKeyboardState(keys);
    BYTE saved[256];
    memcpy(saved, keys, sizeof saved);
    keys[VK_CONTROL] = keys[VK_LCONTROL] = ctrl ? 0x80 : 0;
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    keys[VK_MENU] = keys[VK_RMENU] = alt ? 0x80 : 0;
    SetKeyboardState(keys);
    SendMessageW(editor, WM_KEYDOWN, key, 1);
    if (key == VK_RETURN) SendMessageW(editor, WM_CHAR, '\r', 1);
    if (key == VK_TAB) SendMessageW(editor, WM_CHAR, '\t', 1);
    SetKeyboardState(saved);
}

void EditorTest::Type(const std::u16string &text)
{
    for (char16_t c : text) SendMessageW(editor, WM_CHAR, c, 1);
}

int EditorTest::CountNotifications(int code) const
{
    int count = 0;
    for (int n : notifications) count += n == code;
    return count;
}

Picture::Picture(HWND editor, int width, int height) : width_(width), height_(height)
{
    HDC screen = GetDC(nullptr);
    dc_ = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    bitmap_ = CreateDIBSection(screen, &info, DIB_RGB_COLORS, reinterpret_cast<void **>(&bits_), nullptr, 0);
    ReleaseDC(nullptr, screen);
    old_ = SelectObject(dc_, bitmap_);
    SendMessageW(editor, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc_), PRF_CLIENT);
    GdiFlush();
}

Picture::~Picture()
{
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
}

COLORREF Picture::At(int x, int y) const
{
    uint32_t p = bits_[y * width_ + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

int Picture::Count(COLORREF color, int left, int top, int right, int bottom) const
{
    int count = 0;
    for (int y = std::max(top, 0); y < std::min(bottom, height_); ++y)
        for (int x = std::max(left, 0); x < std::min(right, width_); ++x) count += At(x, y) == color;
    return count;
}

void Picture::Save(const char *path) const
{
    FILE *file = fopen(path, "wb");
    if (!file) return;
    BITMAPFILEHEADER header{};
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = width_;
    info.biHeight = -height_;
    info.biPlanes = 1;
    info.biBitCount = 32;
    header.bfType = 0x4D42;
    header.bfOffBits = sizeof header + sizeof info;
    header.bfSize = header.bfOffBits + width_ * height_ * 4;
    fwrite(&header, sizeof header, 1, file);
    fwrite(&info, sizeof info, 1, file);
    fwrite(bits_, 4, width_ * height_, file);
    fclose(file);
}
