#include <gtest/gtest.h>

#include <algorithm>

#include "tests/fakes/monitor_harness.h"

namespace {

const std::wstring kRemoved = L"Le périphérique VOR-TIKA a été déconnecté.";
const Lines kTestPassed = {L"Debug: Timer surveillance - Test de connexion active", L"Debug: Test de connexion réussi"};

// Runs the clock up to and including the next tick of the watch.
void NextWatchTick(MonitorHarness& h)
{
    h.RunFor(h.toolkit.TimerDeviceWatch.due - h.toolkit.clock.Now());
}

// Idle after start-up: automatic connection off, so nothing is searched.
void StartIdle(MonitorHarness& h, const Lines& ports)
{
    for (const auto& p : ports)
        h.AddPort(p);
    h.CreateIdle();
    ASSERT_FALSE(h.form.IsDetecting);
}

// Connected to the device on the first of `ports` after the start-up search.
void StartConnected(MonitorHarness& h, const Lines& ports)
{
    ASSERT_TRUE(h.StartConnected(ports));
}

Lines ArrivalState(bool connected, bool detecting, bool enabled, bool autoConnect)
{
    auto tf = [](bool v) { return std::wstring(v ? L"True" : L"False"); };
    return {L"Debug HandleDeviceArrival:", L"  IsConnected: " + tf(connected), L"  IsDetecting: " + tf(detecting),
            L"  IsEnabled: " + tf(enabled), L"  AutoConnect checked: " + tf(autoConnect)};
}

const std::wstring kNotMet = L"Nouveau(x) port(s) COM détecté(s) - Conditions non remplies pour démarrage automatique";

// A removal with nothing connected: the state lines, then one refresh besides the tick's own.
void ExpectRemovalWhileNotConnected(MonitorHarness& h, int readsBefore, const std::wstring& selection)
{
    EXPECT_EQ(h.NewLogMessages(),
              (Lines{L"Changement de périphériques détecté par surveillance",
                     L"Ports supprimés détectés (Ancien: 2, Nouveau: 1)", L"Debug HandleDeviceRemoval:",
                     L"  IsConnected: False", L"  Port connecté: " + selection, L"  Port encore disponible: True"}));
    EXPECT_EQ(h.registry.reads, readsBefore + 2);
}

} // namespace

TEST(Watch, ConnectedAndUnchanged_TwoLinesAndOneCarriageReturnPerTick)
{
    MonitorHarness h;
    StartConnected(h, {L"COM3"});
    FakeDevice& device = h.comPorts.Device(L"COM3");
    const std::string before = device.written;

    for (int tick = 1; tick <= 3; ++tick) {
        NextWatchTick(h);
        EXPECT_EQ(h.NewLogMessages(), kTestPassed) << "tick " << tick;
        EXPECT_EQ(device.written, before + std::string(static_cast<std::size_t>(tick), '\r'));
    }
    EXPECT_TRUE(h.form.IsConnected);
    EXPECT_EQ(h.form.PreviousPortsList, (Lines{L"COM3"}));
}

