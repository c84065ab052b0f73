#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "input/delivery_rule.h"
#include "tests/fakes/monitor_harness.h"

namespace {

using Keys = std::vector<std::wstring>;

// A monitor connected to a device on COM3 through the real detection, with the
// delivery options cleared so each test sets the ones it needs. The port watch is
// stopped unless asked for, so the log holds only the data path's lines.
struct ConnectedMonitor {
    explicit ConnectedMonitor(std::uint64_t startMs = 1'000'000, bool watch = false)
    {
        h.toolkit.clock.Set(startMs);
        device = &h.AddPort(L"COM3", /*answers=*/true);
        h.Create();
        h.RunFor(100); // the first poll tick reads the reply
        connected = h.form.IsConnected;
        if (!watch)
            h.toolkit.TimerDeviceWatch.Stop();
        h.rbKeyboard.SetChecked(true);
        h.chkCR.checked = false;
        h.chkLF.checked = false;
        h.NewLogMessages();
        h.keyboard.calls.clear();
        h.toolkit.clock.sleeps.clear();
    }
    void Feed(const std::string& bytes) { device->rx += bytes; }
    // Runs up to and including the next poll tick; returns its time.
    std::uint64_t Tick()
    {
        const std::uint64_t due = h.toolkit.Timer1.due;
        h.RunFor(due - h.toolkit.clock.Now());
        return due;
    }
    Keys Typed() const { return TypedKeys(h.keyboard.calls); }

    MonitorHarness h;
    FakeDevice* device = nullptr;
    bool connected = false;
};

class Delivery : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m.connected); }
    ConnectedMonitor m;
    MonitorHarness& h = m.h;
};

} // namespace

TEST_F(Delivery, EmptyTickExactly200msAfterTheChunk_DoesNotDeliver_TheNextOneDoes)
{
    m.Feed("ABC");
    const std::uint64_t t = m.Tick();
    EXPECT_EQ(h.form.LastDataTime, static_cast<std::uint32_t>(t));
    m.Tick();
    EXPECT_EQ(m.Tick(), t + 200);
    EXPECT_TRUE(m.Typed().empty());
    EXPECT_EQ(h.form.DataBuffer, L"ABC");

    EXPECT_EQ(m.Tick(), t + 300);
    EXPECT_EQ(m.Typed(), (Keys{L"A", L"B", L"C"}));
    EXPECT_EQ(h.keyboard.calls.front().at, t + 300);
    EXPECT_EQ(h.form.DataBuffer, L"");
    EXPECT_EQ(h.NewLogMessages(), (Lines{L"Données ajoutées au buffer: ABC", L"Reçu: ABC"}));
    EXPECT_EQ(h.memoLastData.lines, (Lines{L"Dernières données reçues:", L"ABC"}));

    h.RunFor(2000);
    EXPECT_EQ(m.Typed().size(), 3u) << "delivered once";
}

TEST_F(Delivery, TextOnEveryTick_IsNeverDeliveredUntilATickReadsNothing)
{
    for (int i = 0; i < 30; ++i) {
        m.Feed("x");
        m.Tick();
    }
    EXPECT_TRUE(m.Typed().empty());
    EXPECT_EQ(h.form.DataBuffer, std::wstring(30, L'x'));

    h.RunFor(300);
    EXPECT_EQ(m.Typed(), Keys(30, L"x"));
    Lines expected(30, L"Données ajoutées au buffer: x");
    expected.push_back(L"Reçu: " + std::wstring(30, L'x'));
    EXPECT_EQ(h.NewLogMessages(), expected);
}

TEST_F(Delivery, DelayedTickBringingText_JoinsTheSameBurst)
{
    m.Feed("AB");
    const std::uint64_t t = m.Tick();
    const int ticksBefore = h.toolkit.Timer1.ticks;
    // Another handler holds the thread well past the quiet gap; the device speaks meanwhile.
    h.Dispatch([&] { h.toolkit.clock.Sleep(450); });
    m.Feed("CD");
    h.RunFor(1);
    EXPECT_EQ(h.toolkit.Timer1.ticks, ticksBefore + 1) << "one late tick for the periods that passed";
    EXPECT_TRUE(m.Typed().empty());
    EXPECT_EQ(h.form.DataBuffer, L"ABCD");
    EXPECT_EQ(h.form.LastDataTime, static_cast<std::uint32_t>(t + 450));

    h.RunFor(400);
    EXPECT_EQ(m.Typed(), (Keys{L"A", L"B", L"C", L"D"}));
    EXPECT_EQ(h.keyboard.calls.front().at, t + 700);
    EXPECT_EQ(h.NewLogMessages(),
              (Lines{L"Données ajoutées au buffer: AB", L"Données ajoutées au buffer: CD", L"Reçu: ABCD"}));
}

