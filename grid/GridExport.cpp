// The export formats of Save As. The file is written through a buffer of a
// few megabytes as the rows are walked, so that a result of ten million rows
// needs no second copy of itself in memory.
#include "grid/GridExport.h"
#include "grid/GridSort.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <unordered_set>
#include <vector>

const char ExportFilter[] = "Tab-separated text (*.txt)\0*.txt\0"
                            "CSV (*.csv)\0*.csv\0"
                            "JSON (*.json)\0*.json\0";

ExportFormat ExportFormatFor(const char *path, DWORD filterIndex)
{
    const char *dot = strrchr(path, '.');
    if (dot && !strpbrk(dot, "\\/")) { // the dot of the file's own name
        if (lstrcmpiA(dot, ".csv") == 0) return ExportCsv;
        if (lstrcmpiA(dot, ".json") == 0) return ExportJson;
    }
    if (filterIndex == ExportCsv || filterIndex == ExportJson) return (ExportFormat)filterIndex;
    return ExportTabSeparated;
}

namespace {

// Collects the output and hands it to the file four megabytes at a time (a
// few large writes cost the system less than many small ones). After a
// failed write it only counts as failed.
class FileSink {
public:
    explicit FileSink(HANDLE file) : File(file), Start(static_cast<char *>(malloc(Size)))
    {
        Cursor = Start;
        End = Start ? Start + Size : nullptr;
    }
    ~FileSink() { free(Start); }
    FileSink(const FileSink &) = delete;
    FileSink &operator=(const FileSink &) = delete;

    bool Ready() const { return Start != nullptr; }
    bool Failed() const { return WriteFailed; }

    void Put(char c)
    {
        if (Cursor == End) Flush();
        *Cursor++ = c;
    }
    void Put(const char *text, size_t length)
    {
        if ((size_t)(End - Cursor) >= length) {
            memcpy(Cursor, text, length);
            Cursor += length;
            return;
        }
        Flush();
        if (length >= Size) {
            WriteOut(text, length);
            return;
        }
        memcpy(Cursor, text, length);
        Cursor += length;
    }
    // Writes what is left; true when every byte reached the file.
    bool Finish()
    {
        Flush();
        return !WriteFailed;
    }

private:
    static const size_t Size = 4 << 20;
    HANDLE File;
    char *Start;
    char *Cursor = nullptr;
    char *End = nullptr;
    bool WriteFailed = false;

    void Flush()
    {
        WriteOut(Start, (size_t)(Cursor - Start));
        Cursor = Start;
    }
    void WriteOut(const char *text, size_t length)
    {
        while (length > 0 && !WriteFailed) {
            DWORD chunk = length > (1u << 30) ? (1u << 30) : (DWORD)length, written = 0;
            WriteFailed = !WriteFile(File, text, chunk, &written, nullptr) || written != chunk;
            text += chunk;
            length -= chunk;
        }
    }
};

// Appends to a string: the JSON keys are escaped once, into memory.
struct StringSink {
    std::string &Text;
    void Put(char c) { Text.push_back(c); }
    void Put(const char *text, size_t length) { Text.append(text, length); }
};

// What a byte means to the scan of a value.
enum ByteClass : uint8_t { PlainByte, SpecialByte, NonAsciiByte, EndByte };

struct ByteClasses {
    uint8_t Of[256];
};

constexpr ByteClasses MakeClasses(const char *specials, bool controlsAreSpecial)
{
    ByteClasses classes{};
    for (int byte = 0; byte < 256; byte++)
        classes.Of[byte] = byte >= 0x80 ? NonAsciiByte : (controlsAreSpecial && byte < 0x20) ? SpecialByte : PlainByte;
    for (const char *s = specials; *s; s++) classes.Of[(unsigned char)*s] = SpecialByte;
    classes.Of[0] = EndByte;
    return classes;
}

// Bytes that make a CSV field quoted, and bytes a JSON string escapes.
constexpr ByteClasses CsvClasses = MakeClasses(",\"\r\n", false);
constexpr ByteClasses JsonClasses = MakeClasses("\"\\", true);

// The length of the UTF-8 character at text, 0 when it is not one (a stray
// or missing continuation byte, an overlong form, a surrogate, or past
// U+10FFFF). The NUL that ends a value is no continuation byte, so the
// check never reads past it.
size_t Utf8CharacterLength(const unsigned char *text)
{
    auto continuation = [](unsigned char byte) { return (byte & 0xC0) == 0x80; };
    unsigned char lead = text[0];
    if (lead >= 0xC2 && lead <= 0xDF) return continuation(text[1]) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        unsigned char low = lead == 0xE0 ? 0xA0 : 0x80, high = lead == 0xED ? 0x9F : 0xBF;
        return text[1] >= low && text[1] <= high && continuation(text[2]) ? 3 : 0;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        unsigned char low = lead == 0xF0 ? 0x90 : 0x80, high = lead == 0xF4 ? 0x8F : 0xBF;
        return text[1] >= low && text[1] <= high && continuation(text[2]) && continuation(text[3]) ? 4 : 0;
    }
    return 0;
}