TEST(Watch, LivenessTestFailures_CloseWithoutComparingOrTellingTheUser)
{
    struct Case {
        const char* name;
        void (*script)(FakeDevice&);
        Lines lines;
    };
    const Case cases[] = {
        {"write fails with 31",
         [](FakeDevice& d) { d.writeError = 31; },
         {L"Debug: Echec WriteFile (Code: 31)", L"Debug: Erreur indiquant une déconnexion probable",
          L"Debug: Test d'écriture échoué"}},
        {"write of 0 of 1 byte",
         [](FakeDevice& d) { d.partialWrite = 0; },
         {L"Debug: Ecriture partielle - Écrit: 0/1", L"Debug: Test d'écriture échoué"}},
        {"write fails with 5",
         [](FakeDevice& d) { d.writeError = 5; },
         {L"Debug: Echec WriteFile (Code: 5)", L"Debug: Test d'écriture échoué"}},
        {"GetCommState fails",
         [](FakeDevice& d) { d.getStateError = 1167; },
         {L"Debug: GetCommState échoué (Code: 1167)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MonitorHarness h;
        StartConnected(h, {L"COM3"});
        NextWatchTick(h); // one good tick sets the list of reference
        h.NewLogMessages();
        FakeDevice& device = h.comPorts.Device(L"COM3");
        c.script(device);
        h.AddPort(L"COM9"); // would be an arrival, but this tick compares nothing
        const int reads = h.registry.reads;

        NextWatchTick(h);
        EXPECT_EQ(h.NewLogMessages(), Concat(Concat({L"Debug: Timer surveillance - Test de connexion active"}, c.lines),
                                             {L"Test de connexion échoué - Port déconnecté", L"Connexion fermée"}));
        EXPECT_FALSE(h.form.IsConnected);
        EXPECT_FALSE(device.open);
        EXPECT_EQ(h.registry.reads, reads);
        EXPECT_EQ(h.form.PreviousPortsList, (Lines{L"COM3"}));
        EXPECT_TRUE(h.toolkit.messageBoxes.empty());
        EXPECT_TRUE(h.TrayIcon1.balloons.empty());
        EXPECT_EQ(h.TrayIcon1.hint, L"VOR-TIKA Monitor - Déconnecté");
    }
}

TEST(Watch, GetCommStateFailure_WritesNothingToTheDevice)
{
    MonitorHarness h;
    StartConnected(h, {L"COM3"});
    FakeDevice& device = h.comPorts.Device(L"COM3");
    device.getStateError = 31;
    const std::string before = device.written;
    NextWatchTick(h);
    EXPECT_EQ(device.written, before);
}

TEST(Watch, FirstTick_ComparesWithTheListOfStartUp)
{
    MonitorHarness h;
    StartIdle(h, {L"COM1", L"COM2"});
    EXPECT_TRUE(h.form.PreviousPortsList.empty());
    NextWatchTick(h);
    EXPECT_TRUE(h.NewLogMessages().empty());
    EXPECT_EQ(h.form.PreviousPortsList, (Lines{L"COM1", L"COM2"}));
}

TEST(Watch, PortAddedBeforeTheFirstTick_IsAnArrival)
{
    MonitorHarness h;
    StartIdle(h, {L"COM1"});
    h.AddPort(L"COM2");
    NextWatchTick(h);
    EXPECT_EQ(h.NewLogMessages(), Concat(Concat({L"Changement de périphériques détecté par surveillance",
                                                 L"Nouveaux ports détectés (Ancien: 1, Nouveau: 2)"},
                                                ArrivalState(false, false, true, false)),
                                         {kNotMet}));
    EXPECT_EQ(h.form.PreviousPortsList, (Lines{L"COM1"}));
}

TEST(Watch, SamePortsInAnotherOrder_AreAChangeTreatedAsArrival)
{
    MonitorHarness h;
    StartIdle(h, {L"COM1", L"COM2"});
    std::swap(h.registry.values[0], h.registry.values[1]);
    NextWatchTick(h);
    EXPECT_EQ(h.NewLogMessages(), Concat(Concat({L"Changement de périphériques détecté par surveillance",
                                                 L"Ports modifiés détectés - traitement comme nouvelle arrivée"},
                                                ArrivalState(false, false, true, false)),
                                         {kNotMet}));
    EXPECT_EQ(h.cmbPorts.items, (Lines{L"COM2", L"COM1"}));
}

TEST(Watch, NamesDifferingOnlyInCase_AreAChange)
{
    MonitorHarness h;
    StartIdle(h, {L"COM1"});
    h.registry.values[0].Data = L"com1";
    NextWatchTick(h);
    const Lines lines = h.NewLogMessages();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[1], L"Ports modifiés détectés - traitement comme nouvelle arrivée");
}

TEST(Watch, PortReplacedWhileIdle_SearchStartsAtTheReplacingPortAfterASecond)
{
    MonitorHarness h;
    StartIdle(h, {L"COM1", L"COM2"});
    h.chkAutoConnect.checked = true;
    h.registry.RemovePort(L"COM2");
    h.AddPort(L"COM5", true);
    const std::uint64_t tickAt = h.toolkit.TimerDeviceWatch.due;
    const auto opensBefore = h.comPorts.createCalls.size();

    NextWatchTick(h);
    EXPECT_EQ(h.NewLogMessages(),
              Concat(Concat({L"Changement de périphériques détecté par surveillance",
                             L"Ports modifiés détectés - traitement comme nouvelle arrivée"},
                            ArrivalState(false, false, true, true)),
                     {L"Nouveau(x) port(s) COM détecté(s) - Démarrage de la détection automatique"}));
    // The driver's second to settle is a timer: the loop runs on meanwhile.
    EXPECT_TRUE(h.toolkit.clock.sleeps.empty());
    h.RunFor(999);
    EXPECT_EQ(h.comPorts.createCalls.size(), opensBefore);
    h.RunFor(1);
    const Lines lines = h.NewLogMessages();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), L"Debug: Recherche du nouveau port dans 2 ports");
    EXPECT_NE(std::find(lines.begin(), lines.end(), L"Nouveau port détecté: COM5 à l'index 1 - Commencer par celui-ci"),
              lines.end());
    EXPECT_EQ(h.toolkit.clock.Now(), tickAt + 1000);
    ASSERT_EQ(h.comPorts.createCalls.size(), opensBefore + 1);
    EXPECT_EQ(h.comPorts.createCalls.back(), L"\\\\.\\COM5");
    EXPECT_EQ(h.form.PreviousPortsList, (Lines{L"COM1", L"COM2"}));
    EXPECT_TRUE(h.form.IsDetecting);

    h.RunFor(300);
    EXPECT_TRUE(h.form.IsConnected);
    EXPECT_EQ(h.TrayIcon1.hint, L"VOR-TIKA Monitor - Connecté à COM5");
}

