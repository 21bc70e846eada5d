#include "editor/Lexer.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>

namespace {

std::vector<std::string> SplitList(const char *text)
{
    std::vector<std::string> items;
    if (!text) return items;
    std::string_view all(text);
    size_t start = 0;
    while (start < all.size()) {
        size_t lf = all.find('\n', start);
        if (lf == std::string_view::npos) lf = all.size();
        if (lf > start) items.emplace_back(all.substr(start, lf - start));
        start = lf + 1;
    }
    return items;
}

std::string Lower(std::string_view text)
{
    std::string out(text);
    for (char &c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// Letters, digits, '_', '$' and every byte of a non-ASCII character.
bool IsWordByte(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$' ||
           c >= 0x80;
}

bool StartsWith(std::string_view line, size_t at, const std::string &token)
{
    return !token.empty() && line.compare(at, token.size(), token) == 0;
}

const std::string *MatchAny(std::string_view line, size_t at, const std::vector<std::string> &tokens)
{
    for (const std::string &token : tokens)
        if (StartsWith(line, at, token)) return &token;
    return nullptr;
}

// The end of a string opened by delimiter, or npos when it runs past the line.
size_t StringEnd(const Language &language, std::string_view line, size_t at, const std::string &delimiter)
{
    while (at < line.size()) {
        if (language.escape && line[at] == language.escape) {
            at += 2;
            continue;
        }
        if (StartsWith(line, at, delimiter)) return at + delimiter.size();
        ++at;
    }
    return std::string_view::npos;
}

void Add(std::vector<Token> *tokens, size_t start, size_t end, TokenKind kind)
{
    if (tokens && end > start) tokens->push_back(Token{uint32_t(start), uint32_t(end - start), kind});
}

struct Registry {
    std::mutex lock;
    std::map<std::string, std::shared_ptr<const Language>> languages;
};
Registry &TheRegistry()
{
    static Registry registry;
    return registry;
}

} // namespace

Language Language::FromDefinition(const EDITORLANGUAGE &definition)
{
    Language language;
    language.caseInsensitive = definition.CaseInsensitive != 0;
    for (const std::string &word : SplitList(definition.Keywords))
        language.keywords.insert(language.caseInsensitive ? Lower(word) : word);
    language.operators = SplitList(definition.Operators);
    std::stable_sort(language.operators.begin(), language.operators.end(),
                     [](const std::string &a, const std::string &b) { return a.size() > b.size(); });
    language.lineComments = SplitList(definition.SingleLineComments);
    if (definition.MultiLineCommentStart) language.blockStart = definition.MultiLineCommentStart;
    if (definition.MultiLineCommentEnd) language.blockEnd = definition.MultiLineCommentEnd;
    language.openBrackets = SplitList(definition.OpeningBrackets);
    language.closeBrackets = SplitList(definition.ClosingBrackets);
    language.stringDelimiters = SplitList(definition.StringDelimiters);
    if (language.stringDelimiters.size() > 250) language.stringDelimiters.resize(250);
    language.escape = definition.EscapeCharacter < 0x80 ? static_cast<char>(definition.EscapeCharacter) : 0;
    return language;
}

uint8_t LexLine(const Language &language, std::string_view line, uint8_t state, std::vector<Token> *tokens)
{
    size_t at = 0;
    if (state == LexBlockComment) {
        size_t end = language.blockEnd.empty() ? std::string_view::npos : line.find(language.blockEnd);
        if (end == std::string_view::npos) {
            Add(tokens, 0, line.size(), TokComment);
            return LexBlockComment;
        }
        at = end + language.blockEnd.size();
        Add(tokens, 0, at, TokComment);
    } else if (state >= LexStringBase && size_t(state - LexStringBase) < language.stringDelimiters.size()) {
        size_t end = StringEnd(language, line, 0, language.stringDelimiters[state - LexStringBase]);
        if (end == std::string_view::npos) {
            Add(tokens, 0, line.size(), TokString);
            return state;
        }
        at = end;
        Add(tokens, 0, at, TokString);
    }

    while (at < line.size()) {
        unsigned char c = static_cast<unsigned char>(line[at]);
        if (c == ' ' || c == '\t') {
            ++at;
            continue;
        }
        if (StartsWith(line, at, language.blockStart)) {
            size_t end = language.blockEnd.empty()
                             ? std::string_view::npos
                             : line.find(language.blockEnd, at + language.blockStart.size());
            if (end == std::string_view::npos) {
                Add(tokens, at, line.size(), TokComment);
                return LexBlockComment;
            }
            Add(tokens, at, end + language.blockEnd.size(), TokComment);
            at = end + language.blockEnd.size();
            continue;
        }
        if (MatchAny(line, at, language.lineComments)) {
            Add(tokens, at, line.size(), TokComment);
            return LexPlain;
        }
        if (const std::string *delimiter = MatchAny(line, at, language.stringDelimiters)) {
            size_t end = StringEnd(language, line, at + delimiter->size(), *delimiter);
            if (end == std::string_view::npos) {
                Add(tokens, at, line.size(), TokString);
                return static_cast<uint8_t>(LexStringBase + (delimiter - language.stringDelimiters.data()));
            }
            Add(tokens, at, end, TokString);
            at = end;
            continue;
        }
        if (c == '`') {
            // A quoted name: plain text, whatever it holds.
            size_t end = line.find('`', at + 1);
            at = end == std::string_view::npos ? line.size() : end + 1;
            continue;
        }
        if (IsWordByte(c)) {
            size_t end = at;
            while (end < line.size() && IsWordByte(static_cast<unsigned char>(line[end]))) ++end;
            std::string_view word = line.substr(at, end - at);
            if (c >= '0' && c <= '9') {
                Add(tokens, at, end, TokNumber);
            } else if (tokens && !language.keywords.empty()) {
                bool found = language.caseInsensitive ? language.keywords.count(Lower(word)) > 0
                                                      : language.keywords.count(std::string(word)) > 0;
                if (found) Add(tokens, at, end, TokKeyword);
            }
            at = end;
            continue;
        }
        if (const std::string *op = MatchAny(line, at, language.operators)) {
            Add(tokens, at, at + op->size(), TokOperator);
            at += op->size();
            continue;
        }
        const std::string *bracket = MatchAny(line, at, language.openBrackets);
        if (!bracket) bracket = MatchAny(line, at, language.closeBrackets);
        if (bracket) {
            Add(tokens, at, at + bracket->size(), TokBracket);
            at += bracket->size();
            continue;
        }
        ++at;
    }
    return LexPlain;
}

void RegisterLanguage(const char *name, const EDITORLANGUAGE &definition)
{
    auto language = std::make_shared<const Language>(Language::FromDefinition(definition));
    Registry &registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.lock);
    registry.languages[Lower(name)] = std::move(language);
}

std::shared_ptr<const Language> FindLanguage(const char *name)
{
    if (!name) return nullptr;
    Registry &registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.lock);
    auto found = registry.languages.find(Lower(name));
    return found == registry.languages.end() ? nullptr : found->second;
}
