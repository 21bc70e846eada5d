#include "history/HistoryStore.h"

#include <windows.h>

#include <immintrin.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>

namespace {

// "VHST" read as a little-endian number: the first bytes of every record.
const uint32_t RecordMark = 0x54534856;
const size_t HeaderSize = 12;
// Nothing a record holds comes near this: a text is cut to 1 MB.
const uint32_t MaxPayload = 4 * 1024 * 1024;
enum RecordKind : uint8_t { KindBatch = 1, KindRemoval = 2 };

// CRC-32 (the polynomial of zip and PNG), eight bytes at a time by the
// tables (the short records and the ends of long ones), the rest by
// carry-less multiplication: a 100 MB history is checked in a few
// milliseconds instead of some 60.
struct CrcTables {
    uint32_t Table[8][256];
    CrcTables()
    {
        for (uint32_t i = 0; i < 256; i++) {
            uint32_t c = i;
            for (int k = 0; k < 8; k++) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            Table[0][i] = c;
        }
        for (uint32_t i = 0; i < 256; i++)
            for (int t = 1; t < 8; t++) Table[t][i] = (Table[t - 1][i] >> 8) ^ Table[0][Table[t - 1][i] & 0xFF];
    }
};

// CRC-32 by carry-less multiplication (folding four 128-bit lanes, then a
// Barrett reduction): the bytes are checked many times faster than by the
// tables. size a multiple of 16, at least 64; crc as the tables keep it
// (inverted).
__attribute__((target("pclmul,sse4.1"))) uint32_t Crc32Clmul(const unsigned char *p, size_t size, uint32_t crc)
{
    alignas(16) static const uint64_t k1k2[] = {0x0154442bd4ull, 0x01c6e41596ull};
    alignas(16) static const uint64_t k3k4[] = {0x01751997d0ull, 0x00ccaa009eull};
    alignas(16) static const uint64_t k5k0[] = {0x0163cd6124ull, 0x0000000000ull};
    alignas(16) static const uint64_t poly[] = {0x01db710641ull, 0x01f7011641ull};
    __m128i x0, x1, x2, x3, x4, x5, x6, x7, x8;
    x1 = _mm_loadu_si128((const __m128i *)(p + 0x00));
    x2 = _mm_loadu_si128((const __m128i *)(p + 0x10));
    x3 = _mm_loadu_si128((const __m128i *)(p + 0x20));
    x4 = _mm_loadu_si128((const __m128i *)(p + 0x30));
    x1 = _mm_xor_si128(x1, _mm_cvtsi32_si128((int)crc));
    x0 = _mm_load_si128((const __m128i *)k1k2);
    p += 64;
    size -= 64;
    while (size >= 64) {
        x5 = _mm_clmulepi64_si128(x1, x0, 0x00);
        x6 = _mm_clmulepi64_si128(x2, x0, 0x00);
        x7 = _mm_clmulepi64_si128(x3, x0, 0x00);
        x8 = _mm_clmulepi64_si128(x4, x0, 0x00);
        x1 = _mm_clmulepi64_si128(x1, x0, 0x11);
        x2 = _mm_clmulepi64_si128(x2, x0, 0x11);
        x3 = _mm_clmulepi64_si128(x3, x0, 0x11);
        x4 = _mm_clmulepi64_si128(x4, x0, 0x11);
        x1 = _mm_xor_si128(_mm_xor_si128(x1, x5), _mm_loadu_si128((const __m128i *)(p + 0x00)));
        x2 = _mm_xor_si128(_mm_xor_si128(x2, x6), _mm_loadu_si128((const __m128i *)(p + 0x10)));
        x3 = _mm_xor_si128(_mm_xor_si128(x3, x7), _mm_loadu_si128((const __m128i *)(p + 0x20)));
        x4 = _mm_xor_si128(_mm_xor_si128(x4, x8), _mm_loadu_si128((const __m128i *)(p + 0x30)));
        p += 64;
        size -= 64;
    }
    // The four lanes into one.
    x0 = _mm_load_si128((const __m128i *)k3k4);
    for (__m128i next : {x2, x3, x4}) {
        x5 = _mm_clmulepi64_si128(x1, x0, 0x00);
        x1 = _mm_clmulepi64_si128(x1, x0, 0x11);
        x1 = _mm_xor_si128(_mm_xor_si128(x1, next), x5);
    }
    while (size >= 16) {
        x5 = _mm_clmulepi64_si128(x1, x0, 0x00);
        x1 = _mm_clmulepi64_si128(x1, x0, 0x11);
        x1 = _mm_xor_si128(_mm_xor_si128(x1, _mm_loadu_si128((const __m128i *)p)), x5);
        p += 16;
        size -= 16;
    }
    // 128 bits to 64, then to 32.
    x2 = _mm_clmulepi64_si128(x1, x0, 0x10);
    x3 = _mm_setr_epi32(~0, 0, ~0, 0);
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), x2);
    x0 = _mm_loadl_epi64((const __m128i *)k5k0);
    x2 = _mm_srli_si128(x1, 4);
    x1 = _mm_and_si128(x1, x3);
    x1 = _mm_xor_si128(_mm_clmulepi64_si128(x1, x0, 0x00), x2);
    x0 = _mm_load_si128((const __m128i *)poly);
    x2 = _mm_and_si128(x1, x3);
    x2 = _mm_clmulepi64_si128(x2, x0, 0x10);
    x2 = _mm_and_si128(x2, x3);
    x2 = _mm_clmulepi64_si128(x2, x0, 0x00);
    x1 = _mm_xor_si128(x1, x2);
    return (uint32_t)_mm_extract_epi32(x1, 1);
}

