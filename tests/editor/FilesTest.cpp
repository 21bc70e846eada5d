// Loading and saving files, and the encodings they come in.
#include "EditorFixture.h"


namespace {

std::string TempPath(const char *name)
{
    char directory[MAX_PATH];
    GetTempPathA(MAX_PATH, directory);
    return std::string(directory) + name;
}

void WriteBytes(const std::string &path, const std::string &bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written = 0;
    WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::string ReadBytes(const std::string &path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "(missing)";
    std::string bytes;
    char buffer[4096];
    DWORD count;
    while (ReadFile(file, buffer, sizeof buffer, &count, nullptr) && count > 0) bytes.append(buffer, count);
    CloseHandle(file);
    return bytes;
}

} // namespace

TEST_F(EditorTest, LoadLfSaveCrLf)
{
    std::string in = TempPath("vintrel_editor_in.sql"), out = TempPath("vintrel_editor_out.sql");
    WriteBytes(in, "select 1;\nselect 2;\r\n");
    notifications.clear();
    EXPECT_EQ(EDITOR_OK, Send(WM_EDITOR_LOADFILE, 0, reinterpret_cast<LPARAM>(in.c_str())));
    EXPECT_EQ(1, CountNotifications(EDITORN_CHANGE));
    EXPECT_EQ("select 1;\r\nselect 2;\r\n", Text());
    EXPECT_EQ(EDITOR_OK, Send(WM_EDITOR_SAVEFILE, 0, reinterpret_cast<LPARAM>(out.c_str())));
    EXPECT_EQ("select 1;\r\nselect 2;\r\n", ReadBytes(out));
    DeleteFileA(in.c_str());
    DeleteFileA(out.c_str());
}

TEST_F(EditorTest, InvalidBytesAndNulRoundTrip)
{
    std::string in = TempPath("vintrel_editor_bytes.sql"), out = TempPath("vintrel_editor_bytes_out.sql");
    std::string bytes("select '\xFF\xC3\x28\x00\xE2\x82' -- \xA0\r\nx\ry\r\n", 26);
    WriteBytes(in, bytes);
    EXPECT_EQ(EDITOR_OK, Send(WM_EDITOR_LOADFILE, 0, reinterpret_cast<LPARAM>(in.c_str())));
    // Not UTF-8, so taken as Windows-1252: it comes back byte for byte, the
    // zero byte and the lone CR too. Walking and painting must not crash.
    Key(VK_END, true);
    for (int i = 0; i < 30; ++i) Key(VK_LEFT);
    UpdateWindow(editor);
    EXPECT_EQ(EDITOR_OK, Send(WM_EDITOR_SAVEFILE, 0, reinterpret_cast<LPARAM>(out.c_str())));
    EXPECT_EQ(bytes, ReadBytes(out));
    DeleteFileA(in.c_str());
    DeleteFileA(out.c_str());
}

TEST_F(EditorTest, UnreadableOrUnwritableFileLeavesText)
{
    SetText("keep me");
    EXPECT_EQ(EDITOR_FAILED, Send(WM_EDITOR_LOADFILE, 0, reinterpret_cast<LPARAM>("C:\\no\\such\\file.sql")));
    EXPECT_EQ("keep me", Text());
    EXPECT_EQ(EDITOR_FAILED, Send(WM_EDITOR_SAVEFILE, 0, reinterpret_cast<LPARAM>("C:\\no\\such\\dir\\x.sql")));
    EXPECT_EQ("keep me", Text());
}

TEST_F(EditorTest, LoadsAFileAnotherProgramHoldsOpenForWriting)
{
    std::string in = TempPath("vintrel_editor_held.sql");
    WriteBytes(in, "select 1");
    HANDLE writer = CreateFileA(in.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, writer);
    LRESULT result = Send(WM_EDITOR_LOADFILE, 0, reinterpret_cast<LPARAM>(in.c_str()));
    CloseHandle(writer);
    EXPECT_EQ(EDITOR_OK, result);
    EXPECT_EQ("select 1", Text());
    DeleteFileA(in.c_str());
}

TEST_F(EditorTest, LoadedTextUndoesNothing)
{
    std::string in = TempPath("vintrel_editor_undo.sql");
    WriteBytes(in, "select 1");
    Type(u"x");
    Send(WM_EDITOR_LOADFILE, 0, reinterpret_cast<LPARAM>(in.c_str()));
    EXPECT_EQ(0, Send(WM_EDITOR_CANUNDO));
    EXPECT_EQ(1, Sel().End.Line);
    EXPECT_EQ(1, Sel().End.Column);
    DeleteFileA(in.c_str());
}

class EncodingTest : public EditorTest {
protected:
    void Load(const std::string &bytes)
    {
        std::string in = TempPath("vintrel_editor_enc_in.sql");
        WriteBytes(in, bytes);
        EXPECT_EQ(EDITOR_OK, Send(WM_EDITOR_LOADFILE, 0, reinterpret_cast<LPARAM>(in.c_str())));
        DeleteFileA(in.c_str());
    }
    std::string Save()
    {
        std::string out = TempPath("vintrel_editor_enc_out.sql");
        EXPECT_EQ(EDITOR_OK, Send(WM_EDITOR_SAVEFILE, 0, reinterpret_cast<LPARAM>(out.c_str())));
        std::string saved = ReadBytes(out);
        DeleteFileA(out.c_str());
        return saved;
    }
};

namespace {

// "select '日€ü😀';" CR LF "-- ok" in UTF-8, and as UTF-16 units.
const std::string Utf8Text = "select '\xE6\x97\xA5\xE2\x82\xAC\xC3\xBC\xF0\x9F\x98\x80';\r\n-- ok";
const std::u16string Utf16Text = u"select '\x65E5\x20AC\xFC\U0001F600';\r\n-- ok";

std::string Utf16Bytes(const std::u16string &text, bool bigEndian)
{
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t unit : text) {
        char high = char(unit >> 8), low = char(unit & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

} // namespace

TEST_F(EncodingTest, Utf8WithBomRoundTrips)
{
    std::string bytes = "\xEF\xBB\xBF" + Utf8Text;
    Load(bytes);
    EXPECT_EQ(Utf8Text, Text()) << "the mark is kept aside, not sent with the first statement";
    EXPECT_EQ(bytes, Save());
}

TEST_F(EncodingTest, Utf16LittleAndBigEndianRoundTrip)
{
    std::string little = Utf16Bytes(Utf16Text, false), big = Utf16Bytes(Utf16Text, true);
    Load(little);
    EXPECT_EQ(Utf8Text, Text());
    EXPECT_EQ(little, Save());
    Load(big);
    EXPECT_EQ(Utf8Text, Text());
    EXPECT_EQ(big, Save());
    Insert(1, 1, "\xE6\x9C\xAC");
    EXPECT_EQ(Utf16Bytes(u"\x672C" + Utf16Text, true), Save()) << "an edit is saved in the same encoding";
}

TEST_F(EncodingTest, Windows1252RoundTrips)
{
    // Not UTF-8: "café € – naïve", then every byte from 0x80 up (the five
    // that Windows-1252 leaves undefined too).
    std::string bytes = "select 'caf\xE9 \x80 \x96 na\xEFve';\r\n-- ";
    for (int b = 0x80; b <= 0xFF; ++b) bytes += char(b);
    Load(bytes);
    EXPECT_EQ(0u, Text().find("select 'caf\xC3\xA9 \xE2\x82\xAC \xE2\x80\x93 na\xC3\xAFve';\r\n-- \xE2\x82\xAC\xC2\x81"))
        << "converted to UTF-8; an undefined byte stands for its C1 control";
    EXPECT_EQ(bytes, Save());
}

TEST_F(EncodingTest, Windows1252TextWithOtherCharactersIsSavedAsUtf8)
{
    Load("select 'caf\xE9'");
    Key(VK_END);
    Type(u"\x20AC");
    EXPECT_EQ("select 'caf\xE9'\x80", Save()) << "\u20AC is in Windows-1252";
    Type(u"\x65E5");
    EXPECT_EQ("select 'caf\xC3\xA9'\xE2\x82\xAC\xE6\x97\xA5", Save()) << "nothing is lost: UTF-8";
    Key(VK_BACK);
    EXPECT_EQ("select 'caf\xC3\xA9'\xE2\x82\xAC", Save()) << "and UTF-8 it stays";
}

TEST_F(EncodingTest, NewTextForgetsTheEncoding)
{
    Load(Utf16Bytes(Utf16Text, false));
    SetText("select 1");
    EXPECT_EQ("select 1", Save());
    Load("\xEF\xBB\xBFselect 1");
    Load("select 2");
    EXPECT_EQ("select 2", Save()) << "another load brings its own encoding";
}
