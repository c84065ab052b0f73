// Machine policy: the values read (present, absent, wrong type, out of range), the settings they
// lock at start-up over the file, and a change applied while the monitor runs.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/fakes/monitor_harness.h"

namespace {

const std::wstring kIni = L"C:\\ProgramData\\VORTIKA\\VORTikaMonitor.ini";
const std::wstring kStarted = L"VOR-TIKA Monitor démarré - Version 1.0";
const std::wstring kWatchOn = L"Surveillance des périphériques activée (mode timer)";

PolicyValue Flag(const wchar_t* name, std::uint32_t value)
{
    return {name, value, std::nullopt};
}
PolicyValue Text(const wchar_t* name, const wchar_t* text)
{
    return {name, std::nullopt, text};
}

} // namespace

TEST(PolicyRead, EachValueKeptOrIgnoredWithItsLine)
{
    struct Case {
        const char* name;
        std::vector<PolicyValue> values;
        MachinePolicy policy;
        Lines ignored;
    };
    const std::wstring wrongType = L"Stratégie de groupe: type de données incorrect pour '";
    const std::wstring outOfRange = L"Stratégie de groupe: valeur hors limites pour '";
    const Case cases[] = {
        {"no key", {}, {}, {}},
        {"flags at 0 and 1, names in any case",
         {Flag(L"cr", 0), Flag(L"LF", 1), Flag(L"CLIPBOARDMODE", 1), Flag(L"RestoreClipboard", 0)},
         [] {
             MachinePolicy p;
             p.clipboardMode = true;
             p.cr = false;
             p.lf = true;
             p.restoreClipboard = false;
             return p;
         }(),
         {}},
        {"texts",
         {Text(L"Port", L"COM12"), Text(L"BaudRate", L"115200")},
         [] {
             MachinePolicy p;
             p.port = L"COM12";
             p.baudRate = L"115200";
             return p;
         }(),
         {}},
        {"wrong types",
         {Text(L"Enabled", L"1"), Flag(L"BaudRate", 9600), PolicyValue{L"AutoConnect", std::nullopt, std::nullopt}},
         {},
         {wrongType + L"BaudRate' - valeur ignorée", wrongType + L"Enabled' - valeur ignorée",
          wrongType + L"AutoConnect' - valeur ignorée"}},
        {"out of range",
         {Flag(L"CR", 2), Text(L"BaudRate", L"4800"), Text(L"Port", L""), Flag(L"LF", 0xFFFFFFFF)},
         {},
         {outOfRange + L"Port' - valeur ignorée", outOfRange + L"BaudRate' - valeur ignorée",
          outOfRange + L"CR' - valeur ignorée", outOfRange + L"LF' - valeur ignorée"}},
        {"an unknown value is no setting",
         {Flag(L"KeyboardMode", 1), Flag(L"CR", 1)},
         [] {
             MachinePolicy p;
             p.cr = true;
             return p;
         }(),
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const PolicyReading reading = ReadMachinePolicy(c.values);
        EXPECT_EQ(reading.policy, c.policy);
        EXPECT_EQ(reading.ignoredLines, c.ignored);
    }
}

// The speeds policy accepts are those the list offers.
TEST(PolicyRead, AcceptedSpeedsAreTheSpeedList)
{
    MonitorHarness h;
    h.CreateIdle();
    EXPECT_EQ(h.cmbBaudRate.items, Lines(kPolicyBaudRates.begin(), kPolicyBaudRates.end()));
}

TEST(Policy, AtStartUp_ValuesWinOverTheFileAndLockTheirControls_OthersStayFree)
{
    MonitorHarness h;
    h.AddPort(L"COM1");
    h.AddPort(L"COM3");
    h.fileSystem.files[kIni] = "[Connection]\r\nPort=COM1\r\nBaudRate=9600\r\n[Settings]\r\nKeyboardMode=1\r\n"
                               "ClipboardMode=0\r\nAutoConnect=0\r\nCR=0\r\nLF=1\r\n";
    h.policyKey.values = {Flag(L"ClipboardMode", 1), Flag(L"CR", 1), Text(L"BaudRate", L"57600"),
                          Text(L"Port", L"COM3"), Flag(L"LF", 7)};
    h.Create();

    EXPECT_TRUE(h.rbClipboard.checked);
    EXPECT_FALSE(h.rbKeyboard.checked);
    EXPECT_TRUE(h.chkCR.checked);
    EXPECT_TRUE(h.chkLF.checked) << "an ignored value leaves the file's";
    EXPECT_EQ(h.cmbBaudRate.Text(), L"57600");
    EXPECT_EQ(h.cmbPorts.Text(), L"COM3");
    EXPECT_FALSE(h.rbClipboard.enabled);
    EXPECT_FALSE(h.rbKeyboard.enabled);
    EXPECT_FALSE(h.chkCR.enabled);
    EXPECT_FALSE(h.cmbBaudRate.enabled);
    EXPECT_FALSE(h.cmbPorts.enabled);
    EXPECT_TRUE(h.chkLF.enabled);
    EXPECT_TRUE(h.chkAutoConnect.enabled);
    EXPECT_TRUE(h.MenuActiver.enabled);
    EXPECT_EQ(h.NewLogMessages(),
              (Lines{kStarted, L"Stratégie de groupe: valeur hors limites pour 'LF' - valeur ignorée",
                     L"Stratégie de groupe: paramètres imposés: Port, BaudRate, ClipboardMode, CR", kWatchOn}));
}

// A locked list stays disabled when a search ends; the free one comes back.
TEST(Policy, LockedPort_SearchStartsThereAndTheListStaysLockedAfterIt)
{
    MonitorHarness h;
    h.AddPort(L"COM1");
    h.AddPort(L"COM3");
    h.policyKey.values = {Text(L"Port", L"COM3")};
    h.Create();
    const Lines lines = h.NewLogMessages();
    EXPECT_NE(std::ranges::find(lines, L"Test du port COM3"), lines.end());
    EXPECT_EQ(std::ranges::find(lines, L"Test du port COM1"), lines.end());
    for (int i = 0; i < 200 && h.form.IsDetecting; ++i)
        h.RunFor(100); // COM3 times out; the search ends there
    ASSERT_FALSE(h.form.IsDetecting);
    EXPECT_FALSE(h.cmbPorts.enabled);
    EXPECT_TRUE(h.cmbBaudRate.enabled);
    EXPECT_TRUE(h.btnConnect.enabled);
}

TEST(Policy, EnabledLocked_MenuEntryGrayedAndItsCommandRefused)
{
    MonitorHarness h;
    h.policyKey.values = {Flag(L"Enabled", 0)};
    h.CreateIdle();
    EXPECT_FALSE(h.form.IsEnabled);
    EXPECT_EQ(h.MenuActiver.caption, L"Activer");
    EXPECT_FALSE(h.MenuActiver.enabled);
    h.Dispatch([&] { h.form.MenuActiverClick(); });
    EXPECT_FALSE(h.form.IsEnabled);
    EXPECT_TRUE(h.NewLogMessages().empty());
}

TEST(Policy, Change_AppliedAndLoggedOnce_UnchangedRefreshesSayNothing)
{
    MonitorHarness h;
    ASSERT_TRUE(h.StartConnected({L"COM3"}));
    h.Dispatch([&] { h.form.PolicyChanged(); });
    EXPECT_TRUE(h.NewLogMessages().empty()) << "no policy before, none now";

    h.policyKey.values = {Flag(L"CR", 0), Flag(L"Enabled", 1)};
    h.Dispatch([&] { h.form.PolicyChanged(); });
    EXPECT_EQ(h.NewLogMessages(), (Lines{L"Stratégie de groupe: paramètres imposés: Enabled, CR"}));
    EXPECT_FALSE(h.chkCR.checked);
    EXPECT_FALSE(h.chkCR.enabled);
    EXPECT_FALSE(h.cmbPorts.enabled) << "still connected: the busy layout";
    h.Dispatch([&] { h.form.PolicyChanged(); });
    EXPECT_TRUE(h.NewLogMessages().empty());

    // Disabling by policy does what the tray menu's Désactiver does.
    h.policyKey.values = {Flag(L"Enabled", 0)};
    h.Dispatch([&] { h.form.PolicyChanged(); });
    EXPECT_EQ(h.NewLogMessages(), (Lines{L"Stratégie de groupe: paramètres imposés: Enabled",
                                         L"VOR-TIKA Monitor désactivé", L"Connexion fermée"}));
    EXPECT_FALSE(h.form.IsConnected);
    EXPECT_TRUE(h.chkCR.enabled);
    EXPECT_FALSE(h.chkCR.checked) << "a value no longer set leaves its control as it stands";
    EXPECT_FALSE(h.MenuActiver.enabled);

    h.policyKey.values.clear();
    h.Dispatch([&] { h.form.PolicyChanged(); });
    EXPECT_EQ(h.NewLogMessages(), (Lines{L"Stratégie de groupe: aucun paramètre imposé"}));
    EXPECT_TRUE(h.MenuActiver.enabled);
    EXPECT_FALSE(h.form.IsEnabled);
}

// RestoreClipboard has no control: policy wins over the file's key, both ways.
TEST(Policy, RestoreClipboard_PolicyWinsOverTheFile)
{
    for (const bool policy : {false, true}) {
        SCOPED_TRACE(policy);
        MonitorHarness h;
        h.policyKey.values = {Flag(L"RestoreClipboard", policy ? 1 : 0)};
        h.CreateIdle();
        h.form.RestoreClipboard = !policy;
        h.Dispatch([&] { h.form.PasteViaClipboard(L"A1"); });
        EXPECT_EQ(std::ranges::count(h.clipboard.ops, std::string("Save")), policy ? 1 : 0);
    }
}