TEST(DeliveryWrap, QuietGapHoldsAcrossTheTickCountWrap)
{
    constexpr std::uint64_t kWrap = 1ull << 32;
    // Where the chunk's tick falls relative to the wrap.
    for (const std::int64_t offset : {-250, -150, -50, -1, 0, 50}) {
        SCOPED_TRACE(offset);
        const std::uint64_t chunkTick = static_cast<std::uint64_t>(static_cast<std::int64_t>(kWrap) + offset);
        ConnectedMonitor m(chunkTick - 1000); // keeps the chunk's tick on the poll grid
        ASSERT_TRUE(m.connected);
        m.h.RunFor(chunkTick - 1 - m.h.toolkit.clock.Now());
        m.Feed("W");
        ASSERT_EQ(m.Tick(), chunkTick);
        EXPECT_EQ(m.h.form.LastDataTime, static_cast<std::uint32_t>(chunkTick));
        m.Tick();
        m.Tick();
        EXPECT_TRUE(m.Typed().empty()) << "delivered early";
        m.Tick();
        ASSERT_EQ(m.Typed(), Keys{L"W"});
        EXPECT_EQ(m.h.keyboard.calls.front().at, chunkTick + 300);
    }
}

TEST(DeliveryOptions, ModeAndEnterOptions_GiveTheseKeys)
{
    struct Case {
        const char* name;
        bool keyboard, clipboard, cr, lf;
        std::string text;
        Keys keys;
    };
    const Keys ctrlV{L"{Ctrl+V}"};
    auto pasted = [&](Keys after) {
        Keys k = ctrlV;
        k.insert(k.end(), after.begin(), after.end());
        return k;
    };
    const Case cases[] = {
        {"keyboard plain", true, false, false, false, "AB", {L"A", L"B"}},
        {"keyboard CR", true, false, true, false, "AB", {L"A", L"B", L"{Enter}"}},
        {"keyboard LF", true, false, false, true, "AB", {L"A", L"B", L"{Enter}"}},
        {"keyboard CR LF", true, false, true, true, "AB", {L"A", L"B", L"{Enter}", L"{Enter}"}},
        {"device CR LF, chkCR",
         true,
         false,
         true,
         false,
         "ABC\r\n",
         {L"A", L"B", L"C", L"{Enter}", L"{Enter}", L"{Enter}"}},
        {"clipboard plain", false, true, false, false, "AB", ctrlV},
        {"clipboard CR LF", false, true, true, true, "AB", pasted({L"{Enter}", L"{Enter}"})},
        {"no mode", false, false, true, false, "AB", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ConnectedMonitor m;
        ASSERT_TRUE(m.connected);
        m.Feed(c.text);
        m.Tick();
        // Options are taken at delivery, not when the text came in.
        m.h.rbKeyboard.checked = c.keyboard;
        m.h.rbClipboard.checked = c.clipboard;
        m.h.chkCR.checked = c.cr;
        m.h.chkLF.checked = c.lf;
        m.h.RunFor(300);
        EXPECT_EQ(m.Typed(), c.keys);
        if (c.clipboard)
            EXPECT_EQ(m.h.clipboard.content, std::wstring(c.text.begin(), c.text.end()));
        else
            EXPECT_EQ(m.h.clipboard.content, L"previous");
    }
}

TEST_F(Delivery, EnterKeysAfterTyping_AreEachPausedToo)
{
    h.chkCR.checked = true;
    h.chkLF.checked = true;
    m.Feed("AB");
    m.Tick();
    h.RunFor(300);
    EXPECT_EQ(h.toolkit.clock.sleeps, (std::vector<std::uint32_t>{1, 1, 1, 1}));
}

TEST_F(Delivery, ClipboardModeAfterPaste_LogsThePasteAfterTheBurst)
{
    h.rbClipboard.SetChecked(true);
    m.Feed("A\tB\r\n");
    m.Tick();
    h.RunFor(300);
    EXPECT_EQ(h.NewLogMessages(), (Lines{L"Données ajoutées au buffer: A\tB\r\n", L"Reçu: A\tB\r\n",
                                         L"Données copiées et collées automatiquement: A\tB\r\n"}));
    EXPECT_EQ(h.clipboard.content, L"A\tB\r\n");
    EXPECT_EQ(h.memoLastData.lines, (Lines{L"Dernières données reçues:", L"A\tB\r\n"}));
    EXPECT_TRUE(h.toolkit.clock.sleeps.empty()) << "a paste does not pause";
}

TEST_F(Delivery, ClipboardHeldByAnotherProgram_LogsOneErrorAndStillSendsTheEnterKeys)
{
    h.rbClipboard.SetChecked(true);
    h.chkCR.checked = true;
    h.chkLF.checked = true;
    h.clipboard.heldByOther = true;
    m.Feed("ABC");
    m.Tick();
    h.RunFor(300);
    EXPECT_EQ(h.NewLogMessages(),
              (Lines{L"Données ajoutées au buffer: ABC", L"Reçu: ABC",
                     L"Erreur lors de la copie/collage: Impossible d'ouvrir le Presse-papiers : Accès refusé"}));
    EXPECT_EQ(m.Typed(), (Keys{L"{Enter}", L"{Enter}"}));
    EXPECT_EQ(h.clipboard.content, L"previous");
    EXPECT_EQ(h.form.DataBuffer, L"");

    // Not retried: the next burst is pasted alone once the clipboard is free.
    h.clipboard.heldByOther = false;
    h.keyboard.calls.clear();
    m.Feed("DEF");
    m.Tick();
    h.RunFor(300);
    EXPECT_EQ(h.clipboard.content, L"DEF");
    EXPECT_EQ(m.Typed(), (Keys{L"{Ctrl+V}", L"{Enter}", L"{Enter}"}));
}

// Read less than the quiet gap before the close: delivered first, never dropped in silence.
TEST_F(Delivery, DisconnectWhileGathering_DeliversTheBurstBeforeClosing)
{
    m.Feed("OLD");
    m.Tick();
    h.NewLogMessages();
    h.Dispatch([&] { h.form.btnDisconnectClick(); });
    EXPECT_EQ(h.form.DataBuffer, L"");
    EXPECT_EQ(h.form.LastDataTime, 0u);
    EXPECT_EQ(m.Typed(), (Keys{L"O", L"L", L"D"}));
    EXPECT_EQ(h.NewLogMessages(), (Lines{L"Reçu: OLD", L"Connexion fermée"}));
    h.RunFor(1000);
    EXPECT_EQ(m.Typed().size(), 3u);

    // Connected again, the next burst comes alone.
    h.keyboard.calls.clear();
    h.Dispatch([&] { h.form.btnConnectClick(); });
    h.RunFor(100);
    ASSERT_TRUE(h.form.IsConnected);
    m.Feed("NEW");
    m.Tick();
    h.RunFor(300);
    EXPECT_EQ(m.Typed(), (Keys{L"N", L"E", L"W"}));
}

TEST_F(Delivery, InputLongerThanOneRead_IsReadOverSeveralTicksIntoOneBurst)
{
    std::string text;
    for (int i = 0; i < 600; ++i)
        text.push_back(static_cast<char>('a' + i % 26));
    m.Feed(text);
    m.Tick();
    m.Tick();
    const std::uint64_t last = m.Tick();
    h.RunFor(300);
    ASSERT_EQ(h.keyboard.calls.size(), 600u);
    EXPECT_EQ(h.keyboard.calls.front().at, last + 300);
    const std::wstring wide(text.begin(), text.end());
    EXPECT_EQ(h.NewLogMessages(), (Lines{L"Données ajoutées au buffer: " + wide.substr(0, 255),
                                         L"Données ajoutées au buffer: " + wide.substr(255, 255),
                                         L"Données ajoutées au buffer: " + wide.substr(510), L"Reçu: " + wide}));
}

TEST_F(Delivery, ReadOfOnlyNul_CountsAsATickWithoutText)
{
    m.Feed("ABC");
    const std::uint64_t t = m.Tick();
    m.Tick();
    m.Tick();
    m.Feed(std::string(1, '\0'));
    m.Tick();
    EXPECT_EQ(m.Typed(), (Keys{L"A", L"B", L"C"}));
    EXPECT_EQ(h.keyboard.calls.front().at, t + 300);
}

TEST_F(Delivery, WithoutModeOrWhileDisabled_TicksLogAndReadNothing)
{
    struct Case {
        bool keyboard, clipboard, enabled;
        std::wstring line;
    };
    const Case cases[] = {
        {false, false, true, L"Timer: Aucun mode sélectionné"},
        {false, false, false, L"Timer: Aucun mode sélectionné"},
        {true, false, false, L"Timer: Application désactivée"},
        {false, true, false, L"Timer: Application désactivée"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line + (c.enabled ? L" enabled" : L" disabled"));
        ConnectedMonitor cm;
        ASSERT_TRUE(cm.connected);
        MonitorHarness& mh = cm.h;
        cm.Feed("AB");
        cm.Tick();
        mh.NewLogMessages();
        mh.rbKeyboard.checked = c.keyboard;
        mh.rbClipboard.checked = c.clipboard;
        mh.form.IsEnabled = c.enabled;
        cm.Feed("CD");
        cm.Tick();
        cm.Tick();
        cm.Tick();
        EXPECT_EQ(mh.NewLogMessages(), Lines(3, c.line));
        EXPECT_EQ(cm.device->rx, "CD");
        EXPECT_TRUE(cm.Typed().empty());

        // Back in a deliverable state, the waiting text joins the burst gathered before.
        mh.rbKeyboard.checked = true;
        mh.form.IsEnabled = true;
        cm.Tick();
        mh.RunFor(300);
        EXPECT_EQ(cm.Typed(), (Keys{L"A", L"B", L"C", L"D"}));
    }
}

TEST_F(Delivery, TickWhileIdle_DoesNothing)
{
    h.Dispatch([&] { h.form.btnDisconnectClick(); });
    h.NewLogMessages();
    m.Feed("AB");
    h.Dispatch([&] { h.form.Timer1Timer(); });
    EXPECT_TRUE(h.NewLogMessages().empty());
    EXPECT_EQ(m.device->rx, "AB");
    EXPECT_EQ(h.form.DataBuffer, L"");
}

TEST_F(Delivery, ProcessBufferedDataDuringDetection_DropsTheBuffer)
{
    h.memoLastData.lines = {L"kept"};
    h.form.IsDetecting = true;
    h.checkLinkRules = false; // both flags, by hand
    h.form.DataBuffer = L"noise";
    h.Dispatch([&] { h.form.ProcessBufferedData(); });
    h.form.IsDetecting = false;
    EXPECT_EQ(h.NewLogMessages(), Lines{L"ProcessBufferedData ignoré en mode détection"});
    EXPECT_EQ(h.form.DataBuffer, L"");
    EXPECT_TRUE(m.Typed().empty());
    EXPECT_EQ(h.memoLastData.lines, Lines{L"kept"});
}

TEST_F(Delivery, NewBurst_ReplacesTheMemoContent)
{
    m.Feed("first");
    m.Tick();
    h.RunFor(300);
    m.Feed("Z");
    m.Tick();
    h.RunFor(300);
    EXPECT_EQ(h.memoLastData.lines, (Lines{L"Dernières données reçues:", L"Z"}));
}

// A day of bursts at random (seeded) gaps, some split over two reads: every burst
// reaches the keyboard once, whole and in order.
TEST(DeliverySoak, DayOfRandomBursts_EachDeliveredOnceInOrder)
{
    ConnectedMonitor m;
    ASSERT_TRUE(m.connected);
    MonitorHarness& h = m.h;
    h.chkCR.checked = true; // the Enter key closes each burst in the typed stream

    std::mt19937 rng(424242);
    std::uniform_int_distribution<std::uint64_t> gapMs(400, 20'000);
    std::uniform_int_distribution<std::uint64_t> splitMs(1, 150);
    std::uniform_int_distribution<int> length(1, 24);
    std::uniform_int_distribution<int> letter(0, 61);
    const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

    const std::uint64_t end = h.toolkit.clock.Now() + 24ull * 3600 * 1000;
    std::vector<std::wstring> sent;
    while (h.toolkit.clock.Now() < end) {
        std::string burst;
        for (int i = length(rng); i > 0; --i)
            burst.push_back(alphabet[letter(rng)]);
        if (burst.size() > 1 && rng() % 4 == 0) {
            const std::size_t cut = burst.size() / 2;
            m.Feed(burst.substr(0, cut));
            h.RunFor(splitMs(rng));
            m.Feed(burst.substr(cut));
        } else {
            m.Feed(burst);
        }
        sent.emplace_back(burst.begin(), burst.end());
        h.RunFor(gapMs(rng));
    }
    ASSERT_TRUE(h.form.IsConnected);

    std::vector<std::wstring> typed(1);
    for (const std::wstring& key : m.Typed()) {
        if (key == L"{Enter}")
            typed.emplace_back();
        else
            typed.back() += key;
    }
    EXPECT_EQ(typed.back(), L"") << "every burst ends with its Enter";
    typed.pop_back();
    EXPECT_GT(sent.size(), 8000u);
    EXPECT_EQ(typed, sent);
    EXPECT_EQ(h.memoLastData.lines, (Lines{L"Dernières données reçues:", sent.back()}));
}

TEST(Paste, Success_PlacesTextClosesAndPressesCtrlV)
{
    MonitorHarness h;
    h.Create();
    h.NewLogMessages();
    h.Dispatch([&] { h.form.PasteViaClipboard(L"Zoë 42\r\n"); });
    EXPECT_EQ(h.clipboard.ops,
              (std::vector<std::string>{"Open", "Alloc", "Empty", "SetData", "KeepOutOfHistory", "Close"}));
    EXPECT_EQ(h.clipboard.content, L"Zoë 42\r\n");
    EXPECT_TRUE(h.clipboard.keptOutOfHistory);
    EXPECT_FALSE(h.clipboard.isOpen);
    EXPECT_EQ(h.NewLogMessages(), Lines{L"Données copiées et collées automatiquement: Zoë 42\r\n"});
    EXPECT_EQ(TypedKeys(h.keyboard.calls), (Keys{L"{Ctrl+V}"}));
    EXPECT_TRUE(h.toolkit.errorReports.empty());
}

TEST(Paste, Failures_LogOneLineAndPressNothing)
{
    struct Case {
        const char* name;
        void (*arrange)(FakeClipboard&);
        std::vector<std::string> ops;
        std::optional<std::wstring> content;
        std::wstring line;
    };
    const Case cases[] = {
        {"held by another program", [](FakeClipboard& c) { c.heldByOther = true; },
         std::vector<std::string>(10, "Open"), L"previous",
         L"Erreur lors de la copie/collage: Impossible d'ouvrir le Presse-papiers : Accès refusé"},
        {"hand-over refused",
         [](FakeClipboard& c) { c.setDataFails = true; },
         {"Open", "Alloc", "Empty", "SetData", "Free", "Close"},
         std::nullopt,
         L"Erreur lors de la copie/collage: Ressources système insuffisantes"},
        {"no memory",
         [](FakeClipboard& c) { c.allocFails = true; },
         {"Open", "Alloc", "Close"},
         L"previous",
         L"Erreur lors de la copie/collage: Mémoire insuffisante"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MonitorHarness h;
        h.Create();
        h.NewLogMessages();
        c.arrange(h.clipboard);
        h.Dispatch([&] { h.form.PasteViaClipboard(L"ABC"); });
        EXPECT_EQ(h.clipboard.ops, c.ops);
        EXPECT_EQ(h.clipboard.content, c.content);
        EXPECT_FALSE(h.clipboard.isOpen);
        EXPECT_EQ(h.NewLogMessages(), Lines{c.line});
        EXPECT_TRUE(h.keyboard.calls.empty());
        EXPECT_TRUE(h.toolkit.errorReports.empty());
    }
}

TEST(Paste, HistoryFormatsRefused_TheTextIsPastedAllTheSame)
{
    MonitorHarness h;
    h.Create();
    h.NewLogMessages();
    h.clipboard.historyFormatsFail = true;
    h.Dispatch([&] { h.form.PasteViaClipboard(L"ABC"); });
    EXPECT_EQ(h.clipboard.content, L"ABC");
    EXPECT_FALSE(h.clipboard.isOpen);
    EXPECT_EQ(h.NewLogMessages(), Lines{L"Données copiées et collées automatiquement: ABC"});
    EXPECT_EQ(TypedKeys(h.keyboard.calls), (Keys{L"{Ctrl+V}"}));
}

TEST(Paste, ClipboardBusyForAFewMilliseconds_IsTriedAgainEvery10msThenPasted)
{
    MonitorHarness h;
    h.Create();
    h.NewLogMessages();
    h.clipboard.busyForOpens = 3;
    h.Dispatch([&] { h.form.PasteViaClipboard(L"ABC"); });
    EXPECT_EQ(h.clipboard.content, L"ABC");
    EXPECT_EQ(h.toolkit.clock.sleeps, (std::vector<std::uint32_t>{10, 10, 10}));
    EXPECT_EQ(h.NewLogMessages(), Lines{L"Données copiées et collées automatiquement: ABC"});
}

TEST(Paste, SystemReasonForTheOpenFailure_LosesTrailingBlanksControlsAndFullStopsOnly)
{
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"Accès refusé.\r\n", L"Accès refusé"},
        {L"Handle non valide. \t. \r\n", L"Handle non valide"},
        {L"Erreur. Réessayez plus tard", L"Erreur. Réessayez plus tard"},
        {L"  Occupé", L"  Occupé"},
        {L"v1.2\x01", L"v1.2"},
        {L"...\r\n", L""},
        {L"", L""},
    };
    for (const auto& [system, reason] : cases) {
        SCOPED_TRACE(system);
        MonitorHarness h;
        h.Create();
        h.NewLogMessages();
        h.clipboard.heldByOther = true;
        h.clipboard.heldError = 1418;
        h.clipboard.systemTexts[1418] = system;
        h.Dispatch([&] { h.form.PasteViaClipboard(L"x"); });
        EXPECT_EQ(h.NewLogMessages(),
                  Lines{L"Erreur lors de la copie/collage: Impossible d'ouvrir le Presse-papiers : " + reason});
    }
}

// Keys typed into the monitor's own window or tray menu would click its buttons and run its
// entries; with nobody in front a paste would only overwrite the user's clipboard.
TEST_F(Delivery, NothingInFrontToReceiveIt_BurstIsLoggedAndShownButNeitherTypedNorPasted)
{
    struct Case {
        InputTarget target;
        bool clipboardMode;
        std::wstring reason;
    };
    const std::wstring own = L"Données non transmises: la fenêtre au premier plan est celle de VOR-TIKA Monitor";
    const std::wstring nobody =
        L"Données non transmises: aucune application au premier plan (session verrouillée ou bureau sécurisé)";
    const std::wstring shell =
        L"Données non transmises: la fenêtre au premier plan est le bureau ou la barre des tâches";
    // Start's or Search's box runs what Enter finds; Windows drops keys sent to higher rights.
    const std::wstring shellHost = L"Données non transmises: la fenêtre au premier plan est le menu Démarrer, la "
                                   L"recherche, l'affichage des tâches ou une fenêtre de l'Explorateur";
    const std::wstring admin =
        L"Données non transmises: l'application au premier plan est exécutée en tant qu'administrateur";
    const Case cases[] = {
        {InputTarget::ThisProgram, false, own},     {InputTarget::ThisProgram, true, own},
        {InputTarget::Shell, false, shell},         {InputTarget::Shell, true, shell},
        {InputTarget::Nobody, false, nobody},       {InputTarget::Nobody, true, nobody},
        {InputTarget::ShellHost, false, shellHost}, {InputTarget::ShellHost, true, shellHost},
        {InputTarget::HigherRights, false, admin},  {InputTarget::HigherRights, true, admin},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.target) * 2 + (c.clipboardMode ? 1 : 0));
        ConnectedMonitor fresh;
        ASSERT_TRUE(fresh.connected);
        MonitorHarness& f = fresh.h;
        (c.clipboardMode ? f.rbClipboard : f.rbKeyboard).SetChecked(true);
        f.chkCR.checked = f.chkLF.checked = true;
        f.inputFocus.target = c.target;
        fresh.Feed("A\t\r\n");
        // Nobody in front may be a moment of activation moving: looked at again for 1.5 s.
        f.RunFor(400 + (c.target == InputTarget::Nobody ? kNoForegroundWaitMs : 0));
        EXPECT_EQ(f.NewLogMessages(), (Lines{L"Données ajoutées au buffer: A\t\r\n", L"Reçu: A\t\r\n", c.reason}));
        EXPECT_EQ(f.memoLastData.lines, (Lines{L"Dernières données reçues:", L"A\t\r\n"}));
        EXPECT_TRUE(f.keyboard.calls.empty());
        EXPECT_TRUE(f.clipboard.ops.empty());
        EXPECT_EQ(f.clipboard.content, L"previous");
        EXPECT_EQ(f.form.DataBuffer, L"");
    }
}

