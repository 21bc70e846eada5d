// The SQL editing control: window class "CodeMax", registered by
// CMRegisterControl and driven through the messages below.
//
// Lines and columns count from 1: line 1, column 1 is the start of the text,
// so "Ln %d, Col %d" of the caret reads as users expect. A column counts
// bytes of the line's UTF-8 text, plus one. Positions past the end of a line
// or of the text are moved to that end; a column inside a UTF-8 character is
// moved to the character's start.
//
// Texts of the custom messages are UTF-8 byte strings whatever the caller's
// A/W flavour. Line breaks: LF or CR LF accepted on the way in (a lone CR is
// an ordinary character), CR LF on the way out (GETTEXT, SAVEFILE, the
// clipboard), and GETTEXTLENGTH counts exactly what GETTEXT copies (without
// the terminating zero).
//
// A column counts bytes, but the screen counts cells: wide East Asian
// characters and emoji take two cells, others one (base/Utf8.h). A
// character of 4 UTF-8 bytes (a surrogate pair in UTF-16) is one character
// for the caret, Backspace, Delete and the selection.
//
// WM_SETTEXT and WM_EDITOR_LOADFILE replace the whole text, forget the undo
// history and put the caret at line 1, column 1; every other change can be
// undone. WM_EDITOR_INSERTTEXT leaves the caret after the inserted text.
// Typing runs, Backspace runs and Delete runs each undo as one step. To
// replace the whole text as one step that Ctrl+Z takes back exactly (the
// query window's "Clear Window"): WM_EDITOR_EXECCMD EDITORCMD_SELECTALL,
// then WM_EDITOR_REPLACESEL with the new text ("" clears; DELETESEL does
// the same).
//
// Keys: Ctrl and Alt held together (AltGr) make characters, never Ctrl
// commands. Input methods: the composition window follows the caret; the
// result (WM_IME_COMPOSITION's GCS_RESULTSTR, or WM_IME_CHAR) is typed text.
//
// Clipboard: copies put CF_UNICODETEXT only; paste takes CF_UNICODETEXT,
// else CF_TEXT (base/Clipboard.h).
//
// Failures: no C++ exception leaves the window procedure. A message that
// runs out of memory (a huge load or paste) takes back what it had begun
// and answers EDITOR_FAILED (a custom message with an EDITOR_ result), 0
// (the CAN and length messages, standard messages) or -1 (WM_CREATE);
// LOADFILE then leaves the text as it was.
//
// Notifications (WM_NOTIFY to the parent, idFrom = the control id):
// EDITORN_CHANGE after every change of the text (typing, Backspace, Delete,
// Enter, cut, paste, undo, redo, INSERTTEXT, DELETESEL, WM_SETTEXT, LOADFILE,
// replace), EDITORN_SELCHANGE whenever the caret or selection moved,
// NM_SETFOCUS and NM_KILLFOCUS. A change sends EDITORN_CHANGE first.
//
// Files (editor/FileEncoding.h): LOADFILE takes UTF-8 (a BOM is kept aside,
// not in the text), UTF-16 LE or BE with its BOM (converted), and any other
// file that is not valid UTF-8 as Windows-1252 (converted). The window
// remembers the encoding until new text (WM_SETTEXT or another LOADFILE),
// and SAVEFILE writes it back, BOM included, with CR LF breaks; a text that
// Windows-1252 cannot hold any more is saved as UTF-8 (without a BOM), and
// UTF-8 it stays. A file that cannot be read or written answers EDITOR_FAILED
// and leaves the text as it was.
//
// The class is a Unicode class (RegisterClassW): typed characters arrive as
// UTF-16. Whoever subclasses the control should do so with
// SetWindowLongPtrW and CallWindowProcW so that it stays a Unicode window
// (a subclass set with the A functions would get typed characters in the
// ANSI code page).
#pragma once

#include <windows.h>

#include <cstdint>

#define CODEMAX_CLASS "CodeMax"

struct EDITORPOSITION {
    int32_t Line;
    int32_t Column;
};

struct EDITORRANGE {
    EDITORPOSITION Start;
    EDITORPOSITION End;
};

// A language definition handed to CMRegisterLanguage. List texts hold their
// items each followed by a line feed.
struct EDITORLANGUAGE {
    int32_t Style;
    int32_t CaseInsensitive;         // nonzero: keywords match in any case
    const char *Keywords;
    const char *Operators;
    const char *SingleLineComments;  // e.g. "#\n-- "
    const char *MultiLineCommentStart;
    const char *MultiLineCommentEnd;
    const char *OpeningBrackets;
    const char *ClosingBrackets;
    const char *StringDelimiters;    // e.g. "'\n\""
    uint16_t EscapeCharacter;
    uint16_t StatementTerminator;
    const char *Reserved1;
    const char *Reserved2;
    const char *Reserved3;
};

