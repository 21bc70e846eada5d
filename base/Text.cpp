#include "base/Text.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

char *DuplicateText(const char *text, size_t capacity)
{
    if (!text) text = "";
    size_t length = strlen(text);
    if (capacity < length + 1) capacity = length + 1;
    char *copy = static_cast<char *>(calloc(capacity, 1));
    if (copy) memcpy(copy, text, length);
    return copy;
}

char *ReadWholeFile(const char *path, size_t *length, size_t limit)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    LARGE_INTEGER size;
    char *text = nullptr;
    if (GetFileSizeEx(file, &size) && size.QuadPart < 0xFFFFFFFFLL &&
        static_cast<unsigned long long>(size.QuadPart) <= limit) {
        DWORD bytes = static_cast<DWORD>(size.QuadPart);
        text = static_cast<char *>(calloc(static_cast<size_t>(bytes) + 1, 1));
        DWORD read = 0;
        // A failed or short read is a failure, not a shorter text.
        if (text && (!ReadFile(file, text, bytes, &read, nullptr) || read != bytes)) {
            free(text);
            text = nullptr;
        }
        if (text && length) *length = bytes;
    }
    CloseHandle(file);
    return text;
}
