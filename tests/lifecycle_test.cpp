#include <gtest/gtest.h>

#include "tests/fakes/monitor_harness.h"

TEST(Lifecycle, FirstStartWithoutPortsOrSettings_LogsStartUpAndFailedSearchInOrder)
{
    MonitorHarness h;
    h.Create();
    EXPECT_EQ(
        h.LogMessages(),
        (Lines{L"VOR-TIKA Monitor démarré - Version 1.0", L"Surveillance des périphériques activée (mode timer)",
               L"Connexion automatique au démarrage activée", L"Démarrage de la détection automatique du VOR-TIKA",
               L"Aucun VOR-TIKA détecté sur les ports disponibles"}));
    EXPECT_EQ(h.lblStatus.caption, L"Etat: Aucun VOR-TIKA détecté");
    EXPECT_FALSE(h.window.visible);
    EXPECT_TRUE(h.toolkit.errorReports.empty());
}

TEST(Lifecycle, FormCreate_ArmsOnlyTheWatchAt3000ms_AndFillsTheSpeeds)
{
    MonitorHarness h;
    h.chkAutoConnect.checked = false;
    h.fileSystem.files[MonitorHarness::kSettingsFile] = "[Settings]\r\nAutoConnect=0\r\n";
    h.Create();
    EXPECT_EQ(h.toolkit.Timer1.Interval(), 100u);
    EXPECT_FALSE(h.toolkit.Timer1.Running());
    EXPECT_EQ(h.toolkit.TimerDetection.Interval(), 5000u);
    EXPECT_FALSE(h.toolkit.TimerDetection.Running());
    EXPECT_EQ(h.toolkit.TimerDeviceWatch.Interval(), 3000u);
    EXPECT_TRUE(h.toolkit.TimerDeviceWatch.Running());
    EXPECT_EQ(h.cmbBaudRate.items, (Lines{L"9600", L"19200", L"38400", L"57600", L"115200"}));
    EXPECT_EQ(h.cmbBaudRate.Text(), L"9600");
    EXPECT_TRUE(h.rbKeyboard.checked);
    EXPECT_FALSE(h.rbClipboard.checked);
    EXPECT_TRUE(h.chkCR.checked);
    EXPECT_FALSE(h.chkLF.checked);
    EXPECT_EQ(h.form.hComPort, kNoPort);
    EXPECT_EQ(h.window.exStyle & 0x80u, 0x80u);
    EXPECT_EQ(h.window.calls.front(), L"AddToolWindowStyle");
}

TEST(Lifecycle, PathsAndFolders_AreUnderTheCommonDataFolder)
{
    MonitorHarness h;
    h.Create();
    EXPECT_EQ(h.form.ConfigPath, L"C:\\ProgramData\\VORTIKA");
    EXPECT_EQ(h.form.LogsPath, L"C:\\ProgramData\\VORTIKA\\logs");
    EXPECT_EQ(h.form.ConfigFile, L"C:\\ProgramData\\VORTIKA\\VORTikaMonitor.ini");
    EXPECT_TRUE(h.fileSystem.DirectoryExists(L"C:\\ProgramData\\VORTIKA\\logs"));
    EXPECT_FALSE(h.fileSystem.FileExists(h.form.ConfigFile)) << "the first save creates the settings file";
}

TEST(Lifecycle, DataFolderCreatedByTheProgram_IsSharedWithUsers_AnExistingOneIsLeftAlone)
{
    MonitorHarness first;
    first.Create();
    ASSERT_EQ(first.fileSystem.secured.size(), 2u);
    EXPECT_EQ(first.fileSystem.secured[0],
              std::make_pair(std::wstring(L"C:\\ProgramData\\VORTIKA"), DataFolderRights()));
    EXPECT_EQ(first.fileSystem.secured[1],
              std::make_pair(std::wstring(L"C:\\ProgramData\\VORTIKA\\logs"), LogsFolderRights()));

    MonitorHarness next;
    next.fileSystem.dirs.insert(L"C:\\ProgramData\\VORTIKA");
    next.fileSystem.dirs.insert(L"C:\\ProgramData\\VORTIKA\\logs");
    next.Create();
    EXPECT_TRUE(next.fileSystem.secured.empty()) << "the setup program, or the first start, shared it";
}

