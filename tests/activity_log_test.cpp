#include <gtest/gtest.h>

#include <vector>

#include "storage/log_backlog.h"
#include "storage/paths.h"
#include "tests/fakes/monitor_harness.h"

TEST(PathJoin, Rules)
{
    struct Case {
        const wchar_t *a, *b, *joined;
    };
    for (const Case& c :
         {Case{L"", L"VORTIKA", L"VORTIKA"}, Case{L"C:\\ProgramData", L"", L"C:\\ProgramData"},
          Case{L"C:\\ProgramData", L"VORTIKA", L"C:\\ProgramData\\VORTIKA"}, Case{L"C:\\", L"VORTIKA", L"C:\\VORTIKA"},
          Case{L"C:\\a", L"D:\\b", L"D:\\b"}, Case{L"C:\\a", L"\\b", L"\\b"}, Case{L"rel/", L"x", L"rel/x"}})
        EXPECT_EQ(JoinPath(c.a, c.b), c.joined) << c.a << L" + " << c.b;
}

TEST(LogFormat, FileNameAndLine)
{
    const LocalDateTime t{2024, 3, 15, 14, 5, 9};
    EXPECT_EQ(LogFileName(t), L"VORTikaMonitor_2024-03-15.log");
    EXPECT_EQ(FormatLogLine(t, L":", L"Connexion fermée"), L"2024-03-15 14:05:09 - Connexion fermée");
    EXPECT_EQ(FormatLogLine(t, L".", L""), L"2024-03-15 14.05.09 - ");
    EXPECT_EQ(FormatLogLine({2024, 1, 2, 0, 0, 0}, L":", L"x"), L"2024-01-02 00:00:00 - x");
}

class ActivityLog : public ::testing::Test {
protected:
    void SetUp() override
    {
        h.form.InitializePaths();
        h.localClock.SetNow({2024, 3, 15, 14, 5, 9});
    }
    std::string File(const std::wstring& date)
    {
        return h.fileSystem.files[L"C:\\ProgramData\\VORTIKA\\logs\\VORTikaMonitor_" + date + L".log"];
    }
    MonitorHarness h;
};

TEST_F(ActivityLog, LineIsCp1252WithCrLfAndNoByteOrderMark)
{
    h.form.AddLog(L"Connexion fermée");
    EXPECT_EQ(File(L"2024-03-15"), "2024-03-15 14:05:09 - Connexion ferm\xE9"
                                   "e\r\n");
}

TEST_F(ActivityLog, LocaleTimeSeparatorInStampButNotInFileName)
{
    h.localClock.separator = L".";
    h.form.AddLog(L"x");
    EXPECT_EQ(File(L"2024-03-15"), "2024-03-15 14.05.09 - x\r\n");
}

TEST_F(ActivityLog, ExistingFileIsAppendedNeverRewritten)
{
    h.fileSystem.files[L"C:\\ProgramData\\VORTIKA\\logs\\VORTikaMonitor_2024-03-15.log"] = "older\r\n";
    h.form.AddLog(L"a");
    h.form.AddLog(L"b");
    EXPECT_EQ(File(L"2024-03-15"), "older\r\n2024-03-15 14:05:09 - a\r\n2024-03-15 14:05:09 - b\r\n");
}

TEST_F(ActivityLog, MidnightMovesToANewFile)
{
    h.localClock.SetNow({2024, 3, 15, 23, 59, 59});
    h.form.AddLog(L"late");
    h.toolkit.clock.Advance(1000);
    h.form.AddLog(L"early");
    EXPECT_EQ(File(L"2024-03-15"), "2024-03-15 23:59:59 - late\r\n");
    EXPECT_EQ(File(L"2024-03-16"), "2024-03-16 00:00:00 - early\r\n");
}

TEST_F(ActivityLog, MessageTextIsWrittenUnchanged)
{
    h.form.AddLog(L"A\rB\nC");       // received text keeps its line breaks
    h.form.AddLog(L"\u20AC \u4E2D"); // euro is in 1252, the CJK character is not
    h.form.AddLog(L"");
    EXPECT_EQ(File(L"2024-03-15"),
              "2024-03-15 14:05:09 - A\rB\nC\r\n2024-03-15 14:05:09 - \x80 ?\r\n2024-03-15 14:05:09 - \r\n");
}

TEST_F(ActivityLog, RemovedLogFolder_LosesLinesSilently)
{
    h.form.AddLog(L"before");
    h.fileSystem.RemoveDirectory(h.form.LogsPath);
    h.form.AddLog(L"lost");
    EXPECT_TRUE(h.fileSystem.files.empty());
    EXPECT_FALSE(h.fileSystem.DirectoryExists(h.form.LogsPath)) << "the folder is not re-created";
}

TEST_F(ActivityLog, ReadOnlyFile_LosesTheLineWithoutError)
{
    const std::wstring path = L"C:\\ProgramData\\VORTIKA\\logs\\VORTikaMonitor_2024-03-15.log";
    h.fileSystem.files[path] = "kept\r\n";
    h.fileSystem.readOnly.insert(path);
    EXPECT_NO_THROW(h.form.AddLog(L"x"));
    EXPECT_EQ(File(L"2024-03-15"), "kept\r\n");
}

TEST_F(ActivityLog, MidnightWhileALineIsLogged_ItsStampAndItsFileAgree)
{
    h.localClock.SetNow({2024, 3, 15, 23, 59, 59});
    h.localClock.msPerRead = 1000; // a second reading would already be on the 16th
    h.form.AddLog(L"late");
    EXPECT_EQ(File(L"2024-03-15"), "2024-03-15 23:59:59 - late\r\n");
}

