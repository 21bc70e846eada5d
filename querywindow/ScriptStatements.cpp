#include "querywindow/ScriptStatements.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

// What the server's names and keywords are made of: letters, digits, "_",
// "$" and the bytes of multi-byte UTF-8 characters.
bool IsWordByte(unsigned char c) { return isalnum(c) || c == '_' || c == '$' || c >= 0x80; }

bool IsWord(const char *word, const char *wordEnd, const char *keyword)
{
    size_t length = strlen(keyword);
    if ((size_t)(wordEnd - word) != length) return false;
    for (size_t i = 0; i < length; i++)
        if (tolower((unsigned char)word[i]) != keyword[i]) return false;
    return true;
}

bool StartsWithWord(const char *at, const char *end, const char *word)
{
    size_t length = strlen(word);
    if ((size_t)(end - at) < length) return false;
    const char *wordEnd = at + length;
    return IsWord(at, wordEnd, word) && (wordEnd == end || !IsWordByte((unsigned char)*wordEnd));
}

class Scanner {
public:
    Scanner(const char *text, size_t length) : text(text), end(text + length)
    {
        for (int c = 0; c < 256; c++) wordByte[c] = IsWordByte((unsigned char)c);
        SetDelimiter(";", 1);
    }

    SCRIPTSTATEMENTS Run()
    {
        const char *p = text;
        while (p < end && result.Certain) {
            switch (state) {
            case Plain: p = StepPlain(p); break;
            case Quoted: p = SkipQuoted(p); break;
            case LineComment: p = SkipLineComment(p); break;
            case BlockComment: p = SkipBlockComment(p); break;
            }
        }
        // A comment may run to the end of the text; a string may not.
        if (state == Quoted || state == BlockComment) result.Certain = false;
        if (!result.Certain) result.Edits.clear();
        return std::move(result);
    }

private:
    enum State { Plain, Quoted, LineComment, BlockComment };
    // The words a statement's boundaries depend on, while they may come.
    enum Watch { FirstWord, WordAfterBegin, KindOfCreate, BeginOfBody, NoWord };
    const char *text;
    const char *end;
    SCRIPTSTATEMENTS result;
    State state = Plain;
    char quote = 0;
    bool quoteSpansLines = false;
    bool inStatement = false;
    // Something the server runs: the statement is more than comments.
    bool hasContent = false;
    Watch watch = NoWord;
    int32_t line = 0;
    std::string delimiter;
    bool wordByte[256];
    // What ends a run of ordinary bytes inside a statement.
    bool stopsRun[256];

    void SetDelimiter(const char *word, size_t length)
    {
        delimiter.assign(word, length);
        memset(stopsRun, 0, sizeof stopsRun);
        for (const char *c = "\n'\"`#-/"; *c; c++) stopsRun[(unsigned char)*c] = true;
        stopsRun[(unsigned char)delimiter[0]] = true;
    }

    void Uncertain() { result.Certain = false; }

    const char *StepPlain(const char *p)
    {
        if (hasContent && watch == NoWord) {
            while (p < end && !stopsRun[(unsigned char)*p]) p++;
            if (p == end) return p;
        }
        char c = *p;
        if (IsBlank(c)) {
            if (c == '\n') line++;
            return p + 1;
        }
        // The command-line client's own command, before any SQL of a
        // statement (comment lines may come first).
        if (!hasContent && StartsWithWord(p, end, "delimiter")) return DelimiterLine(p);
        if (!inStatement) StartStatement(p);
        if (MatchesDelimiter(p)) return EndStatement(p);
        if (c == '\'' || c == '"' || c == '`') {
            hasContent = true;
            state = Quoted;
            quote = c;
            quoteSpansLines = false;
            return p + 1;
        }
        if (c == '#' || (c == '-' && p + 1 < end && p[1] == '-' &&
                         (p + 2 == end || IsBlank(p[2]) || (unsigned char)p[2] < 32))) {
            state = LineComment;
            return p + 1;
        }
        if (c == '/' && p + 1 < end && p[1] == '*') {
            // A version comment holds SQL that the server runs.
            if (p + 2 < end && (p[2] == '!' || (p[2] == 'M' && p + 3 < end && p[3] == '!'))) hasContent = true;
            state = BlockComment;
            return p + 2;
        }
        hasContent = true;
        if (wordByte[(unsigned char)c]) return Word(p);
        return p + 1;
    }

    const char *SkipQuoted(const char *p)
    {
        bool escapes = quote != '`';
        while (p < end) {
            char c = *p;
            if (c == quote) {
                if (p + 1 < end && p[1] == quote) {
                    p += 2;
                    continue;
                }
                state = Plain;
                return p + 1;
            }
            if (c == '\n') {
                LineEndInQuotes();
            } else if (c == '\\' && escapes && p + 1 < end) {
                if (p[1] == '\n') LineEndInQuotes();
                p++;
            }
            p++;
        }
        return p;
    }

    void LineEndInQuotes()
    {
        if (quoteSpansLines) {
            result.UncountedLines.back().Count++;
        } else {
            result.UncountedLines.push_back({line, 1});
            quoteSpansLines = true;
        }
        line++;
    }

    const char *SkipLineComment(const char *p)
    {
        const char *lineEnd = static_cast<const char *>(memchr(p, '\n', end - p));
        if (!lineEnd) return end;
        line++;
        state = Plain;
        return lineEnd + 1;
    }

    const char *SkipBlockComment(const char *p)
    {
        for (; p < end; p++) {
            if (*p == '\n') {
                line++;
            } else if (*p == '*' && p + 1 < end && p[1] == '/') {
                state = Plain;
                return p + 2;
            }
        }
        return p;
    }

