#include <gtest/gtest.h>

#include "tests/fakes/monitor_harness.h"
#include "ui/errors.h"

namespace {

// A monitor connected to `port`, whose device answered the query.
void CreateConnected(MonitorHarness& h, const std::wstring& port, const Lines& others = {})
{
    h.AddPort(port, true);
    for (const std::wstring& other : others)
        h.AddPort(other);
    h.CreateIdle();
    h.Dispatch([&] { h.form.btnConnectClick(); });
    h.RunFor(100);
    ASSERT_TRUE(h.form.IsConnected);
    h.NewLogMessages();
    h.comPorts.calls.clear();
}

// A port opened as a detection opens it, with no timer running.
void OpenDirectly(MonitorHarness& h, const std::wstring& port)
{
    h.AddPort(port);
    h.CreateIdle();
    ASSERT_EQ(h.form.TakeOpenedPort(port, OpenAndConfigurePort(h.comPorts, port, 9600)), OpenResult::Opened);
    h.form.IsDetecting = true;
    h.checkLinkRules = false; // a detection without its timers or layout
    h.comPorts.calls.clear();
}

std::wstring Read(MonitorHarness& h)
{
    std::wstring text;
    h.Dispatch([&] { text = h.form.ReadSerialData(); });
    return text;
}

bool Write(MonitorHarness& h, const std::wstring& text)
{
    bool ok = false;
    h.Dispatch([&] { ok = h.form.WriteToPort(text); });
    return ok;
}

RegistryValue Sz(const std::wstring& data, std::uint32_t type = kRegSz)
{
    static int id = 0;
    return {L"\\Device\\Serial" + std::to_wstring(id++), type, data};
}

} // namespace

// ---- Port list -------------------------------------------------------------

TEST(SerialPortList, RefreshKeepsTheSelection)
{
    struct Case {
        const char* name;
        std::optional<std::vector<RegistryValue>> registry; // nullopt: key missing
        Lines before;
        int selectedBefore;
        Lines after;
        int selectedAfter;
    };
    using V = std::vector<RegistryValue>;
    const Case cases[] = {
        {"key missing", std::nullopt, {L"COM1"}, 0, {}, -1},
        {"key without values", V{}, {L"COM1"}, 0, {}, -1},
        {"selected port moved",
         V{Sz(L"COM1"), Sz(L"COM2"), Sz(L"COM3")},
         {L"COM3", L"COM1"},
         0,
         {L"COM1", L"COM2", L"COM3"},
         2},
        {"selected port gone", V{Sz(L"COM4"), Sz(L"COM5")}, {L"COM1", L"COM5"}, 0, {L"COM4", L"COM5"}, 0},
        {"nothing selected", V{Sz(L"COM4"), Sz(L"COM5")}, {L"COM5"}, -1, {L"COM4", L"COM5"}, 0},
        {"other letter case", V{Sz(L"COM1"), Sz(L"COM3")}, {L"com3"}, 0, {L"COM1", L"COM3"}, 1},
        {"duplicates pick the first",
         V{Sz(L"COM1"), Sz(L"COM3"), Sz(L"com3")},
         {L"COM3"},
         0,
         {L"COM1", L"COM3", L"com3"},
         1},
        {"expandable text is text", V{Sz(L"COM1"), Sz(L"COM9", kRegExpandSz)}, {L"COM9"}, 0, {L"COM1", L"COM9"}, 1},
        {"data ends at its first NUL",
         V{Sz(std::wstring(L"COM7\0COM8", 9)), Sz(L"COM2")},
         {L"COM7"},
         0,
         {L"COM7", L"COM2"},
         0},
        {"empty data lists an empty entry", V{Sz(L""), Sz(L"COM2")}, {L"COM2"}, 0, {L"", L"COM2"}, 1},
        {"registry order, not sorted",
         V{Sz(L"COM10"), Sz(L"COM2"), Sz(L"COM1")},
         {},
         -1,
         {L"COM10", L"COM2", L"COM1"},
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MonitorHarness h;
        h.CreateIdle();
        h.registry.keyExists = c.registry.has_value();
        h.registry.values = c.registry.value_or(V{});
        h.cmbPorts.items = c.before;
        h.cmbPorts.index = c.selectedBefore;
        h.form.CurrentPortIndex = 7;

        h.Dispatch([&] { h.form.RefreshPortList(); });
        EXPECT_EQ(h.cmbPorts.items, c.after);
        EXPECT_EQ(h.cmbPorts.index, c.selectedAfter);
        EXPECT_EQ(h.form.CurrentPortIndex, 7);
        EXPECT_TRUE(h.NewLogMessages().empty());
        EXPECT_TRUE(h.toolkit.messageBoxes.empty());
    }
}

TEST(SerialPortList, StartUpWithoutTheKey_ListsNothingAndSaysNothing)
{
    MonitorHarness h;
    h.registry.keyExists = false;
    h.CreateIdle();
    EXPECT_TRUE(h.cmbPorts.items.empty());
    EXPECT_EQ(h.cmbPorts.index, -1);
    EXPECT_TRUE(h.toolkit.messageBoxes.empty());
    EXPECT_TRUE(h.toolkit.errorReports.empty());
}

TEST(SerialPortList, NonTextValue_IsSkippedReportedOnceAndStartUpCompletes)
{
    MonitorHarness h;
    h.registry.AddPort(L"COM1");
    h.registry.values.push_back({L"\\Device\\Odd0", kRegDword, L"\x0003"});
    h.registry.AddPort(L"COM3");
    h.chkAutoConnect.checked = true;
    h.Create();

    EXPECT_EQ(h.cmbPorts.items, (Lines{L"COM1", L"COM3"}));
    const Lines lines = h.NewLogMessages();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), L"Type de données incorrect pour '\\Device\\Odd0'"), 1);
    EXPECT_NE(std::find(lines.begin(), lines.end(), L"VOR-TIKA Monitor démarré - Version 1.0"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), L"Test du port COM1"), lines.end())
        << "the automatic search still runs";
    ASSERT_EQ(h.toolkit.messageBoxes.size(), 1u);
    // The message ends in a quote: the report adds no full stop after it.
    EXPECT_EQ(h.toolkit.messageBoxes[0].Text, L"Type de données incorrect pour '\\Device\\Odd0'");
    EXPECT_EQ(h.toolkit.messageBoxes[0].Kind, MessageBoxKind::Error);
    EXPECT_TRUE(h.toolkit.errorReports.empty());
}