// A program holding the log open without sharing writing refuses the append, as a read-only
// file does here.
TEST_F(ActivityLog, RefusedAppend_TheLineIsWrittenBeforeTheNextWithItsOwnStamp)
{
    const std::wstring path = L"C:\\ProgramData\\VORTIKA\\logs\\VORTikaMonitor_2024-03-15.log";
    h.fileSystem.files[path] = "older\r\n";
    h.fileSystem.readOnly.insert(path);
    h.form.AddLog(L"Reçu: A");
    h.toolkit.clock.Advance(2000);
    h.form.AddLog(L"Reçu: B");
    EXPECT_EQ(File(L"2024-03-15"), "older\r\n");
    h.toolkit.clock.Advance(3000);
    h.fileSystem.readOnly.clear();
    h.form.AddLog(L"Reçu: C");
    EXPECT_EQ(File(L"2024-03-15"), "older\r\n"
                                   "2024-03-15 14:05:09 - Re\xE7u: A\r\n"
                                   "2024-03-15 14:05:11 - Re\xE7u: B\r\n"
                                   "2024-03-15 14:05:14 - Re\xE7u: C\r\n");
    h.form.AddLog(L"D");
    EXPECT_EQ(h.LogMessages().size(), 4u) << "a kept line is written once";
}

TEST_F(ActivityLog, RefusedBeforeMidnight_EachLineGoesToTheFileOfItsOwnDate)
{
    h.localClock.SetNow({2024, 3, 15, 23, 59, 58});
    const std::wstring late = L"C:\\ProgramData\\VORTIKA\\logs\\VORTikaMonitor_2024-03-15.log";
    const std::wstring early = L"C:\\ProgramData\\VORTIKA\\logs\\VORTikaMonitor_2024-03-16.log";
    h.fileSystem.readOnly = {late, early};
    h.form.AddLog(L"a");
    h.toolkit.clock.Advance(2000);
    h.form.AddLog(L"b");
    h.fileSystem.readOnly = {late}; // yesterday's file still held: today's lines are not held back
    h.form.AddLog(L"c");
    EXPECT_EQ(File(L"2024-03-16"), "2024-03-16 00:00:00 - b\r\n2024-03-16 00:00:00 - c\r\n");
    h.fileSystem.readOnly.clear();
    h.form.AddLog(L"d");
    EXPECT_EQ(File(L"2024-03-15"), "2024-03-15 23:59:58 - a\r\n");
    EXPECT_EQ(File(L"2024-03-16"), "2024-03-16 00:00:00 - b\r\n2024-03-16 00:00:00 - c\r\n"
                                   "2024-03-16 00:00:00 - d\r\n");
}

// Another user's mount point in place of logs\ (or a link in place of the day's file) would send
// this user's lines, with the scanned text, into a file of their choosing.
TEST_F(ActivityLog, LinkInPlaceOfTheFolderOrTheFile_NothingWritten_TheRefusalIsKeptOnceWithTheLines)
{
    for (const bool folder : {true, false}) {
        MonitorHarness m;
        m.form.InitializePaths();
        m.localClock.SetNow({2024, 3, 15, 14, 5, 9});
        const std::wstring file = m.form.LogsPath + L"\\VORTikaMonitor_2024-03-15.log";
        const std::wstring link = folder ? m.form.LogsPath : file;
        m.fileSystem.reparsePoints.insert(link);
        m.form.AddLog(L"Reçu: A");
        m.form.AddLog(L"Reçu: B");
        EXPECT_TRUE(m.fileSystem.files.empty()) << folder;

        m.fileSystem.reparsePoints.clear();
        m.form.AddLog(L"Reçu: C");
        EXPECT_EQ(m.LogMessages(), (std::vector<std::wstring>{L"Journal non écrit: " + link + L" est un lien",
                                                              L"Reçu: A", L"Reçu: B", L"Reçu: C"}))
            << folder;
    }
}

TEST_F(ActivityLog, RefusedForLong_OnlyTheLatestLinesAreKept)
{
    const std::wstring path = L"C:\\ProgramData\\VORTIKA\\logs\\VORTikaMonitor_2024-03-15.log";
    h.fileSystem.readOnly.insert(path);
    const std::size_t refused = LogBacklog::kMaxLines + 10;
    for (std::size_t i = 0; i < refused; ++i)
        h.form.AddLog(std::to_wstring(i));
    h.fileSystem.readOnly.clear();
    h.form.AddLog(L"last");
    const auto messages = h.LogMessages();
    ASSERT_EQ(messages.size(), LogBacklog::kMaxLines);
    EXPECT_EQ(messages.front(), std::to_wstring(refused - LogBacklog::kMaxLines + 1));
    EXPECT_EQ(messages.back(), L"last");
}

TEST_F(ActivityLog, RefusedThenFreedOnAQuietMonitor_KeptLinesGoInAtTheNextWatchTick)
{
    const std::wstring path = L"C:\\ProgramData\\VORTIKA\\logs\\VORTikaMonitor_2024-03-15.log";
    h.fileSystem.readOnly.insert(path);
    h.form.AddLog(L"Reçu: A");
    h.fileSystem.readOnly.clear();
    h.Dispatch([&] { h.form.TimerDeviceWatchTimer(); });
    EXPECT_EQ(File(L"2024-03-15"), "2024-03-15 14:05:09 - Re\xE7u: A\r\n");
}
