// Sorting a result's rows by a column, and matching cells for the find.
//
// Every row gets one 64-bit key: its row number in the low bits and, above
// them, as much of its value as fits. For a column of integers that is the
// whole value, and the keys sort as plain numbers; otherwise it is the first
// few characters (folded), and only rows whose first characters agree are
// compared in full. The keys are sorted in place, then narrowed in place to
// the 4-byte row numbers kept: at most 8 bytes a row at any time.
#include "grid/GridSort.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "base/TextFold.h"
#include "grid/GridExport.h"

namespace {

// ---- Numbers ----

struct DecimalParts {
    int Sign;                 // -1, 0 (the value is zero) or 1
    const char *Integer;      // digits without leading zeros
    size_t IntegerLength;
    const char *Fraction;     // digits without trailing zeros
    size_t FractionLength;
};

// False when the text is not a plain decimal number (an exponent, "inf").
bool ParseDecimal(const char *text, size_t length, DecimalParts *parts)
{
    const char *p = text, *end = text + length;
    while (p < end && *p == ' ') p++;
    int sign = 1;
    if (p < end && (*p == '-' || *p == '+')) sign = *p++ == '-' ? -1 : 1;
    const char *digits = p;
    while (p < end && *p >= '0' && *p <= '9') p++;
    const char *integerEnd = p;
    const char *fraction = p, *fractionEnd = p;
    if (p < end && *p == '.') {
        fraction = ++p;
        while (p < end && *p >= '0' && *p <= '9') p++;
        fractionEnd = p;
    }
    if (p != end || (integerEnd == digits && fractionEnd == fraction)) return false;
    while (digits < integerEnd && *digits == '0') digits++;
    while (fractionEnd > fraction && fractionEnd[-1] == '0') fractionEnd--;
    parts->Integer = digits;
    parts->IntegerLength = (size_t)(integerEnd - digits);
    parts->Fraction = fraction;
    parts->FractionLength = (size_t)(fractionEnd - fraction);
    parts->Sign = parts->IntegerLength == 0 && parts->FractionLength == 0 ? 0 : sign;
    return true;
}

int CompareMagnitudes(const DecimalParts &a, const DecimalParts &b)
{
    if (a.IntegerLength != b.IntegerLength) return a.IntegerLength < b.IntegerLength ? -1 : 1;
    int order = memcmp(a.Integer, b.Integer, a.IntegerLength);
    if (order != 0) return order < 0 ? -1 : 1;
    size_t common = std::min(a.FractionLength, b.FractionLength);
    order = memcmp(a.Fraction, b.Fraction, common);
    if (order != 0) return order < 0 ? -1 : 1;
    // The longer fraction has a digit other than zero beyond the other's.
    if (a.FractionLength != b.FractionLength) return a.FractionLength < b.FractionLength ? -1 : 1;
    return 0;
}

double TextToDouble(const char *text, size_t length)
{
    std::string copy(text, length);
    return strtod(copy.c_str(), nullptr);
}

// ---- Keys ----

// The first characters of a text cell, folded, when they are ASCII, 7 bits
// each, followed by how many of them count (3 bits): as many as fit in the
// bits the key leaves above the row number, at most 6. A character beyond
// ASCII may fold to one inside it (the Kelvin sign to k), so the prefix
// stops before it and the full comparison decides.
struct PrefixShape {
    int Characters; // 0 to 6
    int Shift;      // where the prefix starts in the key: the row number's bits
};

PrefixShape ShapeFor(int rowBits)
{
    int characters = (64 - rowBits - 3) / 7;
    if (characters > 6) characters = 6;
    if (characters < 0) characters = 0;
    return PrefixShape{characters, rowBits};
}

uint64_t TextPrefix(const char *text, size_t length, PrefixShape shape)
{
    uint64_t prefix = 0;
    int valid = 0;
    while (valid < shape.Characters && (size_t)valid < length && (unsigned char)text[valid] < 0x80) {
        prefix = prefix << 7 | fold::CodePoint((unsigned char)text[valid]);
        valid++;
    }
    prefix <<= 7 * (shape.Characters - valid);
    return prefix << 3 | (uint64_t)valid;
}

struct Sorter {
    const GRIDBUFFER *Data;
    int32_t Column;
    bool Descending;
    bool Number;
    const std::atomic<bool> *Cancel;
    int RowBits;
    uint64_t RowMask;
    PrefixShape Shape;

    uint32_t RowOf(uint64_t key) const { return (uint32_t)(key & RowMask); }

