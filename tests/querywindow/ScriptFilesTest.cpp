// Script files and templates of a query window: the file dialogs answered by
// the driver, the file name and "*" of the title, and where inserted
// templates leave the caret.
#include "TestSupport.h"

#include <cstring>
#include <memory>
#include <string>

#include "DialogDriver.h"
#include "EditorSpy.h"
#include "FrameStandIn.h"
#include "TestFiles.h"
#include "base/Text.h"
#include "querywindow/ScriptFiles.h"
#include "resources/resource.h"
#include "querywindow/WindowRecords.h"

namespace {

LRESULT QueryEndSessionAnswer = 1;

// A query window as far as script files need one: it marks its text changed
// on the editor's first change notification and answers the close prompt.
LRESULT CALLBACK TestQueryWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto *child = reinterpret_cast<CHILDDATA *>(GetWindowLongPtrA(window, GWLP_USERDATA));
    switch (message) {
    case WM_NOTIFY:
        if (child && reinterpret_cast<NMHDR *>(lParam)->code == EDITORN_CHANGE && !child->Modified) {
            child->Modified = 1;
            UpdateTitle(child);
        }
        return 0;
    case WM_QUERYENDSESSION:
        return QueryEndSessionAnswer;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

class ScriptFilesTest : public testing::Test {
protected:
    void SetUp() override
    {
        static bool registered;
        if (!registered) {
            WNDCLASSA windowClass = {};
            windowClass.lpfnWndProc = TestQueryWindowProc;
            windowClass.hInstance = GetModuleHandleA(nullptr);
            windowClass.lpszClassName = "DialogsTestQueryWindow";
            RegisterClassA(&windowClass);
            registered = true;
        }
        QueryEndSessionAnswer = 1;
        child.Connection = NewConnectionInfo("h", "u", "p");
        strcpy(child.Connection->Database, "d");
        child.Connection->ServerUser = static_cast<char *>(calloc(ServerUserSize, 1));
        strcpy(child.Connection->ServerUser, "a");
        child.Window = CreateWindowExA(0, "DialogsTestQueryWindow", "", WS_OVERLAPPEDWINDOW, 100, 100,
                                       600, 400, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        SetWindowLongPtrA(child.Window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&child));
        frame.reset(new FrameStandIn(child.Window));
        child.Frame = frame->Window;
        child.Editor = CreateSpiedEditor(child.Window);
        PrepareFileDialog(&child);
        SetUntitledName(&child);
        UpdateTitle(&child);
        snprintf(AppDirectory, sizeof AppDirectory, "%s", directory.Path().c_str());
    }
    void TearDown() override
    {
        frame.reset();
        DestroyWindow(child.Window);
        FreeConnectionInfo(child.Connection);
    }

    EditorSpy &Editor() { return SpyOf(child.Editor); }
    std::string Title() { return WindowText(child.Window); }

    // Types into the editor as far as the window is concerned.
    void ChangeText(const std::string &text)
    {
        Editor().SetText(text);
        NMHDR change = {child.Editor, 3, EDITORN_CHANGE};
        SendMessageA(child.Window, WM_NOTIFY, 3, reinterpret_cast<LPARAM>(&change));
    }

    TempDirectory directory;
    std::unique_ptr<FrameStandIn> frame;
    CHILDDATA child = {};
    DialogDriver driver;
};

TEST_F(ScriptFilesTest, FileDialogRecordAndUntitledNames)
{
    const OPENFILENAMEA &dialog = child.FileDialog;
    EXPECT_EQ(sizeof(OPENFILENAMEA), dialog.lStructSize);
    EXPECT_EQ(child.Window, dialog.hwndOwner);
    // The filter ends at its second NUL in a row: 27 bytes, no more to read.
    EXPECT_EQ(0, memcmp(dialog.lpstrFilter, "Query Files (*.sql)\0*.sql\0", 27));
    EXPECT_EQ(child.FileName, dialog.lpstrFile);
    EXPECT_EQ(516u, dialog.nMaxFile);
    EXPECT_EQ(0x2006u, dialog.Flags);
    EXPECT_STREQ("sql", dialog.lpstrDefExt);
    EXPECT_FALSE(dialog.lpstrTitle);
    EXPECT_FALSE(dialog.lpstrInitialDir);

    // First window, second window, then a third after the first was closed.
    EXPECT_STREQ("Untitled1", child.FileName);
    EXPECT_EQ("Query - h.d.a - Untitled1", Title());
    for (int count : {2, 1 + 1}) {
        frame->WindowCount = count;
        SetUntitledName(&child);
        EXPECT_STREQ("Untitled2", child.FileName);
    }
}

TEST_F(ScriptFilesTest, SavingAnUntitledWindowProposesTheCurrentWindowCount)
{
    ChangeText("select 1;\r\nselect 2;");
    EXPECT_EQ("Query - h.d.a - Untitled1*", Title());
    frame->WindowCount = 3;
    std::string path = directory.File("saved.sql");
    std::string proposed;
    driver.Then([&](HWND dialog) {
        proposed = FileDialogName(dialog);
        SetFileDialogName(dialog, path);
        PressItem(dialog, IDOK);
    });
    EXPECT_TRUE(SaveScript(&child));
    EXPECT_TRUE(driver.Unexpected.empty());
    EXPECT_EQ("Untitled3", proposed);
    EXPECT_EQ("select 1;\r\nselect 2;", ReadBytes(path));
    EXPECT_EQ(1, child.HasFileName);
    EXPECT_EQ(0, child.Modified);
    EXPECT_STREQ(path.c_str(), child.FileName);
    EXPECT_EQ("Query - h.d.a - " + path, Title());

    // With a file, Save writes without asking.
    ChangeText("select 3;");
    EXPECT_TRUE(SaveScript(&child));
    EXPECT_TRUE(driver.Unexpected.empty());
    EXPECT_EQ("select 3;", ReadBytes(path));
    EXPECT_EQ("Query - h.d.a - " + path, Title());
}

TEST_F(ScriptFilesTest, CancellingTheSaveDialogOfAnUntitledWindowChangesNothingElse)
{
    ChangeText("select 1;");
    frame->WindowCount = 2;
    driver.Then([&](HWND dialog) { PressItem(dialog, IDCANCEL); });
    EXPECT_FALSE(SaveScript(&child));
    EXPECT_STREQ("Untitled2", child.FileName);
    EXPECT_EQ(0, child.HasFileName);
    EXPECT_EQ(1, child.Modified);
    EXPECT_EQ("Query - h.d.a - Untitled1*", Title());
}

TEST_F(ScriptFilesTest, SaveAsAlwaysAsksAndCancellingKeepsTheFile)
{
    std::string first = directory.File("first.sql"), second = directory.File("second.sql");
    strcpy(child.FileName, first.c_str());
    child.HasFileName = 1;
    ChangeText("select 1;");

    driver.Then([&](HWND dialog) { PressItem(dialog, IDCANCEL); });
    EXPECT_FALSE(SaveScriptAs(&child));
    EXPECT_EQ(0u, driver.Pending());
    EXPECT_STREQ(first.c_str(), child.FileName);
    EXPECT_EQ(1, child.HasFileName);
    EXPECT_EQ(1, child.Modified);

    driver.Then([&](HWND dialog) {
        SetFileDialogName(dialog, second);
        PressItem(dialog, IDOK);
    });
    EXPECT_TRUE(SaveScriptAs(&child));
    EXPECT_STREQ(second.c_str(), child.FileName);
    EXPECT_EQ("select 1;", ReadBytes(second));
    EXPECT_FALSE(FileExists(first));
    EXPECT_TRUE(driver.Unexpected.empty());
}

TEST_F(ScriptFilesTest, AFailedSaveIsReportedAndTheTextStaysChanged)
{
    // Held open without sharing, as by another program; a read-only file
    // would not do, because the tests may run with the rights of root.
    std::string locked = directory.File("locked.sql");
    WriteBytes(locked, "old");
    HANDLE lock = CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, lock);
    std::string missingDirectory = directory.File("missing\\x.sql");

    for (const std::string &path : {locked, missingDirectory}) {
        SCOPED_TRACE(path);
        strcpy(child.FileName, path.c_str());
        child.HasFileName = 1;
        UpdateTitle(&child);
        ChangeText("select 1;");
        std::string message;
        driver.Then([&](HWND box) {
            message = MessageBoxText(box);
            EXPECT_EQ("Vintrel", WindowText(box));
            PressItem(box, IDOK);
        });
        EXPECT_FALSE(SaveScript(&child));
        EXPECT_NE(std::string::npos, message.find(path)) << message;
        EXPECT_EQ(1, child.Modified);
        EXPECT_EQ("Query - h.d.a - " + path + "*", Title());
    }
    CloseHandle(lock);
    EXPECT_EQ("old", ReadBytes(locked));
    EXPECT_TRUE(driver.Unexpected.empty());
}

TEST_F(ScriptFilesTest, OpenLoadsTheFileAsUnchangedText)
{
    std::string path = directory.File("script.sql");
    WriteBytes(path, "select 42;\r\nselect 43;");
    ChangeText("typed text");
    driver.Then([&](HWND dialog) {
        EXPECT_EQ("", FileDialogName(dialog));
        SetFileDialogName(dialog, path);
        PressItem(dialog, IDOK);
    });
    OpenScript(&child);
    EXPECT_TRUE(driver.Unexpected.empty());
    EXPECT_EQ("select 42;\r\nselect 43;", Editor().Text());
    EXPECT_STREQ(path.c_str(), child.FileName);
    EXPECT_EQ(1, child.HasFileName);
    EXPECT_EQ(0, child.Modified);
    EXPECT_EQ("Query - h.d.a - " + path, Title());
}

TEST_F(ScriptFilesTest, OpenStopsWhenTheWindowKeepsItsTextOrTheDialogIsCancelled)
{
    std::string path = directory.File("script.sql");
    WriteBytes(path, "select 42;");
    ChangeText("typed text");
    QueryEndSessionAnswer = 0; // Cancel at the changed-text prompt
    driver.Then([&](HWND dialog) {
        SetFileDialogName(dialog, path);
        PressItem(dialog, IDOK);
    });
    OpenScript(&child);
    driver.Then([&](HWND dialog) { PressItem(dialog, IDCANCEL); });
    OpenScript(&child);
    EXPECT_TRUE(driver.Unexpected.empty());
    EXPECT_EQ("typed text", Editor().Text());
    EXPECT_STREQ("Untitled1", child.FileName);
    EXPECT_EQ(0, child.HasFileName);
    EXPECT_EQ("Query - h.d.a - Untitled1*", Title());
}

TEST_F(ScriptFilesTest, AFileTheEditorCannotReadLeavesTheWindowAsItWas)
{
    // Held open without sharing, as by another program.
    std::string path = directory.File("locked.sql");
    WriteBytes(path, "select 42;");
    HANDLE lock = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, lock);
    ChangeText("typed text");
    std::string message;
    driver
        .Then([&](HWND dialog) {
            SetFileDialogName(dialog, path);
            PressItem(dialog, IDOK);
        })
        .Then([&](HWND box) {
            message = MessageBoxText(box);
            PressItem(box, IDOK);
        });
    OpenScript(&child);
    CloseHandle(lock);
    EXPECT_TRUE(driver.Unexpected.empty());
    EXPECT_NE(std::string::npos, message.find(path)) << message;
    EXPECT_EQ("typed text", Editor().Text());
    EXPECT_STREQ("Untitled1", child.FileName);
    EXPECT_EQ(0, child.HasFileName);
    EXPECT_EQ(1, child.Modified);
}

