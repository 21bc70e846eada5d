// Texts of the program: copies and whole files.
#pragma once

#include <cstddef>

// A copy of text (null taken as "") in a new zeroed block of at least
// capacity bytes (released with free); null when out of memory.
char *DuplicateText(const char *text, size_t capacity = 0);

// The whole file as a new NUL-terminated text (released with free), or null
// when it cannot be opened or read, or holds 4 GB or more. The bytes are not
// converted. The file is opened with read and write sharing, so that a
// script open in another editor can still be read.
char *ReadWholeFile(const char *path);
