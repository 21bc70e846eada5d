#include "querywindow/ScriptStatements.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

bool StartsWithWord(const char *at, const char *end, const char *word)
{
    size_t length = strlen(word);
    if ((size_t)(end - at) < length) return false;
    for (size_t i = 0; i < length; i++)
        if (tolower((unsigned char)at[i]) != word[i]) return false;
    return at + length == end || !(isalnum((unsigned char)at[length]) || at[length] == '_');
}

// A statement that holds a compound body of its own (a routine, a trigger,
// an event, a block of its own) is ended by END, not by the ";" inside it:
// with the plain delimiter its boundaries are not those of a split at ";".
bool OpensCompoundStatement(const char *start, const char *end)
{
    static const char *const Blocks[] = {"begin not atomic", "if", "case", "loop", "while", "repeat"};
    for (const char *word : Blocks)
        if (StartsWithWord(start, end, word)) return true;
    if (!StartsWithWord(start, end, "create")) return false;
    for (const char *p = start; p + 5 <= end; p++)
        if ((p == start || !isalnum((unsigned char)p[-1])) && StartsWithWord(p, end, "begin")) return true;
    return false;
}

class Scanner {
public:
    Scanner(const char *text, size_t length) : text(text), end(text + length) {}

    SCRIPTSTATEMENTS Run()
    {
        const char *p = text;
        while (p < end && result.Certain) p = Step(p);
        // A comment may run to the end of the text; a string may not.
        if (state == Quoted || state == BlockComment) result.Certain = false;
        if (pendingCompound) result.Certain = false;
        if (!result.Certain) {
            result.Rewritten.clear();
            result.WasRewritten = false;
        } else if (result.WasRewritten) {
            result.Rewritten.append(copiedUpTo, end - copiedUpTo);
        }
        return result;
    }

private:
    enum State { Plain, Quoted, LineComment, BlockComment };
    const char *text;
    const char *end;
    SCRIPTSTATEMENTS result;
    State state = Plain;
    char quote = 0;
    bool inStatement = false;
    const char *statementStart = nullptr;
    bool pendingCompound = false;
    int32_t line = 0;
    std::string delimiter = ";";
    const char *copiedUpTo = text; // the rewritten text holds everything before this

    void Replace(const char *from, const char *to, const std::string &with)
    {
        if (!result.WasRewritten) {
            result.WasRewritten = true;
            result.Rewritten.reserve(end - text);
        }
        result.Rewritten.append(copiedUpTo, from - copiedUpTo);
        result.Rewritten += with;
        copiedUpTo = to;
    }

    const char *Step(const char *p)
    {
        char c = *p;
        if (c == '\n') line++;
        switch (state) {
        case Quoted: return StepQuoted(p);
        case LineComment:
            if (c == '\n') state = Plain;
            return p + 1;
        case BlockComment:
            if (c == '*' && p + 1 < end && p[1] == '/') {
                state = Plain;
                return p + 2;
            }
            return p + 1;
        case Plain: break;
        }
        if (!inStatement) {
            if (IsBlank(c)) return p + 1;
            if (StartsWithWord(p, end, "delimiter")) return DelimiterLine(p);
            StartStatement(p);
        }
        if (MatchesDelimiter(p)) return EndStatement(p);
        if (c == '\'' || c == '"' || c == '`') {
            state = Quoted;
            quote = c;
        } else if (c == '#' || (c == '-' && p + 1 < end && p[1] == '-' && (p + 2 == end || IsBlank(p[2]) || (unsigned char)p[2] < 32))) {
            state = LineComment;
        } else if (c == '/' && p + 1 < end && p[1] == '*') {
            state = BlockComment;
            return p + 2;
        }
        return p + 1;
    }

    const char *StepQuoted(const char *p)
    {
        char c = *p;
        if (c == '\\' && quote != '`' && p + 1 < end) {
            if (p[1] == '\n') line++;
            return p + 2;
        }
        if (c == quote) {
            if (p + 1 < end && p[1] == quote) return p + 2;
            state = Plain;
        }
        return p + 1;
    }

    void StartStatement(const char *p)
    {
        inStatement = true;
        statementStart = p;
        result.StartLines.push_back(line);
        result.IsCall.push_back(StartsWithWord(p, end, "call"));
        // Its inner ";" would end it in a split but not on the server.
        if (delimiter == ";" && OpensCompoundStatement(p, end)) pendingCompound = true;
    }

    bool MatchesDelimiter(const char *p) const
    {
        return (size_t)(end - p) >= delimiter.size() && memcmp(p, delimiter.data(), delimiter.size()) == 0;
    }

    const char *EndStatement(const char *p)
    {
        if (delimiter != ";") Replace(p, p + delimiter.size(), ";" + std::string(delimiter.size() - 1, ' '));
        inStatement = false;
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
            result.Certain = false;
            return end;
        }
        delimiter.assign(word, q - word);
        const char *lineEnd = q;
        while (lineEnd < end && *lineEnd != '\n') lineEnd++;
        Replace(p, lineEnd, "");
        return lineEnd;
    }
};

} // namespace

SCRIPTSTATEMENTS ScanStatements(const char *text, size_t length) { return Scanner(text, length).Run(); }

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