TEST_F(ScriptFilesTest, ReadWholeFileTakesTheBytesAsTheyAre)
{
    EXPECT_EQ(nullptr, ReadWholeFile(directory.File("none.sql").c_str()));
    WriteBytes(directory.File("empty.sql"), "");
    char *empty = ReadWholeFile(directory.File("empty.sql").c_str());
    ASSERT_TRUE(empty);
    EXPECT_STREQ("", empty);
    free(empty);
    WriteBytes(directory.File("bytes.sql"), std::string("a\r\n\xc3\xbc\0rest", 9));
    char *bytes = ReadWholeFile(directory.File("bytes.sql").c_str());
    ASSERT_TRUE(bytes);
    EXPECT_STREQ("a\r\n\xc3\xbc", bytes);
    EXPECT_EQ('r', bytes[6]);
    free(bytes);
    // A script another editor holds open for writing is still read.
    HANDLE writer = CreateFileA(directory.File("bytes.sql").c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, writer);
    char *shared = ReadWholeFile(directory.File("bytes.sql").c_str());
    CloseHandle(writer);
    ASSERT_TRUE(shared);
    EXPECT_STREQ("a\r\n\xc3\xbc", shared);
    free(shared);
}

class TemplateInsertionTest : public ScriptFilesTest {
protected:
    void SetUp() override
    {
        ScriptFilesTest::SetUp();
        CreateDirectoryA(directory.File("templates").c_str(), nullptr);
        Editor().SetText("line 1\r\nline 2\r\nline 3\r\nselect * from t where x = 1\r\nline 5");
        EDITORRANGE caret = {{4, 10}, {4, 10}};
        SendMessageA(child.Editor, WM_EDITOR_SETSEL, 1, reinterpret_cast<LPARAM>(&caret));
        Editor().SetSelCount = 0;
    }
    void Template(const std::string &name, const std::string &text) { WriteBytes(directory.File("templates\\" + name), text); }
    EDITORPOSITION Caret() { return Editor().Selection.End; }
};

