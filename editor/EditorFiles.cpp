// WM_EDITOR_LOADFILE and WM_EDITOR_SAVEFILE: a script file's bytes to the
// editor's UTF-8 text and back, in the encoding the file came in
// (FileEncoding.h).
#include "editor/EditorWindow.h"

#include <climits>
#include <cstdlib>
#include <memory>
#include <string>

#include "base/Text.h"

LRESULT LoadFile(EditorState *state, const char *path)
{
    if (!path) return EDITOR_BADARGUMENT;
    // The whole file or nothing: the text changes only once it was read and
    // converted. Positions count bytes in ints, hence the limit. The reader
    // shares reading and writing, so a script another program holds open
    // for writing still loads.
    size_t length = 0;
    std::unique_ptr<char, void (*)(void *)> file(ReadWholeFile(path, &length, INT_MAX), free);
    if (!file) return EDITOR_FAILED;
    std::string bytes(file.get(), length);
    file.reset();
    FileEncoding encoding = DecodeFile(&bytes);
    ReplaceText(state, bytes);
    state->encoding = encoding;
    return EDITOR_OK;
}

// A text that Windows-1252 cannot hold (a character typed or pasted since
// the load) is written as UTF-8 instead, and the window keeps UTF-8 from
// then on: nothing is lost.
LRESULT SaveFile(EditorState *state, const char *path)
{
    if (!path) return EDITOR_BADARGUMENT;
    std::string bytes;
    FileEncoding encoding = state->encoding;
    if (!EncodeFile(state->doc.Buffer().WholeText(true), encoding, &bytes)) {
        encoding = FileEncoding::Utf8;
        EncodeFile(state->doc.Buffer().WholeText(true), encoding, &bytes);
    }
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return EDITOR_FAILED;
    DWORD written = 0;
    bool ok = bytes.empty() || (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                                written == bytes.size());
    ok = CloseHandle(file) && ok;
    if (ok) state->encoding = encoding;
    return ok ? EDITOR_OK : EDITOR_FAILED;
}