    // -1, 0 or 1 for the cells of two rows, ascending.
    int CompareCells(uint32_t a, uint32_t b) const
    {
        const TFieldList &rowA = Data->Rows[(int32_t)a], &rowB = Data->Rows[(int32_t)b];
        const char *cellA = rowA[Column], *cellB = rowB[Column];
        bool nullA = IsNullCell(Data, cellA), nullB = IsNullCell(Data, cellB);
        if (nullA || nullB) return nullA == nullB ? 0 : nullA ? -1 : 1;
        size_t lengthA = CellLength(rowA, Column), lengthB = CellLength(rowB, Column);
        if (Number) return CompareNumberTexts(cellA, lengthA, cellB, lengthB);
        int order = fold::Compare(std::string_view(cellA, lengthA), std::string_view(cellB, lengthB));
        if (order != 0) return order;
        order = memcmp(cellA, cellB, std::min(lengthA, lengthB));
        if (order != 0) return order < 0 ? -1 : 1;
        return lengthA == lengthB ? 0 : lengthA < lengthB ? -1 : 1;
    }

    // Keys of text and of numbers that are not all integers: the prefix
    // above the row number decides when it can.
    bool LessByPrefix(uint64_t a, uint64_t b) const
    {
        // A cancelled sort answers "not less" from then on: the algorithm's
        // loops only stop sooner, and the order is thrown away.
        if (Cancel && Cancel->load(std::memory_order_relaxed)) return false;
        uint64_t prefixA = a >> Shape.Shift, prefixB = b >> Shape.Shift;
        int valid = (int)std::min(prefixA & 7, prefixB & 7);
        int order = 0;
        if (valid > 0) {
            // The characters both prefixes hold, compared as one number.
            int unused = 7 * (Shape.Characters - valid) + 3;
            uint64_t x = prefixA >> unused, y = prefixB >> unused;
            if (x != y) order = x < y ? -1 : 1;
        }
        if (order == 0) order = CompareCells(RowOf(a), RowOf(b));
        if (Descending) order = -order;
        if (order != 0) return order < 0;
        return RowOf(a) < RowOf(b); // stable
    }
};

// Bits for the row numbers below count.
int BitsFor(uint64_t count)
{
    int bits = 1;
    while (bits < 64 && (1ull << bits) < count) bits++;
    return bits;
}

// A plain integer of at most 18 digits (so that it fits an int64_t).
bool ParseInteger(const char *text, size_t length, int64_t *value)
{
    size_t i = 0;
    bool negative = length > 0 && text[0] == '-';
    if (negative) i++;
    if (i == length || length - i > 18) return false;
    int64_t result = 0;
    for (; i < length; i++) {
        if (text[i] < '0' || text[i] > '9') return false;
        result = result * 10 + (text[i] - '0');
    }
    *value = negative ? -result : result;
    return true;
}

bool Cancelled(const std::atomic<bool> *cancel) { return cancel && cancel->load(std::memory_order_relaxed); }

// For a column of integers whose range fits beside the row numbers: keys
// that sort as plain numbers. NULL takes the lowest key ascending and the
// highest descending. False when the column is not such a column.
bool IntegerKeys(const Sorter &sorter, int32_t rows, uint64_t *keys)
{
    const GRIDBUFFER *data = sorter.Data;
    int32_t column = sorter.Column;
    int64_t low = INT64_MAX, high = INT64_MIN;
    for (int32_t r = 0; r < rows; r++) {
        const TFieldList &row = data->Rows[r];
        if (IsNullCell(data, row[column])) continue;
        int64_t value;
        if (!ParseInteger(row[column], CellLength(row, column), &value)) return false;
        low = std::min(low, value), high = std::max(high, value);
        if ((r & 0xFFFF) == 0 && Cancelled(sorter.Cancel)) return false;
    }
    if (low > high) low = high = 0; // NULLs alone
    uint64_t range = (uint64_t)high - (uint64_t)low;
    if (range >= (1ull << (64 - sorter.RowBits)) - 2) return false;
    for (int32_t r = 0; r < rows; r++) {
        const TFieldList &row = data->Rows[r];
        uint64_t rank;
        if (IsNullCell(data, row[column])) {
            rank = sorter.Descending ? range + 1 : 0;
        } else {
            int64_t value = 0;
            ParseInteger(row[column], CellLength(row, column), &value);
            rank = sorter.Descending ? (uint64_t)high - (uint64_t)value : (uint64_t)value - (uint64_t)low + 1;
        }
        keys[r] = rank << sorter.RowBits | (uint64_t)r;
    }
    return true;
}

void PrefixKeys(const Sorter &sorter, int32_t rows, uint64_t *keys)
{
    for (int32_t r = 0; r < rows; r++) {
        const TFieldList &row = sorter.Data->Rows[r];
        const char *cell = row[sorter.Column];
        uint64_t prefix = sorter.Number || IsNullCell(sorter.Data, cell)
                              ? 0
                              : TextPrefix(cell, CellLength(row, sorter.Column), sorter.Shape);
        keys[r] = prefix << sorter.Shape.Shift | (uint64_t)r;
    }
}

// Whether every text of the column is ASCII (NULL aside): its prefixes then
// order the rows on their own, the rest of each text deciding only among
// rows whose prefixes are equal.
bool AsciiColumn(const Sorter &sorter, int32_t rows)
{
    for (int32_t r = 0; r < rows; r++) {
        const TFieldList &row = sorter.Data->Rows[r];
        const char *cell = row[sorter.Column];
        if (IsNullCell(sorter.Data, cell)) continue;
        size_t length = CellLength(row, sorter.Column);
        for (size_t i = 0; i < length; i++)
            if ((unsigned char)cell[i] >= 0x80) return false;
        if ((r & 0xFFFF) == 0 && Cancelled(sorter.Cancel)) return false;
    }
    return true;
}

// Past this many characters alike, rows are compared whole.
const size_t DeepestPrefix = 60;

// The keys of the rows in [first, last) anew, their prefixes taken from
// offset on (every one of them holds that many characters).
void KeysFrom(const Sorter &sorter, uint64_t *first, uint64_t *last, size_t offset)
{
    for (uint64_t *key = first; key < last; key++) {
        uint32_t r = sorter.RowOf(*key);
        const TFieldList &row = sorter.Data->Rows[(int32_t)r];
        const char *cell = row[sorter.Column];
        uint64_t prefix = 0;
        if (!IsNullCell(sorter.Data, cell)) {
            size_t length = CellLength(row, sorter.Column);
            prefix = TextPrefix(cell + offset, length - offset, sorter.Shape);
        }
        *key = prefix << sorter.Shape.Shift | (uint64_t)r;
    }
}

// An ASCII column sorted by its prefixes as plain numbers (a text that
// ends inside its prefix has zeros after its end, and its length below
// them), then each run of rows whose prefixes agree: by the next
// characters when all of them go on, whole otherwise (equal texts, NULL
// beside empty text, ties by the bytes). Each row is read once per level
// instead of at every comparison.
void SortAsciiRange(const Sorter &sorter, uint64_t *first, uint64_t *last, size_t offset)
{
    KeysFrom(sorter, first, last, offset);
    int shift = sorter.Shape.Shift;
    bool descending = sorter.Descending;
    const std::atomic<bool> *cancel = sorter.Cancel;
    uint64_t mask = sorter.RowMask;
    std::sort(first, last, [=](uint64_t a, uint64_t b) {
        if (Cancelled(cancel)) return false;
        uint64_t x = a >> shift, y = b >> shift;
        if (x != y) return descending ? x > y : x < y;
        return (a & mask) < (b & mask);
    });
    for (uint64_t *run = first; run < last && !Cancelled(cancel);) {
        uint64_t prefix = *run >> shift;
        uint64_t *end = run + 1;
        while (end < last && (*end >> shift) == prefix) end++;
        if (end - run > 1) {
            size_t next = offset + (size_t)sorter.Shape.Characters;
            bool goesOn = sorter.Shape.Characters > 0 && (int)(prefix & 7) == sorter.Shape.Characters;
            if (goesOn && next < DeepestPrefix)
                SortAsciiRange(sorter, run, end, next);
            else
                std::sort(run, end, [&sorter](uint64_t a, uint64_t b) { return sorter.LessByPrefix(a, b); });
        }
        run = end;
    }
}

} // namespace