TEST_F(Delivery, WindowsRefusesTheKeys_OneLinePerBurst)
{
    h.chkCR.checked = true;
    h.keyboard.refusesInput = true;
    m.Feed("AB");
    h.RunFor(400);
    EXPECT_EQ(h.NewLogMessages(), (Lines{L"Données ajoutées au buffer: AB", L"Reçu: AB",
                                         L"Données transmises en partie: Windows a refusé 6 des 6 événements clavier "
                                         L"(application au premier plan exécutée avec plus de droits ?)"}));
    EXPECT_EQ(m.Typed(), (Keys{L"A", L"B", L"{Enter}"})) << "each unit is still given to Windows";
}

// The rule that holds or refuses a burst: every refusal is final, every wait has a bound, and a
// closing connection waits for nothing.
TEST(DeliveryRule, HoldsWhileItMustAndRefusesWhenItCannotReach)
{
    using enum BurstAction;
    struct Case {
        InputTarget target;
        bool modifiers, pasteUnread;
        std::uint32_t waited;
        BurstAction open, closing;
    };
    const auto other = InputTarget::OtherApplication;
    const Case cases[] = {
        {other, false, false, 0, Deliver, Deliver},
        {InputTarget::ThisProgram, true, true, 0, RefuseThisProgram, RefuseOnClose},
        {InputTarget::Shell, false, false, 0, RefuseShell, RefuseOnClose},
        {InputTarget::Nobody, false, false, kNoForegroundWaitMs - 1, Wait, RefuseOnClose},
        {InputTarget::Nobody, false, false, kNoForegroundWaitMs, RefuseNobody, RefuseOnClose},
        {InputTarget::ShellHost, false, false, 0, RefuseShellHost, RefuseOnClose},
        {InputTarget::HigherRights, true, true, 0, RefuseHigherRights, RefuseOnClose},
        {InputTarget::Menu, true, true, kMenuWaitMs - 1, Wait, RefuseOnClose},
        {InputTarget::Menu, false, false, kMenuWaitMs, RefuseMenu, RefuseOnClose},
        {other, true, false, kModifierWaitMs - 1, Wait, RefuseOnClose},
        {other, true, false, kModifierWaitMs, RefuseModifierKeys, RefuseOnClose},
        {other, false, true, 60000, Wait, RefuseOnClose},
    };
    for (const Case& c : cases) {
        BurstConditions now{c.target, c.modifiers, c.pasteUnread, c.waited, false};
        EXPECT_EQ(DecideBurst(now), c.open) << static_cast<int>(c.target) << " waited " << c.waited;
        now.Closing = true;
        EXPECT_EQ(DecideBurst(now), c.closing) << static_cast<int>(c.target) << " waited " << c.waited;
    }
}