// The control's colour table: one RGB value (COLORREF) per entry. The fixed
// colouring scheme: each syntax element has a text colour entry and, right
// after it, a background entry; a background of CLR_INVALID (the default)
// shows the window colour. Selected text is drawn in the system's highlight
// colours.
enum { EditorColorCount = 20 };
enum EditorColorIndex {
    EDITORCOLOR_WINDOW = 0,        // window background
    EDITORCOLOR_MARGIN = 1,        // line number margin background
    EDITORCOLOR_TEXT = 4,          // names and anything else
    EDITORCOLOR_NUMBER = 6,        // numbers
    EDITORCOLOR_KEYWORD = 8,       // keywords of the language
    EDITORCOLOR_OPERATOR = 10,     // operators of the language
    EDITORCOLOR_BRACKET = 12,      // opening and closing bracket tokens
    EDITORCOLOR_COMMENT = 14,      // single-line and multi-line comments
    EDITORCOLOR_STRING = 16,       // strings, from delimiter to delimiter
    EDITORCOLOR_LINENUMBER = 18,   // line numbers in the margin
};
struct EDITORCOLORS {
    COLORREF Colors[EditorColorCount];
};

// Registers the window class "CodeMax"; version is 0x2100.
BOOL CMRegisterControl(DWORD version);
// Keeps a copy of the definition under the name (replacing one of the same
// name). Returns TRUE on success.
BOOL CMRegisterLanguage(const char *name, const EDITORLANGUAGE *definition);

enum EditorMessage : UINT {
    WM_EDITOR_SETLANGUAGE = 2624,
    WM_EDITOR_SETCOLORS = 2654,
    WM_EDITOR_GETCOLORS = 2664,
    WM_EDITOR_LOADFILE = 3324,
    WM_EDITOR_SAVEFILE = 3334,
    WM_EDITOR_INSERTTEXT = 3354,
    WM_EDITOR_GETTEXTLENGTH = 3374,
    WM_EDITOR_GETTEXT = 3384,
    WM_EDITOR_GETSEL = 3444,
    WM_EDITOR_SETSEL = 3454,
    WM_EDITOR_DELETESEL = 3464,
    // lParam: UTF-8 text (zero-terminated) that replaces the selection, as
    // one undo step; the caret goes after it.
    WM_EDITOR_REPLACESEL = 3474,
    // The encoding SAVEFILE writes (an EDITORENCODING_ value): GET answers
    // it; SET (wParam) makes a text put in by other means save as the file
    // it came from did, and answers EDITOR_BADARGUMENT for an unknown value.
    WM_EDITOR_GETENCODING = 3484,
    WM_EDITOR_SETENCODING = 3494,
    WM_EDITOR_EXECCMD = 3724,
    WM_EDITOR_CANUNDO = 4324,
    WM_EDITOR_CANREDO = 4334,
    WM_EDITOR_CANCUT = 4344,
    WM_EDITOR_CANCOPY = 4354,
    WM_EDITOR_CANPASTE = 4364,
    WM_EDITOR_REDO = 4374,
    WM_EDITOR_UNDO = 4384,
    WM_EDITOR_CUT = 4394,
    WM_EDITOR_COPY = 4404,
    WM_EDITOR_PASTE = 4414,
    // List completion: see "Completion lists" below.
    WM_EDITOR_SHOWCOMPLETION = 5004,
    WM_EDITOR_CLOSECOMPLETION = 5014,
    WM_EDITOR_GETCOMPLETION = 5024,
    WM_EDITOR_GETCOMPLETIONITEM = 5034,
    WM_EDITOR_SETCOMPLETIONTRIGGERS = 5044,
};

// Commands of WM_EDITOR_EXECCMD.
enum { EDITORCMD_SELECTALL = 137, EDITORCMD_REPLACE = 169, EDITORCMD_FIND = 178 };

// Encodings of script files (editor/FileEncoding.h), in its order.
enum {
    EDITORENCODING_UTF8 = 0,
    EDITORENCODING_UTF8BOM = 1,
    EDITORENCODING_UTF16LE = 2,
    EDITORENCODING_UTF16BE = 3,
    EDITORENCODING_WINDOWS1252 = 4,
};

// Results of the messages that do not answer a length or a yes/no.
enum { EDITOR_OK = 0, EDITOR_FAILED = 1, EDITOR_BADARGUMENT = 2 };

// Set-up messages. They are accepted with any arguments; those with an
// effect are listed.
enum EditorSetupMessage : UINT {
    WM_EDITOR_SETUP2634 = 2634,
    WM_EDITOR_SETUP4784 = 4784,
    WM_EDITOR_SETUP2904 = 2904,
    // wParam 1: the horizontal, 0: the vertical scroll bar; lParam nonzero
    // shows it, 0 hides it. Both are shown at first.
    WM_EDITOR_SHOWSCROLLBAR = 4724,
    // lParam: EDITORLINENUMBERS*; a nonzero Enabled shows line numbers from
    // StartAt in a margin (off at first).
    WM_EDITOR_SETLINENUMBERING = 4804,
    WM_EDITOR_SETUP4954 = 4954,
};
struct EDITORLINENUMBERS {
    int32_t Enabled;
    int32_t StartAt;
    int32_t Style;
};