// Every x86-64 processor since 2010 has the instructions.
const bool HaveClmul = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");

uint32_t Crc32(const char *data, size_t size)
{
    static const CrcTables tables;
    const uint32_t(*t)[256] = tables.Table;
    const unsigned char *p = reinterpret_cast<const unsigned char *>(data);
    uint32_t crc = 0xFFFFFFFFu;
    if (HaveClmul && size >= 64) {
        size_t folded = size & ~(size_t)15;
        crc = Crc32Clmul(p, folded, crc);
        p += folded;
        size -= folded;
    }
    while (size >= 8) {
        uint32_t low, high;
        memcpy(&low, p, 4);
        memcpy(&high, p + 4, 4);
        low ^= crc;
        crc = t[7][low & 0xFF] ^ t[6][(low >> 8) & 0xFF] ^ t[5][(low >> 16) & 0xFF] ^ t[4][low >> 24] ^
              t[3][high & 0xFF] ^ t[2][(high >> 8) & 0xFF] ^ t[1][(high >> 16) & 0xFF] ^ t[0][high >> 24];
        p += 8;
        size -= 8;
    }
    while (size--) crc = t[0][(crc ^ *p++) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

// Little-endian writing and reading of the payload's fields.
template <typename T> void Put(std::string &out, T value)
{
    char bytes[sizeof(T)];
    memcpy(bytes, &value, sizeof(T));
    out.append(bytes, sizeof(T));
}

void PutText(std::string &out, const std::string &text)
{
    Put<uint32_t>(out, (uint32_t)text.size());
    out += text;
}

struct Reader {
    const char *At;
    const char *End;
    bool Good = true;

    template <typename T> T Get()
    {
        T value{};
        if ((size_t)(End - At) < sizeof(T)) {
            Good = false;
            return value;
        }
        memcpy(&value, At, sizeof(T));
        At += sizeof(T);
        return value;
    }
    std::string_view Text()
    {
        uint32_t length = Get<uint32_t>();
        if (!Good || (size_t)(End - At) < length) {
            Good = false;
            return {};
        }
        std::string_view text(At, length);
        At += length;
        return text;
    }
};

// A whole record, header and payload, appended to out.
void FrameRecord(std::string &out, const std::string &payload)
{
    Put<uint32_t>(out, RecordMark);
    Put<uint32_t>(out, (uint32_t)payload.size());
    Put<uint32_t>(out, Crc32(payload.data(), payload.size()));
    out += payload;
}

void AppendBatchRecord(std::string &out, const HISTORYENTRY &entry, std::string &payload)
{
    payload.clear();
    Put<uint8_t>(payload, KindBatch);
    Put<int64_t>(payload, entry.Started);
    Put<uint64_t>(payload, entry.Id);
    Put<uint32_t>(payload, entry.DurationMs);
    Put<uint8_t>(payload, entry.Outcome);
    Put<uint8_t>(payload, entry.Flags);
    Put<int64_t>(payload, entry.Rows);
    Put<int64_t>(payload, entry.Affected);
    Put<uint32_t>(payload, entry.ErrorNumber);
    PutText(payload, entry.Server);
    PutText(payload, entry.User);
    PutText(payload, entry.Database);
    PutText(payload, entry.Error);
    PutText(payload, entry.Text);
    // A record no reader would take is not written (texts are cut to 1 MB
    // long before this).
    if (payload.size() <= MaxPayload) FrameRecord(out, payload);
}

// A record found in the file: where it is, and what it says.
struct FOUNDRECORD {
    size_t Offset;
    size_t Size; // header included
    HISTORYITEM Item;
};

struct ENTRYKEY {
    int64_t Started;
    uint64_t Id;
    bool operator<(const ENTRYKEY &other) const
    {
        return Started != other.Started ? Started < other.Started : Id < other.Id;
    }
};

bool ParsePayload(const char *data, size_t size, FOUNDRECORD *record, std::vector<ENTRYKEY> *removals)
{
    Reader in{data, data + size};
    uint8_t kind = in.Get<uint8_t>();
    if (kind == KindRemoval) {
        ENTRYKEY key;
        key.Started = in.Get<int64_t>();
        key.Id = in.Get<uint64_t>();
        if (in.Good) removals->push_back(key);
        return false;
    }
    if (kind != KindBatch) return false;
    HISTORYITEM &item = record->Item;
    item.Started = in.Get<int64_t>();
    item.Id = in.Get<uint64_t>();
    item.DurationMs = in.Get<uint32_t>();
    item.Outcome = in.Get<uint8_t>();
    item.Flags = in.Get<uint8_t>();
    item.Rows = in.Get<int64_t>();
    item.Affected = in.Get<int64_t>();
    item.ErrorNumber = in.Get<uint32_t>();
    item.Server = in.Text();
    item.User = in.Text();
    item.Database = in.Text();
    item.Error = in.Text();
    item.Text = in.Text();
    return in.Good;
}

// The next place at or after from where a record mark starts, or size.
size_t NextMark(const char *data, size_t size, size_t from)
{
    static const char mark[4] = {'V', 'H', 'S', 'T'};
    if (from >= size) return size;
    const char *found = std::search(data + from, data + size, mark, mark + 4);
    return (size_t)(found - data);
}

// Where a scan of the file has got to: the file can be scanned as it is
// read, a piece at a time, while the piece just read is still in the cache.
struct SCANSTATE {
    size_t At = 0;
    size_t Skipped = 0;
    bool Seeking = false; // past a damaged record, looking for the next mark
};

// Every whole batch record of data[0, available) from state->At on, in the
// file's order, and the entries removed. complete false: more of the file
// follows, so a record cut at available is left for the next call.
// checkBodies false: the headers alone are followed (for counting), no
// checksum is computed and nothing is parsed.
void ScanSome(const char *data, size_t available, bool complete, SCANSTATE *state,
              std::vector<FOUNDRECORD> *records, std::vector<ENTRYKEY> *removals, bool checkBodies = true)
{
    size_t at = state->At;
    for (;;) {
        if (state->Seeking) {
            size_t next = NextMark(data, available, at);
            if (next >= available && !complete) {
                // A mark may start in the last bytes, cut by the piece's end.
                at = std::max(at, available > 3 ? available - 3 : 0);
                break;
            }
            at = next;
            state->Seeking = false;
        }
        if (at + HeaderSize > available) {
            if (complete) {
                if (at < available) state->Skipped++;
                at = available;
            }
            break;
        }
        uint32_t mark, length, crc;
        memcpy(&mark, data + at, 4);
        memcpy(&length, data + at + 4, 4);
        memcpy(&crc, data + at + 8, 4);
        bool framed = mark == RecordMark && length <= MaxPayload;
        bool fits = length <= available - at - HeaderSize;
        if (framed && !fits && !complete) break;
        const char *payload = data + at + HeaderSize;
        bool whole = framed && fits && (!checkBodies || Crc32(payload, length) == crc);
        if (!whole) {
            // Cut by a crash, or damaged: what follows the next mark is read.
            state->Skipped++;
            state->Seeking = true;
            at++;
            continue;
        }
        FOUNDRECORD record{at, HeaderSize + length, HISTORYITEM()};
        if (!checkBodies)
            records->push_back(record);
        else if (ParsePayload(payload, length, &record, removals))
            records->push_back(record);
        at += HeaderSize + length;
    }
    state->At = at;
}

// Every whole batch record of the file; the number of damaged or cut
// records passed over.
size_t ScanRecords(const char *data, size_t size, std::vector<FOUNDRECORD> *records,
                   std::vector<ENTRYKEY> *removals, bool checkBodies = true)
{
    SCANSTATE state;
    ScanSome(data, size, true, &state, records, removals, checkBodies);
    return state.Skipped;
}

// The records to keep, marked in keep (indexes into records): not removed,
// and the newest that fit the bound.
std::vector<bool> RecordsToKeep(const std::vector<FOUNDRECORD> &records, std::vector<ENTRYKEY> &removals,
                                const HISTORYBOUND &bound)
{
    std::sort(removals.begin(), removals.end());
    std::vector<uint32_t> order;
    order.reserve(records.size());
    for (uint32_t i = 0; i < records.size(); i++) {
        ENTRYKEY key{records[i].Item.Started, records[i].Item.Id};
        if (!std::binary_search(removals.begin(), removals.end(), key)) order.push_back(i);
    }
    // Newest first; of equal start times the one appended last first.
    std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
        return records[a].Item.Started != records[b].Item.Started ? records[a].Item.Started > records[b].Item.Started
                                                                  : a > b;
    });
    std::vector<bool> keep(records.size(), false);
    uint64_t bytes = 0;
    size_t kept = 0;
    for (uint32_t i : order) {
        if (kept >= bound.MaxEntries || bytes + records[i].Size > bound.MaxBytes) break;
        keep[i] = true;
        bytes += records[i].Size;
        kept++;
    }
    return keep;
}

