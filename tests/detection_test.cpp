#include <gtest/gtest.h>

#include <algorithm>

#include "tests/fakes/monitor_harness.h"

namespace {

const std::string kIdleSettings = "[Settings]\r\nAutoConnect=0\r\n";

void Connect(MonitorHarness& h)
{
    h.Dispatch([&] { h.form.btnConnectClick(); });
}

Lines Without(Lines lines, const std::wstring& noise)
{
    std::erase(lines, noise);
    return lines;
}

Lines QueryLines(const std::wstring& port, int index)
{
    const std::wstring i = std::to_wstring(index);
    return {L"Test du port " + port,
            L"Debug: CurrentPortIndex=" + i + L", cmbPorts.ItemIndex=" + i + L", Port=" + port,
            L"Tentative d'envoi de la commande de test...",
            L"Commande de test envoyée: $VOR-TIKA?",
            L"Fin de l'envoi de la commande",
            L"Timer de détection démarré pour " + port};
}

void ExpectIdleLayout(const MonitorHarness& h)
{
    EXPECT_TRUE(h.btnConnect.enabled);
    EXPECT_FALSE(h.btnDisconnect.enabled);
    EXPECT_TRUE(h.cmbPorts.enabled);
    EXPECT_TRUE(h.cmbBaudRate.enabled);
}

void ExpectBusyLayout(const MonitorHarness& h)
{
    EXPECT_FALSE(h.btnConnect.enabled);
    EXPECT_TRUE(h.btnDisconnect.enabled);
    EXPECT_FALSE(h.cmbPorts.enabled);
    EXPECT_FALSE(h.cmbBaudRate.enabled);
}

} // namespace

TEST(Detection, ConnectWithEmptyList_ShowsPlainBoxOnly)
{
    MonitorHarness h;
    h.CreateIdle();
    const int reads = h.registry.reads;
    Connect(h);
    ASSERT_EQ(h.toolkit.messageBoxes.size(), 1u);
    EXPECT_EQ(h.toolkit.messageBoxes[0].Text, L"Aucun port COM disponible");
    EXPECT_EQ(h.toolkit.messageBoxes[0].Kind, MessageBoxKind::Plain);
    EXPECT_TRUE(h.NewLogMessages().empty());
    EXPECT_EQ(h.registry.reads, reads) << "the list is not refreshed first";
    EXPECT_FALSE(h.form.IsDetecting);
}

TEST(Detection, StartsAtTheSelectedPort_AndTakesFiveSecondsPerSilentPort)
{
    MonitorHarness h;
    h.AddPort(L"COM1", true);
    for (const wchar_t* name : {L"COM2", L"COM3", L"COM4", L"COM5"})
        h.AddPort(name);
    h.CreateIdle();
    h.cmbPorts.SetItemIndex(2);
    h.comPorts.createCalls.clear();

    Connect(h);
    h.RunFor(14999);
    EXPECT_TRUE(h.form.IsDetecting) << "three silent ports take three full time-outs";
    h.RunFor(1);
    EXPECT_FALSE(h.form.IsDetecting);
    EXPECT_FALSE(h.form.IsConnected);
    EXPECT_EQ(h.comPorts.createCalls, (Lines{L"\\\\.\\COM3", L"\\\\.\\COM4", L"\\\\.\\COM5"}));
    EXPECT_TRUE(h.comPorts.Device(L"COM1").written.empty());

    const Lines expected =
        Concat({{L"Démarrage de la détection automatique du VOR-TIKA"},
                QueryLines(L"COM3", 2),
                {L"Timeout de détection sur COM3"},
                QueryLines(L"COM4", 3),
                {L"Timeout de détection sur COM4"},
                QueryLines(L"COM5", 4),
                {L"Timeout de détection sur COM5", L"Aucun VOR-TIKA détecté sur les ports disponibles"}});
    EXPECT_EQ(h.NewLogMessages(), expected);
    EXPECT_EQ(h.lblStatus.caption, L"Etat: Aucun VOR-TIKA détecté");
    EXPECT_EQ(h.comPorts.openCount(), 0);
    EXPECT_EQ(h.form.hComPort, kNoPort);
    ExpectIdleLayout(h);
}