TEST_F(TemplateInsertionTest, ThreeLinesWithoutAFinalBreakLeaveTheCaretAfterTheLastLine)
{
    Template("three.sql", "CREATE TABLE t (\r\n  id INT\r\n) ENGINE = InnoDB;");
    InsertTemplate(&child, "\\templates\\three.sql");
    EXPECT_EQ(6, Caret().Line);
    EXPECT_EQ(static_cast<int>(strlen(") ENGINE = InnoDB;")) + 1, Caret().Column);
    EXPECT_EQ(Editor().InsertedEnd.Line, Caret().Line);
    EXPECT_EQ(Editor().InsertedEnd.Column, Caret().Column);
    EXPECT_EQ(Editor().Selection.Start.Line, Caret().Line);
    EXPECT_EQ(Editor().Selection.Start.Column, Caret().Column);
    EXPECT_EQ("select * CREATE TABLE t (", Editor().Lines[3]);
    EXPECT_EQ(") ENGINE = InnoDB;from t where x = 1", Editor().Lines[5]);
}

TEST_F(TemplateInsertionTest, OneLineMovesTheCaretAlongItsLine)
{
    Template("one.sql", "DROP TABLE t;");
    InsertTemplate(&child, "\\templates\\one.sql");
    EXPECT_EQ(4, Caret().Line);
    EXPECT_EQ(10 + 13, Caret().Column);
    EXPECT_EQ(Editor().InsertedEnd.Column, Caret().Column);
}