std::string PathIn(const std::string &folder, const char *name) { return folder + "\\" + name; }

// The lock shared by every copy of the program: held for as long as the
// object lives. A copy waits for another's append or rewrite to end.
class HistoryLock {
public:
    explicit HistoryLock(const std::string &folder)
    {
        File = CreateFileA(PathIn(folder, HISTORY_LOCK_FILE).c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        if (File == INVALID_HANDLE_VALUE) return;
        OVERLAPPED place = {};
        Held = LockFileEx(File, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &place) != 0;
    }
    ~HistoryLock()
    {
        if (Held) {
            OVERLAPPED place = {};
            UnlockFileEx(File, 0, 1, 0, &place);
        }
        if (File != INVALID_HANDLE_VALUE) CloseHandle(File);
    }
    bool Held = false;

private:
    HANDLE File = INVALID_HANDLE_VALUE;
};

bool WriteAll(HANDLE file, const char *data, size_t size)
{
    while (size > 0) {
        DWORD chunk = (DWORD)std::min<size_t>(size, 64u * 1024 * 1024), written = 0;
        if (!WriteFile(file, data, chunk, &written, nullptr) || written == 0) return false;
        data += written;
        size -= written;
    }
    return true;
}

// The whole file into bytes, in one sequential pass of large reads; a
// missing file is empty. Each piece read is handed to onPiece (the bytes
// read so far) while it is still in the cache.
template <typename OnPiece>
bool ReadHistoryFile(const std::string &path, std::unique_ptr<char[]> &bytes, size_t &size, OnPiece onPiece)
{
    size = 0;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
    LARGE_INTEGER length = {};
    bool good = GetFileSizeEx(file, &length) != 0 && (uint64_t)length.QuadPart < SIZE_MAX / 2;
    if (good) {
        bytes.reset(new (std::nothrow) char[(size_t)length.QuadPart + 1]);
        good = bytes != nullptr;
    }
    // Large enough that the calls cost nothing, small enough that a piece
    // is still in the cache when it is checked.
    const uint64_t piece = 2u * 1024 * 1024;
    while (good && size < (size_t)length.QuadPart) {
        DWORD chunk = (DWORD)std::min<uint64_t>((uint64_t)length.QuadPart - size, piece), got = 0;
        // The new memory's pages are brought in by a write of our own
        // first: under Wine a read into pages never touched costs about
        // twice as much (measured: 100 MB read in 170 ms, touched then
        // read in 65 + 40 ms).
        for (size_t page = 0; page < chunk; page += 4096) bytes[size + page] = 0;
        if (!ReadFile(file, bytes.get() + size, chunk, &got, nullptr) || got == 0) break;
        size += got;
        onPiece(size);
    }
    CloseHandle(file);
    return good;
}

bool ReadHistoryFile(const std::string &path, std::unique_ptr<char[]> &bytes, size_t &size)
{
    return ReadHistoryFile(path, bytes, size, [](size_t) {});
}

uint64_t FileSize(const std::string &path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return ((uint64_t)data.nFileSizeHigh << 32) | data.nFileSizeLow;
}

bool AppendBytes(const std::string &path, const std::string &bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER zero = {};
    bool written = SetFilePointerEx(file, zero, nullptr, FILE_END) && WriteAll(file, bytes.data(), bytes.size());
    // On the disk before the next batch starts: a crash of the machine then
    // loses no more than a crash of the program.
    if (written) FlushFileBuffers(file);
    CloseHandle(file);
    return written;
}

// Under the lock: the kept records into a new file, renamed over the old.
bool RewriteLocked(const std::string &folder, const HISTORYBOUND &bound)
{
    std::string path = PathIn(folder, HISTORY_FILE), temporary = path + ".tmp";
    std::unique_ptr<char[]> bytes;
    size_t size = 0;
    if (!ReadHistoryFile(path, bytes, size)) return false;
    std::vector<FOUNDRECORD> records;
    std::vector<ENTRYKEY> removals;
    ScanRecords(bytes.get(), size, &records, &removals);
    std::vector<bool> keep = RecordsToKeep(records, removals, bound);
    HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool written = true;
    for (size_t i = 0; i < records.size() && written; i++)
        if (keep[i]) written = WriteAll(file, bytes.get() + records[i].Offset, records[i].Size);
    written = written && FlushFileBuffers(file);
    CloseHandle(file);
    if (!written || !MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        DeleteFileA(temporary.c_str());
        return false;
    }
    return true;
}

// Appends since the records were last counted, in this process: counting
// reads the whole file, so it is done once in a while, not at every batch.
std::atomic<size_t> AppendsSinceCount{SIZE_MAX / 2};

size_t CountRecords(const std::string &path)
{
    std::unique_ptr<char[]> bytes;
    size_t size = 0;
    if (!ReadHistoryFile(path, bytes, size)) return 0;
    std::vector<FOUNDRECORD> records;
    std::vector<ENTRYKEY> removals;
    ScanRecords(bytes.get(), size, &records, &removals, false);
    return records.size();
}

// The file has outgrown the bound by more than a tenth (in bytes at every
// append, in entries when they are counted).
bool OutgrownLocked(const std::string &folder, const HISTORYBOUND &bound, size_t appended)
{
    std::string path = PathIn(folder, HISTORY_FILE);
    if (FileSize(path) > bound.MaxBytes + bound.MaxBytes / 10) return true;
    size_t every = std::min<size_t>(1000, std::max<size_t>(1, bound.MaxEntries / 10));
    if (AppendsSinceCount.fetch_add(appended) + appended < every) return false;
    AppendsSinceCount = 0;
    return CountRecords(path) > bound.MaxEntries + std::max<size_t>(1, bound.MaxEntries / 10);
}

bool WordAt(const char *text, size_t left, const char *word, size_t length)
{
    if (left < length) return false;
    for (size_t k = 1; k < length; k++)
        if ((text[k] & 0xDF) != word[k]) return false;
    return true;
}

// Whether the text holds IDENTIFIED or PASSWORD in any case, in one pass
// (a script of many megabytes is looked through at the start of its batch).
// The words are upper-case ASCII: & 0xDF folds only the letters a-z onto
// them here.
bool CarriesPassword(const char *text, size_t length)
{
    for (size_t i = 0; i < length; i++) {
        char c = (char)(text[i] & 0xDF);
        if (c == 'I' && WordAt(text + i, length - i, "IDENTIFIED", 10)) return true;
        if (c == 'P' && WordAt(text + i, length - i, "PASSWORD", 8)) return true;
    }
    return false;
}

std::atomic<uint32_t> EntryCount{0};

} // namespace

