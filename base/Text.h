// Texts of the program: copies and whole files.
#pragma once

#include <cstddef>
#include <cstdint>

// A copy of text (null taken as "") in a new zeroed block of at least
// capacity bytes (released with free); null when out of memory.
char *DuplicateText(const char *text, size_t capacity = 0);

// The whole file as a new NUL-terminated text (released with free), or null
// when it cannot be opened or read, or holds 4 GB or more, or more than
// limit bytes. The bytes are not converted; length, when given, gets their
// count, for a file that holds zero bytes of its own. The file is opened
// with read and write sharing, so that a script open in another editor can
// still be read.
char *ReadWholeFile(const char *path, size_t *length = nullptr, size_t limit = SIZE_MAX);