TEST(Watch, ConnectedPortReplacedInTheSameTick_IsAnArrivalWithoutRemovalHandling)
{
    MonitorHarness h;
    StartConnected(h, {L"COM3"});
    h.registry.RemovePort(L"COM3");
    h.AddPort(L"COM4");
    NextWatchTick(h);
    EXPECT_EQ(h.NewLogMessages(),
              Concat(Concat(Concat(kTestPassed, {L"Changement de périphériques détecté par surveillance",
                                                 L"Ports modifiés détectés - traitement comme nouvelle arrivée"}),
                            ArrivalState(true, false, true, true)),
                     {kNotMet}));
    EXPECT_TRUE(h.form.IsConnected);
    EXPECT_TRUE(h.comPorts.Device(L"COM3").open);
    EXPECT_TRUE(h.TrayIcon1.balloons.empty());
}

TEST(Watch, ArrivalWhenConditionsAreNotMet_OnlyTheStateLines)
{
    struct Case {
        const char* name;
        void (*setup)(MonitorHarness&);
        Lines prefix;
        Lines state;
    };
    const Case cases[] = {
        {"disabled",
         [](MonitorHarness& h) {
             StartIdle(h, {L"COM1"});
             h.chkAutoConnect.checked = true;
             h.form.MenuActiverClick();
             h.NewLogMessages();
         },
         {},
         ArrivalState(false, false, false, true)},
        {"searching",
         [](MonitorHarness& h) {
             h.AddPort(L"COM1");
             h.Create();
             ASSERT_TRUE(h.form.IsDetecting);
             h.NewLogMessages();
         },
         {},
         ArrivalState(false, true, true, true)},
        {"connected", [](MonitorHarness& h) { StartConnected(h, {L"COM1"}); }, kTestPassed,
         ArrivalState(true, false, true, true)},
        {"automatic connection off",
         [](MonitorHarness& h) { StartIdle(h, {L"COM1"}); },
         {},
         ArrivalState(false, false, true, false)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MonitorHarness h;
        c.setup(h);
        const auto opens = h.comPorts.createCalls.size();
        h.AddPort(L"COM2", true);
        NextWatchTick(h);
        EXPECT_EQ(h.NewLogMessages(),
                  Concat(Concat(Concat(c.prefix, {L"Changement de périphériques détecté par surveillance",
                                                  L"Nouveaux ports détectés (Ancien: 1, Nouveau: 2)"}),
                                c.state),
                         {kNotMet}));
        EXPECT_TRUE(h.toolkit.clock.sleeps.empty());
        EXPECT_EQ(h.comPorts.createCalls.size(), opens);
    }
}

TEST(Watch, PortRemovedWhileIdle_LogsTheSelectionAndRefreshesOnce)
{
    MonitorHarness h;
    StartIdle(h, {L"COM1", L"COM2"});
    h.registry.RemovePort(L"COM1");
    const int reads = h.registry.reads;
    NextWatchTick(h);
    ExpectRemovalWhileNotConnected(h, reads, L"COM2");
    EXPECT_TRUE(h.toolkit.messageBoxes.empty());
    EXPECT_TRUE(h.TrayIcon1.balloons.empty());
}

TEST(Watch, OtherPortRemovedWhileConnected_ConnectionRemains)
{
    MonitorHarness h;
    StartConnected(h, {L"COM3", L"COM4"});
    h.registry.RemovePort(L"COM4");
    const int reads = h.registry.reads;
    NextWatchTick(h);
    EXPECT_EQ(
        h.NewLogMessages(),
        Concat(kTestPassed,
               {L"Changement de périphériques détecté par surveillance",
                L"Ports supprimés détectés (Ancien: 2, Nouveau: 1)", L"Debug HandleDeviceRemoval:",
                L"  IsConnected: True", L"  Port connecté: COM3", L"Debug: Port COM3 trouvé dans la liste des ports",
                L"  Port encore disponible: True", L"Debug: Port COM3 trouvé dans la liste des ports"}));
    EXPECT_EQ(h.registry.reads, reads + 4); // the tick, two still-available tests, one refresh
    EXPECT_TRUE(h.form.IsConnected);
    EXPECT_TRUE(h.TrayIcon1.balloons.empty());
    EXPECT_TRUE(h.toolkit.messageBoxes.empty());
}

namespace {

Lines ConnectedPortGone(const std::wstring& counts)
{
    return Concat(kTestPassed,
                  {L"Changement de périphériques détecté par surveillance", L"Ports supprimés détectés " + counts,
                   L"Debug HandleDeviceRemoval:", L"  IsConnected: True", L"  Port connecté: COM3",
                   L"Debug: Port COM3 non trouvé dans la liste des ports", L"  Port encore disponible: False",
                   L"Debug: Port COM3 non trouvé dans la liste des ports",
                   L"Port COM connecté (COM3) déconnecté - Fermeture automatique", L"Connexion fermée"});
}

} // namespace

TEST(Watch, ConnectedPortRemovedWhileHidden_ClosesAndShowsABalloon)
{
    MonitorHarness h;
    StartConnected(h, {L"COM3", L"COM4"});
    ASSERT_FALSE(h.window.visible);
    h.registry.RemovePort(L"COM3");
    NextWatchTick(h);
    EXPECT_EQ(h.NewLogMessages(), ConnectedPortGone(L"(Ancien: 2, Nouveau: 1)"));
    EXPECT_FALSE(h.form.IsConnected);
    EXPECT_FALSE(h.comPorts.Device(L"COM3").open);
    ASSERT_EQ(h.TrayIcon1.balloons.size(), 1u);
    const BalloonRecord& b = h.TrayIcon1.balloons[0];
    EXPECT_EQ(b.Title, L"VOR-TIKA Monitor");
    EXPECT_EQ(b.Text, kRemoved);
    EXPECT_EQ(b.Flags, kBalloonNoIcon);
    EXPECT_EQ(b.TimeoutMs, 10000u);
    EXPECT_TRUE(h.toolkit.messageBoxes.empty());
    EXPECT_EQ(h.TrayIcon1.hint, L"VOR-TIKA Monitor - Déconnecté");
    EXPECT_EQ(h.lblStatus.caption, L"Etat: Déconnecté");
    EXPECT_EQ(h.cmbPorts.items, (Lines{L"COM4"}));
}

TEST(Watch, ConnectedPortRemovedWhileShown_ClosesAndShowsAModalBox)
{
    MonitorHarness h;
    StartConnected(h, {L"COM3", L"COM4"});
    h.Dispatch([&] { h.form.ShowFromTray(); });
    h.registry.RemovePort(L"COM3");
    NextWatchTick(h);
    EXPECT_EQ(h.NewLogMessages(), ConnectedPortGone(L"(Ancien: 2, Nouveau: 1)"));
    ASSERT_EQ(h.toolkit.messageBoxes.size(), 1u);
    EXPECT_EQ(h.toolkit.messageBoxes[0].Text, kRemoved);
    EXPECT_EQ(h.toolkit.messageBoxes[0].Kind, MessageBoxKind::Plain);
    EXPECT_TRUE(h.TrayIcon1.balloons.empty());
    EXPECT_FALSE(h.form.IsConnected);
}

TEST(Watch, LastPortRemovedWhileConnected_LeavesAnEmptyList)
{
    MonitorHarness h;
    StartConnected(h, {L"COM3"});
    h.registry.RemovePort(L"COM3");
    NextWatchTick(h);
    EXPECT_EQ(h.NewLogMessages(), ConnectedPortGone(L"(Ancien: 1, Nouveau: 0)"));
    EXPECT_TRUE(h.cmbPorts.items.empty());
    EXPECT_EQ(h.cmbPorts.Text(), L"");
    EXPECT_EQ(h.TrayIcon1.balloons.size(), 1u);
}

TEST(Watch, PortUnderTestRemovedDuringASearch_OnlyReenumerates)
{
    MonitorHarness h;
    h.AddPort(L"COM1");
    h.AddPort(L"COM2");
    h.Create();
    ASSERT_TRUE(h.form.IsDetecting);
    ASSERT_EQ(h.form.OpenPortName(), L"COM1");
    h.NewLogMessages();
    h.registry.RemovePort(L"COM1");
    const int reads = h.registry.reads;

    NextWatchTick(h);
    ExpectRemovalWhileNotConnected(h, reads, L"COM2");
    EXPECT_TRUE(h.form.IsDetecting);
    EXPECT_TRUE(h.comPorts.Device(L"COM1").open);
    EXPECT_TRUE(h.toolkit.TimerDetection.Running());
}

TEST(Watch, TicksDuringTheModalRemovalBox_MayStartASearch)
{
    MonitorHarness h;
    StartConnected(h, {L"COM3", L"COM4"});
    h.Dispatch([&] { h.form.ShowFromTray(); });
    h.toolkit.modalBoxOpenMs = 8000;
    // The new device is plugged while the box is open.
    h.toolkit.TimerDeviceWatch.OnTimer = [&] {
        if (!h.toolkit.messageBoxes.empty() && !h.comPorts.HasDevice(L"COM5"))
            h.AddPort(L"COM5", true);
        h.form.TimerDeviceWatchTimer();
    };
    h.registry.RemovePort(L"COM3");
    const std::uint64_t removalTick = h.toolkit.TimerDeviceWatch.due;

    NextWatchTick(h);
    ASSERT_EQ(h.toolkit.messageBoxes.size(), 1u);
    EXPECT_EQ(h.toolkit.messageBoxes[0].At, removalTick);
    const Lines lines = h.NewLogMessages();
    const Lines removal = ConnectedPortGone(L"(Ancien: 2, Nouveau: 1)");
    ASSERT_GT(lines.size(), removal.size());
    EXPECT_EQ(Lines(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(removal.size())), removal);
    const Lines inner = Concat(Concat({L"Changement de périphériques détecté par surveillance",
                                       L"Nouveaux ports détectés (Ancien: 1, Nouveau: 2)"},
                                      ArrivalState(false, false, true, true)),
                               {L"Nouveau(x) port(s) COM détecté(s) - Démarrage de la détection automatique"});
    EXPECT_EQ(Lines(lines.begin() + static_cast<std::ptrdiff_t>(removal.size()),
                    lines.begin() + static_cast<std::ptrdiff_t>(removal.size() + inner.size())),
              inner);
    // The search ran and confirmed the new device before the box was closed.
    EXPECT_TRUE(h.form.IsConnected);
    EXPECT_EQ(h.form.OpenPortName(), L"COM5");
    EXPECT_EQ(h.toolkit.messageBoxes.size(), 1u);
}

TEST(Watch, PortPluggedDuringASearch_IsSearchedWhenTheSearchEndsEmpty_UnlessTheSearchReachesItOrArrivalsAreOff)
{
    struct Case {
        const char* name;
        bool below;   // listed before the port under test, where the search never goes back
        bool disable; // the monitor is disabled before the search ends
        bool connects;
    } const cases[] = {
        {"below, enabled", true, false, true},
        {"below, disabled meanwhile", true, true, false},
        {"above: the running search tries it", false, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MonitorHarness h;
        h.AddPort(L"COM4");
        h.AddPort(L"COM5");
        h.Create();
        ASSERT_EQ(h.form.OpenPortName(), L"COM4");
        const RegistryValue device{L"\\Device\\Serial9", kRegSz, L"COM2"};
        h.registry.values.insert(c.below ? h.registry.values.begin() : h.registry.values.end(), device);
        h.comPorts.Device(L"COM2").answersHandshake = true;
        NextWatchTick(h);
        ASSERT_TRUE(h.form.IsDetecting);
        if (c.disable)
            h.Dispatch([&] { h.form.MenuActiverClick(); });
        // The search goes on at the same index of the longer list: three time-outs.
        h.RunFor(13000);

        const Lines lines = h.LogMessages();
        EXPECT_EQ(h.form.IsConnected, c.connects);
        const auto newSearches = std::count(
            lines.begin(), lines.end(), L"Démarrage de la détection automatique du VOR-TIKA (nouveau périphérique)");
        EXPECT_EQ(newSearches, c.below && !c.disable ? 1 : 0);
        if (c.below && !c.disable) {
            EXPECT_NE(std::find(lines.begin(), lines.end(),
                                L"Nouveau port détecté: COM2 à l'index 0 - Commencer par celui-ci"),
                      lines.end());
        }
    }
}

TEST(Watch, DeviceComingAndGoingWithARefusedWrite_TheErrorBoxIsNeverStacked)
{
    MonitorHarness h;
    h.fileSystem.readOnly.insert(MonitorHarness::kSettingsFile);
    h.toolkit.modalBoxOpenMs = 30000;
    // Inside the box: the device is unplugged at one watch tick and plugged back at the next.
    h.toolkit.TimerDeviceWatch.OnTimer = [&] {
        if (h.form.IsConnected)
            h.registry.RemovePort(L"COM3");
        else if (h.registry.values.empty())
            h.AddPort(L"COM3", true);
        h.form.TimerDeviceWatchTimer();
    };
    h.AddPort(L"COM3", true);
    h.Create();
    h.RunFor(300);

    EXPECT_GE(h.toolkit.errorReports.size(), 3u) << "a refused save at every connection";
    EXPECT_EQ(h.toolkit.messageBoxes.size(), 1u);
}