void TextForHistory(const char *text, size_t length, HISTORYENTRY *entry)
{
    entry->Text.clear();
    entry->Flags &= ~(HistoryTextOmitted | HistoryTextCut);
    if (!text) return;
    if (length >= 3 && memcmp(text, "\xEF\xBB\xBF", 3) == 0) {
        text += 3;
        length -= 3;
    }
    if (CarriesPassword(text, length)) {
        entry->Flags |= HistoryTextOmitted;
        return;
    }
    if (length > HistoryTextLimit) {
        length = HistoryTextLimit;
        // Not in the middle of a character.
        while (length > 0 && (text[length] & 0xC0) == 0x80) length--;
        entry->Flags |= HistoryTextCut;
    }
    entry->Text.assign(text, length);
}

void StampHistoryEntry(HISTORYENTRY *entry)
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    entry->Started = (int64_t)(((uint64_t)now.dwHighDateTime << 32) | now.dwLowDateTime);
    entry->Id = ((uint64_t)GetCurrentProcessId() << 32) | ++EntryCount;
}

bool AppendHistory(const std::string &folder, const std::vector<HISTORYENTRY> &entries, const HISTORYBOUND &bound)
{
    if (folder.empty() || entries.empty()) return false;
    std::string bytes, payload;
    for (const HISTORYENTRY &entry : entries) AppendBatchRecord(bytes, entry, payload);
    if (bytes.empty()) return false;
    HistoryLock lock(folder);
    if (!lock.Held) return false;
    if (!AppendBytes(PathIn(folder, HISTORY_FILE), bytes)) return false;
    if (OutgrownLocked(folder, bound, entries.size())) RewriteLocked(folder, bound);
    return true;
}

