// The window part of the editing control: its record, and the internal
// interface between the window procedure (EditorWindow.cpp) and the files
// that do its work. Each handler takes the record, as the procedure found
// it in the window's extra storage.
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <memory>
#include <string>
#include <vector>

#include "base/SymbolFont.h"
#include "editor/CaretMotion.h"
#include "editor/CodeMaxControl.h"
#include "base/PaintBuffer.h"
#include "editor/CompletionFilter.h"
#include "editor/FileEncoding.h"
#include "editor/Lexer.h"
#include "editor/TextBuffer.h"

// The completion list of an editor (EditorCompletion.cpp).
struct CompletionState {
    HWND list = nullptr;   // the popup, made at the first list
    bool open = false;
    TextPos start;         // where the typed part begins
    std::string typed;     // the typed part the list was filtered by
    CompletionCandidates candidates;
    int selected = -1;     // row in candidates.Shown()
    int top = 0;           // first visible row
    int rows = 1;          // rows the popup shows
    int widthCells = 0;    // fixed while a list is open
    RECT placed{};         // where the popup was put, in screen coordinates
    bool visible = false;
    int thumbGrab = -1;    // while the scroll thumb is dragged: where in it the pointer took it
    std::string triggers;  // characters whose typing asks for a list
    WCHAR swallow = 0;     // the WM_CHAR of a key the list took (Enter, Tab, Ctrl+Space)
};

// One record per editor window, in its extra storage (index 0).
struct EditorState {
    HWND window = nullptr;
    TextDocument doc;
    Selection sel;
    int goalCell = -1;  // column kept by Up/Down/Page moves, in cells

    HFONT font = nullptr;
    HFONT symbolFont = nullptr;  // ours: characters beyond the BMP (emoji)
    PaintBuffer backBuffer;  // painting is drawn there, then copied
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

    CompletionState completion;

    FINDREPLACEA find{};
    HWND findDialog = nullptr;
    char findWhat[256] = "";
    char replaceWith[256] = "";
};

// The record's text.
inline const TextBuffer &BufferOf(const EditorState *state) { return state->doc.Buffer(); }

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

// The view (EditorView.cpp): scroll bars, the caret, the font.
int VisibleLines(const EditorState *state);
void UpdateScrollBars(EditorState *state);
// Moves the system caret to the text caret (when focused), and an input
// method's composition window with it.
void UpdateCaret(EditorState *state);
void PlaceComposition(EditorState *state);
void ScrollTo(EditorState *state, int topLine, int leftCell);
// After any change: the caret scrolled into view and shown, the window
// repainted, then EDITORN_CHANGE (when textChanged) and EDITORN_SELCHANGE
// (when the selection is not the one before).
void Refresh(EditorState *state, bool textChanged, const Selection &before);
// The font (null: the stock fixed font), its cell size and symbol font.
void ApplyFont(EditorState *state, HFONT font);
void OnSize(EditorState *state);
void OnSetFont(EditorState *state, HFONT font, bool redraw);

// Editing operations (EditorEditing.cpp): each changes the text as one
// undo step, or the selection, then calls Refresh.
// Replaces the whole text and forgets the history; the caret at the start.
void ReplaceText(EditorState *state, std::string_view text);
// Moves the caret; extend keeps the anchor, keepGoal the column of Up/Down.
void MoveCaret(EditorState *state, TextPos pos, bool extend, bool keepGoal = false);
void ReplaceSelection(EditorState *state, const std::string &text, TextDocument::StepKind kind);
// Inserts at a position; the caret goes after the text.
void InsertTextAt(EditorState *state, TextPos at, std::string_view text);
// False when nothing was selected.
bool DeleteSelection(EditorState *state);
// Backspace and Delete: a character, or (word) up to the word boundary.
void Backspace(EditorState *state, bool word);
void DeleteForward(EditorState *state, bool word);
// Enter: a line break and the indentation of the line it breaks.
void NewLine(EditorState *state);
// Tab with a selection over several lines (outdent: Shift+Tab).
void IndentLines(EditorState *state, bool outdent);
void SelectAll(EditorState *state);
void SetSelection(EditorState *state, Selection selection);
void UndoRedo(EditorState *state, bool redo);
// False when nothing was selected or the clipboard refused.
bool CopySelection(EditorState *state);
void Cut(EditorState *state);
void Paste(EditorState *state);