int CompareNumberTexts(const char *a, size_t aLength, const char *b, size_t bLength)
{
    DecimalParts x, y;
    if (!ParseDecimal(a, aLength, &x) || !ParseDecimal(b, bLength, &y)) {
        double p = TextToDouble(a, aLength), q = TextToDouble(b, bLength);
        return p < q ? -1 : p > q ? 1 : 0;
    }
    if (x.Sign != y.Sign) return x.Sign < y.Sign ? -1 : 1;
    int order = CompareMagnitudes(x, y);
    return x.Sign < 0 ? -order : order;
}

bool SortRows(const GRIDBUFFER *data, int32_t rows, int32_t column, bool descending, const std::atomic<bool> *cancel,
              ROWORDER *order)
{
    if (!data || rows < 0 || rows > data->Rows.Length() || column < 0 || column >= data->Fields.Length()) return false;
    size_t bytes = sizeof(uint64_t) * (size_t)(rows > 0 ? rows : 1);
    uint64_t *keys = static_cast<uint64_t *>(VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!keys) return false;
    Sorter sorter = {data, column, descending, IsNumberColumn(data, column), cancel, 0, 0};
    sorter.RowBits = BitsFor((uint64_t)rows);
    sorter.RowMask = (1ull << sorter.RowBits) - 1;
    if (sorter.Number && IntegerKeys(sorter, rows, keys)) {
        std::sort(keys, keys + rows, [cancel](uint64_t a, uint64_t b) { return !Cancelled(cancel) && a < b; });
    } else if (!Cancelled(cancel)) {
        sorter.Shape = ShapeFor(sorter.RowBits);
        if (!sorter.Number && AsciiColumn(sorter, rows)) {
            for (int32_t r = 0; r < rows; r++) keys[r] = (uint64_t)r;
            SortAsciiRange(sorter, keys, keys + rows, 0);
        } else {
            PrefixKeys(sorter, rows, keys);
            std::sort(keys, keys + rows, [&sorter](uint64_t a, uint64_t b) { return sorter.LessByPrefix(a, b); });
        }
    }
    if (Cancelled(cancel)) {
        VirtualFree(keys, 0, MEM_RELEASE);
        return false;
    }
    // Narrowed in place: the 4-byte number i is written over bytes that
    // key i / 2 held, already read.
    uint32_t *numbers = reinterpret_cast<uint32_t *>(keys);
    for (int32_t i = 0; i < rows; i++) numbers[i] = (uint32_t)(keys[i] & sorter.RowMask);
    // The upper half goes back to the system.
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    size_t page = system.dwPageSize, kept = (sizeof(uint32_t) * (size_t)rows + page - 1) / page * page;
    if (kept < bytes) VirtualFree(reinterpret_cast<char *>(keys) + kept, bytes - kept, MEM_DECOMMIT);
    // The way back, for a search that reads the rows in memory's order.
    uint32_t *positions = static_cast<uint32_t *>(
        VirtualAlloc(nullptr, sizeof(uint32_t) * (size_t)(rows > 0 ? rows : 1), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (positions)
        for (int32_t i = 0; i < rows; i++) positions[numbers[i]] = (uint32_t)i;
    FreeRowOrder(order);
    order->Rows = numbers;
    order->Count = rows;
    order->Positions = positions;
    return true;
}

void FreeRowOrder(ROWORDER *order)
{
    if (order->Rows) VirtualFree(order->Rows, 0, MEM_RELEASE);
    if (order->Positions) VirtualFree(order->Positions, 0, MEM_RELEASE);
    order->Rows = order->Positions = nullptr;
    order->Count = 0;
}

std::string_view ShownCellText(const TFieldList &row, int32_t column, std::string &scratch)
{
    const char *cell = row[column];
    size_t length = CellLength(row, column);
    if (IsTextValue(cell, length)) return std::string_view(cell, length);
    scratch.resize(2 + 2 * length);
    WriteHex(&scratch[0], cell, length);
    return scratch;
}

CELLSEARCH::CELLSEARCH(const std::string &what, bool matchCase)
    : Needle(matchCase ? what : fold::Utf8(what)), MatchCase(matchCase)
{
    NeedleAscii = true;
    for (unsigned char c : Needle)
        if (c >= 0x80) NeedleAscii = false;
}

namespace {

// The folding of ASCII, as fold::CodePoint does it, without the call.
inline unsigned char FoldAsciiByte(unsigned char c) { return c >= 'A' && c <= 'Z' ? (unsigned char)(c + 32) : c; }

// Whether ASCII text holds the folded ASCII needle, folding as it goes: no
// copy of the cell.
bool ContainsFoldedAscii(const char *text, size_t length, const std::string &needle)
{
    size_t n = needle.size();
    if (n == 0) return true;
    if (n > length) return false;
    unsigned char first = (unsigned char)needle[0];
    for (size_t i = 0; i + n <= length; i++) {
        if (FoldAsciiByte((unsigned char)text[i]) != first) continue;
        size_t j = 1;
        while (j < n && FoldAsciiByte((unsigned char)text[i + j]) == (unsigned char)needle[j]) j++;
        if (j == n) return true;
    }
    return false;
}

bool IsAsciiText(const char *text, size_t length)
{
    for (size_t i = 0; i < length; i++)
        if ((unsigned char)text[i] >= 0x80 || text[i] == 0) return false;
    return true;
}

} // namespace

bool CELLSEARCH::Matches(const TFieldList &row, int32_t column)
{
    const char *cell = row[column];
    size_t length = CellLength(row, column);
    // Most cells are ASCII text: searched where they lie.
    if (IsAsciiText(cell, length)) {
        if (MatchCase) return std::string_view(cell, length).find(Needle) != std::string_view::npos;
        // ASCII folds to ASCII only: a needle beyond it is not in this cell.
        return NeedleAscii && ContainsFoldedAscii(cell, length, Needle);
    }
    std::string_view text = ShownCellText(row, column, Shown);
    if (MatchCase) return text.find(Needle) != std::string_view::npos;
    return fold::Contains(text, Needle, Scratch);
}
