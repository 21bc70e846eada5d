// The history store on disk: batches with their outcomes, the search, a
// batch that carries a password, the bound, two processes writing at once,
// a writer killed while it writes, a record as any build writes it, and a
// search typed while the texts are still being folded. The processes are this program
// again, started under Wine with the HistoryChild case alone.
#include <gtest/gtest.h>

#include <windows.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <string>
#include <vector>

#include "TestFiles.h"
#include "history/HistoryStore.h"
#include "history/HistoryView.h"

extern char **environ;

namespace {

HISTORYENTRY Entry(const std::string &text, uint8_t outcome = HistoryRowsReturned, const char *database = "shop")
{
    HISTORYENTRY entry;
    StampHistoryEntry(&entry);
    entry.Server = "db1";
    entry.User = "ann";
    entry.Database = database;
    entry.Outcome = outcome;
    entry.DurationMs = 12;
    TextForHistory(text.data(), text.size(), &entry);
    return entry;
}

std::vector<std::string> Texts(const HISTORYLIST &list)
{
    std::vector<std::string> texts;
    for (const HISTORYITEM &item : list.Items) texts.emplace_back(item.Text);
    return texts;
}

std::vector<std::string> ShownTexts(const HISTORYVIEW &view)
{
    std::vector<std::string> texts;
    for (uint32_t i : view.Shown) texts.emplace_back(view.List.Items[i].Text);
    return texts;
}

// The text a child writes as its count'th batch: its tag, its count, then
// filler up to size bytes, so that a record cut anywhere is told apart.
std::string ChildText(const std::string &tag, int count, size_t size)
{
    std::string text = "select '" + tag + "' as writer, " + std::to_string(count) + " as batch -- ";
    while (text.size() < size) text += (char)('a' + text.size() % 26);
    return text;
}

// Run in a child process only: appends batches one by one (forever when
// the count is 0).
TEST(HistoryChild, AppendsBatches)
{
    const char *folder = getenv("VINTREL_HISTORY_CHILD_FOLDER");
    if (!folder) GTEST_SKIP() << "run by the other cases in a process of its own";
    std::string tag = getenv("VINTREL_HISTORY_CHILD_TAG");
    int count = atoi(getenv("VINTREL_HISTORY_CHILD_COUNT"));
    size_t size = (size_t)atoi(getenv("VINTREL_HISTORY_CHILD_SIZE"));
    HISTORYBOUND bound;
    bound.MaxEntries = (size_t)atoi(getenv("VINTREL_HISTORY_CHILD_BOUND"));
    // Writers started together begin together: a Wine start takes longer
    // than their writing.
    std::string folderPath = folder;
    WriteBytes(folderPath + "\\ready-" + tag, "");
    for (DWORD start = GetTickCount(); !FileExists(folderPath + "\\go") && GetTickCount() - start < 30000;) Sleep(1);
    for (int i = 0; count == 0 || i < count; i++) {
        HISTORYENTRY entry = Entry(ChildText(tag, i, size));
        ASSERT_TRUE(AppendHistory(folder, {entry}, bound));
    }
}

// This program again, appending as HistoryChild does; its process id.
pid_t StartWriter(const std::string &folder, const std::string &tag, int count, size_t size, size_t bound)
{
    std::vector<std::string> settings = {"VINTREL_HISTORY_CHILD_FOLDER=" + folder, "VINTREL_HISTORY_CHILD_TAG=" + tag,
                                         "VINTREL_HISTORY_CHILD_COUNT=" + std::to_string(count),
                                         "VINTREL_HISTORY_CHILD_SIZE=" + std::to_string(size),
                                         "VINTREL_HISTORY_CHILD_BOUND=" + std::to_string(bound), "WINEDEBUG=-all"};
    std::vector<char *> environment;
    for (std::string &setting : settings) environment.push_back(&setting[0]);
    for (char **variable = environ; *variable; variable++) environment.push_back(*variable);
    environment.push_back(nullptr);
    std::string program = VINTREL_HISTORY_TESTS, filter = "--gtest_filter=HistoryChild.*";
    char *arguments[] = {const_cast<char *>("wine"), &program[0], &filter[0], nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, "wine", nullptr, nullptr, arguments, environment.data()) != 0) return 0;
    return pid;
}

