#include "StandInEditor.h"

#include "TestFiles.h"

namespace {

std::vector<std::string> SplitLines(const std::string &text)
{
    std::vector<std::string> lines{""};
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        if (text[i] == '\n')
            lines.push_back("");
        else
            lines.back() += text[i];
    }
    return lines;
}

void Insert(StandInEditorState &state, EDITORPOSITION at, const char *text)
{
    std::string &line = state.Lines.at(at.Line - 1);
    std::string before = line.substr(0, at.Column - 1), after = line.substr(at.Column - 1);
    std::vector<std::string> inserted = SplitLines(text);
    inserted.front() = before + inserted.front();
    int32_t endLine = at.Line + static_cast<int32_t>(inserted.size()) - 1;
    int32_t endColumn = static_cast<int32_t>(inserted.back().size()) + 1;
    inserted.back() += after;
    state.Lines.erase(state.Lines.begin() + (at.Line - 1));
    state.Lines.insert(state.Lines.begin() + (at.Line - 1), inserted.begin(), inserted.end());
    state.InsertedEnd = {endLine, endColumn};
    state.InsertCount++;
}

LRESULT CALLBACK StandInEditorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto *state = reinterpret_cast<StandInEditorState *>(GetWindowLongPtrA(window, GWLP_USERDATA));
    switch (message) {
    case WM_NCDESTROY:
        delete state;
        break;
    case WM_EDITOR_GETSEL:
        *reinterpret_cast<EDITORRANGE *>(lParam) = state->Selection;
        return 0;
    case WM_EDITOR_SETSEL:
        state->Selection = *reinterpret_cast<EDITORRANGE *>(lParam);
        state->SetSelCount++;
        return 0;
    case WM_EDITOR_INSERTTEXT:
        Insert(*state, *reinterpret_cast<EDITORPOSITION *>(wParam), reinterpret_cast<const char *>(lParam));
        return 0;
    case WM_EDITOR_LOADFILE: {
        HANDLE file = CreateFileA(reinterpret_cast<const char *>(lParam), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return EDITOR_FAILED;
        std::string text(GetFileSize(file, nullptr), '\0');
        DWORD read = 0;
        if (!text.empty()) ReadFile(file, &text[0], text.size(), &read, nullptr);
        CloseHandle(file);
        state->SetText(text.substr(0, read));
        NMHDR change = {window, 3, EDITORN_CHANGE};
        SendMessageA(GetParent(window), WM_NOTIFY, 3, reinterpret_cast<LPARAM>(&change));
        return EDITOR_OK;
    }
    case WM_EDITOR_SAVEFILE: {
        HANDLE file = CreateFileA(reinterpret_cast<const char *>(lParam), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                                  nullptr);
        if (file == INVALID_HANDLE_VALUE) return EDITOR_FAILED;
        std::string text = state->Text();
        DWORD written = 0;
        BOOL ok = WriteFile(file, text.data(), text.size(), &written, nullptr);
        CloseHandle(file);
        return ok && written == text.size() ? EDITOR_OK : EDITOR_FAILED;
    }
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

std::string StandInEditorState::Text() const
{
    std::string text;
    for (size_t i = 0; i < Lines.size(); i++) text += (i ? "\r\n" : "") + Lines[i];
    return text;
}

void StandInEditorState::SetText(const std::string &text) { Lines = SplitLines(text); }

HWND CreateStandInEditor(HWND parent)
{
    static bool registered;
    if (!registered) {
        WNDCLASSA editorClass = {};
        editorClass.lpfnWndProc = StandInEditorProc;
        editorClass.hInstance = GetModuleHandleA(nullptr);
        editorClass.lpszClassName = "DialogsTestEditor";
        RegisterClassA(&editorClass);
        registered = true;
    }
    HWND editor = CreateWindowExA(0, "DialogsTestEditor", nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 100, 100, parent,
                                  reinterpret_cast<HMENU>(3), GetModuleHandleA(nullptr), nullptr);
    SetWindowLongPtrA(editor, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(new StandInEditorState));
    return editor;
}

StandInEditorState &EditorState(HWND editor)
{
    return *reinterpret_cast<StandInEditorState *>(GetWindowLongPtrA(editor, GWLP_USERDATA));
}