// Notification codes sent to the parent as WM_NOTIFY.
enum { EDITORN_CHANGE = 100, EDITORN_SELCHANGE = 130 };

// Completion lists. The control shows a list of candidates at the caret in
// a child window of its own over the text, below the caret's line or above
// it (the control keeps the keyboard focus); what the list offers is the
// parent's business.
//
// WM_EDITOR_SHOWCOMPLETION, lParam EDITORCOMPLETION*: the candidates are
// copied, so the caller's texts may go at once. The part of the caret's
// line from StartColumn to the caret is "the typed part": the list shows
// the candidates that begin with it first, then those that contain it,
// each group in the order given, comparing without regard to case
// (base/TextFold.h); an opening quote (` " ' or [) at the start of the
// typed part does not count. Typing narrows the list, Backspace widens it; Up, Down, Page
// Up, Page Down, Home and End move in it; Enter or Tab (or a double click)
// replaces the typed part with the chosen candidate's Insert text as one
// undo step and sends EDITORN_COMPLETIONCHOSEN; Esc, a click in the text,
// the loss of the focus, the caret leaving the typed part, or a character
// that cannot belong to a name (any but the opening quote's closing one
// after an opening quote) close it. While nothing matches, the list hides
// but stays open, so Backspace brings it back. Answers the number of
// candidates shown (0 when none matched or one was inserted at once).
// WM_EDITOR_CLOSECOMPLETION closes the list. WM_EDITOR_GETCOMPLETION fills
// lParam's EDITORCOMPLETIONSTATE. WM_EDITOR_GETCOMPLETIONITEM copies the
// text of the candidate shown at row wParam (from 0) into lParam's buffer
// (null: only the length) and answers its length, or -1 beyond the list.
// WM_EDITOR_SETCOMPLETIONTRIGGERS, lParam a UTF-8 text: typing one of its
// characters sends EDITORN_COMPLETIONNEEDED with EDITORCOMPLETE_TRIGGER
// after the character is in the text (none at first; "" or null: none).
// Ctrl+Space reaching the control (no accelerator took it) sends
// EDITORN_COMPLETIONNEEDED with EDITORCOMPLETE_REQUEST.
enum { EDITORN_COMPLETIONNEEDED = 140, EDITORN_COMPLETIONCHOSEN = 141 };
enum { EDITORCOMPLETE_REQUEST = 0, EDITORCOMPLETE_TRIGGER = 1 };

struct EDITORCOMPLETIONITEM {
    const char *Text;     // UTF-8, as the list shows and matches it
    uint32_t TextLength;
    const char *Folded;   // optional: fold::Utf8 of Text, which the control computes otherwise
    uint32_t FoldedLength;
    const char *Insert;   // optional: what the choice inserts; Text when null
    uint32_t InsertLength;
    uint16_t Kind;        // an index into EDITORCOMPLETION::KindLabels
    uint16_t Flags;       // EDITORCOMPLETIONITEM_ flags
};
// The item is inserted in the case of the typed part: all lower case when
// its letters are, else as given.
enum { EDITORCOMPLETIONITEM_TYPEDCASE = 1 };

struct EDITORCOMPLETION {
    int32_t StartColumn;  // on the caret's line; the caret's column or before it
    uint32_t Count;
    const EDITORCOMPLETIONITEM *Items;
    // Short texts shown at the right of each row, gray, by the item's Kind.
    const char *const *KindLabels;
    uint32_t KindCount;
    uint32_t Flags;       // EDITORCOMPLETION_ flags
};
enum {
    // Exactly one candidate for the typed part: insert it at once, no list.
    EDITORCOMPLETION_INSERTSINGLE = 1,
    // Only new candidates for the list open now (more names arrived): the
    // typed part, and the chosen candidate where it is still there, stay.
    // Ignored while no list is open.
    EDITORCOMPLETION_REFRESH = 2,
};

struct EDITORCOMPLETIONSTATE {
    int32_t Open;      // a list is open (it may be hidden while nothing matches)
    int32_t Shown;     // candidates shown
    int32_t Selected;  // the chosen row, or -1
    int32_t Total;     // candidates given
    EDITORPOSITION Start;
    HWND List;         // the popup window
};

// EDITORN_COMPLETIONNEEDED and EDITORN_COMPLETIONCHOSEN.
struct NMEDITORCOMPLETION {
    NMHDR Header;
    int32_t Reason;       // EDITORCOMPLETE_ value (NEEDED)
    uint32_t Character;   // the trigger character (NEEDED, TRIGGER)
    EDITORPOSITION Caret;
    const char *Chosen;   // the inserted text (CHOSEN)
};
