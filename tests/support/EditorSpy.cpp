#include "EditorSpy.h"

#include <map>

namespace {

struct Spied {
    EditorSpy Spy;
    WNDPROC Original = nullptr;
};
std::map<HWND, Spied> SpiedEditors;

LRESULT CALLBACK SpyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    Spied &spied = SpiedEditors[window];
    WNDPROC original = spied.Original;
    if (message == WM_EDITOR_SETSEL) spied.Spy.SetSelCount++;
    LRESULT result = CallWindowProcW(original, window, message, wParam, lParam);
    if (message == WM_EDITOR_INSERTTEXT) {
        // The control leaves its caret right after what it inserted.
        EDITORRANGE caret = {};
        CallWindowProcW(original, window, WM_EDITOR_GETSEL, 0, (LPARAM)&caret);
        spied.Spy.InsertedEnd = caret.End;
        spied.Spy.InsertCount++;
    }
    if (message == WM_NCDESTROY) SpiedEditors.erase(window);
    return result;
}

} // namespace

std::string EditorSpy::Text() const
{
    std::string text;
    for (size_t i = 0; i < Lines.size(); i++) text += (i ? "\r\n" : "") + Lines[i];
    return text;
}

void EditorSpy::SetText(const std::string &text)
{
    SetWindowTextA(Editor, text.c_str());
    Refresh();
}

EditorSpy &EditorSpy::Refresh()
{
    LRESULT length = SendMessageA(Editor, WM_EDITOR_GETTEXTLENGTH, 0, 1);
    std::string text((size_t)length + 1, '\0');
    SendMessageA(Editor, WM_EDITOR_GETTEXT, 0, (LPARAM)&text[0]);
    text.resize((size_t)length);
    Lines.assign(1, "");
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        if (text[i] == '\n')
            Lines.push_back("");
        else
            Lines.back() += text[i];
    }
    SendMessageA(Editor, WM_EDITOR_GETSEL, 1, (LPARAM)&Selection);
    return *this;
}

HWND CreateSpiedEditor(HWND parent)
{
    CMRegisterControl(0x2100);
    HWND editor = CreateWindowExA(0, CODEMAX_CLASS, nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 400, 300, parent,
                                  reinterpret_cast<HMENU>(3), GetModuleHandleA(nullptr), nullptr);
    Spied &spied = SpiedEditors[editor];
    spied.Spy.Editor = editor;
    // The control is a Unicode window: subclass it as one.
    spied.Original = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(editor, GWLP_WNDPROC, (LONG_PTR)SpyProc));
    return editor;
}

EditorSpy &SpyOf(HWND editor) { return SpiedEditors[editor].Spy.Refresh(); }