// Keys, typed characters, input methods, focus, mouse and scrolling
// (EditorInput.cpp).
void OnKeyDown(EditorState *state, WPARAM key);
void OnChar(EditorState *state, WCHAR c);
void OnCompositionStart(EditorState *state);
void OnCompositionEnd(EditorState *state);
LRESULT OnComposition(EditorState *state, WPARAM wParam, LPARAM changes);
void OnFocus(EditorState *state, bool gained);
void OnButtonDown(EditorState *state, int x, int y, bool doubleClick);
void OnMouseMove(EditorState *state, int x, int y);
void EndDrag(EditorState *state);
void OnCaptureChanged(EditorState *state, HWND capturing);
void OnTimer(EditorState *state, UINT_PTR timer);
void OnScroll(EditorState *state, int bar, int request);
void OnWheel(EditorState *state, int delta, bool horizontal);

// Painting (EditorPaint.cpp).
void OnPaint(EditorState *state);
void OnPrintClient(EditorState *state, HDC dc);

// The control's messages (EditorMessages.cpp): each answers as
// CodeMaxControl.h says.
LRESULT OnCreate(EditorState *state, const CREATESTRUCTW *create);
LRESULT OnSetText(EditorState *state, const WCHAR *text);
LRESULT OnGetTextLength(EditorState *state);
LRESULT OnGetText(EditorState *state, WCHAR *buffer, size_t capacity);
LRESULT OnSetLanguage(EditorState *state, const char *name);
LRESULT OnSetColors(EditorState *state, const EDITORCOLORS *colors);
LRESULT OnGetColors(EditorState *state, EDITORCOLORS *colors);
LRESULT OnInsertText(EditorState *state, const EDITORPOSITION *at, const char *text);
LRESULT OnGetRangeLength(EditorState *state, const EDITORRANGE *range);
LRESULT OnGetRangeText(EditorState *state, const EDITORRANGE *range, char *buffer);
LRESULT OnGetSel(EditorState *state, bool normalized, EDITORRANGE *range);
LRESULT OnSetSel(EditorState *state, const EDITORRANGE *range);
LRESULT OnReplaceSel(EditorState *state, const char *text);
LRESULT OnSetEncoding(EditorState *state, WPARAM encoding);
LRESULT OnExecCommand(EditorState *state, WPARAM command);
LRESULT OnShowScrollBar(EditorState *state, bool horizontal, bool show);
LRESULT OnSetLineNumbering(EditorState *state, const EDITORLINENUMBERS *numbers);

// WM_EDITOR_LOADFILE and WM_EDITOR_SAVEFILE (EditorFiles.cpp).
LRESULT LoadFile(EditorState *state, const char *path);
LRESULT SaveFile(EditorState *state, const char *path);

// Completion lists (EditorCompletion.cpp).
bool RegisterCompletionListClass();
LRESULT OnShowCompletion(EditorState *state, const EDITORCOMPLETION *completion);
void CloseCompletion(EditorState *state);
void DestroyCompletionList(EditorState *state);
LRESULT OnGetCompletion(EditorState *state, EDITORCOMPLETIONSTATE *answer);
LRESULT OnGetCompletionItem(EditorState *state, WPARAM row, char *buffer);
LRESULT OnSetCompletionTriggers(EditorState *state, const char *characters);
// A key while a list is open: true when the list took it.
bool CompletionKey(EditorState *state, WPARAM key, bool ctrl, bool shift);
// The wheel over the editor or the list scrolls a shown list.
bool CompletionWheel(EditorState *state, int delta);
// Ctrl+Space: the parent is asked for a list.
void RequestCompletion(EditorState *state);
// The WM_CHAR of a key the list took: true when it is to be dropped.
bool SwallowCompletionChar(EditorState *state, WCHAR c);
// After a typed character: a trigger asks the parent for a list.
void NoteTypedForCompletion(EditorState *state, const std::string &typed);
// After any change of the text or the caret (Refresh): the open list
// follows the typed part, or closes.
void FollowCompletion(EditorState *state);

// Find and replace (EditorFind.cpp).
void ShowFindDialog(EditorState *state, bool replace);
// F3 and Shift+F3: the last search again, down or up; the dialog when
// there was none.
void FindAgain(EditorState *state, bool up);
// Handles the dialogs' FINDMSGSTRING message.
void HandleFindMessage(EditorState *state, FINDREPLACEA *request);
UINT FindMessageId();
void CloseFindDialog(EditorState *state);
