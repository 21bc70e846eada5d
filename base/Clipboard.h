// Text on the clipboard for a program whose text is UTF-8: the editor's copy
// and paste, the grid's Copy and the message pane's. Needs no window of its
// own: any owner will do.
//
// A copy puts the text as CF_UNICODETEXT only, converted from UTF-8 (a byte
// that is not UTF-8 becomes U+FFFD); the system derives CF_TEXT and
// CF_OEMTEXT from it for programs that ask for those. A paste reads
// CF_UNICODETEXT, or CF_TEXT when that is all there is (taken as UTF-8 when
// it is valid UTF-8, the program's code page, else converted from the ANSI
// code page), and hands back UTF-8. Line breaks pass as they are.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

// Empties the clipboard and puts the text (length bytes; a zero byte ends it
// early) on it for owner. False when the clipboard stays busy (it is tried
// for about 200 ms) or memory runs out (no exception leaves these).
bool CopyUtf8ToClipboard(HWND owner, const char *text, size_t length);
// The clipboard's text as UTF-8. False (and text empty) when there is no
// text, the clipboard stays busy or the text does not fit in memory.
bool PasteUtf8FromClipboard(HWND owner, std::string &text);
// Whether the clipboard holds text in either format.
bool ClipboardHasText();
