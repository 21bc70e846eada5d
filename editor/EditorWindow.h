// The window part of the editing control: internal interface between the
// window procedure and its helpers (painting, find and replace).
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <memory>
#include <string>
#include <vector>

#include "base/SymbolFont.h"
#include "editor/CodeMaxControl.h"
#include "editor/FileEncoding.h"
#include "editor/Lexer.h"
#include "editor/TextBuffer.h"


// One record per editor window, in its extra storage (index 0).
struct EditorState {
    HWND window = nullptr;
    TextDocument doc;
    Selection sel;
    int goalCell = -1;  // column kept by Up/Down/Page moves, in cells

    HFONT font = nullptr;
    HFONT symbolFont = nullptr;  // ours: characters beyond the BMP (emoji)
    std::vector<SymbolGlyphs> symbolGlyphs;  // symbolFont's, by code point
    int ascent = 0;              // of font, and of symbolFont
    int symbolAscent = 0;
    int lineHeight = 16;
    int cellWidth = 8;
    int topLine = 0;    // first visible line
    int leftCell = 0;   // first visible cell
    int vBar[3] = {-1, -1, -1};  // max, page and position last set
    int hBar[3] = {-1, -1, -1};
    bool showHScroll = true;
    bool showVScroll = true;
    bool lineNumbers = false;
    int lineNumberStart = 1;

    std::shared_ptr<const Language> language;
    std::vector<uint8_t> lineStates;  // lexer state at each line start
    int statesValid = 0;              // lineStates[0..statesValid] are right
    EDITORCOLORS colors{};

    bool focused = false;
    bool dragging = false;
    bool wordDrag = false;  // a double-click drag extends by words
    Selection dragWord;     // the word the double-click selected
    UINT_PTR scrollTimer = 0;
    WCHAR pendingSurrogate = 0;
    bool composing = false;  // an input method's composition is under way
    // The loaded file's encoding, written back by SAVEFILE; new text
    // (WM_SETTEXT) is UTF-8 without a mark.
    FileEncoding encoding = FileEncoding::Utf8;

    FINDREPLACEA find{};
    HWND findDialog = nullptr;
    char findWhat[256] = "";
    char replaceWith[256] = "";
};

enum { EditorTabCells = 4, EditorTextPadding = 4 };

// Cells (fixed-pitch character widths) from the line start to byte col: a
// character takes utf8::Cells cells (two for wide East Asian characters and
// emoji, else one), a tab reaches the next multiple of EditorTabCells.
int CharCells(uint32_t codePoint, int cell);
int CellOfColumn(const std::string &line, int col);
// The character boundary nearest to a cell boundary (a cell boundary in the
// middle of a wide character gives the boundary after it).
int ColumnOfCell(const std::string &line, int cell);
// The character boundary for a point halves half cells from the line start:
// before the character whose left half holds it, after one whose right half
// does.
int ColumnOfHalfCell(const std::string &line, int halves);
// The left edge of the text area in pixels (after the line number margin).
int TextLeft(const EditorState *state);
// The glyph of a code point in the symbol font, 0 when it has none.
uint16_t SymbolGlyph(const EditorState *state, uint32_t codePoint);
// Brings the lexer state cache up to line (inclusive).
void EnsureLineStates(EditorState *state, int line);
// Draws the visible part of the text into dc (the client area's
// coordinates).
void PaintEditor(EditorState *state, HDC dc, const RECT &client);

// Find and replace (EditorFind.cpp).
void ShowFindDialog(EditorState *state, bool replace);
// Handles the dialogs' FINDMSGSTRING message.
void HandleFindMessage(EditorState *state, FINDREPLACEA *request);
UINT FindMessageId();
void CloseFindDialog(EditorState *state);

// Editing operations shared with find and replace (EditorWindow.cpp).
void ReplaceSelection(EditorState *state, const std::string &text, TextDocument::StepKind kind);
void SetSelection(EditorState *state, Selection selection);
// After the text changed: scroll bars, caret in view, repaint, notifications.
void EditorChanged(EditorState *state, const Selection &before);