bool RemoveHistoryEntry(const std::string &folder, int64_t started, uint64_t id)
{
    if (folder.empty()) return false;
    std::string bytes, payload;
    Put<uint8_t>(payload, KindRemoval);
    Put<int64_t>(payload, started);
    Put<uint64_t>(payload, id);
    FrameRecord(bytes, payload);
    HistoryLock lock(folder);
    return lock.Held && AppendBytes(PathIn(folder, HISTORY_FILE), bytes);
}

bool CompactHistory(const std::string &folder, const HISTORYBOUND &bound)
{
    if (folder.empty()) return false;
    HistoryLock lock(folder);
    return lock.Held && RewriteLocked(folder, bound);
}

bool LoadHistory(const std::string &folder, HISTORYLIST *list, const HISTORYBOUND &bound)
{
    list->Items.clear();
    list->Skipped = 0;
    list->Bytes.reset();
    list->Size = 0;
    // No folder, no history (and no file looked for at a drive's root).
    if (folder.empty()) return true;
    std::vector<FOUNDRECORD> records;
    std::vector<ENTRYKEY> removals;
    SCANSTATE state;
    {
        // Not in the middle of another copy's rewrite.
        HistoryLock lock(folder);
        bool read = ReadHistoryFile(PathIn(folder, HISTORY_FILE), list->Bytes, list->Size, [&](size_t available) {
            ScanSome(list->Bytes.get(), available, false, &state, &records, &removals);
        });
        if (!read) return false;
    }
    ScanSome(list->Bytes.get(), list->Size, true, &state, &records, &removals);
    list->Skipped = state.Skipped;
    std::vector<bool> keep = RecordsToKeep(records, removals, bound);
    list->Items.reserve(records.size());
    for (size_t i = records.size(); i-- > 0;)
        if (keep[i]) list->Items.push_back(records[i].Item);
    // Appended last is mostly started last: the sort has little to do.
    std::stable_sort(list->Items.begin(), list->Items.end(),
                     [](const HISTORYITEM &a, const HISTORYITEM &b) { return a.Started > b.Started; });
    return true;
}
