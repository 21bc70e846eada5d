#include "querywindow/EditorSetup.h"

#include <cstring>

HFONT EditorFont;

namespace {

const char MySqlKeywords[] =
    "select\nfrom\nwhere\nas\nshow\ncreate\ntable\nis\nnull\ninsert\ninto\ndelete\nupdate\ninner\nouter\njoin\non\n"
    "limit\nhaving\ngroup\nvalues\nuse\ndescribe\nunion\ndatabases\ndatabase\nindex\nfunction\nprocedure\nchar\n"
    "int\nenum\nbinary\nblob\nunsigned\nvarchar\ngrant\nall\nto\nidentified\nby\nnot\ndate\nauto_increment\n"
    "primary\nkey\ndefault\ndrop\nload\ndata\ndesc\nexplain\ncolumns\nlike\norder\nasc\nif\ntime\ndatetime\nset\n"
    "distinct\nleft\nright\nexists\ntimestamp\nalter\nsmallint\ntinyint\nmediumint\nbigint\nfloat\ndouble\n"
    "decimal\ntinyblob\nmediumblob\nlongblob\ntinytext\ntext\nmediumtext\nlongtext\nyear\nzerofill\ninteger\n"
    "precision\nreal\nnumeric\nmodify\ntruncate\nadd\nlock\nunlock\ncollate\ncharacter\nvariables\nstatus\n"
    "optimize\nunique\nin\nbetween\nregexp\nrlike\nand\nor\nxor\ncase\nwhen\nthen\nelse\nusing\nrevoke\nbegin\n"
    "commit\nrollback\nautocommit\nflush\ntemporary\nfulltext\nrename\nchange\nnames\nroutine\nexecute\ncall\n"
    "out\nend\nreturn\ndeclare\ncross\nstraight_join\nnatural\ncascade\nwrite\nread\nmaster\nengine\ncharset\n"
    "type\nforeign\nreferences\nmatch\nfull\npartial\nsigned\nlocal\ninfile\nboolean\nmode\nrepair\ndelayed\n"
    "for\neach\nrow\ntrigger\ndefiner\nprivileges\ntables\n";

const char MySqlOperators[] = "*\n/\n.\n%\n&\n|\n!\n+\n-\n^\n<\n>\n=\n:=\n";

// Colour changes, in the scheme of CodeMaxControl.h: operators
// and brackets gray, comments teal, strings red.
const struct {
    int entry;
    COLORREF color;
} ColorChanges[] = {
    {EDITORCOLOR_OPERATOR, RGB(128, 128, 128)},
    {EDITORCOLOR_BRACKET, RGB(128, 128, 128)},
    {EDITORCOLOR_COMMENT, RGB(0, 128, 128)},
    {EDITORCOLOR_STRING, RGB(255, 0, 0)},
};

} // namespace

const EDITORLANGUAGE &MySqlLanguage()
{
    static const EDITORLANGUAGE language = {
        0,               // style
        -1,              // keywords in any case
        MySqlKeywords,
        MySqlOperators,
        "#\n-- ",
        "/*",
        "*/",
        "(",
        ")",
        "'\n\"",
        0x5C,            // backslash
        0x3B,            // semicolon
        nullptr,
        nullptr,
        nullptr,
    };
    return language;
}

void SetupEditor(HWND editor)
{
    SendMessageA(editor, WM_EDITOR_SETUP2634, 1, 0);
    SendMessageA(editor, WM_EDITOR_SETUP4784, 1, 0);
    SendMessageA(editor, WM_EDITOR_SETUP2904, 0, 0);

    // One font serves every editor of the process; it lives as long as the
    // process, so no window has to free it.
    if (!EditorFont) EditorFont = CreateFontA(16, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Courier New");
    SendMessageA(editor, WM_SETFONT, reinterpret_cast<WPARAM>(EditorFont), 0);

    SendMessageA(editor, WM_EDITOR_SHOWSCROLLBAR, 1, 1);
    SendMessageA(editor, WM_EDITOR_SHOWSCROLLBAR, 0, 1);

    CMRegisterLanguage("MySQL", &MySqlLanguage());
    SendMessageA(editor, WM_EDITOR_SETLANGUAGE, 0, reinterpret_cast<LPARAM>("MySQL"));

    EDITORLINENUMBERS numbering{};
    SendMessageA(editor, WM_EDITOR_SETLINENUMBERING, 0, reinterpret_cast<LPARAM>(&numbering));

    EDITORCOLORS colors{};
    SendMessageA(editor, WM_EDITOR_GETCOLORS, 0, reinterpret_cast<LPARAM>(&colors));
    for (const auto &change : ColorChanges) colors.Colors[change.entry] = change.color;
    SendMessageA(editor, WM_EDITOR_SETCOLORS, 0, reinterpret_cast<LPARAM>(&colors));

    SendMessageA(editor, WM_EDITOR_SETUP4954, 0, 0);
}
