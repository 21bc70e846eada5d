// Template files missing, empty, binary or of 50 MB, and scripts of 50 MB or
// too large to open, given to a real query window inside the real frame
// through the frame's commands. The user's text must survive every one.
#include "RobustnessSupport.h"

#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

#include "DialogDriver.h"
#include "editor/CodeMaxControl.h"
#include "resources/resource.h"

namespace {

const char UserText[] = "SELECT 1;\r\n-- the user's own text\r\nSELECT 2;";

class TemplatesAndScripts : public testing::Test {
protected:
    void SetUp() override
    {
        window = OpenQueryWindow();
        child = ChildOf(window);
        ASSERT_TRUE(child);
        snprintf(AppDirectory, sizeof AppDirectory, "%s", directory.Path().c_str());
        mkdir(directory.UnixFile("templates").c_str(), 0700);
        SetEditorText(child, UserText);
        SetCaret(2, 4);
    }
    void TearDown() override { CloseAllQueryWindows(); }

    void SetCaret(int line, int column)
    {
        EDITORRANGE caret = {{line, column}, {line, column}};
        SendMessageA(child->Editor, WM_EDITOR_SETSEL, 1, (LPARAM)&caret);
    }
    EDITORPOSITION Caret(CHILDDATA *of = nullptr)
    {
        EDITORRANGE range = {};
        SendMessageA((of ? of : child)->Editor, WM_EDITOR_GETSEL, 1, (LPARAM)&range);
        return range.End;
    }
    void Template(const char *name, const std::string &bytes)
    {
        WriteUnixFile(directory.UnixFile(std::string("templates/") + name), bytes);
    }
    // The user's text with the given text at line 2, column 4.
    static std::string InsertedAtCaret(const std::string &text)
    {
        std::string expected = UserText;
        return expected.insert(strlen("SELECT 1;\r\n-- "), text);
    }
    // Runs a frame command that opens a new query window; that window, or
    // null when none was opened.
    CHILDDATA *NewWindowBy(UINT command)
    {
        int windows = QueryWindowCount();
        FrameCommand(command);
        PumpMessages(20);
        if (QueryWindowCount() != windows + 1) return nullptr;
        CHILDDATA *created = ActiveChild();
        return created != child ? created : nullptr;
    }
    // File > Open of a path, answering No when asked to save the changed
    // text first; then whatever else the driver was given.
    void OpenThroughTheDialog(const std::string &path, DialogDriver::Action then = nullptr)
    {
        driver
            .Then([path](HWND dialog) {
                SetFileDialogName(dialog, path);
                PressItem(dialog, IDOK);
            })
            .Then([](HWND prompt) {
                EXPECT_NE(std::string::npos, MessageBoxText(prompt).find("has changed")) << MessageBoxText(prompt);
                PressItem(prompt, IDNO);
            });
        if (then) driver.Then(then);
        FrameCommand(CMD_OPEN);
    }

