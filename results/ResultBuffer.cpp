#include "results/ResultBuffer.h"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <new>

#include "base/ThreadStack.h"

#ifdef VINTREL_SANITIZE
#include <sanitizer/asan_interface.h>

#include <cstdlib>
#endif
#ifdef __WINE__
#include <sys/mman.h>
#endif

#ifndef VINTREL_SANITIZE
#define ASAN_POISON_MEMORY_REGION(address, size) ((void)(address), (void)(size))
#define ASAN_UNPOISON_MEMORY_REGION(address, size) ((void)(address), (void)(size))
#endif

namespace {
volatile LONG64 BytesHeld = 0;
size_t BytesLimit = 0;

// A limit set by a test makes the next request past it fail.
bool WithinLimit(size_t more)
{
    return BytesLimit == 0 || (size_t)InterlockedCompareExchange64(&BytesHeld, 0, 0) + more <= BytesLimit;
}

// The row index may reach 2^31 rows of 16 bytes; address space is cheap, so
// all of it is reserved, and committed 4 MiB at a time.
const size_t IndexReservation = size_t(1) << 35;
const size_t IndexChunk = 4 << 20;

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

// The index's address space, reserved without memory behind it, then
// committed chunk by chunk (populated at once on Linux, as the blocks are).
// It never moves, the memory check's build included: the grid reads rows
// through it while the worker appends more.
static char *ReserveIndex(size_t size)
{
#ifdef __WINE__
    void *pages = mmap(nullptr, size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    return pages == MAP_FAILED ? nullptr : static_cast<char *>(pages);
#else
    return static_cast<char *>(VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS));
#endif
}

static bool CommitIndex(char *at, size_t size)
{
#ifdef __WINE__
    return mmap(at, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED | MAP_POPULATE, -1, 0) != MAP_FAILED;
#else
    return VirtualAlloc(at, size, MEM_COMMIT, PAGE_READWRITE) != nullptr;
#endif
}

static void ReleaseIndex(char *base, size_t size)
{
#ifdef __WINE__
    munmap(base, size);
#else
    (void)size;
    VirtualFree(base, 0, MEM_RELEASE);
#endif
}

void *GridStorage::GrowIndex(size_t bytes)
{
    if (bytes <= IndexCommitted) return IndexBase;
    size_t wanted = (bytes + IndexChunk - 1) / IndexChunk * IndexChunk;
    if (!WithinLimit(wanted - IndexCommitted)) return nullptr;
    if (!IndexBase) {
        if (wanted > IndexReservation) return nullptr;
        IndexBase = ReserveIndex(IndexReservation);
        if (!IndexBase) return nullptr;
        IndexReserved = IndexReservation;
    }
    if (wanted > IndexReserved || !CommitIndex(IndexBase + IndexCommitted, wanted - IndexCommitted)) return nullptr;
    InterlockedExchangeAdd64(&BytesHeld, (LONG64)(wanted - IndexCommitted));
    Reserved += wanted - IndexCommitted;
    IndexCommitted = wanted;
    return IndexBase;
}

void GridStorage::FreeIndex()
{
    if (IndexBase) ReleaseIndex(IndexBase, IndexReserved);
    IndexBase = nullptr;
    IndexReserved = IndexCommitted = 0;
}

GridStorage::Block *GridStorage::NewBlock(size_t size)
{
    if (!WithinLimit(size)) return nullptr;
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

char *GridStorage::CopyTextWithLength(const char *text, size_t length)
{
    uint32_t kept = (uint32_t)length;
    if (kept != length) return nullptr;
    char *room = static_cast<char *>(Allocate(sizeof kept + length + 1));
    if (!room) return nullptr;
    memcpy(room, &kept, sizeof kept);
    memcpy(room + sizeof kept, text, length);
    room[sizeof kept + length] = 0;
    return room + sizeof kept;
}

void GridStorage::FreeAll()
{
    FreeIndex();
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

void GridStorage::LimitBytesForTests(size_t bytes) { BytesLimit = bytes; }

GRIDBUFFER *NewGridBuffer() { return new (std::nothrow) GRIDBUFFER(); }

void FreeGridBuffer(GRIDBUFFER *buffer) { delete buffer; }

namespace {

const size_t SmallBufferBytes = 1 << 20;

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
    // A small result (a view of one arriving, a script's one-row answers)
    // is freed at once: a thread would cost more than the freeing, and a
    // script of 500 SELECTs releases a thousand of them at its end.
    if (buffer->Storage.ReservedBytes() <= SmallBufferBytes) return FreeGridBuffer(buffer);
    HANDLE thread = CreateThread(nullptr, 0, ReleaseBufferThread, buffer, 0, nullptr);
    if (thread)
        CloseHandle(thread);
    else
        FreeGridBuffer(buffer); // no thread to be had: freeing late would leak it
}