struct ValueScan {
    size_t Length;
    bool HasSpecial;
    bool IsUtf8;
};

ValueScan ScanValue(const char *value, const ByteClasses &classes)
{
    const unsigned char *p = reinterpret_cast<const unsigned char *>(value);
    ValueScan scan = {0, false, true};
    for (;;) {
        uint8_t kind = classes.Of[*p];
        if (kind == PlainByte) {
            p++;
        } else if (kind == EndByte) {
            break;
        } else if (kind == SpecialByte) {
            scan.HasSpecial = true;
            p++;
        } else if (size_t length = Utf8CharacterLength(p)) {
            p += length;
        } else {
            scan.IsUtf8 = false;
            p++;
        }
    }
    scan.Length = (size_t)(p - reinterpret_cast<const unsigned char *>(value));
    return scan;
}

template <typename Sink>
void PutHex(Sink &out, const char *value, size_t length)
{
    static const char digits[] = "0123456789ABCDEF";
    out.Put("0x", 2);
    for (size_t i = 0; i < length; i++) {
        unsigned char byte = (unsigned char)value[i];
        out.Put(digits[byte >> 4]);
        out.Put(digits[byte & 15]);
    }
}

// A value with a zero byte (a row that keeps lengths holds one) is no
// text: only its hexadecimal digits carry every byte into the file.
bool HoldsZeroByte(const TFieldList &row, int32_t column)
{
    return row.LengthsKept && memchr(row[column], 0, CellLength(row, column));
}

bool PutBinaryValue(FileSink &out, const TFieldList &row, int32_t column)
{
    if (!HoldsZeroByte(row, column)) return false;
    PutHex(out, row[column], CellLength(row, column));
    return true;
}

// The r-th row in the order given, or the buffer's own.
const TFieldList &RowAt(const GRIDBUFFER *data, const ROWORDER *order, int32_t r)
{
    return data->Rows[order ? (int32_t)order->Rows[r] : r];
}

// ---- Tab-separated ----

void PutTabLine(FileSink &out, const TFieldList &line)
{
    for (int32_t c = 0; c < line.Length(); c++) {
        out.Put(line[c], CellLength(line, c));
        out.Put('\t');
    }
    out.Put("\r\n", 2);
}

void WriteTabSeparated(FileSink &out, const GRIDBUFFER *data, const ROWORDER *order)
{
    PutTabLine(out, data->Fields);
    for (int32_t r = 0; r < data->Rows.Length(); r++) {
        if (out.Failed()) return;
        PutTabLine(out, RowAt(data, order, r));
    }
}

// ---- CSV ----

void PutCsvField(FileSink &out, const char *value)
{
    ValueScan scan = ScanValue(value, CsvClasses);
    if (!scan.IsUtf8) return PutHex(out, value, scan.Length);
    if (!scan.HasSpecial && scan.Length > 0) return out.Put(value, scan.Length);
    out.Put('"');
    const char *end = value + scan.Length;
    for (const char *quote; (quote = static_cast<const char *>(memchr(value, '"', (size_t)(end - value))));
         value = quote + 1) {
        out.Put(value, (size_t)(quote - value) + 1);
        out.Put('"');
    }
    out.Put(value, (size_t)(end - value));
    out.Put('"');
}

// A NULL is an empty field without quotes, told from empty text ("").
void PutCsvRecord(FileSink &out, const GRIDBUFFER *data, const TFieldList &record)
{
    for (int32_t c = 0; c < record.Length(); c++) {
        if (c > 0) out.Put(',');
        if (!IsNullCell(data, record[c]) && !PutBinaryValue(out, record, c)) PutCsvField(out, record[c]);
    }
    out.Put("\r\n", 2);
}

void WriteCsv(FileSink &out, const GRIDBUFFER *data, const ROWORDER *order)
{
    out.Put("\xEF\xBB\xBF", 3); // so that spreadsheets read the text as UTF-8
    PutCsvRecord(out, data, data->Fields);
    for (int32_t r = 0; r < data->Rows.Length(); r++) {
        if (out.Failed()) return;
        PutCsvRecord(out, data, RowAt(data, order, r));
    }
}

