// Colouring: a language built from an EDITORLANGUAGE definition and a lexer
// that splits one line into coloured tokens. The state at the start of a
// line (inside a /* comment, inside a string or neither) is all that carries
// from one line to the next, so the window caches it per line.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "editor/CodeMaxControl.h"

enum TokenKind : uint8_t { TokText, TokKeyword, TokOperator, TokBracket, TokComment, TokString, TokNumber };

struct Token {
    uint32_t start;
    uint32_t length;
    TokenKind kind;
};

// Line start states: 0 plain, 1 inside a multi-line comment, 2 + n inside a
// string opened by delimiter n.
enum : uint8_t { LexPlain = 0, LexBlockComment = 1, LexStringBase = 2 };

struct Language {
    bool caseInsensitive = true;
    std::unordered_set<std::string> keywords;  // lower case when case-insensitive
    std::vector<std::string> operators;        // longest first
    std::vector<std::string> lineComments;
    std::string blockStart;
    std::string blockEnd;
    std::vector<std::string> openBrackets;
    std::vector<std::string> closeBrackets;
    std::vector<std::string> stringDelimiters;
    char escape = 0;

    static Language FromDefinition(const EDITORLANGUAGE &definition);
};

// Lexes one line that starts in state; appends its tokens (if tokens is not
// null; plain text between tokens is not listed) and returns the state at
// the start of the next line.
uint8_t LexLine(const Language &language, std::string_view line, uint8_t state, std::vector<Token> *tokens);

// The languages of CMRegisterLanguage, by name (names compare ignoring case).
void RegisterLanguage(const char *name, const EDITORLANGUAGE &definition);
std::shared_ptr<const Language> FindLanguage(const char *name);