TEST_F(TemplateInsertionTest, InsertsAtTheEndOfTheSelectionWithoutDeletingIt)
{
    Template("one.sql", "X");
    EDITORRANGE selection = {{2, 1}, {4, 3}};
    SendMessageA(child.Editor, WM_EDITOR_SETSEL, 1, reinterpret_cast<LPARAM>(&selection));
    InsertTemplate(&child, "\\templates\\one.sql");
    EXPECT_EQ("line 2", Editor().Lines[1]);
    EXPECT_EQ("seXlect * from t where x = 1", Editor().Lines[3]);
    EXPECT_EQ(4, Caret().Line);
    EXPECT_EQ(4, Caret().Column);
}

TEST_F(TemplateInsertionTest, LineFeedsAloneCountAsLineBreaks)
{
    EDITORPOSITION after = PositionAfterText({4, 10}, "a\nbb\nccc");
    EXPECT_EQ(6, after.Line);
    EXPECT_EQ(4, after.Column);
}

TEST_F(TemplateInsertionTest, AMissingTemplateInsertsNothingAndSaysNothing)
{
    InsertTemplate(&child, "\\templates\\missing.sql");
    EXPECT_EQ(0, Editor().InsertCount);
    EXPECT_EQ(0, Editor().SetSelCount);
    EXPECT_TRUE(driver.Unexpected.empty());
}

