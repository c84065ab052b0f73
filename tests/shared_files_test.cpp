// What the monitor trusts of the data folder and of the files it writes there, and the one event
// each refused file or folder gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "storage/folder_rights.h"
#include "storage/shared_files.h"
#include "tests/fakes/monitor_harness.h"

namespace {

constexpr std::uint32_t kWriteAttributes = 0x100;
constexpr std::uint8_t kToFiles = 0x1;

const std::wstring kData = L"C:\\ProgramData\\VORTIKA";
const std::wstring kIni = kData + L"\\VORTikaMonitor.ini";
const std::wstring kToday = kData + L"\\logs\\VORTikaMonitor_2024-03-15.log";

using Events = std::vector<EventRecord>;

EventRecord Error(const std::wstring& text)
{
    return {EventKind::Error, {text}};
}

} // namespace

TEST(SharedFiles, DataFolder_UsedUnlessALinkOrTheSetupsFolderNoLongerAdministrators)
{
    struct Case {
        DataFolderFacts facts;
        DataFolderVerdict verdict;
    };
    const Case cases[] = {
        {{}, DataFolderVerdict::Use}, // missing, or inheriting ProgramData's list
        {{.isLink = true}, DataFolderVerdict::Link},
        {{.isLink = true, .installedBySetup = true, .protectedList = true, .ownedByAdministrators = true},
         DataFolderVerdict::Link},
        {{.installedBySetup = true, .protectedList = true, .ownedByAdministrators = true}, DataFolderVerdict::Use},
        {{.installedBySetup = true, .protectedList = true}, DataFolderVerdict::NotAdministrators},
        // A copied monitor's folder: its user owns it, under the OWNER RIGHTS cap.
        {{.protectedList = true}, DataFolderVerdict::Use},
        // Not the setup's list: nothing says who made it.
        {{.installedBySetup = true}, DataFolderVerdict::Use},
    };
    for (const Case& c : cases)
        EXPECT_EQ(JudgeDataFolder(c.facts), c.verdict)
            << c.facts.isLink << c.facts.installedBySetup << c.facts.protectedList << c.facts.ownedByAdministrators;
}

TEST(SharedFiles, File_UsedWithItsInheritedListAndOneName)
{
    struct Case {
        SharedFileFacts facts;
        SharedFileVerdict verdict;
    };
    const Case cases[] = {
        {{.folderProtected = true}, SharedFileVerdict::Use},
        {{.folderProtected = true, .explicitEntries = true}, SharedFileVerdict::OwnRights},
        {{.folderProtected = true, .protectedList = true}, SharedFileVerdict::OwnRights},
        {{.folderProtected = true, .links = 2}, SharedFileVerdict::HardLinked},
        {{.folderProtected = true, .explicitEntries = true, .links = 2}, SharedFileVerdict::HardLinked},
        {{.folderProtected = true, .links = 0}, SharedFileVerdict::HardLinked},
        // A folder that passes no cap down: its files' lists tell nothing, their names still do.
        {{.explicitEntries = true}, SharedFileVerdict::Use},
        {{.protectedList = true}, SharedFileVerdict::Use},
        {{.links = 2}, SharedFileVerdict::HardLinked},
    };
    for (const Case& c : cases)
        EXPECT_EQ(JudgeSharedFile(c.facts), c.verdict)
            << c.facts.folderProtected << c.facts.protectedList << c.facts.explicitEntries << c.facts.links;
}

TEST(SharedFiles, NoUserOrOwnerMayChangeTheSettingsFilesAttributes)
{
    for (const FolderEntry& e : DataFolderRights())
        if ((e.who == Grantee::Users || e.who == Grantee::OwnerRights) && (e.inherit & kToFiles) != 0)
            EXPECT_EQ(e.mask & kWriteAttributes, 0u);
}

