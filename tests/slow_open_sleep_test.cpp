// Sleep closes the link and resume tries it again; opens run away from the GUI thread, so a port
// that blocks never freezes the monitor; automatic searches leave Bluetooth ports last.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/fakes/monitor_harness.h"
#include "ui/power_rule.h"

// A burst read just before sleep goes out first; the handle is never kept across sleep, and the
// device's port is tried at once after resume.
TEST(Sleep, SuspendClosesAfterThePendingBurst_ResumeTriesTheDevicesPortAtOnce)
{
    MonitorHarness h;
    ASSERT_TRUE(h.StartConnected({L"COM3", L"COM4"}));
    FakeDevice& device = h.comPorts.Device(L"COM3");
    device.rx += "AB";
    h.RunFor(100);
    h.NewLogMessages();
    h.Dispatch([&] { h.form.PowerSuspending(); });
    EXPECT_EQ(h.NewLogMessages(),
              (Lines{L"Reçu: AB", L"Mise en veille de Windows - Fermeture de la connexion", L"Connexion fermée"}));
    EXPECT_EQ(TypedKeys(h.keyboard.calls), (std::vector<std::wstring>{L"A", L"B", L"{Enter}"}));
    EXPECT_EQ(h.comPorts.openCount(), 0);

    const int opensOfOther = h.comPorts.Device(L"COM4").opens;
    h.Dispatch([&] { h.form.PowerResumed(); });
    h.RunFor(100);
    EXPECT_TRUE(h.form.IsConnected);
    EXPECT_EQ(h.comPorts.Device(L"COM4").opens, opensOfOther);
}

// A resume with the user present brings both resume events, Modern Standby perhaps only the
// second: the port is reopened once per resume.
TEST(Sleep, EachResumeActsOnce_WhicheverEventsBringIt)
{
    using enum PowerStep;
    struct Case {
        std::vector<std::uintptr_t> events;
        std::vector<PowerStep> steps;
    };
    const std::uintptr_t suspend = kPbtApmSuspend, automatic = kPbtApmResumeAutomatic, present = kPbtApmResumeSuspend;
    const Case cases[] = {
        {{suspend, automatic, present}, {Suspend, Resume, None}},
        {{suspend, present, automatic}, {Suspend, Resume, None}},
        {{suspend, present}, {Suspend, Resume}},
        {{suspend, automatic, present, suspend, present, automatic}, {Suspend, Resume, None, Suspend, Resume, None}},
        {{automatic, automatic}, {Resume, None}},
        {{0xA, suspend, 0x8013}, {None, Suspend, None}}, // battery and setting changes
    };
    for (const Case& c : cases) {
        PowerEvents power;
        std::vector<PowerStep> steps;
        for (const std::uintptr_t event : c.events)
            steps.push_back(power.Take(event));
        EXPECT_EQ(steps, c.steps);
    }
}

// Windows goes on running programs for a moment after announcing sleep: no try of the device's
// port may open it then, or its handle would be kept across sleep after all.
TEST(Sleep, NoTryOfTheDevicesPortBetweenSuspendAndResume)
{
    MonitorHarness h;
    ASSERT_TRUE(h.StartConnected({L"COM3"}));
    h.Dispatch([&] { h.form.PowerSuspending(); });
    const int opens = h.comPorts.Device(L"COM3").opens;
    h.RunFor(4 * kTimerDeviceWatchMs);
    EXPECT_EQ(h.comPorts.Device(L"COM3").opens, opens);
    EXPECT_FALSE(h.form.IsDetecting);

    h.Dispatch([&] { h.form.PowerResumed(); });
    h.RunFor(100);
    EXPECT_TRUE(h.form.IsConnected);
    EXPECT_EQ(h.comPorts.Device(L"COM3").opens, opens + 1);
}

// An open that blocks is one more step of the detection: the window stays busy on that port, the
// reply wait bounds it, and the handle it brings back late is closed at once.
TEST(SlowOpen, BoundedByTheReplyWait_TheLateHandleIsClosed_TheSearchGoesOn)
{
    MonitorHarness h;
    h.AddPort(L"COM5");
    h.AddPort(L"COM6", /*answers=*/true);
    h.CreateIdle();
    h.portOpener.holding = true;
    h.Dispatch([&] { h.form.btnConnectClick(); });
    EXPECT_TRUE(h.form.IsDetecting);
    EXPECT_FALSE(h.btnConnect.enabled);
    EXPECT_EQ(h.lblStatus.caption, L"Etat: Test du port COM5...");
    EXPECT_EQ(h.comPorts.openCount(), 0);

    h.RunFor(kTimerDetectionMs);
    const Lines lines = h.NewLogMessages();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(Lines(lines.end() - 2, lines.end()), (Lines{L"Impossible d'ouvrir le port COM5", L"Test du port COM6"}));

    h.portOpener.CompleteNext(); // COM5 at last
    EXPECT_EQ(h.comPorts.openCount(), 0);
    EXPECT_EQ(h.comPorts.Device(L"COM5").opens, 1);
    h.portOpener.CompleteNext(); // COM6
    h.RunFor(100);
    EXPECT_TRUE(h.form.IsConnected);
    EXPECT_EQ(h.form.OpenPortName(), L"COM6");
}