TEST(Lifecycle, DataFolderPathHoldingALink_IsNotShared)
{
    // A dangling junction left by another user: the folder looks missing, and a grant would follow it.
    MonitorHarness h;
    h.fileSystem.reparsePoints.insert(L"C:\\ProgramData\\VORTIKA");
    h.Create();
    EXPECT_TRUE(h.fileSystem.secured.empty());
    EXPECT_EQ(h.form.ConfigPath, L"C:\\ProgramData\\VORTIKA");
}

TEST(Lifecycle, WithoutCommonDataFolder_PathsAreRelativeToTheWorkingDirectory)
{
    MonitorHarness h;
    h.fileSystem.commonAppData.clear();
    h.Create();
    EXPECT_EQ(h.form.ConfigPath, L"VORTIKA");
    EXPECT_EQ(h.form.LogsPath, L"VORTIKA\\logs");
    EXPECT_EQ(h.form.ConfigFile, L"VORTIKA\\VORTikaMonitor.ini");
    EXPECT_TRUE(h.fileSystem.DirectoryExists(L"VORTIKA\\logs"));
}

TEST(Lifecycle, QuitFromTheTrayMenu_EndsTheLoopAndShutdownLogsLast)
{
    MonitorHarness h;
    h.Create();
    h.NewLogMessages();
    h.Dispatch([&] { h.form.MenuQuitterClick(); });
    EXPECT_TRUE(h.toolkit.terminated);
    h.Destroy();
    const auto lines = h.NewLogMessages();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), L"Surveillance des périphériques désactivée");
}

TEST(Lifecycle, WatchTimerTicksEvery3sFromStartUp_WhileHidden)
{
    MonitorHarness h;
    h.Create();
    h.RunFor(9000);
    EXPECT_EQ(h.toolkit.TimerDeviceWatch.ticks, 3);
}

TEST(Lifecycle, SessionEnd_RunsTheShutdownOfQuitterOnce_ARefusedWriteIsLoggedNotShown)
{
    const std::wstring ini = L"C:\\ProgramData\\VORTIKA\\VORTikaMonitor.ini";
    for (const bool refused : {false, true}) {
        SCOPED_TRACE(refused ? "refused write" : "file writable");
        MonitorHarness h;
        h.AddPort(L"COM3", true);
        h.Create();
        h.RunFor(300);
        ASSERT_TRUE(h.form.IsConnected);
        h.chkLF.checked = true; // changed in the window since the last save
        if (refused)
            h.fileSystem.readOnly.insert(ini);
        h.NewLogMessages();

        h.Dispatch([&] { h.form.EndSession(); });
        h.Destroy(); // the loop's end must not run it again
        Lines expected{L"Connexion fermée", L"Surveillance des périphériques désactivée"};
        if (refused)
            expected.push_back(L"Impossible d'écrire dans " + ini + L".");
        EXPECT_EQ(h.NewLogMessages(), expected);
        EXPECT_TRUE(h.toolkit.terminated);
        EXPECT_FALSE(h.comPorts.Device(L"COM3").open);
        EXPECT_TRUE(h.toolkit.messageBoxes.empty());
        EXPECT_EQ(h.profile.Text(ini).find(L"LF=1") != std::wstring::npos, !refused);
    }
}

TEST(Lifecycle, RegistryTypeErrorAtStartUp_BoxOpensAfterStartUp_APortArrivingThenKeepsTheSettings)
{
    MonitorHarness h;
    h.registry.values.push_back({L"\\Device\\Odd0", kRegDword, L""});
    h.fileSystem.files[MonitorHarness::kSettingsFile] = "[Connection]\r\nBaudRate=115200\r\n[Settings]\r\nCR=0\r\n";
    h.toolkit.modalBoxOpenMs = 10000;
    // The device is plugged in while the box is open; the watch ticks inside it.
    h.toolkit.onBoxOpened = [&] { h.AddPort(L"COM3", true); };
    h.Create();

    ASSERT_EQ(h.toolkit.messageBoxes.size(), 1u);
    EXPECT_TRUE(h.form.IsConnected);
    const std::wstring saved = h.profile.Text(L"C:\\ProgramData\\VORTIKA\\VORTikaMonitor.ini");
    EXPECT_NE(saved.find(L"BaudRate=115200"), std::wstring::npos) << saved;
    EXPECT_NE(saved.find(L"CR=0"), std::wstring::npos) << saved;
}