TEST(Detection, NoPortOpens_WholeDetectionEndsWithinTheClick)
{
    MonitorHarness h;
    for (const wchar_t* name : {L"COM1", L"COM2", L"COM3"})
        h.AddPort(name).failAt = FakeDevice::FailStep::Open;
    h.CreateIdle();
    h.lblStatus.history.clear();

    Connect(h);
    EXPECT_EQ(h.NewLogMessages(),
              (Lines{L"Démarrage de la détection automatique du VOR-TIKA", L"Test du port COM1",
                     L"Impossible d'ouvrir le port COM1", L"Test du port COM2", L"Impossible d'ouvrir le port COM2",
                     L"Test du port COM3", L"Impossible d'ouvrir le port COM3",
                     L"Aucun VOR-TIKA détecté sur les ports disponibles"}));
    EXPECT_EQ(h.lblStatus.history,
              (Lines{L"Etat: Détection automatique en cours...", L"Etat: Test du port COM1...",
                     L"Etat: Test du port COM2...", L"Etat: Test du port COM3...", L"Etat: Aucun VOR-TIKA détecté"}));
    EXPECT_FALSE(h.form.IsDetecting);
    EXPECT_FALSE(h.toolkit.Timer1.Running());
    EXPECT_FALSE(h.toolkit.TimerDetection.Running());
    ExpectIdleLayout(h);
}

