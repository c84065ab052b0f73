#include <gtest/gtest.h>

#include <algorithm>

#include "tests/fakes/monitor_harness.h"

namespace {

const std::wstring kTry = L"Tentative de reconnexion au VOR-TIKA sur COM3";
const std::wstring kNoReply = L"Reconnexion impossible: pas de réponse du VOR-TIKA sur COM3";
const Lines kConnectedAgain = {L"Tentative de reconnexion au VOR-TIKA sur COM3",
                               L"Données ajoutées au buffer: #VOR-TIKA!", L"Mode détection - Buffer actuel: #VOR-TIKA!",
                               L"Debug connexion: cmbPorts.ItemIndex=0, Port affiché=COM3",
                               L"VOR-TIKA détecté et connecté sur COM3"};

// Connected on COM3, with a silent COM4 that a try must never query; then the link fails
// its liveness test and the adapter is back at once under the same name.
struct LostDevice {
    LostDevice()
    {
        EXPECT_TRUE(h.StartConnected({L"COM3", L"COM4"}));
        device = &h.comPorts.Device(L"COM3");
        other = &h.comPorts.Device(L"COM4");
        opensOfOther = other->opens;
        device->getStateError = 31;
        h.RunToNextWatchTick();
        EXPECT_EQ(h.NewLogMessages(), (Lines{L"Debug: Timer surveillance - Test de connexion active",
                                             L"Debug: GetCommState échoué (Code: 31)",
                                             L"Test de connexion échoué - Port déconnecté", L"Connexion fermée"}));
        device->getStateError.reset();
    }
    // Watch ticks until `ms` of virtual time have passed; the start of each try, in ms from now.
    std::vector<std::uint64_t> TriesFor(std::uint64_t ms)
    {
        std::vector<std::uint64_t> starts;
        const std::uint64_t from = h.toolkit.clock.Now();
        while (h.toolkit.clock.Now() - from < ms) {
            const int before = device->opens;
            h.RunToNextWatchTick();
            if (device->opens > before)
                starts.push_back(h.toolkit.clock.Now() - from);
        }
        return starts;
    }
    MonitorHarness h;
    FakeDevice* device = nullptr;
    FakeDevice* other = nullptr;
    int opensOfOther = 0;
};

} // namespace

TEST(Reconnect, LostByLivenessTest_SamePortBack_ConnectsAtTheNextTickWithoutTouchingOtherPorts)
{
    LostDevice l;
    MonitorHarness& h = l.h;
    h.RunToNextWatchTick();
    h.RunFor(100);
    EXPECT_EQ(h.NewLogMessages(), kConnectedAgain);
    EXPECT_TRUE(h.form.IsConnected);
    EXPECT_EQ(h.lblStatus.caption, L"Etat: VOR-TIKA détecté sur COM3 (9600 bauds)");
    EXPECT_EQ(h.TrayIcon1.hint, L"VOR-TIKA Monitor - Connecté à COM3");
    EXPECT_EQ(l.other->opens, l.opensOfOther);
    EXPECT_TRUE(l.other->written.empty());
}