int WaitForWriter(pid_t pid)
{
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Every entry of the list is one the writers wrote whole.
void ExpectOnlyWholeChildTexts(const HISTORYLIST &list, size_t size)
{
    for (const HISTORYITEM &item : list.Items) {
        std::string text(item.Text);
        size_t tagStart = text.find('\'') + 1, tagEnd = text.find('\'', tagStart);
        int count = atoi(text.c_str() + text.find(", ") + 2);
        EXPECT_EQ(ChildText(text.substr(tagStart, tagEnd - tagStart), count, size), text);
    }
}

TEST(HistoryStore, KeepsBatchesWithTheirOutcomesAndFindsThemWithoutRegardToCase)
{
    TempDirectory folder;
    HISTORYENTRY select = Entry("SELECT * FROM Kunden\r\nWHERE Straße = 'Ärger'");
    select.Rows = 5;
    HISTORYENTRY update = Entry("update orders set paid = 1", HistoryRowsAffected, "sales");
    update.Affected = 3;
    HISTORYENTRY failed = Entry("selec 1", HistoryFailed);
    failed.ErrorNumber = 1064;
    failed.Error = "You have an error in your SQL syntax";
    HISTORYENTRY secret = Entry("select 1;\nALTER USER ann IDENTIFIED BY 'hunter2'");
    HISTORYENTRY big = Entry(std::string(HistoryTextLimit - 1, 'x') + "\xC3\xA4" + "tail");
    ASSERT_TRUE(AppendHistory(folder.Path(), {select, update, failed}));
    ASSERT_TRUE(AppendHistory(folder.Path(), {secret, big}));

    // The password and the cut: the text is left out, or cut before the
    // character that would cross the limit.
    EXPECT_TRUE(secret.Flags & HistoryTextOmitted);
    EXPECT_EQ("", secret.Text);
    EXPECT_TRUE(Entry("set password = password('x')").Flags & HistoryTextOmitted);
    EXPECT_TRUE(big.Flags & HistoryTextCut);
    EXPECT_EQ(HistoryTextLimit - 1, big.Text.size());

    HISTORYLIST list;
    ASSERT_TRUE(LoadHistory(folder.Path(), &list));
    ASSERT_EQ(5u, list.Items.size());
    EXPECT_EQ(0u, list.Skipped);
    // Newest first.
    EXPECT_EQ(big.Text, std::string(list.Items[0].Text));
    const HISTORYITEM &first = list.Items[4];
    EXPECT_EQ(select.Text, std::string(first.Text));
    EXPECT_EQ(HistoryRowsReturned, first.Outcome);
    EXPECT_EQ(5, first.Rows);
    EXPECT_EQ("db1", first.Server);
    EXPECT_EQ("ann", first.User);
    EXPECT_EQ("shop", first.Database);
    EXPECT_EQ(12u, first.DurationMs);
    EXPECT_EQ(3, list.Items[3].Affected);
    EXPECT_EQ(1064u, list.Items[2].ErrorNumber);
    EXPECT_EQ(failed.Error, std::string(list.Items[2].Error));
    EXPECT_TRUE(list.Items[1].Flags & HistoryTextOmitted);
    EXPECT_EQ("SELECT * FROM Kunden", FirstLineOf(first.Text));
    EXPECT_EQ("SELECT * F...", FirstLineOf(first.Text, 10));

    HISTORYVIEW view;
    ASSERT_TRUE(OpenHistoryView(folder.Path(), &view));
    EXPECT_EQ(5u, view.Shown.size());
    SearchHistoryView(&view, "s");
    EXPECT_EQ(3u, view.Shown.size());
    SearchHistoryView(&view, "STRASSE");
    EXPECT_TRUE(view.Shown.empty()); // simple folding: ß is not ss
    SearchHistoryView(&view, "ärg");
    EXPECT_EQ(std::vector<std::string>{select.Text}, ShownTexts(view));
    SearchHistoryView(&view, "ÄRGER'");
    EXPECT_EQ(std::vector<std::string>{select.Text}, ShownTexts(view));
    SearchHistoryView(&view, "SEL");
    EXPECT_EQ((std::vector<std::string>{"selec 1", select.Text}), ShownTexts(view));
    std::string sales = "sales";
    ChooseInHistoryView(&view, nullptr, &sales);
    SearchHistoryView(&view, "");
    EXPECT_EQ(std::vector<std::string>{update.Text}, ShownTexts(view));
    EXPECT_EQ((std::vector<std::string>{"sales", "shop"}), HistoryDatabases(view));

    // Removed: gone from the view at once, and from the file.
    ChooseInHistoryView(&view, nullptr, nullptr);
    uint32_t removed = view.Shown[3];
    ASSERT_TRUE(RemoveHistoryEntry(folder.Path(), view.List.Items[removed].Started, view.List.Items[removed].Id));
    DropFromHistoryView(&view, removed);
    EXPECT_EQ(4u, view.Shown.size());
    ASSERT_TRUE(LoadHistory(folder.Path(), &list));
    EXPECT_EQ((std::vector<std::string>{big.Text, "", "selec 1", select.Text}), Texts(list));
}

TEST(HistoryStore, KeepsTheNewestWithinTheBound)
{
    TempDirectory folder;
    HISTORYBOUND bound;
    bound.MaxEntries = 20;
    for (int i = 0; i < 50; i++) ASSERT_TRUE(AppendHistory(folder.Path(), {Entry("select " + std::to_string(i))}, bound));
    HISTORYLIST list;
    ASSERT_TRUE(LoadHistory(folder.Path(), &list, bound));
    ASSERT_EQ(20u, list.Items.size());
    EXPECT_EQ("select 49", list.Items.front().Text);
    EXPECT_EQ("select 30", list.Items.back().Text);
    // The file itself was rewritten on the way: a tenth over at most.
    HISTORYBOUND everything;
    ASSERT_TRUE(LoadHistory(folder.Path(), &list, everything));
    EXPECT_LE(list.Items.size(), 24u);

    // In bytes: each record here is a little over 1 KB.
    bound.MaxEntries = 1000;
    bound.MaxBytes = 10 * 1024;
    for (int i = 0; i < 30; i++) ASSERT_TRUE(AppendHistory(folder.Path(), {Entry(ChildText("b", i, 1000))}, bound));
    ASSERT_TRUE(LoadHistory(folder.Path(), &list, bound));
    EXPECT_EQ(9u, list.Items.size());
    EXPECT_EQ(ChildText("b", 29, 1000), list.Items.front().Text);
    ASSERT_TRUE(CompactHistory(folder.Path(), bound));
    ASSERT_TRUE(LoadHistory(folder.Path(), &list, everything));
    EXPECT_EQ(9u, list.Items.size());
}

// A record as any build writes it (its CRC-32 computed elsewhere, by zlib):
// the checksum's fast path and the tables agree with it.
TEST(HistoryStore, ReadsARecordWrittenByAnyBuild)
{
    TempDirectory folder;
    std::string text = "select * from orders where customer_id = 42 -- the checksum of a record of this length is "
                       "the same in every build";
    std::string payload;
    auto put = [&](const void *value, size_t size) { payload.append(static_cast<const char *>(value), size); };
    uint8_t kind = 1, outcome = HistoryRowsReturned, flags = 0;
    int64_t started = 133000000000000000, rows = 5, affected = 0;
    uint64_t id = 7;
    uint32_t duration = 12, error = 0;
    put(&kind, 1), put(&started, 8), put(&id, 8), put(&duration, 4), put(&outcome, 1), put(&flags, 1);
    put(&rows, 8), put(&affected, 8), put(&error, 4);
    for (std::string field : {std::string("db1"), std::string("ann"), std::string("shop"), std::string(), text}) {
        uint32_t length = (uint32_t)field.size();
        put(&length, 4), payload += field;
    }
    ASSERT_EQ(186u, payload.size());
    uint32_t header[3] = {0x54534856, (uint32_t)payload.size(), 0x72e77631};
    std::string file(reinterpret_cast<const char *>(header), sizeof header);
    WriteBytes(folder.File(HISTORY_FILE), file + payload);
    HISTORYLIST list;
    ASSERT_TRUE(LoadHistory(folder.Path(), &list));
    ASSERT_EQ(1u, list.Items.size());
    EXPECT_EQ(text, list.Items[0].Text);
    EXPECT_EQ(0u, list.Skipped);
}

// A history too large to fold before the window shows: the list is there
// at once, a search typed before the folding ends finds what is folded,
// and the rest is found as it comes, as a view folded first finds it.
TEST(HistoryStore, SearchesALargeHistoryWhileItsTextsAreFolded)
{
    TempDirectory folder;
    std::vector<HISTORYENTRY> entries;
    for (int i = 0; entries.size() * 1500 < HistoryFoldInline * 2; i++)
        entries.push_back(Entry(ChildText(i % 3 ? "Straße" : "Weg", i, 1500)));
    ASSERT_TRUE(AppendHistory(folder.Path(), entries));
    HISTORYVIEW folded;
    ASSERT_TRUE(OpenHistoryView(folder.Path(), &folded));
    SearchHistoryView(&folded, "STRASSE");
    EXPECT_TRUE(folded.Shown.empty());
    SearchHistoryView(&folded, "'STRAßE' AS WRITER, 1");
    std::vector<uint32_t> expected = folded.Shown;
    ASSERT_FALSE(expected.empty());

    std::atomic<int> told{0};
    HISTORYVIEW view;
    ASSERT_TRUE(OpenHistoryView(folder.Path(), &view, [&] { told++; }));
    EXPECT_EQ(entries.size(), view.Shown.size()); // no search text: every entry, folded or not
    SearchHistoryView(&view, "'straße' as");
    SearchHistoryView(&view, "'straße' as writer, 1"); // narrower, perhaps before the folding ends
    WaitForHistoryFolding(&view);
    ContinueHistorySearch(&view);
    EXPECT_TRUE(HistorySearchComplete(view));
    EXPECT_EQ(expected, view.Shown);
    EXPECT_GE(told.load(), 1);
}

// Two processes append at once, while each also rewrites the file to keep
// it within a bound: no record is damaged, and none is lost to the other
// (each writer's newest batches are all there, with no gap).
TEST(HistoryStore, TwoProcessesWriteAtOnce)
{
    TempDirectory folder;
    const int count = 400;
    pid_t first = StartWriter(folder.Path(), "one", count, 300, 200);
    pid_t second = StartWriter(folder.Path(), "two", count, 300, 200);
    ASSERT_NE(0, first);
    ASSERT_NE(0, second);
    for (DWORD start = GetTickCount();
         !(FileExists(folder.File("ready-one")) && FileExists(folder.File("ready-two"))) && GetTickCount() - start < 30000;)
        Sleep(10);
    WriteBytes(folder.File("go"), "");
    EXPECT_EQ(0, WaitForWriter(first));
    EXPECT_EQ(0, WaitForWriter(second));
    HISTORYLIST list;
    HISTORYBOUND bound;
    bound.MaxEntries = 200;
    ASSERT_TRUE(LoadHistory(folder.Path(), &list, bound));
    EXPECT_EQ(0u, list.Skipped);
    ASSERT_EQ(200u, list.Items.size());
    ExpectOnlyWholeChildTexts(list, 300);
    for (const char *tag : {"one", "two"}) {
        std::vector<int> counts;
        for (const HISTORYITEM &item : list.Items)
            if (item.Text.find(std::string("'") + tag + "'") != std::string_view::npos)
                counts.push_back(atoi(item.Text.data() + item.Text.find(", ") + 2));
        std::sort(counts.begin(), counts.end());
        ASSERT_FALSE(counts.empty()) << tag;
        EXPECT_EQ(count - 1, counts.back()) << tag;
        EXPECT_EQ(counts.back() - counts.front() + 1, (int)counts.size()) << tag << ": a batch is missing";
    }
}

// A writer killed while it appends large batches: every whole record is
// read, a cut one is skipped, and the next append is read after it.
TEST(HistoryStore, AWriterKilledMidWriteLeavesEveryWholeRecordReadable)
{
    TempDirectory folder;
    const size_t size = 700 * 1024;
    WriteBytes(folder.File("go"), "");
    pid_t writer = StartWriter(folder.Path(), "killed", 0, size, 100000);
    ASSERT_NE(0, writer);
    std::string path = folder.File(HISTORY_FILE);
    DWORD start = GetTickCount();
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    while (GetTickCount() - start < 30000 &&
           !(GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) && data.nFileSizeLow > 8 * size))
        Sleep(20);
    kill(writer, SIGKILL);
    EXPECT_EQ(128 + SIGKILL, WaitForWriter(writer));

    HISTORYLIST list;
    ASSERT_TRUE(LoadHistory(folder.Path(), &list));
    ASSERT_GE(list.Items.size(), 8u);
    ExpectOnlyWholeChildTexts(list, size);

    // The kill may have fallen between two writes: a record is cut here as
    // a crash cuts it, then the next run appends.
    ASSERT_TRUE(AppendHistory(folder.Path(), {Entry(ChildText("cut", 0, size))}));
    std::string bytes = ReadBytes(path);
    WriteBytes(path, bytes.substr(0, bytes.size() - size / 2));
    ASSERT_TRUE(AppendHistory(folder.Path(), {Entry("select 'after the crash'")}));
    HISTORYLIST after;
    ASSERT_TRUE(LoadHistory(folder.Path(), &after));
    ASSERT_EQ(list.Items.size() + 1, after.Items.size());
    EXPECT_GE(after.Skipped, 1u);
    EXPECT_EQ("select 'after the crash'", after.Items.front().Text);
    for (size_t i = 0; i < list.Items.size(); i++) EXPECT_EQ(list.Items[i].Text, after.Items[i + 1].Text);
}

} // namespace
