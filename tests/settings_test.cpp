#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <vector>

#include "tests/fakes/ini_file.h"
#include "tests/fakes/monitor_harness.h"

namespace {

const std::wstring kIni = L"C:\\ProgramData\\VORTIKA\\VORTikaMonitor.ini";

// Start-up with the settings file holding text (cp1252 bytes) and the given ports.
void StartWith(MonitorHarness& h, const std::string& text, const Lines& ports = {})
{
    for (const auto& p : ports)
        h.AddPort(p);
    h.fileSystem.files[kIni] = text;
    h.Create();
}

std::wstring Saved(MonitorHarness& h, const wchar_t* section, const wchar_t* key)
{
    return IniReadValue(h.profile.Text(kIni), section, key).value_or(L"<none>");
}

TEST(Settings, FirstStartWithoutFile_KeepsTheDefaults)
{
    MonitorHarness h;
    h.AddPort(L"COM1");
    h.AddPort(L"COM2");
    h.Create();
    EXPECT_TRUE(h.form.IsEnabled);
    EXPECT_TRUE(h.rbKeyboard.checked);
    EXPECT_FALSE(h.rbClipboard.checked);
    EXPECT_TRUE(h.chkCR.checked);
    EXPECT_FALSE(h.chkLF.checked);
    EXPECT_TRUE(h.chkAutoConnect.checked);
    EXPECT_EQ(h.cmbPorts.Text(), L"COM1");
    EXPECT_EQ(h.cmbBaudRate.Text(), L"9600");
    EXPECT_EQ(h.MenuActiver.caption, L"Désactiver");
    EXPECT_FALSE(h.fileSystem.FileExists(kIni));
}

// A link in the settings file's place (another user's) steers neither the reads nor the writes.
TEST(Settings, LinkInPlaceOfTheFile_DefaultsKept_NothingSaved_SaidOnce)
{
    MonitorHarness h;
    h.fileSystem.reparsePoints.insert(kIni);
    StartWith(h, "[Settings]\r\nEnabled=0\r\n");
    EXPECT_TRUE(h.form.IsEnabled);
    h.form.SaveSettings();
    h.Destroy();
    EXPECT_EQ(h.fileSystem.files[kIni], "[Settings]\r\nEnabled=0\r\n");
    const auto messages = h.LogMessages();
    EXPECT_EQ(std::count(messages.begin(), messages.end(), L"Paramètres ignorés: " + kIni + L" est un lien"), 1);
}

TEST(Settings, EnabledZero_StartsDisabledWithActiverAndGreyGlyph)
{
    MonitorHarness h;
    StartWith(h, "[Settings]\r\nEnabled=0\r\nAutoConnect=0\r\n");
    EXPECT_FALSE(h.form.IsEnabled);
    EXPECT_EQ(h.MenuActiver.caption, L"Activer");
    EXPECT_EQ(h.TrayIcon1.icon.Pixels.front(), 0xFF808080u);
}

TEST(Settings, RadioGroup_FourCombinationsAndWhatTheNextSaveWrites)
{
    struct Case {
        const char* keyboard;
        const char* clipboard;
        bool rbKeyboard, rbClipboard;
    } const cases[] = {
        {"1", "0", true, false}, {"0", "1", false, true}, {"1", "1", false, true}, {"0", "0", false, false}};
    for (const auto& c : cases) {
        MonitorHarness h;
        StartWith(h, std::string("[Settings]\r\nAutoConnect=0\r\nKeyboardMode=") + c.keyboard +
                         "\r\nClipboardMode=" + c.clipboard + "\r\n");
        EXPECT_EQ(h.rbKeyboard.checked, c.rbKeyboard) << c.keyboard << c.clipboard;
        EXPECT_EQ(h.rbClipboard.checked, c.rbClipboard) << c.keyboard << c.clipboard;
        h.Destroy();
        EXPECT_EQ(Saved(h, L"Settings", L"KeyboardMode"), c.rbKeyboard ? L"1" : L"0");
        EXPECT_EQ(Saved(h, L"Settings", L"ClipboardMode"), c.rbClipboard ? L"1" : L"0");
    }
}

TEST(Settings, SavedPort_SelectedOnlyWhenExactlyEqual)
{
    const std::pair<const char*, const wchar_t*> cases[] = {
        {"COM3", L"COM3"},   {" COM3 ", L"COM3"}, {"\"COM3\"", L"COM3"}, {"com3", L"COM1"},
        {"COM3 x", L"COM1"}, {"COM9", L"COM1"},   {"", L"COM1"}};
    for (const auto& [value, selected] : cases) {
        MonitorHarness h;
        StartWith(h, std::string("[Connection]\r\nPort=") + value + "\r\n[Settings]\r\nAutoConnect=0\r\n",
                  {L"COM1", L"COM3"});
        EXPECT_EQ(h.cmbPorts.Text(), selected) << value;
        h.Destroy();
        EXPECT_EQ(Saved(h, L"Connection", L"Port"), selected) << value;
    }
}

TEST(Settings, SavedSpeed_SelectedOnlyWhenInTheList)
{
    const std::pair<const char*, const wchar_t*> cases[] = {
        {"115200", L"115200"}, {"38400", L"38400"},  {" 57600 ", L"57600"}, {"14400", L"9600"},
        {"019200", L"9600"},   {"19200.0", L"9600"}, {"", L"9600"}};
    for (const auto& [value, selected] : cases) {
        MonitorHarness h;
        StartWith(h, std::string("[Connection]\r\nBaudRate=") + value + "\r\n[Settings]\r\nAutoConnect=0\r\n");
        EXPECT_EQ(h.cmbBaudRate.Text(), selected) << value;
    }
}

TEST(Settings, BooleanKeys_ParsedOrDefaultKeyByKey)
{
    MonitorHarness h;
    StartWith(h, "[Settings]\r\nEnabled=abc\r\nKeyboardMode=yes\r\nAutoConnect=0x0\r\nCR= 0 \r\nLF=-1\r\n");
    EXPECT_TRUE(h.form.IsEnabled);
    EXPECT_TRUE(h.rbKeyboard.checked);
    EXPECT_FALSE(h.chkAutoConnect.checked);
    EXPECT_FALSE(h.chkCR.checked);
    EXPECT_TRUE(h.chkLF.checked);
    EXPECT_EQ(h.MenuActiver.caption, L"Désactiver");
}

TEST(Settings, NamesInAnyCase_AreReadAndRewrittenInPlace)
{
    MonitorHarness h;
    StartWith(h, "[CONNECTION]\r\nport=COM3\r\n[settings]\r\nautoconnect=0\r\nlf=1\r\n", {L"COM1", L"COM3"});
    EXPECT_EQ(h.cmbPorts.Text(), L"COM3");
    EXPECT_TRUE(h.chkLF.checked);
    h.Destroy();
    EXPECT_EQ(h.fileSystem.files[kIni], "[CONNECTION]\r\nport=COM3\r\nBaudRate=9600\r\n[settings]\r\nautoconnect=0\r\n"
                                        "lf=1\r\nEnabled=1\r\nKeyboardMode=1\r\nClipboardMode=0\r\nCR=1\r\n");
}

TEST(Settings, FileFromScratch_HoldsTheControlsOfTheMomentInKeyOrder)
{
    MonitorHarness h;
    h.AddPort(L"COM3");
    h.Create();
    h.rbClipboard.SetChecked(true);
    h.chkLF.checked = true;
    h.cmbBaudRate.SetItemIndex(2);
    h.Destroy();
    EXPECT_EQ(h.fileSystem.files[kIni], "[Connection]\r\nPort=COM3\r\nBaudRate=38400\r\n[Settings]\r\nEnabled=1\r\n"
                                        "KeyboardMode=0\r\nClipboardMode=1\r\nAutoConnect=1\r\nCR=1\r\nLF=1\r\n");
    EXPECT_EQ(h.profile.flushes, 1);
    EXPECT_TRUE(h.toolkit.errorReports.empty());
}

TEST(Settings, LinesTheProgramDoesNotUse_SurviveASave)
{
    MonitorHarness h;
    const std::string before = "; r\xE9glages du poste\r\n[Connection]\r\nPort=COM1\r\nNote=garder\r\n\r\n"
                               "[Autre]\r\nCl\xE9=valeur\r\n[Settings]\r\nAutoConnect=0\r\n";
    StartWith(h, before, {L"COM1"});
    h.Destroy();
    EXPECT_EQ(h.fileSystem.files[kIni],
              "; r\xE9glages du poste\r\n[Connection]\r\nPort=COM1\r\nNote=garder\r\n"
              "BaudRate=9600\r\n\r\n[Autre]\r\nCl\xE9=valeur\r\n[Settings]\r\n"
              "AutoConnect=0\r\nEnabled=1\r\nKeyboardMode=1\r\nClipboardMode=0\r\nCR=1\r\nLF=0\r\n");
}

TEST(Settings, NoPortAtAll_SavesAnEmptyPortThatSelectsNothingNextTime)
{
    MonitorHarness first;
    first.Create();
    first.Destroy();
    EXPECT_EQ(Saved(first, L"Connection", L"Port"), L"");
    const std::string file = first.fileSystem.files[kIni];
    ASSERT_EQ(file.rfind("[Connection]\r\nPort=\r\n", 0), 0u);

    MonitorHarness next;
    StartWith(next, file);
    EXPECT_EQ(next.cmbPorts.ItemIndex(), -1);
    EXPECT_TRUE(next.toolkit.errorReports.empty());
}

TEST(Settings, RefusedWrite_ReportsThePathAndWritesNothingAfterIt)
{
    struct Case {
        const char* name;
        std::function<void(MonitorHarness&)> refuse;
        Lines written;
    } const cases[] = {
        {"read-only file", [](MonitorHarness& h) { h.fileSystem.readOnly.insert(kIni); }, {}},
        {"folder gone", [](MonitorHarness& h) { h.fileSystem.RemoveDirectory(L"C:\\ProgramData\\VORTIKA"); }, {}},
        {"fourth key",
         [](MonitorHarness& h) { h.profile.refusedKeys.insert(L"ClipboardMode"); },
         {L"Port", L"BaudRate", L"Enabled", L"KeyboardMode"}},
    };
    for (const auto& c : cases) {
        MonitorHarness h;
        StartWith(h, "[Settings]\r\nAutoConnect=0\r\n");
        c.refuse(h);
        h.Destroy();
        EXPECT_EQ(h.toolkit.errorReports,
                  Lines{L"Impossible d'écrire dans C:\\ProgramData\\VORTIKA\\VORTikaMonitor.ini."})
            << c.name;
        EXPECT_EQ(h.profile.writes, c.written) << c.name;
        EXPECT_EQ(h.profile.flushes, 0) << c.name;
    }
}

TEST(Settings, ValuesLongerThan2047Characters_AreCut)
{
    const std::wstring port(2047, L'P');
    for (const std::string extra : {"", "X"}) {
        MonitorHarness h;
        StartWith(h, "[Connection]\r\nPort=" + std::string(2047, 'P') + extra + "\r\n[Settings]\r\nAutoConnect=0\r\n",
                  {L"COM1", port, port + L"X"});
        EXPECT_EQ(h.cmbPorts.ItemIndex(), 1) << "only the first 2047 characters are seen";
    }
}

} // namespace