TEST(Detection, EachFailedOpenStep_IsLoggedAndTheNextPortTried)
{
    struct Case {
        FakeDevice::FailStep step;
        std::wstring message;
    };
    const Case cases[] = {
        {FakeDevice::FailStep::Open, L"Impossible d'ouvrir le port COM1"},
        {FakeDevice::FailStep::GetState, L"Erreur lors de la lecture de la configuration du port COM1"},
        {FakeDevice::FailStep::SetState, L"Erreur lors de la configuration du port COM1"},
        {FakeDevice::FailStep::SetTimeouts, L"Erreur lors de la configuration des timeouts COM1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        MonitorHarness h;
        h.AddPort(L"COM1").failAt = c.step;
        h.AddPort(L"COM2");
        h.CreateIdle();
        Connect(h);
        EXPECT_EQ(h.NewLogMessages(),
                  Concat({{L"Démarrage de la détection automatique du VOR-TIKA", L"Test du port COM1", c.message},
                          QueryLines(L"COM2", 1)}));
        EXPECT_EQ(h.comPorts.openCount(), 1) << "only COM2 is open";
        EXPECT_TRUE(h.comPorts.Device(L"COM2").open);
        EXPECT_EQ(h.form.CurrentPortIndex, 1);
    }
}

TEST(Detection, PortUnderTest_IsQueriedOnceWithTheTimersArmed)
{
    MonitorHarness h;
    FakeDevice& d = h.AddPort(L"COM6");
    h.CreateIdle();
    h.cmbBaudRate.SetItemIndex(4);
    Connect(h);
    EXPECT_EQ(d.written, "$VOR-TIKA?\r");
    EXPECT_EQ(d.appliedState->BaudRate, 115200u);
    EXPECT_TRUE(h.toolkit.Timer1.Running());
    EXPECT_TRUE(h.toolkit.TimerDetection.Running());
    EXPECT_EQ(h.lblStatus.caption, L"Etat: Test du port COM6...");
    EXPECT_TRUE(h.form.IsDetecting);
    ExpectBusyLayout(h);
}

TEST(Detection, FailedQuery_IsLoggedAndThePortStillGetsItsFullWait)
{
    MonitorHarness h;
    h.AddPort(L"COM1").writeError = 31;
    h.CreateIdle();
    Connect(h);
    EXPECT_EQ(
        h.NewLogMessages(),
        (Lines{L"Démarrage de la détection automatique du VOR-TIKA", L"Test du port COM1",
               L"Debug: CurrentPortIndex=0, cmbPorts.ItemIndex=0, Port=COM1",
               L"Tentative d'envoi de la commande de test...", L"Debug: Echec WriteFile (Code: 31)",
               L"Debug: Erreur indiquant une déconnexion probable", L"Erreur lors de l'envoi de la commande de test",
               L"Fin de l'envoi de la commande", L"Timer de détection démarré pour COM1"}));
    h.RunFor(4999);
    EXPECT_TRUE(h.form.IsDetecting);
    h.RunFor(1);
    EXPECT_FALSE(h.form.IsDetecting);
}

TEST(Detection, DeviceAnswers_ConnectsInOneTickWithTheExactLines)
{
    MonitorHarness h;
    h.AddPort(L"COM1").failAt = FakeDevice::FailStep::Open;
    h.AddPort(L"COM2", true);
    h.CreateIdle();
    h.cmbBaudRate.SetItemIndex(1);
    Connect(h);
    h.NewLogMessages();

    h.RunFor(100);
    EXPECT_EQ(
        h.NewLogMessages(),
        (Lines{L"Données ajoutées au buffer: #VOR-TIKA!", L"Mode détection - Buffer actuel: #VOR-TIKA!",
               L"Debug connexion: cmbPorts.ItemIndex=1, Port affiché=COM2", L"VOR-TIKA détecté et connecté sur COM2"}));
    EXPECT_EQ(h.lblStatus.caption, L"Etat: VOR-TIKA détecté sur COM2 (19200 bauds)");
    EXPECT_EQ(h.TrayIcon1.hint, L"VOR-TIKA Monitor - Connecté à COM2");
    EXPECT_TRUE(h.form.IsConnected);
    EXPECT_FALSE(h.form.IsDetecting);
    EXPECT_TRUE(h.form.DataBuffer.empty());
    EXPECT_TRUE(h.toolkit.Timer1.Running());
    EXPECT_FALSE(h.toolkit.TimerDetection.Running());
    EXPECT_EQ(h.form.OpenPortName(), L"COM2");
    EXPECT_EQ(h.comPorts.Device(L"COM2").opens, 1) << "the tested port becomes the connected one";
    ExpectBusyLayout(h);

    h.RunFor(10000);
    EXPECT_TRUE(h.form.IsConnected) << "the per-port time-out no longer runs";
}

TEST(Detection, SuccessStep_PumpsOnceWithTheListEnabledAndTheStateAlreadyConnected)
{
    MonitorHarness h;
    h.AddPort(L"COM3", true);
    h.CreateIdle();
    Connect(h);

    struct Seen {
        bool listEnabled, connected, detecting, detectionTimer, connectButton;
        int refreshes;
    } seen{};
    const int refreshesBefore = h.cmbPorts.refreshes;
    h.toolkit.pendingEvents.push_back([&] {
        seen = {h.cmbPorts.enabled,   h.form.IsConnected,  h.form.IsDetecting, h.toolkit.TimerDetection.Running(),
                h.btnConnect.enabled, h.cmbPorts.refreshes};
    });
    h.RunFor(100);

    EXPECT_EQ(h.toolkit.pumpCount, 1);
    EXPECT_TRUE(seen.listEnabled);
    EXPECT_EQ(seen.refreshes, refreshesBefore + 1) << "repainted before the pump";
    EXPECT_EQ(h.cmbPorts.enabledAtRefresh.back(), true) << "repainted while enabled";
    EXPECT_TRUE(seen.connected);
    EXPECT_FALSE(seen.detecting);
    EXPECT_FALSE(seen.detectionTimer);
    EXPECT_FALSE(seen.connectButton) << "busy layout already set";
    EXPECT_FALSE(h.cmbPorts.enabled) << "disabled again after the pump";
    EXPECT_EQ(h.cmbPorts.Text(), L"COM3");
}

TEST(Detection, DisconnectClickedDuringTheSuccessPump_EndsTheStepThere)
{
    MonitorHarness h;
    h.AddPort(L"COM3", true);
    h.CreateIdle();
    Connect(h);
    h.NewLogMessages();
    h.TrayIcon1.hints.clear();
    h.lblStatus.history.clear();
    h.toolkit.pendingEvents.push_back([&] { h.form.btnDisconnectClick(); });
    h.RunFor(100);
    EXPECT_EQ(h.TrayIcon1.hints, Lines{L"VOR-TIKA Monitor - Déconnecté"});
    EXPECT_EQ(h.lblStatus.history, Lines{L"Etat: Déconnecté"});

    EXPECT_EQ(h.NewLogMessages(), (Lines{L"Données ajoutées au buffer: #VOR-TIKA!",
                                         L"Mode détection - Buffer actuel: #VOR-TIKA!", L"Connexion fermée"}));
    EXPECT_EQ(h.lblStatus.caption, L"Etat: Déconnecté");
    EXPECT_FALSE(h.form.IsConnected);
    EXPECT_EQ(h.form.hComPort, kNoPort);
    EXPECT_FALSE(h.toolkit.Timer1.Running());
    ExpectIdleLayout(h);
    EXPECT_EQ(h.fileSystem.files[h.form.ConfigFile], kIdleSettings) << "nothing saved";
}

TEST(Detection, AfterSuccess_SettingsFileAlreadyNamesPortAndSpeed)
{
    MonitorHarness h;
    h.AddPort(L"COM1");
    h.AddPort(L"COM8", true);
    h.CreateIdle();
    h.cmbPorts.SetItemIndex(1);
    h.cmbBaudRate.SetItemIndex(3);
    Connect(h);
    h.RunFor(100);
    ASSERT_TRUE(h.form.IsConnected);
    const std::string& ini = h.fileSystem.files[h.form.ConfigFile];
    EXPECT_NE(ini.find("Port=COM8\r\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("BaudRate=57600\r\n"), std::string::npos) << ini;
}

TEST(Detection, ReplyRecognition)
{
    struct Case {
        const char* name;
        std::vector<std::string> reads; // one chunk per poll tick
        bool connects;
    };
    const Case cases[] = {
        {"whole reply", {"#VOR-TIKA!"}, true},
        {"amid noise with CR LF", {"xx#VOR-TIKA!\r\n"}, true},
        {"split over two reads", {"#VOR-", "TIKA!"}, false},
        {"other letter case", {"#vor-tika!"}, false},
        {"echo of the query", {"$VOR-TIKA?\r"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MonitorHarness h;
        FakeDevice& d = h.AddPort(L"COM2");
        h.CreateIdle();
        Connect(h);
        for (const std::string& chunk : c.reads) {
            d.rx = chunk;
            h.RunFor(100);
        }
        EXPECT_EQ(h.form.IsConnected, c.connects);
        EXPECT_TRUE(h.form.DataBuffer.empty()) << "every chunk handled in detection is dropped";
        h.RunFor(5000);
        EXPECT_EQ(h.form.IsConnected, c.connects);
        EXPECT_TRUE(h.keyboard.calls.empty()) << "nothing heard during the detection is delivered";
    }
}

TEST(Detection, UnrecognisedChunks_AreEachLoggedAndDropped)
{
    MonitorHarness h;
    FakeDevice& d = h.AddPort(L"COM2");
    h.CreateIdle();
    Connect(h);
    h.NewLogMessages();
    d.rx = "#VOR-";
    h.RunFor(100);
    d.rx = "TIKA!";
    h.RunFor(100);
    EXPECT_EQ(h.NewLogMessages(),
              (Lines{L"Données ajoutées au buffer: #VOR-", L"Mode détection - Buffer actuel: #VOR-",
                     L"Données ignorées en mode détection: #VOR-", L"Données ajoutées au buffer: TIKA!",
                     L"Mode détection - Buffer actuel: TIKA!", L"Données ignorées en mode détection: TIKA!"}));
    EXPECT_TRUE(h.form.IsDetecting);
}

TEST(Detection, PollTickThatReadsNothing_RunsEveryPortIntoItsTimeout)
{
    struct Case {
        const char* name;
        bool enabled, keyboard, clipboard;
        std::wstring tickLine;
    };
    const Case cases[] = {
        {"monitor disabled", false, true, false, L"Timer: Application désactivée"},
        {"no delivery mode", true, false, false, L"Timer: Aucun mode sélectionné"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MonitorHarness h;
        FakeDevice& a = h.AddPort(L"COM1", true);
        FakeDevice& b = h.AddPort(L"COM2", true);
        h.CreateIdle();
        h.form.IsEnabled = c.enabled;
        h.rbKeyboard.checked = c.keyboard;
        h.rbClipboard.checked = c.clipboard;
        Connect(h);
        h.RunFor(10000);

        EXPECT_EQ(a.written, "$VOR-TIKA?\r");
        EXPECT_EQ(b.written, "$VOR-TIKA?\r");
        EXPECT_FALSE(h.form.IsConnected);
        EXPECT_FALSE(h.form.IsDetecting);
        EXPECT_EQ(h.lblStatus.caption, L"Etat: Aucun VOR-TIKA détecté");
        const Lines lines = h.NewLogMessages();
        EXPECT_GE(std::count(lines.begin(), lines.end(), c.tickLine), 90);
        EXPECT_EQ(Without(lines, c.tickLine),
                  Concat({{L"Démarrage de la détection automatique du VOR-TIKA"},
                          QueryLines(L"COM1", 0),
                          {L"Timeout de détection sur COM1"},
                          QueryLines(L"COM2", 1),
                          {L"Timeout de détection sur COM2", L"Aucun VOR-TIKA détecté sur les ports disponibles"}}));
    }
}

TEST(Detection, DisconnectDuringDetection_ClosesThePortSilently)
{
    MonitorHarness h;
    h.AddPort(L"COM1");
    h.AddPort(L"COM2");
    h.CreateIdle();
    Connect(h);
    h.NewLogMessages();
    const int iconChanges = h.TrayIcon1.iconChanges;

    h.Dispatch([&] { h.form.btnDisconnectClick(); });
    EXPECT_TRUE(h.NewLogMessages().empty());
    EXPECT_EQ(h.lblStatus.caption, L"Etat: Déconnecté");
    EXPECT_EQ(h.form.hComPort, kNoPort);
    EXPECT_EQ(h.comPorts.openCount(), 0);
    EXPECT_FALSE(h.form.IsDetecting);
    EXPECT_FALSE(h.toolkit.TimerDetection.Running());
    EXPECT_EQ(h.TrayIcon1.iconChanges, iconChanges);
    ExpectIdleLayout(h);

    h.RunFor(12000);
    EXPECT_TRUE(h.NewLogMessages().empty()) << "no time-out, no next port";
    EXPECT_EQ(h.comPorts.Device(L"COM2").opens, 0);
}

TEST(Detection, DisconnectInIdle_ChangesNothing)
{
    MonitorHarness h;
    h.AddPort(L"COM1");
    h.CreateIdle();
    const auto statusCount = h.lblStatus.history.size();
    const int iconChanges = h.TrayIcon1.iconChanges;
    h.btnConnect.enabled = false; // a layout the no-op must leave alone
    h.checkLinkRules = false;
    h.Dispatch([&] { h.form.Disconnect(); });
    EXPECT_TRUE(h.NewLogMessages().empty());
    EXPECT_EQ(h.lblStatus.history.size(), statusCount);
    EXPECT_EQ(h.TrayIcon1.iconChanges, iconChanges);
    EXPECT_FALSE(h.btnConnect.enabled);
    EXPECT_EQ(h.comPorts.closes, 0);
}

TEST(Detection, ConnectedDisconnect_ClosesLogsAndResetsTheReceiveState)
{
    MonitorHarness h;
    h.AddPort(L"COM1", true);
    h.CreateIdle();
    Connect(h);
    h.RunFor(100);
    ASSERT_TRUE(h.form.IsConnected);
    h.NewLogMessages();
    h.form.DataBuffer = L"partial";
    h.form.LastDataTime = 1234;

    h.Dispatch([&] { h.form.btnDisconnectClick(); });
    // What was gathering goes out before the close.
    EXPECT_EQ(h.NewLogMessages(), (Lines{L"Reçu: partial", L"Connexion fermée"}));
    EXPECT_EQ(h.lblStatus.caption, L"Etat: Déconnecté");
    EXPECT_TRUE(h.form.DataBuffer.empty());
    EXPECT_EQ(h.form.LastDataTime, 0u);
    EXPECT_FALSE(h.toolkit.Timer1.Running());
    EXPECT_EQ(h.comPorts.openCount(), 0);
    EXPECT_TRUE(h.form.OpenPortName().empty());
    ExpectIdleLayout(h);
}

TEST(Detection, ListRebuiltMidDetection_KeepsTheIndexInTheNewList)
{
    struct Case {
        const char* name;
        std::vector<std::wstring> removed;
        Lines tail; // from the time-out on
    };
    const Case cases[] = {
        {"shorter than the index",
         {L"COM1", L"COM2", L"COM4"},
         {L"Timeout de détection sur ", L"Aucun VOR-TIKA détecté sur les ports disponibles"}},
        // COM3 moves to index 1: the time-out names COM4, which is never tried.
        {"entries moved down", {L"COM1"}, Concat({{L"Timeout de détection sur COM4"}, QueryLines(L"COM5", 3)})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MonitorHarness h;
        for (const wchar_t* name : {L"COM1", L"COM2", L"COM3", L"COM4", L"COM5"})
            h.AddPort(name);
        h.CreateIdle();
        h.cmbPorts.SetItemIndex(2);
        Connect(h);
        for (const std::wstring& name : c.removed)
            h.registry.RemovePort(name);
        h.Dispatch([&] { h.form.RefreshPortList(); });
        EXPECT_EQ(h.form.CurrentPortIndex, 2) << "a refresh leaves the index alone";
        h.NewLogMessages();

        h.RunFor(5000);
        EXPECT_EQ(h.NewLogMessages(), c.tail);
        EXPECT_FALSE(h.comPorts.Device(L"COM3").open);
    }
}

TEST(Detection, NewPortFirst_StartsAtTheFirstPortNotSeenBefore)
{
    MonitorHarness h;
    h.AddPort(L"COM1");
    h.AddPort(L"COM5");
    h.AddPort(L"COM6");
    h.CreateIdle();
    h.form.PreviousPortsList = {L"com1", L"COM6"};
    h.Dispatch([&] { h.form.StartAutoDetectionNewPortFirst(); });
    EXPECT_EQ(h.NewLogMessages(),
              Concat({{L"Debug: Recherche du nouveau port dans 3 ports", L"Debug: Anciens ports: com1,COM6",
                       L"Debug: Nouveaux ports: COM1,COM5,COM6", L"Debug: Vérification port COM1 (index 0)",
                       L"Debug: Port COM1 était déjà présent", L"Debug: Vérification port COM5 (index 1)",
                       L"Nouveau port détecté: COM5 à l'index 1 - Commencer par celui-ci",
                       L"Démarrage de la détection automatique du VOR-TIKA (nouveau périphérique)"},
                      QueryLines(L"COM5", 1)}));
    EXPECT_EQ(h.lblStatus.caption, L"Etat: Test du port COM5...");
    EXPECT_EQ(h.comPorts.Device(L"COM1").opens, 0);
}

TEST(Detection, NewPortFirst_WithNothingNew_StartsAtTheFirstPort)
{
    MonitorHarness h;
    h.AddPort(L"COM1");
    h.AddPort(L"COM2");
    h.CreateIdle();
    h.cmbPorts.SetItemIndex(1);
    h.form.PreviousPortsList = {L"COM2", L"COM1"};
    h.Dispatch([&] { h.form.StartAutoDetectionNewPortFirst(); });
    EXPECT_EQ(h.NewLogMessages(),
              Concat({{L"Debug: Recherche du nouveau port dans 2 ports", L"Debug: Anciens ports: COM2,COM1",
                       L"Debug: Nouveaux ports: COM1,COM2", L"Debug: Vérification port COM1 (index 0)",
                       L"Debug: Port COM1 était déjà présent", L"Debug: Vérification port COM2 (index 1)",
                       L"Debug: Port COM2 était déjà présent",
                       L"Aucun nouveau port spécifique trouvé, commencer par le premier",
                       L"Démarrage de la détection automatique du VOR-TIKA (nouveau périphérique)"},
                      QueryLines(L"COM1", 0)}));
}
