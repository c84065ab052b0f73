#include <gtest/gtest.h>

#include "tests/fakes/monitor_harness.h"

namespace {

const Lines kHideSteps = {
    L"SetFixedBorder", L"SetOpacity 0", L"SetWindowPos -10000 -10000 0 0 20", L"Hide", L"ShowApplicationWindow 0",
};

const Lines kShowSteps = {
    L"SetFixedBorder",          L"SetOpacity 255",  L"SetDesignedClientSize",
    L"SetWindowPos 0 0 0 0 71", L"RequestCentring", L"Show",
    L"ShowApplicationWindow 9", L"SetNormalState",  L"BringApplicationToFront",
    L"SetForegroundWindow",
};

// Started with a device on COM3 and run until the search has confirmed it.
void ConnectOnCom3(MonitorHarness& h)
{
    ASSERT_TRUE(h.StartConnected({L"COM3"}));
    h.window.calls.clear();
}

std::wstring SavedEnabled(MonitorHarness& h)
{
    return h.profile.GetString(L"Settings", L"Enabled", L"(none)", 16, h.form.ConfigFile);
}

} // namespace

TEST(Visibility, HideToTray_StepsInOrder)
{
    MonitorHarness h;
    h.form.HideToTray();
    EXPECT_EQ(h.window.calls, kHideSteps);
    EXPECT_FALSE(h.window.visible);
    EXPECT_FALSE(h.window.appWindowShown);
}

TEST(Visibility, ShowFromTray_StepsInOrder)
{
    MonitorHarness h;
    h.form.ShowFromTray();
    EXPECT_EQ(h.window.calls, kShowSteps);
    EXPECT_TRUE(h.window.visible);
    EXPECT_TRUE(h.window.appWindowShown);
    EXPECT_EQ(h.window.alpha, 255);
}

TEST(Visibility, AfterStartUp_ShownOnceThenHidden_WithoutTaskbarEntry)
{
    MonitorHarness h;
    h.Create();
    EXPECT_EQ(h.window.calls, Concat(Concat({L"AddToolWindowStyle"}, kShowSteps), kHideSteps));
    EXPECT_FALSE(h.window.visible);
    EXPECT_FALSE(h.window.appWindowShown);
    EXPECT_EQ(h.window.alpha, 0);
}

TEST(Visibility, TrayIcon1Click_TogglesBetweenShownAndHidden)
{
    MonitorHarness h;
    h.Create();
    h.window.calls.clear();

    h.Dispatch([&] { h.form.TrayIcon1Click(); });
    EXPECT_EQ(h.window.calls, kShowSteps);
    EXPECT_TRUE(h.window.visible);

    h.window.calls.clear();
    h.Dispatch([&] { h.form.TrayIcon1Click(); });
    EXPECT_EQ(h.window.calls, kHideSteps);
    EXPECT_FALSE(h.window.visible);
}

TEST(Visibility, MenuAfficherClick_WhileShown_ShowsAndCentresAgain)
{
    MonitorHarness h;
    h.Create();
    h.Dispatch([&] { h.form.MenuAfficherClick(); });
    h.window.calls.clear();
    h.Dispatch([&] { h.form.MenuAfficherClick(); });
    EXPECT_EQ(h.window.calls, kShowSteps);
    EXPECT_TRUE(h.window.visible);
}

TEST(Visibility, FormClose_HidesAndKeepsTheConnection)
{
    MonitorHarness h;
    ConnectOnCom3(h);
    h.Dispatch([&] { h.form.ShowFromTray(); });
    h.window.calls.clear();

    h.Dispatch([&] { h.form.FormClose(); });
    EXPECT_EQ(h.window.calls, kHideSteps);
    EXPECT_TRUE(h.form.IsConnected);
    EXPECT_TRUE(h.comPorts.Device(L"COM3").open);
    EXPECT_FALSE(h.toolkit.terminated);
    EXPECT_TRUE(h.NewLogMessages().empty());
    EXPECT_EQ(h.TrayIcon1.hint, L"VOR-TIKA Monitor - Connecté à COM3");
}

