#include "grid/GridOutputClass.h"

#include <windows.h>

#include <cstdint>
#include <cstring>

namespace {
const size_t BlockSize = 1 << 20;  // 1 MiB
const size_t LargeRequest = BlockSize / 4;
}

GridStorage::Block *GridStorage::NewBlock(size_t size)
{
    Block *block = static_cast<Block *>(VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!block) return nullptr;
    block->Size = size;
    Reserved += size;
    return block;
}

void *GridStorage::Allocate(size_t size)
{
    size = (size + 7) & ~size_t(7);
    if (size > LargeRequest) {
        // A large array gets a block of its own, kept behind the current one
        // so the current block's free room is not lost.
        Block *block = NewBlock(sizeof(Block) + size);
        if (!block) return nullptr;
        if (Blocks) {
            block->Next = Blocks->Next;
            Blocks->Next = block;
        } else {
            block->Next = nullptr;
            Blocks = block;
        }
        return block + 1;
    }
    char *aligned = reinterpret_cast<char *>((reinterpret_cast<uintptr_t>(Cursor) + 7) & ~uintptr_t(7));
    if (!Cursor || (size_t)(Limit - aligned) < size) {
        Block *block = NewBlock(BlockSize);
        if (!block) return nullptr;
        block->Next = Blocks;
        Blocks = block;
        aligned = reinterpret_cast<char *>(block + 1);
        Limit = reinterpret_cast<char *>(block) + BlockSize;
    }
    Cursor = aligned;
    void *room = Cursor;
    Cursor += size;
    return room;
}

char *GridStorage::CopyText(const char *text, size_t length)
{
    // Texts need no alignment: pack them byte by byte.
    if (!Cursor || (size_t)(Limit - Cursor) < length + 1 || length + 1 > LargeRequest) {
        char *room = static_cast<char *>(Allocate(length + 1));
        if (!room) return nullptr;
        memcpy(room, text, length);
        room[length] = 0;
        return room;
    }
    char *room = Cursor;
    memcpy(room, text, length);
    room[length] = 0;
    Cursor += length + 1;
    return room;
}

void GridStorage::FreeAll()
{
    while (Blocks) {
        Block *next = Blocks->Next;
        VirtualFree(Blocks, 0, MEM_RELEASE);
        Blocks = next;
    }
    Cursor = Limit = nullptr;
    Reserved = 0;
}
