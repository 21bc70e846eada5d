// The record of one captured result set, shared by the batch worker that
// fills it, the query window that owns it and the grid that shows it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>

// A fixed-length array whose storage belongs to the buffer's GridStorage.
template <typename T>
struct TDynArray {
    T *Items = nullptr;
    int32_t Count = 0;
    // For a row of cells: every cell keeps its length in the four bytes
    // before its text (the row holds a value with a zero byte, which a
    // NUL-terminated text would cut short). Fills what would be padding.
    uint32_t LengthsKept = 0;

    int32_t Length() const { return Count; }
    bool Empty() const { return Count == 0; }
    T &operator[](int32_t index) { return Items[index]; }
    const T &operator[](int32_t index) const { return Items[index]; }
    T *begin() { return Items; }
    T *end() { return Items + Count; }
    const T *begin() const { return Items; }
    const T *end() const { return Items + Count; }
};

// One row of cells, or the header row of column names: each entry a
// NUL-terminated text (in a row that keeps lengths, of that length).
typedef TDynArray<char *> TFieldList;

// The number of bytes of a cell's value, zero bytes included.
inline size_t CellLength(const TFieldList &row, int32_t column)
{
    const char *cell = row[column];
    if (!row.LengthsKept) return strlen(cell);
    uint32_t length;
    memcpy(&length, cell - sizeof length, sizeof length);
    return length;
}

// Owns every array and text of one buffer, placed in large blocks of virtual
// memory, so that a result of millions of cells costs a handful of
// allocations to make and to free, and freeing it gives the memory back to
// the system at once.
class GridStorage {
public:
    GridStorage() = default;
    GridStorage(const GridStorage &) = delete;
    GridStorage &operator=(const GridStorage &) = delete;
    ~GridStorage() { FreeAll(); }

    // Room for size bytes aligned for pointers, or null when out of memory.
    void *Allocate(size_t size);
    // A copy of the first length bytes of text followed by a NUL.
    char *CopyText(const char *text, size_t length);
    // The same with the length kept in the four bytes before the text.
    char *CopyTextWithLength(const char *text, size_t length);
    template <typename T>
    bool AllocateArray(TDynArray<T> &array, int32_t count)
    {
        array.Items = count > 0 ? static_cast<T *>(Allocate(sizeof(T) * (size_t)count)) : nullptr;
        array.Count = (count > 0 && !array.Items) ? 0 : count;
        return count <= 0 || array.Items;
    }
    // An array that grows in place as rows arrive, whose final length is not
    // known in advance (one per storage: the row index). Its address space
    // is reserved once and committed in chunks, so it is never copied. False
    // when out of memory; the array is then left as it was.
    template <typename T>
    bool GrowArray(TDynArray<T> &array, int32_t count)
    {
        void *items = count > 0 ? GrowIndex(sizeof(T) * (size_t)count) : nullptr;
        if (count > 0 && !items) return false;
        array.Items = static_cast<T *>(items);
        array.Count = count;
        return true;
    }
    void FreeAll();
    size_t ReservedBytes() const { return Reserved; }
    // What all buffers of the process hold from the system, in bytes.
    static size_t BytesHeldByAll();
    // Makes every buffer fail to grow past that many bytes held in all (0:
    // no limit), so that tests can run out of memory at will.
    static void LimitBytesForTests(size_t bytes);

private:
    struct Block {
        Block *Next;
        size_t Size;
    };
    Block *Blocks = nullptr;
    char *Cursor = nullptr;
    char *Limit = nullptr;
    size_t Reserved = 0;
    static const size_t FirstBlockSize = 64 << 10; // blocks grow from here to 4 MiB
    size_t NextBlockSize = FirstBlockSize;

    // The growable index: reserved address space and the part committed.
    char *IndexBase = nullptr;
    size_t IndexReserved = 0;
    size_t IndexCommitted = 0;

    Block *NewBlock(size_t size);
    void *GrowIndex(size_t bytes);
    void FreeIndex();
};

struct GRIDBUFFER {
    TFieldList Fields;            // column names in the server's order
    TDynArray<TFieldList> Rows;   // Rows[r][c]: the text of column c in row r; NULL is "NULL"
    TDynArray<int32_t> ColWidths; // display width of each column in pixels
    TDynArray<int32_t> TextWidths; // natural (uncapped) width of each column
    GridStorage Storage;          // holds all of the above
    // The one "NULL" text that every SQL NULL cell of the buffer points to,
    // so that a NULL can be told from the text 'NULL'; null until one comes.
    // Its length is kept before it, as in rows that keep lengths.
    const char *NullText = nullptr;
    // A ColumnKind per column; shorter (or empty) when not known, and a
    // column without a kind holds text.
    TDynArray<uint8_t> ColumnKinds;
    // The rows complete in the buffer, published by the thread that appends
    // them (after each row's cells, with release order) for a thread that
    // shows them while more arrive; Rows.Count is the appending thread's own.
    std::atomic<int32_t> RowsPublished{0};
    // A view of a result whose rows still arrive: what needs every row
    // (saving, sorting, finding) waits for the finished buffer that
    // replaces it.
    uint8_t StillArriving = 0;
};

// What an export needs to know of a column's values: a number column's
// values are the server's digits of a number.
enum ColumnKind : uint8_t { TextColumn = 0, NumberColumn = 1 };

inline bool IsNumberColumn(const GRIDBUFFER *buffer, int32_t column)
{
    return column < buffer->ColumnKinds.Length() && buffer->ColumnKinds[column] == NumberColumn;
}

// True when the cell is SQL NULL (not a text that reads "NULL").
inline bool IsNullCell(const GRIDBUFFER *buffer, const char *cell) { return cell && cell == buffer->NullText; }

// Width in pixels of a text of length bytes: 8 per byte plus a 4-pixel margin.
inline int32_t TextPixelWidth(size_t length) { return (int32_t)(length * 8 + 4); }

enum { MinColumnWidth = 12, MaxColumnWidth = 324, NullTextWidth = 36 };

// A new, empty buffer (null when out of memory).
GRIDBUFFER *NewGridBuffer();

// Frees the buffer and everything it owns on a thread of its own (a buffer
// of a megabyte or less at once); returns at once. The caller must not
// touch the buffer afterwards.
void ReleaseBuffer(GRIDBUFFER *buffer);

// Frees the buffer on the calling thread (the release thread's own work).
void FreeGridBuffer(GRIDBUFFER *buffer);