// Another user's day's file: made first with a list of its own, or a second name of a file of
// theirs. Nothing goes into it; the lines stay kept and go in once the file is sound again.
TEST(SharedFiles, LogFileOfAnotherUser_NotWritten_OneEventPerFile_LinesKept)
{
    struct Case {
        SharedFileFacts facts;
        std::wstring reason;
    };
    for (const Case& c : {Case{{.folderProtected = true, .explicitEntries = true}, L" a ses propres droits d'accès"},
                          Case{{.folderProtected = true, .links = 2}, L" a plusieurs noms (lien physique)"}}) {
        MonitorHarness h;
        h.localClock.SetNow({2024, 3, 15, 14, 5, 9});
        h.form.InitializePaths();
        h.fileSystem.files[kToday] = "theirs\r\n";
        h.fileSystem.sharedFacts[kToday] = c.facts;
        h.form.AddLog(L"Reçu: A");
        h.form.AddLog(L"Reçu: B");
        h.Dispatch([&] { h.form.TimerDeviceWatchTimer(); });
        EXPECT_EQ(h.fileSystem.files[kToday], "theirs\r\n") << c.reason;
        EXPECT_EQ(h.events.events, Events{Error(L"Journal non écrit: " + kToday + c.reason)});

        h.fileSystem.sharedFacts.clear(); // an administrator replaced it
        h.form.AddLog(L"Reçu: C");
        EXPECT_EQ(h.fileSystem.files[kToday], "theirs\r\n"
                                              "2024-03-15 14:05:09 - Re\xE7u: A\r\n"
                                              "2024-03-15 14:05:09 - Re\xE7u: B\r\n"
                                              "2024-03-15 14:05:09 - Re\xE7u: C\r\n");
        EXPECT_EQ(h.events.events.size(), 1u);
    }
}

TEST(SharedFiles, SettingsFileOfAnotherUser_NeitherReadNorWritten_OneEvent_NoErrorBox)
{
    struct Case {
        SharedFileFacts facts;
        std::wstring reason;
    };
    for (const Case& c : {Case{{.folderProtected = true, .protectedList = true}, L" a ses propres droits d'accès"},
                          Case{{.folderProtected = true, .links = 3}, L" a plusieurs noms (lien physique)"}}) {
        MonitorHarness h;
        h.fileSystem.files[kIni] = "[Settings]\r\nEnabled=0\r\n";
        h.fileSystem.sharedFacts[kIni] = c.facts;
        h.Create();
        EXPECT_TRUE(h.form.IsEnabled) << c.reason;
        h.Dispatch([&] { h.form.MenuActiverClick(); });
        h.Destroy();
        EXPECT_EQ(h.fileSystem.files[kIni], "[Settings]\r\nEnabled=0\r\n");
        EXPECT_TRUE(h.profile.writes.empty());
        EXPECT_EQ(h.events.events, Events{Error(L"Paramètres ignorés: " + kIni + c.reason)});
    }
}

// A junction in the data folder's place, or the setup's folder now owned by a user: nothing
// created, logged, read or saved through it, one event, and the monitor goes on.
TEST(SharedFiles, RefusedDataFolder_NothingThroughIt_OneEvent)
{
    struct Case {
        bool link;
        std::wstring reason;
    };
    for (const Case& c :
         {Case{true, L" est un lien"}, Case{false, L" n'appartient plus à SYSTEM ni aux Administrateurs"}}) {
        MonitorHarness h;
        h.AddPort(L"COM3");
        h.fileSystem.dirs.insert(kData);
        if (c.link)
            h.fileSystem.reparsePoints.insert(kData);
        else
            h.fileSystem.dataFolderFacts = {.installedBySetup = true, .protectedList = true};
        h.fileSystem.files[kIni] = "[Settings]\r\nEnabled=0\r\n";
        h.Create();
        EXPECT_TRUE(h.form.IsEnabled) << c.reason;
        h.Dispatch([&] { h.form.MenuActiverClick(); });
        h.RunToNextWatchTick();
        h.Destroy();
        EXPECT_FALSE(h.fileSystem.DirectoryExists(kData + L"\\logs"));
        EXPECT_TRUE(h.fileSystem.secured.empty());
        EXPECT_EQ(h.fileSystem.files.size(), 1u);
        EXPECT_EQ(h.fileSystem.files[kIni], "[Settings]\r\nEnabled=0\r\n");
        EXPECT_EQ(h.events.events, Events{Error(L"Dossier de données non utilisé: " + kData + c.reason)});
    }
}

// A link planted in the data folder's place while the monitor runs is found at the next day's file.
TEST(SharedFiles, DataFolderBecomingALink_NoLineAfterIt)
{
    MonitorHarness h;
    h.localClock.SetNow({2024, 3, 15, 23, 59, 59});
    h.form.InitializePaths();
    h.form.AddLog(L"before");
    h.fileSystem.reparsePoints.insert(kData);
    h.localClock.SetNow({2024, 3, 16, 0, 0, 0});
    h.form.AddLog(L"after");
    h.form.AddLog(L"later");
    h.fileSystem.reparsePoints.clear();
    h.form.AddLog(L"sound again, but not for this run");
    EXPECT_EQ(h.LogMessages(), std::vector<std::wstring>{L"before"});
    EXPECT_EQ(h.events.events, Events{Error(L"Dossier de données non utilisé: " + kData + L" est un lien")});
}
