// Loading and saving files.
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
    // Walking and painting such text must not crash.
    Key(VK_END, true);
    for (int i = 0; i < 30; ++i) Key(VK_LEFT);
    UpdateWindow(editor);
    EXPECT_EQ(EDITOR_OK, Send(WM_EDITOR_SAVEFILE, 0, reinterpret_cast<LPARAM>(out.c_str())));
    EXPECT_EQ(bytes, ReadBytes(out));
    DeleteFileA(in.c_str());
    DeleteFileA(out.c_str());
}

TEST_F(EditorTest, BomIsKept)
{
    std::string in = TempPath("vintrel_editor_bom.sql");
    WriteBytes(in, "\xEF\xBB\xBFselect 1");
    EXPECT_EQ(EDITOR_OK, Send(WM_EDITOR_LOADFILE, 0, reinterpret_cast<LPARAM>(in.c_str())));
    EXPECT_EQ("select 1", Text());
    EXPECT_EQ(EDITOR_OK, Send(WM_EDITOR_SAVEFILE, 0, reinterpret_cast<LPARAM>(in.c_str())));
    EXPECT_EQ("\xEF\xBB\xBFselect 1", ReadBytes(in));
    DeleteFileA(in.c_str());
}

TEST_F(EditorTest, UnreadableOrUnwritableFileLeavesText)
{
    SetText("keep me");
    EXPECT_EQ(EDITOR_FAILED, Send(WM_EDITOR_LOADFILE, 0, reinterpret_cast<LPARAM>("C:\\no\\such\\file.sql")));
    EXPECT_EQ("keep me", Text());
    EXPECT_EQ(EDITOR_FAILED, Send(WM_EDITOR_SAVEFILE, 0, reinterpret_cast<LPARAM>("C:\\no\\such\\dir\\x.sql")));
    EXPECT_EQ("keep me", Text());
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