// ---- JSON ----

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The length of a value that is a JSON number as it stands, 0 otherwise
// ("nan", "inf", leading zeros of ZEROFILL).
size_t JsonNumberLength(const char *value)
{
    const char *p = value;
    if (*p == '-') p++;
    if (*p == '0') p++;
    else if (IsDigit(*p)) while (IsDigit(*p)) p++;
    else return 0;
    if (*p == '.') {
        if (!IsDigit(*++p)) return 0;
        while (IsDigit(*p)) p++;
    }
    if (*p == 'e' || *p == 'E') {
        if (*++p == '+' || *p == '-') p++;
        if (!IsDigit(*p)) return 0;
        while (IsDigit(*p)) p++;
    }
    return *p ? 0 : (size_t)(p - value);
}

template <typename Sink>
void PutJsonEscaped(Sink &out, const char *value, size_t length)
{
    static const char digits[] = "0123456789abcdef";
    const char *run = value, *end = value + length;
    for (const char *p = value; p < end; p++) {
        if (JsonClasses.Of[(unsigned char)*p] != SpecialByte) continue;
        out.Put(run, (size_t)(p - run));
        run = p + 1;
        out.Put('\\');
        switch (*p) {
        case '"': out.Put('"'); break;
        case '\\': out.Put('\\'); break;
        case '\n': out.Put('n'); break;
        case '\r': out.Put('r'); break;
        case '\t': out.Put('t'); break;
        case '\b': out.Put('b'); break;
        case '\f': out.Put('f'); break;
        default:
            out.Put("u00", 3);
            out.Put(digits[(*p >> 4) & 15]);
            out.Put(digits[*p & 15]);
        }
    }
    out.Put(run, (size_t)(end - run));
}

template <typename Sink>
void PutJsonString(Sink &out, const char *value)
{
    ValueScan scan = ScanValue(value, JsonClasses);
    out.Put('"');
    if (!scan.IsUtf8) PutHex(out, value, scan.Length);
    else if (scan.HasSpecial) PutJsonEscaped(out, value, scan.Length);
    else out.Put(value, scan.Length);
    out.Put('"');
}

// Each column's key as written before its value: the escaped name, a colon.
// A name already taken by an earlier column gets "_2", "_3", ... so that no
// reader drops a column for a duplicate key (the id of both sides of a join).
std::vector<std::string> JsonKeys(const TFieldList &names)
{
    std::vector<std::string> keys;
    std::unordered_set<std::string> taken;
    for (const char *name : names) {
        std::string key = name;
        for (int n = 2; !taken.insert(key).second; n++) key = name + ("_" + std::to_string(n));
        std::string written;
        StringSink sink{written};
        PutJsonString(sink, key.c_str());
        written += ':';
        keys.push_back(written);
    }
    return keys;
}

void PutJsonObject(FileSink &out, const GRIDBUFFER *data, const std::vector<std::string> &keys, const TFieldList &row)
{
    out.Put('{');
    for (int32_t c = 0; c < row.Length(); c++) {
        if (c > 0) out.Put(',');
        out.Put(keys[c].data(), keys[c].size());
        const char *value = row[c];
        size_t number = 0;
        if (IsNullCell(data, value)) {
            out.Put("null", 4);
        } else if (IsNumberColumn(data, c) && (number = JsonNumberLength(value)) > 0) {
            out.Put(value, number);
        } else if (HoldsZeroByte(row, c)) {
            out.Put('"');
            PutBinaryValue(out, row, c);
            out.Put('"');
        } else {
            PutJsonString(out, value);
        }
    }
    out.Put('}');
}

void WriteJson(FileSink &out, const GRIDBUFFER *data, const ROWORDER *order)
{
    std::vector<std::string> keys = JsonKeys(data->Fields);
    out.Put('[');
    for (int32_t r = 0; r < data->Rows.Length() && !out.Failed(); r++) {
        out.Put(r > 0 ? ",\r\n" : "\r\n", r > 0 ? 3 : 2);
        PutJsonObject(out, data, keys, RowAt(data, order, r));
    }
    out.Put("\r\n]\r\n", 5);
}

} // namespace

bool IsTextValue(const char *value, size_t length)
{
    if (memchr(value, 0, length)) return false;
    return ScanValue(value, JsonClasses).IsUtf8;
}

char *WriteHex(char *out, const char *value, size_t length)
{
    struct {
        char *At;
        void Put(char c) { *At++ = c; }
        void Put(const char *text, size_t size) { memcpy(At, text, size), At += size; }
    } sink{out};
    PutHex(sink, value, length);
    return sink.At;
}

ExportOutcome WriteExport(HANDLE file, const GRIDBUFFER *data, ExportFormat format, const ROWORDER *order)
{
    FileSink out(file);
    if (!out.Ready()) return ExportNoMemory;
    try {
        switch (format) {
        case ExportCsv: WriteCsv(out, data, order); break;
        case ExportJson: WriteJson(out, data, order); break;
        default: WriteTabSeparated(out, data, order); break;
        }
    } catch (const std::bad_alloc &) {
        return ExportNoMemory;
    }
    return out.Finish() ? ExportWritten : ExportWriteFailed;
}
