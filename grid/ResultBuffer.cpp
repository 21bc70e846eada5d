#include "grid/ResultBuffer.h"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <new>

#include "base/ThreadStack.h"

#ifdef VINTREL_SANITIZE
#include <sanitizer/asan_interface.h>

#include <cstdlib>
#elif defined(__WINE__)
#include <sys/mman.h>
#endif

#ifndef VINTREL_SANITIZE
#define ASAN_POISON_MEMORY_REGION(address, size) ((void)(address), (void)(size))
#define ASAN_UNPOISON_MEMORY_REGION(address, size) ((void)(address), (void)(size))
#endif

namespace {
volatile LONG64 BytesHeld = 0;

// Blocks grow from FirstBlockSize for small results to 4 MiB for large ones.
const size_t MaxBlockSize = 4 << 20;
const size_t LargeRequest = 1 << 20;
}

// Blocks come straight from the system so that freeing them returns the
// memory at once. On Linux the pages are populated by the mapping call
// itself: faulting in a 100 MB result page by page costs more than copying
// it.
//
// The memory check's build takes them from the C heap instead, where
// AddressSanitizer sees them: a cell read after its buffer was released, or
// a block never given back, is then reported; the room of a block not yet
// handed out is poisoned.
static void *AllocatePages(size_t size)
{
#ifdef VINTREL_SANITIZE
    return malloc(size);
#elif defined(__WINE__)
    void *pages = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    return pages == MAP_FAILED ? nullptr : pages;
#else
    return VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
#endif
}

static void FreePages(void *pages, size_t size)
{
#ifdef VINTREL_SANITIZE
    free(pages);
#elif defined(__WINE__)
    munmap(pages, size);
#else
    VirtualFree(pages, 0, MEM_RELEASE);
#endif
}

GridStorage::Block *GridStorage::NewBlock(size_t size)
{
    Block *block = static_cast<Block *>(AllocatePages(size));
    if (!block) return nullptr;
    block->Size = size;
    ASAN_POISON_MEMORY_REGION(block + 1, size - sizeof(Block));
    Reserved += size;
    InterlockedExchangeAdd64(&BytesHeld, (LONG64)size);
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
        ASAN_UNPOISON_MEMORY_REGION(block + 1, size);
        return block + 1;
    }
    char *aligned = reinterpret_cast<char *>((reinterpret_cast<uintptr_t>(Cursor) + 7) & ~uintptr_t(7));
    if (!Cursor || (size_t)(Limit - aligned) < size) {
        size_t blockSize = NextBlockSize;
        Block *block = NewBlock(blockSize);
        if (!block) return nullptr;
        if (NextBlockSize < MaxBlockSize) NextBlockSize *= 2;
        block->Next = Blocks;
        Blocks = block;
        aligned = reinterpret_cast<char *>(block + 1);
        Limit = reinterpret_cast<char *>(block) + blockSize;
    }
    Cursor = aligned;
    void *room = Cursor;
    Cursor += size;
    ASAN_UNPOISON_MEMORY_REGION(room, size);
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
    ASAN_UNPOISON_MEMORY_REGION(room, length + 1);
    memcpy(room, text, length);
    room[length] = 0;
    Cursor += length + 1;
    return room;
}

void GridStorage::FreeAll()
{
    while (Blocks) {
        Block *next = Blocks->Next;
        FreePages(Blocks, Blocks->Size);
        Blocks = next;
    }
    Cursor = Limit = nullptr;
    InterlockedExchangeAdd64(&BytesHeld, -(LONG64)Reserved);
    Reserved = 0;
    NextBlockSize = FirstBlockSize;
}

size_t GridStorage::BytesHeldByAll() { return (size_t)InterlockedCompareExchange64(&BytesHeld, 0, 0); }

GRIDBUFFER *NewGridBuffer() { return new (std::nothrow) GRIDBUFFER(); }

void FreeGridBuffer(GRIDBUFFER *buffer) { delete buffer; }

namespace {

DWORD WINAPI ReleaseBufferThread(LPVOID parameter)
{
    AnnounceThreadStack();
    FreeGridBuffer(static_cast<GRIDBUFFER *>(parameter));
    return 0;
}

} // namespace

void ReleaseBuffer(GRIDBUFFER *buffer)
{
    if (!buffer) return;
    HANDLE thread = CreateThread(nullptr, 0, ReleaseBufferThread, buffer, 0, nullptr);
    if (thread)
        CloseHandle(thread);
    else
        FreeGridBuffer(buffer); // no thread to be had: freeing late would leak it
}
