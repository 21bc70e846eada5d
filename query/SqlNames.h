// How a name from the server is written into SQL text: as it is where the
// server reads it back unchanged, in backticks where it must be.
#pragma once

#include <string>
#include <string_view>

// Whether the server reserves the word (any case): such a name needs
// backticks.
bool IsReservedWord(std::string_view word);

// Whether a name needs backticks: a reserved word, a name with anything but
// ASCII letters, digits, "_" and "$", one that begins with a digit (and so
// may read as a number), or an empty one.
bool NameNeedsQuoting(std::string_view name);

// The name as it is written: in backticks (a backtick inside doubled) where
// it needs them.
std::string QuotedName(std::string_view name);

// A name qualified with its database where that is not the current one
// (compared as the server compares database names here: exactly).
std::string QualifiedName(std::string_view database, std::string_view name,
                          std::string_view currentDatabase);