namespace {

// COM5's open blocks, is given up, and the search ends on COM6, which never answers; a second search
// from COM5 comes back to it while its first open is still out.
void SecondSearchReachesAPortWhoseGivenUpOpenIsOut(MonitorHarness& h)
{
    h.AddPort(L"COM5", /*answers=*/true);
    h.AddPort(L"COM6");
    h.CreateIdle();
    h.portOpener.blocked = {L"COM5"};
    h.Dispatch([&] { h.form.btnConnectClick(); });
    h.RunFor(2 * kTimerDetectionMs);
    ASSERT_FALSE(h.form.IsDetecting);
    h.cmbPorts.SetItemIndex(0); // the user picks COM5 again
    h.Dispatch([&] { h.form.btnConnectClick(); });
    h.RunFor(2'000);
}

} // namespace

// The port is exclusive and its first open may still succeed: the second open starts only once the
// first has come back and its handle is closed.
TEST(SlowOpen, APortIsOpenedAgainOnlyOnceItsGivenUpOpenIsBackAndClosed)
{
    MonitorHarness h;
    SecondSearchReachesAPortWhoseGivenUpOpenIsOut(h);
    EXPECT_EQ(h.portOpener.started, (Lines{L"COM5", L"COM6"}));
    EXPECT_TRUE(h.form.IsDetecting);
    EXPECT_EQ(h.lblStatus.caption, L"Etat: Test du port COM5...");

    h.portOpener.blocked.clear();
    h.comPorts.calls.clear();
    h.portOpener.Complete(L"COM5"); // the first open succeeds, late
    EXPECT_EQ(h.portOpener.started, (Lines{L"COM5", L"COM6", L"COM5"}));
    ASSERT_GE(h.comPorts.calls.size(), 5u);
    using Calls = std::vector<std::string>;
    EXPECT_EQ(Calls(h.comPorts.calls.begin(), h.comPorts.calls.begin() + 5),
              (Calls{"CreateFile", "GetCommState", "SetCommState", "SetCommTimeouts", "CloseHandle"}));
    h.RunFor(100);
    EXPECT_TRUE(h.form.IsConnected);
    EXPECT_EQ(h.form.OpenPortName(), L"COM5");
}

// The bound of an open runs from its start: the time spent waiting for the given-up open counts
// for nothing.
TEST(SlowOpen, AnOpenThatWaited_GetsItsWholeBoundFromItsStart)
{
    MonitorHarness h;
    SecondSearchReachesAPortWhoseGivenUpOpenIsOut(h);
    h.NewLogMessages();
    h.portOpener.Complete(L"COM5"); // back after 2 s of the second search; the second open blocks too
    h.RunFor(kTimerDetectionMs - 100);
    EXPECT_TRUE(h.form.IsDetecting);
    EXPECT_EQ(h.NewLogMessages(), Lines{});
    h.RunFor(200);
    const Lines lines = h.NewLogMessages();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), L"Impossible d'ouvrir le port COM5");
}

// "Déconnecter" and "Quitter" never wait for an open.
TEST(SlowOpen, GivenUpByTheUser_NothingWaits_AndNothingStaysOpen)
{
    for (int way = 0; way < 2; ++way) {
        SCOPED_TRACE(way);
        MonitorHarness h;
        h.AddPort(L"COM5", /*answers=*/true);
        h.CreateIdle();
        h.portOpener.holding = true;
        h.Dispatch([&] { h.form.btnConnectClick(); });
        h.Dispatch([&] {
            if (way == 0)
                h.form.btnDisconnectClick();
            else
                h.form.MenuQuitterClick();
        });
        EXPECT_FALSE(h.form.IsDetecting);
        EXPECT_FALSE(h.toolkit.TimerDetection.Running());
        EXPECT_EQ(h.lblStatus.caption, L"Etat: Déconnecté");
        h.portOpener.CompleteNext();
        h.RunFor(10'000);
        EXPECT_FALSE(h.form.IsConnected);
        EXPECT_EQ(h.comPorts.openCount(), 0);
    }
}

TEST(SlowOpen, ATryOfTheDevicesPort_FailsWithTheTimeOutsCode)
{
    MonitorHarness h;
    h.AddPort(L"COM3");
    h.fileSystem.files[MonitorHarness::kSettingsFile] = "[Connection]\r\nPort=COM3\r\n[Settings]\r\nAutoConnect=1\r\n";
    h.Create();
    h.RunFor(5'100);
    h.portOpener.holding = true;
    h.NewLogMessages();
    h.RunToNextWatchTick();
    EXPECT_TRUE(h.form.IsDetecting);
    h.RunFor(kTimerDetectionMs);
    const Lines lines = h.NewLogMessages();
    EXPECT_EQ(std::ranges::count(lines, L"Reconnexion impossible: port COM3 indisponible (Code: 121)"), 1);
    EXPECT_FALSE(h.form.IsDetecting);
    EXPECT_EQ(h.lblStatus.caption, L"Etat: Aucun VOR-TIKA détecté");
}

TEST(BluetoothPorts, AutomaticSearchesTryThemAfterEveryOtherPort_AClickWalksTheList)
{
    for (const bool click : {false, true}) {
        SCOPED_TRACE(click);
        MonitorHarness h;
        h.registry.values.push_back({L"\\Device\\BthModem0", kRegSz, L"COM8"});
        h.registry.values.push_back({L"\\Device\\BthModem1", kRegSz, L"COM9"});
        h.AddPort(L"COM3");
        h.AddPort(L"COM4");
        if (click) {
            h.CreateIdle();
            h.Dispatch([&] { h.form.btnConnectClick(); });
        } else {
            h.Create();
        }
        h.RunFor(4 * kTimerDetectionMs + 500);
        const Lines expected =
            click ? Lines{L"COM8", L"COM9", L"COM3", L"COM4"} : Lines{L"COM3", L"COM4", L"COM8", L"COM9"};
        EXPECT_EQ(h.portOpener.started, expected);
    }
}