TEST_F(TemplateInsertionTest, InsertTemplateFileAsksForAFileAndLeavesTheCaretToTheEditor)
{
    std::string path = directory.File("any.sql");
    WriteBytes(path, "SELECT 1;\r\nSELECT 2;");
    std::string title;
    driver.Then([&](HWND dialog) {
        title = WindowText(dialog);
        SetFileDialogName(dialog, path);
        PressItem(dialog, IDOK);
    });
    InsertTemplateFile(&child);
    EXPECT_EQ("Open Template", title);
    EXPECT_EQ(1, Editor().InsertCount);
    EXPECT_EQ(0, Editor().SetSelCount);
    EXPECT_EQ("select * SELECT 1;", Editor().Lines[3]);

    driver.Then([&](HWND dialog) { PressItem(dialog, IDCANCEL); });
    InsertTemplateFile(&child);
    EXPECT_EQ(1, Editor().InsertCount);
    EXPECT_TRUE(driver.Unexpected.empty());
}

// The five templates shipped beside the program are statements the server
// accepts, each sent whole as one query, as the program sends a batch.
TEST(ShippedTemplates, AreStatementsTheServerAccepts)
{
    snprintf(AppDirectory, sizeof AppDirectory, "%s", DosPath(VINTREL_BUILD_DIR).c_str());
    MYSQL *mysql = ConnectTestServer();
    ASSERT_TRUE(mysql);
    ExecSql(mysql, "DROP DATABASE IF EXISTS dialogs_tests_templates");
    const char *const order[] = {TEMPLATE_CREATEDATABASE, TEMPLATE_CREATETABLE, TEMPLATE_CREATEINDEX,
                                 TEMPLATE_CREATEFUNCTION, TEMPLATE_CREATEPROCEDURE};
    for (const char *name : order) {
        SCOPED_TRACE(name);
        char *text = ReadTemplate(name);
        ASSERT_TRUE(text);
        std::string sql = text;
        free(text);
        EXPECT_NE(std::string::npos, sql.find("\r\n"));
        EXPECT_EQ(std::string::npos, sql.find("\n\n"));
        if (name == std::string(TEMPLATE_CREATEDATABASE)) {
            for (size_t at; (at = sql.find("database_name")) != std::string::npos;)
                sql.replace(at, strlen("database_name"), "dialogs_tests_templates");
            ExecSql(mysql, sql);
            ExecSql(mysql, "USE dialogs_tests_templates");
        } else {
            ExecSql(mysql, sql);
        }
    }
    EXPECT_EQ("42", QueryValue(mysql, "SELECT function_name(21)"));
    ExecSql(mysql, "CALL procedure_name(21, @result)");
    EXPECT_EQ("42", QueryValue(mysql, "SELECT @result"));
    EXPECT_EQ("1", QueryValue(mysql, "SELECT COUNT(*) FROM information_schema.statistics WHERE table_schema = "
                                     "'dialogs_tests_templates' AND index_name = 'index_name'"));
    ExecSql(mysql, "DROP DATABASE dialogs_tests_templates");
    mysql_close(mysql);

    // Every template command has its file: New and Insert Template of the
    // same statement take the same one.
    const UINT pairs[][2] = {{CMD_NEWDATABASE, CMD_INSERTDATABASE}, {CMD_NEWTABLE, CMD_INSERTTABLE},
                             {CMD_NEWINDEX, CMD_INSERTINDEX}, {CMD_NEWFUNCTION, CMD_INSERTFUNCTION},
                             {CMD_NEWPROCEDURE, CMD_INSERTPROCEDURE}};
    for (const UINT *pair : pairs) {
        EXPECT_TRUE(TemplateForCommand(pair[1])) << pair[1];
        EXPECT_STREQ(TemplateForCommand(pair[1]), TemplateForCommand(pair[0]));
    }
    EXPECT_FALSE(TemplateForCommand(CMD_INSERTFROMFILE));
}

} // namespace