    ScratchDirectory directory;
    DialogDriver driver;
    HWND window = nullptr;
    CHILDDATA *child = nullptr;
};

TEST_F(TemplatesAndScripts, AMissingTemplateInsertsNothingAndANewWindowFromItStartsEmpty)
{
    FrameCommand(CMD_INSERTTABLE);
    EXPECT_EQ(UserText, EditorText(child));
    EXPECT_EQ(2, Caret().Line);
    EXPECT_EQ(4, Caret().Column);

    CHILDDATA *created = NewWindowBy(CMD_NEWTABLE);
    ASSERT_TRUE(created);
    EXPECT_EQ("", EditorText(created));
    EXPECT_EQ(UserText, EditorText(child));
    EXPECT_TRUE(driver.Unexpected.empty());
}

TEST_F(TemplatesAndScripts, AnEmptyTemplateInsertsNothingAndANewWindowFromItStartsEmpty)
{
    Template("createindex.sql", "");
    FrameCommand(CMD_INSERTINDEX);
    EXPECT_EQ(UserText, EditorText(child));

    CHILDDATA *created = NewWindowBy(CMD_NEWINDEX);
    ASSERT_TRUE(created);
    EXPECT_EQ("", EditorText(created));
    EXPECT_TRUE(driver.Unexpected.empty());
}

TEST_F(TemplatesAndScripts, ABinaryTemplateIsTakenUpToItsFirstZeroByte)
{
    // Control characters and bytes that are no UTF-8, then a zero byte.
    const std::string head = std::string("CREATE \x01\x7f\x80\xff\xc3(", 13);
    Template("createdatabase.sql", head + std::string("\0after the zero\r\n\xfe", 18));
    FrameCommand(CMD_INSERTDATABASE);
    EXPECT_EQ(InsertedAtCaret(head), EditorText(child));
    EXPECT_EQ(2, Caret().Line);
    EXPECT_EQ(4 + (int)head.size(), Caret().Column);
    UpdateWindow(child->Editor); // drawn without trouble

    CHILDDATA *created = NewWindowBy(CMD_NEWDATABASE);
    ASSERT_TRUE(created);
    EXPECT_EQ(head, EditorText(created));
    UpdateWindow(created->Editor);
    EXPECT_TRUE(driver.Unexpected.empty());
}

TEST_F(TemplatesAndScripts, ATemplateOf50MegabytesIsInsertedWholeAndOpensWhole)
{
    const std::string text = FiftyMegabytesOfSql() + "-- end of the template";
    Template("createfunction.sql", text);
    FrameCommand(CMD_INSERTFUNCTION);
    EXPECT_TRUE(EditorText(child) == InsertedAtCaret(text)) << "the text and the template are kept whole";
    size_t lines = 0;
    for (size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos; at += 2) lines++;
    EXPECT_EQ(2 + (int)lines, Caret().Line);
    EXPECT_EQ(1 + (int)strlen("-- end of the template"), Caret().Column);
    UpdateWindow(child->Editor);

    CHILDDATA *created = NewWindowBy(CMD_NEWFUNCTION);
    ASSERT_TRUE(created);
    EXPECT_TRUE(EditorText(created) == text);
    EXPECT_TRUE(driver.Unexpected.empty());
}

TEST_F(TemplatesAndScripts, AScriptOf50MegabytesOpensWholeAndSavesBackTheSameBytes)
{
    const std::string &text = FiftyMegabytesOfSql();
    const std::string unixPath = directory.UnixFile("large.sql"), path = directory.File("large.sql");
    WriteUnixFile(unixPath, text);
    OpenThroughTheDialog(path);
    EXPECT_TRUE(driver.Unexpected.empty());
    EXPECT_STREQ(path.c_str(), child->FileName);
    EXPECT_EQ(1, child->HasFileName);
    EXPECT_EQ(0, child->Modified);
    EXPECT_TRUE(EditorText(child) == text);
    UpdateWindow(child->Editor);

    // Saved over a file that changed meanwhile: the window's text is what
    // the file holds afterwards.
    WriteUnixFile(unixPath, "replaced by another program");
    SetFocus(child->Editor);
    FrameCommand(CMD_SAVE);
    EXPECT_TRUE(ReadUnixFile(unixPath) == text);
    EXPECT_TRUE(driver.Unexpected.empty());
}

TEST_F(TemplatesAndScripts, AScriptTooLargeToOpenIsRefusedWithAMessageAndTheTextKept)
{
    // Five gigabytes of nothing: a sparse file costs no disk.
    const std::string unixPath = directory.UnixFile("huge.sql"), path = directory.File("huge.sql");
    WriteUnixFile(unixPath, "");
    ASSERT_EQ(0, truncate(unixPath.c_str(), 5LL << 30));
    const std::string name = child->FileName;
    std::string message;
    OpenThroughTheDialog(path, [&](HWND box) {
        message = MessageBoxText(box);
        PressItem(box, IDOK);
    });
    EXPECT_NE(std::string::npos, message.find(path)) << message;
    EXPECT_EQ(UserText, EditorText(child));
    EXPECT_EQ(name, child->FileName);
    EXPECT_EQ(0, child->HasFileName);

    // Dropping the text was agreed to, but nothing replaced it: it stays.
    EXPECT_EQ(1, child->Modified);

    EXPECT_TRUE(driver.Unexpected.empty());
}

} // namespace