TEST(Visibility, DisableWhileIdle_LogsCaptionGreyAndSaves)
{
    MonitorHarness h;
    h.chkAutoConnect.checked = false;
    h.Create();
    h.NewLogMessages();
    const int closes = h.comPorts.closes;

    h.Dispatch([&] { h.form.MenuActiverClick(); });
    EXPECT_FALSE(h.form.IsEnabled);
    EXPECT_EQ(h.NewLogMessages(), (Lines{L"VOR-TIKA Monitor désactivé"}));
    EXPECT_EQ(h.MenuActiver.caption, L"Activer");
    EXPECT_EQ(h.TrayIcon1.hint, L"VOR-TIKA Monitor - Désactivé");
    EXPECT_EQ(h.TrayIcon1.icon.Pixels.front(), 0xFF808080u);
    EXPECT_EQ(h.comPorts.closes, closes);
    EXPECT_EQ(SavedEnabled(h), L"0");
}

TEST(Visibility, DisableWhileConnected_ClosesThenGreyNotRed)
{
    MonitorHarness h;
    ConnectOnCom3(h);
    const int trayChanges = h.TrayIcon1.iconChanges;

    h.Dispatch([&] { h.form.MenuActiverClick(); });
    EXPECT_EQ(h.NewLogMessages(), (Lines{L"VOR-TIKA Monitor désactivé", L"Connexion fermée"}));
    EXPECT_FALSE(h.form.IsConnected);
    EXPECT_FALSE(h.comPorts.Device(L"COM3").open);
    EXPECT_EQ(h.lblStatus.caption, L"Etat: Déconnecté");
    EXPECT_EQ(h.MenuActiver.caption, L"Activer");
    EXPECT_EQ(h.TrayIcon1.hint, L"VOR-TIKA Monitor - Désactivé");
    EXPECT_EQ(h.TrayIcon1.icon.Pixels.front(), 0xFF808080u);
    // Disconnect's own update and the toggle's: never a red one in between that stays.
    EXPECT_EQ(h.TrayIcon1.iconChanges, trayChanges + 2);
    EXPECT_EQ(SavedEnabled(h), L"0");
}

TEST(Visibility, EnableAgain_RedDesactiverAndNoSearch)
{
    MonitorHarness h;
    h.chkAutoConnect.checked = false;
    h.fileSystem.files[MonitorHarness::kSettingsFile] = "[Settings]\r\nAutoConnect=0\r\n";
    h.AddPort(L"COM3", true);
    h.Create();
    h.Dispatch([&] { h.form.MenuActiverClick(); });
    h.NewLogMessages();
    const auto opens = h.comPorts.createCalls.size();

    h.Dispatch([&] { h.form.MenuActiverClick(); });
    EXPECT_TRUE(h.form.IsEnabled);
    EXPECT_EQ(h.NewLogMessages(), (Lines{L"VOR-TIKA Monitor activé"}));
    EXPECT_EQ(h.MenuActiver.caption, L"Désactiver");
    EXPECT_EQ(h.TrayIcon1.hint, L"VOR-TIKA Monitor - Déconnecté");
    EXPECT_EQ(h.TrayIcon1.icon.Pixels.front(), 0xFFFF0000u);
    EXPECT_FALSE(h.form.IsDetecting);
    EXPECT_EQ(h.comPorts.createCalls.size(), opens);
    EXPECT_EQ(SavedEnabled(h), L"1");
}

TEST(Visibility, DisableDuringASearch_LetsTheSearchGoOn)
{
    MonitorHarness h;
    h.AddPort(L"COM3", false);
    h.Create();
    ASSERT_TRUE(h.form.IsDetecting);
    h.NewLogMessages();

    h.Dispatch([&] { h.form.MenuActiverClick(); });
    EXPECT_EQ(h.NewLogMessages(), (Lines{L"VOR-TIKA Monitor désactivé"}));
    EXPECT_TRUE(h.form.IsDetecting);
    EXPECT_TRUE(h.comPorts.Device(L"COM3").open);
}

TEST(Visibility, QuitWhileConnected_ClosesThePortThenTerminates)
{
    MonitorHarness h;
    ConnectOnCom3(h);
    h.Dispatch([&] { h.form.MenuQuitterClick(); });
    EXPECT_EQ(h.NewLogMessages(), (Lines{L"Connexion fermée"}));
    EXPECT_FALSE(h.comPorts.Device(L"COM3").open);
    EXPECT_TRUE(h.toolkit.terminated);
}

TEST(Visibility, QuitWhileIdle_LogsNothing)
{
    MonitorHarness h;
    h.chkAutoConnect.checked = false;
    h.Create();
    h.NewLogMessages();
    h.Dispatch([&] { h.form.MenuQuitterClick(); });
    EXPECT_TRUE(h.NewLogMessages().empty());
    EXPECT_TRUE(h.toolkit.terminated);
}