TEST(SerialPortList, NonTextValue_LaterRefreshesKeepSelectionAndStayQuiet)
{
    MonitorHarness h;
    h.registry.AddPort(L"COM1");
    h.registry.values.push_back({L"\\Device\\Odd0", kRegBinary, L""});
    h.registry.AddPort(L"COM3");
    h.CreateIdle();
    h.cmbPorts.SetItemIndex(1);

    for (int i = 0; i < 3; ++i)
        h.Dispatch([&] { h.form.RefreshPortList(); });
    EXPECT_EQ(h.cmbPorts.Text(), L"COM3");
    EXPECT_TRUE(h.NewLogMessages().empty());
    EXPECT_EQ(h.toolkit.messageBoxes.size(), 1u);

    // Another odd value is logged when first met, but no second box is shown.
    h.registry.values.insert(h.registry.values.begin(), {L"\\Device\\Odd1", kRegDword, L""});
    h.Dispatch([&] { h.form.RefreshPortList(); });
    h.Dispatch([&] { h.form.RefreshPortList(); });
    EXPECT_EQ(h.NewLogMessages(), Lines{L"Type de données incorrect pour '\\Device\\Odd1'"});
    EXPECT_EQ(h.toolkit.messageBoxes.size(), 1u);
    EXPECT_EQ(h.cmbPorts.items, (Lines{L"COM1", L"COM3"}));
    EXPECT_EQ(h.cmbPorts.Text(), L"COM3");
}

TEST(SerialPortList, NonTextValue_BoxShownOnlyOnceTheListIsWhole)
{
    MonitorHarness h;
    h.registry.AddPort(L"COM2");
    h.CreateIdle();
    h.registry.values.insert(h.registry.values.begin(), {L"\\Device\\Odd0", kRegDword, L""});
    // The watch ticks while the box is open and refreshes the list inside it.
    h.toolkit.modalBoxOpenMs = 4000;
    const int watchTicks = h.toolkit.TimerDeviceWatch.ticks;
    h.Dispatch([&] { h.form.RefreshPortList(); });
    EXPECT_GT(h.toolkit.TimerDeviceWatch.ticks, watchTicks);
    EXPECT_EQ(h.cmbPorts.items, Lines{L"COM2"});
    EXPECT_EQ(h.cmbPorts.index, 0);
    EXPECT_EQ(h.toolkit.messageBoxes.size(), 1u);
}