// A target busy after each Enter reads the clipboard late: the next burst waits for that read,
// so each burst is pasted once, in order, and a paste nobody reads is named after 5 s.
TEST_F(Delivery, BusyTargetInClipboardMode_EachBurstPastedOnceInOrder)
{
    h.rbClipboard.SetChecked(true);
    h.chkCR.checked = true;
    h.clipboard.readsAtOnce = false;
    std::vector<std::wstring> pasted; // what the target got, read by read
    for (const char* burst : {"AAA-1", "BBB-2", "CCC-3"}) {
        m.Feed(burst);
        h.RunFor(400);
    }
    EXPECT_EQ(h.clipboard.content, L"AAA-1") << "not replaced before it was read";
    h.clipboard.TargetReads();
    pasted.push_back(*h.clipboard.content);
    h.RunFor(100);
    h.clipboard.TargetReads();
    pasted.push_back(*h.clipboard.content);
    h.RunFor(100);
    EXPECT_EQ(pasted, (std::vector<std::wstring>{L"AAA-1", L"BBB-2"}));
    EXPECT_EQ(h.clipboard.content, L"CCC-3");
    EXPECT_EQ(m.Typed(), (Keys{L"{Ctrl+V}", L"{Enter}", L"{Ctrl+V}", L"{Enter}", L"{Ctrl+V}", L"{Enter}"}));

    h.NewLogMessages();
    h.RunFor(kPasteReadWaitMs);
    EXPECT_EQ(h.NewLogMessages(), Lines{L"Données peut-être non collées (Presse-papiers non lu après 5 s): CCC-3"});
    EXPECT_FALSE(h.toolkit.TimerDelivery.Running());
    EXPECT_EQ(h.clipboard.content, L"CCC-3") << "a late reader still finds the burst";
}

