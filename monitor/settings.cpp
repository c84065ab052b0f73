// The settings file: read once at start-up over the defaults, written from the controls at every
// save. A refused write is an error the monitor does not catch: it reaches the error report.
#include <algorithm>
#include <vector>

#include "monitor/Unit1.h"
#include "storage/profile_bool.h"
#include "ui/errors.h"

namespace {

// Text values are read through a buffer of this many characters, terminator included.
constexpr std::size_t kValueBufferChars = 2048;

} // namespace

// A link in the settings file's place (another user's) would steer the reads and the writes: the
// monitor keeps its defaults and saves nothing, and says so once.
bool TForm1::SettingsFileIsLink()
{
    if (!platform_.fileSystem.IsReparsePoint(ConfigFile))
        return false;
    if (!settingsLinkReported_)
        AddLog(L"Paramètres ignorés: " + ConfigFile + L" est un lien");
    settingsLinkReported_ = true;
    return true;
}

// Neither read nor written when its open shows rights of its own or other names (another user's
// file): the defaults hold as with a missing file, a save writes nothing, the event log says so
// once.
SharedFileAccess TForm1::SettingsFileAccess(bool create)
{
    const SharedFileAccess access = platform_.fileSystem.CheckSharedFile(ConfigFile, create);
    if (access == SharedFileAccess::OwnRights || access == SharedFileAccess::HardLinked)
        ReportFileOnce(ConfigFile, L"Paramètres ignorés: " + ConfigFile + RefusalReason(access));
    return access;
}

void TForm1::LoadSettings()
{
    if (!dataFolderRefused_ && !SettingsFileIsLink() && SettingsFileAccess(false) == SharedFileAccess::Done) {
        ProfileStore& ini = platform_.profile;
        const auto text = [&](const wchar_t* section, const wchar_t* key, const wchar_t* def) {
            return ini.GetString(section, key, def, kValueBufferChars, ConfigFile);
        };
        const auto flag = [&](const wchar_t* key, bool def) {
            return ParseProfileBool(text(L"Settings", key, L""), def);
        };

        const std::wstring port = text(L"Connection", L"Port", L"");
        const std::wstring speed = text(L"Connection", L"BaudRate", L"9600");
        IsEnabled = flag(L"Enabled", true);
        // One radio group: checking clipboard mode after keyboard mode unchecks the latter.
        rbKeyboard.SetChecked(flag(L"KeyboardMode", true));
        rbClipboard.SetChecked(flag(L"ClipboardMode", false));
        chkAutoConnect.SetChecked(flag(L"AutoConnect", true));
        chkCR.SetChecked(flag(L"CR", true));
        chkLF.SetChecked(flag(L"LF", false));
        // Set by hand or by deployment, never written: saves keep the file's eight keys.
        RestoreClipboard = flag(L"RestoreClipboard", false);
        LayoutKeys = flag(L"LayoutKeys", false);

        if (!port.empty())
            SelectExact(cmbPorts, port);
        // The port of the last connection: tried again while the device does not answer.
        RememberDevicePort(port);
        SelectExact(cmbBaudRate, speed);
    }
    MenuActiver.SetCaption(IsEnabled ? L"Désactiver" : L"Activer");
}

void TForm1::SaveSettings()
{
    if (dataFolderRefused_ || SettingsFileIsLink())
        return;
    // Created by this open when missing, so that no other user's file can take its place before
    // the first write. Another user's file is left alone; one that cannot be opened is refused as
    // its first write would be.
    const SharedFileAccess access = SettingsFileAccess(true);
    if (access == SharedFileAccess::OwnRights || access == SharedFileAccess::HardLinked)
        return;
    if (access != SharedFileAccess::Done)
        throw MonitorError(L"Impossible d'écrire dans " + ConfigFile);
    const auto write = [&](const wchar_t* section, const wchar_t* key, const std::wstring& value) {
        if (!platform_.profile.WriteString(section, key, value, ConfigFile))
            throw MonitorError(L"Impossible d'écrire dans " + ConfigFile);
    };
    const auto flag = [](bool b) { return std::wstring(b ? L"1" : L"0"); };

    write(L"Connection", L"Port", cmbPorts.Text());
    write(L"Connection", L"BaudRate", cmbBaudRate.Text());
    write(L"Settings", L"Enabled", flag(IsEnabled));
    write(L"Settings", L"KeyboardMode", flag(rbKeyboard.Checked()));
    write(L"Settings", L"ClipboardMode", flag(rbClipboard.Checked()));
    write(L"Settings", L"AutoConnect", flag(chkAutoConnect.Checked()));
    write(L"Settings", L"CR", flag(chkCR.Checked()));
    write(L"Settings", L"LF", flag(chkLF.Checked()));
    platform_.profile.Flush(ConfigFile);
}