    // A delimiter made of word bytes ("$$") may follow a word at once.
    const char *Word(const char *p)
    {
        const char *word = p;
        do p++;
        while (p < end && wordByte[(unsigned char)*p] && *p != delimiter[0]);
        switch (watch) {
        case FirstWord: FirstWordOfStatement(word, p); break;
        case WordAfterBegin:
            // BEGIN NOT ATOMIC opens a block; BEGIN alone, a transaction.
            if (IsWord(word, p, "not")) Uncertain();
            watch = NoWord;
            break;
        case KindOfCreate: KindOfCreated(word, p); break;
        case BeginOfBody:
            if (IsWord(word, p, "begin")) Uncertain();
            break;
        case NoWord: break;
        }
        return p;
    }

    // Only routines, triggers and events have a body; what comes before
    // the kind (OR REPLACE, DEFINER = name@host) is passed over. A table's
    // column may be called begin.
    void KindOfCreated(const char *word, const char *wordEnd)
    {
        for (const char *kind : {"procedure", "function", "trigger", "event", "package"})
            if (IsWord(word, wordEnd, kind)) watch = BeginOfBody;
        for (const char *kind : {"table", "temporary", "view", "index", "unique", "fulltext", "spatial", "database",
                                 "schema", "sequence", "user", "role", "server"})
            if (IsWord(word, wordEnd, kind)) watch = NoWord;
    }

    // A statement that holds a compound body (a routine, a trigger, an
    // event, a block of its own) is ended by END, not by the ";" inside it:
    // under the plain delimiter its end is the server's parser's to find.
    void FirstWordOfStatement(const char *word, const char *wordEnd)
    {
        watch = NoWord;
        if (IsWord(word, wordEnd, "call")) result.IsCall.back() = true;
        if (delimiter != ";") return;
        if (IsWord(word, wordEnd, "begin")) {
            watch = WordAfterBegin;
        } else if (IsWord(word, wordEnd, "create")) {
            watch = KindOfCreate;
        } else {
            for (const char *block : {"if", "case", "loop", "while", "repeat"})
                if (IsWord(word, wordEnd, block)) Uncertain();
        }
    }

    void StartStatement(const char *p)
    {
        inStatement = true;
        watch = FirstWord;
        result.StartLines.push_back(line);
        result.StartOffsets.push_back((size_t)(p - text));
        result.IsCall.push_back(false);
    }

    bool MatchesDelimiter(const char *p) const
    {
        return (size_t)(end - p) >= delimiter.size() && memcmp(p, delimiter.data(), delimiter.size()) == 0;
    }

    const char *EndStatement(const char *p)
    {
        if (delimiter != ";") result.Edits.push_back({(size_t)(p - text), delimiter.size(), false});
        inStatement = false;
        hasContent = false;
        watch = NoWord;
        return p + delimiter.size();
    }

    // "DELIMITER xx": the command of command-line clients, not SQL. The line
    // becomes empty and xx ends the statements that follow.
    const char *DelimiterLine(const char *p)
    {
        const char *q = p + strlen("delimiter");
        while (q < end && (*q == ' ' || *q == '\t')) q++;
        const char *word = q;
        while (q < end && !IsBlank(*q)) q++;
        if (q == word) {
            Uncertain();
            return end;
        }
        SetDelimiter(word, q - word);
        const char *lineEnd = static_cast<const char *>(memchr(q, '\n', end - q));
        if (!lineEnd) lineEnd = end;
        result.Edits.push_back({(size_t)(p - text), (size_t)(lineEnd - p), true});
        return lineEnd;
    }
};

} // namespace

SCRIPTSTATEMENTS ScanStatements(const char *text, size_t length) { return Scanner(text, length).Run(); }

size_t RewriteForServer(char *text, size_t length, const SCRIPTSTATEMENTS &statements)
{
    char *out = text;
    const char *copied = text;
    for (const SCRIPTEDIT &edit : statements.Edits) {
        const char *from = text + edit.Offset;
        if (out != copied) memmove(out, copied, from - copied);
        out += from - copied;
        if (!edit.Removed) {
            *out++ = ';';
            memset(out, ' ', edit.Length - 1);
            out += edit.Length - 1;
        }
        copied = from + edit.Length;
    }
    size_t rest = text + length - copied;
    if (out != copied) memmove(out, copied, rest);
    return out + rest - text;
}

int32_t TextLineOf(const SCRIPTSTATEMENTS &statements, size_t statement, int32_t serverLine)
{
    int32_t start = statements.StartLines[statement];
    int64_t line = (int64_t)start + serverLine - 1;
    const std::vector<UNCOUNTEDLINES> &uncounted = statements.UncountedLines;
    auto skipped = std::lower_bound(uncounted.begin(), uncounted.end(), start,
                                    [](const UNCOUNTEDLINES &lines, int32_t at) { return lines.FirstLine < at; });
    // The server's line runs on past the line ends inside a string: the
    // editor's line is the one where the string ends, where what follows
    // the string stands.
    for (; skipped != uncounted.end() && skipped->FirstLine <= line; ++skipped) line += skipped->Count;
    return line <= INT32_MAX ? (int32_t)line : -1;
}

int32_t ErrorLineOf(const char *errorText)
{
    if (!errorText) return 0;
    const char *marker = nullptr;
    for (const char *p = strstr(errorText, " at line "); p; p = strstr(p + 1, " at line ")) marker = p;
    if (!marker) return 0;
    const char *digits = marker + strlen(" at line ");
    if (!isdigit((unsigned char)*digits)) return 0;
    long line = strtol(digits, nullptr, 10);
    return line > 0 && line < INT32_MAX ? (int32_t)line : 0;
}