// With Ctrl held, Enter would be Ctrl+Enter: the burst waits for the keys to be released, and
// is given up after 10 s. No key ever goes out while one is held.
TEST_F(Delivery, HeldModifier_BurstWaitsForItsRelease_OrIsGivenUpAfter10s)
{
    h.chkCR.checked = true;
    h.keyboard.modifiersDown = true;
    m.Feed("M1");
    h.RunFor(3000);
    EXPECT_TRUE(m.Typed().empty());
    h.keyboard.modifiersDown = false;
    h.RunFor(100);
    EXPECT_EQ(m.Typed(), (Keys{L"M", L"1", L"{Enter}"}));

    h.keyboard.modifiersDown = true;
    m.Feed("M2");
    h.RunFor(400);
    h.NewLogMessages();
    h.RunFor(kModifierWaitMs);
    EXPECT_EQ(h.NewLogMessages(),
              Lines{L"Données non transmises: touche Maj, Ctrl, Alt ou Windows enfoncée depuis 10 s"});
    EXPECT_EQ(m.Typed().size(), 3u);
    for (const InputCall& call : h.keyboard.calls)
        EXPECT_FALSE(call.modifiersDown);

    // A close while a burst still waits names its text.
    m.Feed("M3");
    h.RunFor(400);
    h.NewLogMessages();
    h.Dispatch([&] { h.form.btnDisconnectClick(); });
    EXPECT_EQ(h.NewLogMessages(),
              (Lines{L"Données non transmises (fermeture de la connexion): M3", L"Connexion fermée"}));
}