// ---- Open ------------------------------------------------------------------

TEST(SerialOpen, AppliesLineSettingsAndTimeoutsAndNothingElse)
{
    MonitorHarness h;
    FakeDevice& d = h.AddPort(L"COM7");
    d.driverState = {kDcbLength, 1200, 0x00007FB3, 5, 2048, 512, 7, 2, 2, 0x11, 0x13, '?', 0x1A, '\n', 9};
    h.CreateIdle();
    h.comPorts.calls.clear();
    h.checkLinkRules = false; // the open alone, outside a detection

    OpenResult result{};
    h.Dispatch([&] { result = h.form.TakeOpenedPort(L"COM7", OpenAndConfigurePort(h.comPorts, L"COM7", 38400)); });
    EXPECT_EQ(result, OpenResult::Opened);
    EXPECT_EQ(h.comPorts.createCalls.back(), L"\\\\.\\COM7");
    EXPECT_EQ(h.comPorts.calls,
              (std::vector<std::string>{"CreateFile", "GetCommState", "SetCommState", "SetCommTimeouts"}));

    CommState expected = d.driverState;
    expected.BaudRate = 38400;
    expected.ByteSize = 8;
    expected.Parity = kNoParity;
    expected.StopBits = kOneStopBit;
    ASSERT_TRUE(d.appliedState.has_value());
    EXPECT_EQ(*d.appliedState, expected);
    EXPECT_EQ(d.appliedState->DCBlength, 28u);
    ASSERT_TRUE(d.appliedTimeouts.has_value());
    EXPECT_EQ(*d.appliedTimeouts, (CommTimeouts{0xFFFFFFFFu, 0, 0, 0, 1000}));

    EXPECT_NE(h.form.hComPort, kNoPort);
    EXPECT_EQ(h.form.OpenPortName(), L"COM7");
    EXPECT_TRUE(d.written.empty());
    EXPECT_TRUE(h.NewLogMessages().empty());
}

TEST(SerialOpen, EachFailedStep_LeavesNothingOpen)
{
    struct Case {
        FakeDevice::FailStep step;
        OpenResult result;
        int closes;
    };
    const Case cases[] = {
        {FakeDevice::FailStep::Open, OpenResult::OpenFailed, 0},
        {FakeDevice::FailStep::GetState, OpenResult::ReadStateFailed, 1},
        {FakeDevice::FailStep::SetState, OpenResult::SetStateFailed, 1},
        {FakeDevice::FailStep::SetTimeouts, OpenResult::SetTimeoutsFailed, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.step));
        MonitorHarness h;
        h.AddPort(L"COM2").failAt = c.step;
        h.CreateIdle();
        OpenResult result{};
        h.Dispatch([&] { result = h.form.TakeOpenedPort(L"COM2", OpenAndConfigurePort(h.comPorts, L"COM2", 9600)); });
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(h.form.hComPort, kNoPort);
        EXPECT_EQ(h.comPorts.openCount(), 0);
        EXPECT_EQ(h.comPorts.closes, c.closes);
        EXPECT_TRUE(h.form.OpenPortName().empty());
        EXPECT_TRUE(h.NewLogMessages().empty());
    }
}

TEST(SerialClose, ClosesOnceAndForgetsThePort)
{
    MonitorHarness h;
    OpenDirectly(h, L"COM3");
    h.Dispatch([&] { h.form.CloseSerialPort(); });
    EXPECT_EQ(h.comPorts.calls, std::vector<std::string>{"CloseHandle"});
    EXPECT_EQ(h.form.hComPort, kNoPort);
    EXPECT_TRUE(h.form.OpenPortName().empty());
    EXPECT_FALSE(h.comPorts.Device(L"COM3").open);
}

// ---- Read ------------------------------------------------------------------

