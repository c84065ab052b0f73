// The events the monitor reports to the Windows event log, for each situation an administrator
// would alert on, and none for what the user asked.
#include <gtest/gtest.h>

#include "input/delivery_rule.h"
#include "tests/fakes/monitor_harness.h"

namespace {

using Events = std::vector<EventRecord>;

void NextWatchTick(MonitorHarness& h)
{
    h.RunToNextWatchTick();
}

} // namespace

TEST(EventLog, EachSituationReportsItsEvent)
{
    struct Case {
        const char* name;
        void (*stage)(MonitorHarness&);
        Events events;
    };
    const Case cases[] = {
        {"the user disconnects", [](MonitorHarness& h) { h.Dispatch([&] { h.form.btnDisconnectClick(); }); }, {}},
        {"liveness test fails",
         [](MonitorHarness& h) {
             h.comPorts.Device(L"COM3").writeError = 31;
             NextWatchTick(h);
         },
         {{EventKind::LinkLost, {L"COM3"}}}},
        {"port removed",
         [](MonitorHarness& h) {
             h.registry.RemovePort(L"COM3");
             NextWatchTick(h);
         },
         {{EventKind::LinkLost, {L"COM3"}}}},
        {"read error, port gone",
         [](MonitorHarness& h) {
             h.comPorts.Device(L"COM3").readError = 22;
             h.registry.RemovePort(L"COM3");
             h.RunFor(100);
         },
         {{EventKind::LinkLost, {L"COM3"}}}},
        {"our own window in front",
         [](MonitorHarness& h) {
             h.inputFocus.target = InputTarget::ThisProgram;
             h.comPorts.Device(L"COM3").rx = "A";
             h.RunFor(400);
         },
         {{EventKind::BurstNotDelivered,
           {L"Données non transmises: la fenêtre au premier plan est celle de VOR-TIKA Monitor"}}}},
        {"an application run as administrator in front",
         [](MonitorHarness& h) {
             h.inputFocus.target = InputTarget::HigherRights;
             h.comPorts.Device(L"COM3").rx = "A";
             h.RunFor(400);
         },
         {{EventKind::BurstNotDelivered,
           {L"Données non transmises: l'application au premier plan est exécutée en tant qu'administrateur"}}}},
        {"a menu open in front for 10 s",
         [](MonitorHarness& h) {
             h.inputFocus.target = InputTarget::Menu;
             h.comPorts.Device(L"COM3").rx = "A";
             h.RunFor(400 + kMenuWaitMs);
         },
         {{EventKind::BurstNotDelivered, {L"Données non transmises: un menu est ouvert au premier plan depuis 10 s"}}}},
        {"keys refused",
         [](MonitorHarness& h) {
             h.keyboard.refusesInput = true;
             h.comPorts.Device(L"COM3").rx = "AB";
             h.RunFor(400);
         },
         {{EventKind::BurstDeliveredInPart, {L"6", L"6"}}}},
        {"clipboard cannot be opened",
         [](MonitorHarness& h) {
             h.rbClipboard.SetChecked(true);
             h.chkCR.checked = false;
             h.clipboard.heldByOther = true;
             h.comPorts.Device(L"COM3").rx = "A";
             h.RunFor(400);
         },
         {{EventKind::BurstNotDelivered,
           {L"Erreur lors de la copie/collage: Impossible d'ouvrir le Presse-papiers : Accès refusé"}}}},
        {"session end, settings write refused",
         [](MonitorHarness& h) {
             h.fileSystem.readOnly.insert(MonitorHarness::kSettingsFile);
             h.Dispatch([&] { h.form.EndSession(); });
         },
         {{EventKind::Error, {L"Impossible d'écrire dans " + MonitorHarness::kSettingsFile + L"."}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MonitorHarness h;
        ASSERT_TRUE(h.StartConnected({L"COM3"}));
        ASSERT_EQ(h.events.events, (Events{{EventKind::DeviceConnected, {L"COM3"}}}));
        h.events.events.clear();
        c.stage(h);
        EXPECT_EQ(h.events.events, c.events);
    }
}

// The ids and levels the README documents and the message table holds.
TEST(EventLog, FixedIdsAndLevels)
{
    EXPECT_EQ(EventEntryOf(EventKind::DeviceConnected).Id, 1000);
    EXPECT_EQ(EventEntryOf(EventKind::DeviceConnected).Level, EventLevel::Information);
    EXPECT_EQ(EventEntryOf(EventKind::LinkLost).Id, 1001);
    EXPECT_EQ(EventEntryOf(EventKind::BurstNotDelivered).Id, 1002);
    EXPECT_EQ(EventEntryOf(EventKind::BurstDeliveredInPart).Id, 1003);
    for (EventKind k : {EventKind::LinkLost, EventKind::BurstNotDelivered, EventKind::BurstDeliveredInPart})
        EXPECT_EQ(EventEntryOf(k).Level, EventLevel::Warning);
    EXPECT_EQ(EventEntryOf(EventKind::Error).Id, 1004);
    EXPECT_EQ(EventEntryOf(EventKind::Error).Level, EventLevel::Error);
}