// In a menu, letters choose its items and Enter runs the selected one: the burst waits for the
// menu to close, and is given up after 10 s.
TEST_F(Delivery, MenuOpenInFront_BurstWaitsForItToClose_OrIsGivenUpAfter10s)
{
    h.chkCR.checked = true;
    h.inputFocus.target = InputTarget::Menu;
    m.Feed("M1");
    h.RunFor(3000);
    EXPECT_TRUE(m.Typed().empty());
    h.inputFocus.target = InputTarget::OtherApplication;
    h.RunFor(100);
    EXPECT_EQ(m.Typed(), (Keys{L"M", L"1", L"{Enter}"}));

    h.inputFocus.target = InputTarget::Menu;
    m.Feed("M2");
    h.RunFor(400);
    h.NewLogMessages();
    h.RunFor(kMenuWaitMs);
    EXPECT_EQ(h.NewLogMessages(), Lines{L"Données non transmises: un menu est ouvert au premier plan depuis 10 s"});
    EXPECT_EQ(m.Typed().size(), 3u);
    EXPECT_FALSE(h.toolkit.TimerDelivery.Running());
}

TEST_F(Delivery, NoForegroundForAMoment_TheBurstGoesOutWhenAWindowComesToTheFront)
{
    h.inputFocus.target = InputTarget::Nobody;
    m.Feed("OK");
    h.RunFor(800);
    EXPECT_TRUE(m.Typed().empty());
    h.inputFocus.target = InputTarget::OtherApplication;
    h.RunFor(100);
    EXPECT_EQ(m.Typed(), (Keys{L"O", L"K"}));
    EXPECT_EQ(h.NewLogMessages(), (Lines{L"Données ajoutées au buffer: OK", L"Reçu: OK"}));
}