TEST(Reconnect, SilentDevice_TwoLinesPerTry_AtGrowingIntervalsNeverAMinuteApart)
{
    LostDevice l;
    MonitorHarness& h = l.h;
    l.device->answersHandshake = false;
    const std::vector<std::uint64_t> starts = l.TriesFor(10 * 60 * 1000);

    ASSERT_GE(starts.size(), 8u);
    EXPECT_EQ(starts.front(), 3000u) << "the first try at the next watch tick";
    std::vector<std::uint64_t> gaps;
    for (std::size_t i = 1; i < starts.size(); ++i)
        gaps.push_back(starts[i] - starts[i - 1]);
    EXPECT_TRUE(std::ranges::is_sorted(gaps));
    EXPECT_GT(gaps.back(), 50'000u);
    EXPECT_LE(*std::ranges::max_element(gaps), 60'000u);

    Lines expected;
    for (std::size_t i = 0; i < starts.size(); ++i)
        expected.insert(expected.end(), {kTry, kNoReply});
    EXPECT_EQ(h.NewLogMessages(), expected);
    EXPECT_EQ(l.other->opens, l.opensOfOther);
    EXPECT_FALSE(h.form.IsDetecting);
    EXPECT_TRUE(h.btnConnect.enabled) << "idle layout between tries";
    EXPECT_EQ(h.lblStatus.caption, L"Etat: Déconnecté");
}

TEST(Reconnect, PortHeldElsewhere_OneLineWithTheCode_AndTriedAgain)
{
    LostDevice l;
    MonitorHarness& h = l.h;
    l.device->failAt = FakeDevice::FailStep::Open;
    l.device->failCode = 5;
    l.TriesFor(9000);
    EXPECT_EQ(h.NewLogMessages(), (Lines{kTry, L"Reconnexion impossible: port COM3 indisponible (Code: 5)", kTry,
                                         L"Reconnexion impossible: port COM3 indisponible (Code: 5)"}));
    l.device->failAt = FakeDevice::FailStep::None;
    l.TriesFor(60'000);
    EXPECT_TRUE(h.form.IsConnected);
}

TEST(Reconnect, UserDisconnectsOrDisables_TriesStopForGood)
{
    for (const bool byButton : {true, false}) {
        SCOPED_TRACE(byButton ? "Déconnecter during a try" : "disabled");
        LostDevice l;
        MonitorHarness& h = l.h;
        l.device->answersHandshake = false;
        h.RunToNextWatchTick(); // a try is waiting for the reply
        ASSERT_TRUE(h.form.IsDetecting);
        ASSERT_TRUE(h.btnDisconnect.enabled);
        h.Dispatch([&] { byButton ? h.form.btnDisconnectClick() : h.form.MenuActiverClick(); });
        EXPECT_FALSE(h.form.IsDetecting);
        EXPECT_FALSE(l.device->open);
        l.device->answersHandshake = true;
        EXPECT_TRUE(l.TriesFor(5 * 60 * 1000).empty());
        EXPECT_FALSE(h.form.IsConnected);
    }
}

TEST(Reconnect, LostByReadError_ArrivalSearchFailsEarly_TriesFindTheDeviceLater)
{
    MonitorHarness h;
    ASSERT_TRUE(h.StartConnected({L"COM3"}));
    FakeDevice& device = h.comPorts.Device(L"COM3");
    device.readError = 121;
    h.registry.RemovePort(L"COM3");
    h.RunFor(100);
    EXPECT_FALSE(h.form.IsConnected);
    device.readError.reset();
    device.answersHandshake = false; // still starting up when the adapter is listed again
    h.AddPort(L"COM3");
    h.RunToNextWatchTick();
    h.RunFor(6000);
    EXPECT_TRUE(std::ranges::count(h.NewLogMessages(), L"Aucun VOR-TIKA détecté sur les ports disponibles") == 1);
    device.answersHandshake = true;
    for (int tick = 0; tick < 5 && !h.form.IsConnected; ++tick) {
        h.RunToNextWatchTick();
        h.RunFor(100);
    }
    EXPECT_TRUE(h.form.IsConnected);
}

TEST(Reconnect, DeviceSwitchedOnAfterAFailedStartUpSearch_FoundOnTheSavedPort)
{
    MonitorHarness h;
    FakeDevice& device = h.AddPort(L"COM3");
    FakeDevice& other = h.AddPort(L"COM4");
    h.fileSystem.files[MonitorHarness::kSettingsFile] = "[Connection]\r\nPort=COM3\r\n";
    h.Create();
    h.RunFor(10'500);
    ASSERT_EQ(h.NewLogMessages().back(), L"Aucun VOR-TIKA détecté sur les ports disponibles");
    const int opensOfOther = other.opens;
    device.answersHandshake = true;
    h.RunToNextWatchTick();
    h.RunFor(100);
    EXPECT_TRUE(h.form.IsConnected);
    EXPECT_EQ(other.opens, opensOfOther);
}

// The session that left the console must not hold the exclusive port, nor take it back.
TEST(Reconnect, SessionLeavesTheConsole_ClosesAndWaits_TriesAgainOnReturn)
{
    MonitorHarness h;
    ASSERT_TRUE(h.StartConnected({L"COM3"}));
    h.Dispatch([&] { h.form.SessionLeftConsole(); });
    EXPECT_EQ(h.NewLogMessages(), (Lines{L"Session Windows quittée (changement d'utilisateur ou bureau à distance) - "
                                         L"Fermeture de la connexion",
                                         L"Connexion fermée"}));
    EXPECT_FALSE(h.comPorts.Device(L"COM3").open);
    h.RunFor(2 * 60 * 1000);
    EXPECT_TRUE(h.NewLogMessages().empty());

    h.Dispatch([&] { h.form.SessionReturnedToConsole(); });
    h.RunToNextWatchTick();
    h.RunFor(100);
    EXPECT_EQ(h.NewLogMessages(), kConnectedAgain);
}

// An upgrade restarts the monitor in a disconnected session too: it must not search there, and
// starts its search when the session is used.
TEST(Reconnect, StartedInASessionNobodyUses_SearchesOnlyOnceTheSessionIsUsed)
{
    MonitorHarness h;
    FakeDevice& device = h.AddPort(L"COM3", /*answers=*/true);
    h.session.active = false;
    h.Create();
    h.RunFor(20'000);
    EXPECT_EQ(device.opens, 0);
    EXPECT_FALSE(h.form.IsConnected);
    h.session.active = true;
    h.Dispatch([&] { h.form.SessionNotificationsRegistered(); });
    h.RunFor(100);
    EXPECT_TRUE(h.form.IsConnected);
    EXPECT_EQ(std::ranges::count(h.LogMessages(), L"Connexion automatique au démarrage activée"), 1);
}

TEST(Reconnect, ResumeFromSleep_RunsTheWatchAtOnce)
{
    MonitorHarness h;
    ASSERT_TRUE(h.StartConnected({L"COM3"}));
    h.comPorts.Device(L"COM3").getStateError = 22;
    h.Dispatch([&] { h.form.PowerResumed(); });
    EXPECT_FALSE(h.form.IsConnected);
}