TEST(SerialRead, ReceivedBytesBecomeText)
{
    struct Case {
        const char* name;
        std::string rx;
        std::wstring text;
    };
    using namespace std::string_literals;
    const Case cases[] = {
        {"nothing arrived", "", L""},
        {"plain text with CR LF", "ABC\r\n", L"ABC\r\n"},
        {"bytes above 127 through code page 1252", "caf\xE9 \x80", L"café €"},
        {"NUL inside keeps the text after it", "AB\0CD"s, L"ABCD"},
        {"leading NUL", "\0XY"s, L"XY"},
        {"only NULs read as nothing", "\0\0\0"s, L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MonitorHarness h;
        OpenDirectly(h, L"COM1");
        h.comPorts.Device(L"COM1").rx = c.rx;
        EXPECT_EQ(Read(h), c.text);
        EXPECT_EQ(h.comPorts.readSizes, std::vector<std::uint32_t>{255});
        EXPECT_TRUE(h.NewLogMessages().empty());
    }
}

TEST(SerialRead, MoreThan255BytesWaiting_ComeOverSeveralReads)
{
    MonitorHarness h;
    OpenDirectly(h, L"COM1");
    std::string waiting;
    for (int i = 0; i < 300; ++i)
        waiting.push_back(static_cast<char>('a' + i % 26));
    h.comPorts.Device(L"COM1").rx = waiting;

    const std::wstring first = Read(h);
    const std::wstring second = Read(h);
    EXPECT_EQ(first, std::wstring(waiting.begin(), waiting.begin() + 255));
    EXPECT_EQ(second, std::wstring(waiting.begin() + 255, waiting.end()));
    EXPECT_EQ(Read(h), L"");
    EXPECT_EQ(h.comPorts.readSizes, (std::vector<std::uint32_t>{255, 255, 255}));
}

TEST(SerialRead, WithoutConnectionOrDetection_DoesNotTouchThePort)
{
    MonitorHarness h;
    OpenDirectly(h, L"COM1");
    h.form.IsDetecting = false;
    h.comPorts.Device(L"COM1").rx = "data";
    EXPECT_EQ(Read(h), L"");
    EXPECT_TRUE(h.comPorts.calls.empty());

    h.form.IsDetecting = true;
    const PortHandle open = h.form.hComPort;
    h.form.hComPort = kNoPort;
    EXPECT_EQ(Read(h), L"");
    EXPECT_TRUE(h.comPorts.calls.empty());
    h.form.hComPort = open;
}

TEST(SerialRead, ErrorWhileUnderTest_IsSilent)
{
    for (std::uint32_t code : {22u, 31u, 121u, 995u, 5u}) {
        SCOPED_TRACE(code);
        MonitorHarness h;
        OpenDirectly(h, L"COM1");
        h.comPorts.Device(L"COM1").readError = code;
        EXPECT_EQ(Read(h), L"");
        EXPECT_TRUE(h.NewLogMessages().empty());
        EXPECT_NE(h.form.hComPort, kNoPort);
    }
}

TEST(SerialRead, ErrorWhileConnected_TestsThePortOnlyForDisconnectCodes)
{
    struct Case {
        std::uint32_t code;
        bool portGone;
        Lines lines;
    };
    const std::wstring found = L"Debug: Port COM4 trouvé dans la liste des ports";
    const std::wstring notFound = L"Debug: Port COM4 non trouvé dans la liste des ports";
    const auto detected = [](std::uint32_t code) {
        return L"Debug: Erreur de lecture détectée (Code: " + std::to_wstring(code) + L") - Possible déconnexion";
    };
    const std::wstring closing = L"Port COM connecté (COM4) déconnecté - Fermeture automatique (erreur lecture)";
    const Case cases[] = {
        {995, false, {detected(995), found}},
        {22, false, {detected(22), found}},
        {121, false, {detected(121), found}},
        {121, true, {detected(121), notFound, closing, L"Connexion fermée"}},
        {995, true, {detected(995), notFound, closing, L"Connexion fermée"}},
        {31, true, {}},
        {5, true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.code << (c.portGone ? " gone" : " listed"));
        MonitorHarness h;
        CreateConnected(h, L"COM4", {L"COM5"});
        ASSERT_EQ(h.form.OpenPortName(), L"COM4");
        h.comPorts.Device(L"COM4").readError = c.code;
        if (c.portGone)
            h.registry.RemovePort(L"COM4");

        EXPECT_EQ(Read(h), L"");
        EXPECT_EQ(h.NewLogMessages(), c.lines);
        const bool disconnected = c.lines.size() == 4;
        EXPECT_EQ(h.form.IsConnected, !disconnected);
        EXPECT_EQ(h.form.hComPort == kNoPort, disconnected);
        if (disconnected) {
            EXPECT_EQ(h.lblStatus.caption, L"Etat: Déconnecté");
            EXPECT_EQ(h.cmbPorts.Text(), L"COM5") << "the refresh moved the selection";
        }
    }
}

TEST(SerialRead, AbortedReadWhileConnected_ErrorIsClearedSoTheNextPollReads)
{
    MonitorHarness h;
    CreateConnected(h, L"COM4");
    FakeDevice& device = h.comPorts.Device(L"COM4");
    device.abortedReads = 995;
    EXPECT_EQ(Read(h), L"");
    EXPECT_EQ(h.NewLogMessages(), (Lines{L"Debug: Erreur de lecture détectée (Code: 995) - Possible déconnexion",
                                         L"Debug: Port COM4 trouvé dans la liste des ports"}));
    device.rx = "abc";
    EXPECT_EQ(Read(h), L"abc");
    EXPECT_EQ(device.clears, 1);
}

// ---- Write -----------------------------------------------------------------

TEST(SerialWrite, WithoutOpenPort_FailsSilently)
{
    MonitorHarness h;
    h.CreateIdle();
    h.comPorts.calls.clear();
    EXPECT_FALSE(Write(h, L"$VOR-TIKA?\r"));
    EXPECT_TRUE(h.comPorts.calls.empty());
    EXPECT_TRUE(h.NewLogMessages().empty());
}

TEST(SerialWrite, TextGoesOutThroughTheCodePageInOneCall)
{
    struct Case {
        const char* name;
        std::wstring text;
        std::string bytes;
    };
    const Case cases[] = {
        {"empty text", L"", ""},
        {"handshake query", L"$VOR-TIKA?\r", "$VOR-TIKA?\r"},
        {"accented letters", L"é€", "\xE9\x80"},
        {"character the code page lacks", L"a\x3A9z", "a?z"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MonitorHarness h;
        OpenDirectly(h, L"COM1");
        EXPECT_TRUE(Write(h, c.text));
        EXPECT_EQ(h.comPorts.writeSizes, std::vector<std::uint32_t>{static_cast<std::uint32_t>(c.bytes.size())});
        EXPECT_EQ(h.comPorts.Device(L"COM1").written, c.bytes);
        EXPECT_TRUE(h.NewLogMessages().empty());
    }
}

TEST(SerialWrite, PartialWrite_IsLoggedWithTheByteCounts)
{
    struct Case {
        std::wstring text;
        std::uint32_t accepted;
        std::wstring line;
    };
    const Case cases[] = {
        {L"\r", 0, L"Debug: Ecriture partielle - Écrit: 0/1"},
        {L"$VOR-TIKA?\r", 4, L"Debug: Ecriture partielle - Écrit: 4/11"},
    };
    for (const Case& c : cases) {
        MonitorHarness h;
        OpenDirectly(h, L"COM1");
        h.comPorts.Device(L"COM1").partialWrite = c.accepted;
        EXPECT_FALSE(Write(h, c.text));
        EXPECT_EQ(h.NewLogMessages(), Lines{c.line});
    }
}

TEST(SerialWrite, Failure_LogsTheCodeAndFlagsDisconnectCodes)
{
    const std::wstring probable = L"Debug: Erreur indiquant une déconnexion probable";
    struct Case {
        std::uint32_t code;
        bool disconnectCode;
    };
    for (const Case& c :
         {Case{22, true}, Case{31, true}, Case{121, true}, Case{995, true}, Case{5, false}, Case{1167, false}}) {
        SCOPED_TRACE(c.code);
        MonitorHarness h;
        OpenDirectly(h, L"COM1");
        h.comPorts.Device(L"COM1").writeError = c.code;
        EXPECT_FALSE(Write(h, L"\r"));
        Lines expected{L"Debug: Echec WriteFile (Code: " + std::to_wstring(c.code) + L")"};
        if (c.disconnectCode)
            expected.push_back(probable);
        EXPECT_EQ(h.NewLogMessages(), expected);
        EXPECT_NE(h.form.hComPort, kNoPort) << "the caller decides what follows";
    }
}