// RestoreClipboard: the operator's contents come back once the target has read the last burst,
// never while a burst is unread (a late Ctrl+V would paste the wrong text).
TEST_F(Delivery, RestoreClipboard_PutsBackTheOperatorsContentsOnceTheBurstIsRead)
{
    h.form.RestoreClipboard = true;
    h.rbClipboard.SetChecked(true);
    h.clipboard.readsAtOnce = false;
    m.Feed("A1");
    h.RunFor(400);
    m.Feed("B2");
    h.RunFor(400);
    EXPECT_EQ(h.clipboard.content, L"A1");
    h.clipboard.TargetReads();
    h.RunFor(100);
    EXPECT_EQ(h.clipboard.content, L"B2");
    EXPECT_EQ(std::ranges::count(h.clipboard.ops, std::string("Save")), 1) << "only the operator's own contents";
    h.clipboard.TargetReads();
    h.RunFor(100);
    EXPECT_EQ(h.clipboard.content, L"previous");
    EXPECT_FALSE(h.toolkit.TimerDelivery.Running());
}

// A paste the target did not read (given up after 5 s, or rendered first by a clipboard manager)
// is never put back over, nor saved as if it were the operator's: the operator's own contents come
// back after a later paste that the target reads, unless the operator copied something meanwhile.
TEST(RestoreClipboard, AfterAPasteTheTargetDidNotRead_TheOperatorsOwnContentsComeBack)
{
    struct Case {
        const char* name;
        void (*first)(MonitorHarness&); // what becomes of the first paste
        std::wstring restored;
        Lines lines;
    };
    const auto unread = [](MonitorHarness& h) { h.RunFor(kPasteReadWaitMs); };
    const Case cases[] = {
        {"given up unread",
         unread,
         L"previous",
         {L"Données peut-être non collées (Presse-papiers non lu après 5 s): A1"}},
        {"given up, then the operator copies",
         [](MonitorHarness& h) {
             h.RunFor(kPasteReadWaitMs);
             h.clipboard.OperatorCopies(L"mine");
         },
         L"mine",
         {L"Données peut-être non collées (Presse-papiers non lu après 5 s): A1"}},
        {"read first by a clipboard manager",
         [](MonitorHarness& h) {
             h.clipboard.OtherProgramReads(L"ClipMgr.exe");
             h.RunFor(kPasteReadWaitMs);
         },
         L"previous",
         {L"Données lues dans le Presse-papiers par un autre programme avant l'application (ClipMgr.exe): A1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ConnectedMonitor m;
        MonitorHarness& h = m.h;
        h.form.RestoreClipboard = true;
        h.rbClipboard.SetChecked(true);
        h.clipboard.readsAtOnce = false;
        m.Feed("A1");
        h.RunFor(400);
        h.NewLogMessages();
        c.first(h);
        EXPECT_EQ(h.NewLogMessages(), c.lines);
        EXPECT_NE(h.clipboard.content, L"previous") << "not put back over the first paste";
        EXPECT_FALSE(h.toolkit.TimerDelivery.Running());

        m.Feed("B2");
        h.RunFor(400);
        EXPECT_EQ(h.clipboard.content, L"B2");
        h.clipboard.TargetReads();
        h.RunFor(100);
        EXPECT_EQ(h.clipboard.content, c.restored);
        EXPECT_FALSE(h.toolkit.TimerDelivery.Running());
    }
}

// A reader holds the clipboard open while it waits for the monitor to render the last paste: the
// next paste's retries serve it, then open the clipboard.
TEST(Paste, ReaderWaitingForTheRenderHoldsTheClipboard_TheRetryServesItThenPastes)
{
    MonitorHarness h;
    h.Create();
    h.clipboard.readsAtOnce = false;
    h.Dispatch([&] { h.form.PasteViaClipboard(L"A1"); });
    h.clipboard.ReaderAsksAndWaits(h.clipboard.foregroundProcess, L"target.exe");
    h.NewLogMessages();
    h.Dispatch([&] { h.form.PasteViaClipboard(L"B2"); });
    EXPECT_EQ(h.NewLogMessages(), Lines{L"Données copiées et collées automatiquement: B2"});
    EXPECT_EQ(h.clipboard.content, L"B2");
    EXPECT_EQ(h.toolkit.clock.sleeps, (std::vector<std::uint32_t>{10}));
}

// LayoutKeys: in keyboard mode the burst goes as the keys of the layout in front, looked up once
// per burst, and the CR option's Enter as before; machine policy wins over the file's key.
TEST(LayoutKeys, KeyboardMode_TypesTheLayoutsKeysWhenOn_PolicyWinsOverTheFile)
{
    struct Case {
        std::optional<std::uint32_t> policy;
        bool file;
        bool on;
    };
    const Case cases[] = {{std::nullopt, false, false}, {std::nullopt, true, true}, {0, true, false}, {1, false, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.policy.value_or(9) << c.file);
        ConnectedMonitor m;
        MonitorHarness& h = m.h;
        if (c.policy) {
            h.policyKey.values = {PolicyValue{L"LayoutKeys", *c.policy, std::nullopt}};
            h.Dispatch([&] { h.form.PolicyChanged(); });
        }
        h.form.LayoutKeys = c.file;
        h.chkCR.checked = true;
        m.Feed("Ab");
        h.RunFor(400);
        EXPECT_EQ(h.keyboard.layoutLookups, c.on ? 1 : 0);
        ASSERT_EQ(h.keyboard.calls.size(), c.on ? 2u : 3u);
        if (c.on) {
            EXPECT_EQ(h.keyboard.calls[0].records, (std::vector<KeyboardRecord>{{16, 0x2A, 0, 0, 0},
                                                                                {'A', 0x1E, 0, 0, 0},
                                                                                {'A', 0x1E, 2, 0, 0},
                                                                                {16, 0x2A, 2, 0, 0},
                                                                                {'B', 0x30, 0, 0, 0},
                                                                                {'B', 0x30, 2, 0, 0}}));
            EXPECT_EQ(TypedKeys({h.keyboard.calls[1]}), Keys{L"{Enter}"});
        } else {
            EXPECT_EQ(m.Typed(), (Keys{L"A", L"b", L"{Enter}"}));
        }
    }
}
