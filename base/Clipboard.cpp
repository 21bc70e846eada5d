#include "base/Clipboard.h"

#include <cstring>
#include <new>

#include "base/Utf8.h"

namespace {

bool OpenClipboardRetrying(HWND owner)
{
    for (int i = 0; i < 20; ++i) {
        if (OpenClipboard(owner)) return true;
        Sleep(10);
    }
    return false;
}

// Units up to the first zero, within the memory's size.
size_t UnitsIn(const WCHAR *units, size_t bytes)
{
    size_t count = 0, limit = bytes / sizeof(WCHAR);
    while (count < limit && units[count]) ++count;
    return count;
}

std::string FromAnsi(const char *bytes, size_t length)
{
    std::string text(bytes, length);
    if (utf8::IsValid(text)) return text;
    int count = MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(length), nullptr, 0);
    if (count <= 0) return text;
    std::u16string wide(static_cast<size_t>(count), u'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(length), reinterpret_cast<WCHAR *>(&wide[0]), count);
    return utf8::FromUtf16(wide.data(), wide.size());
}

} // namespace

bool CopyUtf8ToClipboard(HWND owner, const char *text, size_t length)
{
    length = strnlen(text, length);
    std::u16string wide;
    try {
        wide = utf8::ToUtf16(std::string_view(text, length));
    } catch (const std::bad_alloc &) {
        return false;
    }
    size_t bytes = (wide.size() + 1) * sizeof(char16_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (!memory) return false;
    void *locked = GlobalLock(memory);
    if (!locked) {
        GlobalFree(memory);
        return false;
    }
    memcpy(locked, wide.c_str(), bytes);
    GlobalUnlock(memory);
    if (!OpenClipboardRetrying(owner)) {
        GlobalFree(memory);
        return false;
    }
    bool ok = EmptyClipboard() && SetClipboardData(CF_UNICODETEXT, memory);
    if (!ok) GlobalFree(memory);
    CloseClipboard();
    return ok;
}

bool PasteUtf8FromClipboard(HWND owner, std::string &text)
{
    text.clear();
    bool unicode = IsClipboardFormatAvailable(CF_UNICODETEXT);
    if (!unicode && !IsClipboardFormatAvailable(CF_TEXT)) return false;
    if (!OpenClipboardRetrying(owner)) return false;
    bool ok = false;
    if (HANDLE data = GetClipboardData(unicode ? CF_UNICODETEXT : CF_TEXT)) {
        if (const void *locked = GlobalLock(data)) {
            size_t size = GlobalSize(data);
            try {
                if (unicode) {
                    const WCHAR *units = static_cast<const WCHAR *>(locked);
                    text = utf8::FromUtf16(reinterpret_cast<const char16_t *>(units), UnitsIn(units, size));
                } else {
                    const char *bytes = static_cast<const char *>(locked);
                    text = FromAnsi(bytes, strnlen(bytes, size));
                }
                ok = true;
            } catch (const std::bad_alloc &) {
                text.clear();  // too big for the memory left: no text
            }
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return ok;
}

bool ClipboardHasText()
{
    return IsClipboardFormatAvailable(CF_UNICODETEXT) || IsClipboardFormatAvailable(CF_TEXT);
}
