// Showing and hiding the window from the tray, the close that only hides, and the tray menu's
// three commands. Hidden means transparent, off screen and without the taskbar entry.
#include "monitor/Unit1.h"

// Hidden means transparent, off screen, shrunk and without the taskbar entry,
// which belongs to the application window and so is hidden with it.
void TForm1::HideToTray()
{
    Window.SetFixedBorder();
    Window.SetOpacity(0);
    Window.SetWindowPos(-10000, -10000, 0, 0, kSwpNoZOrder | kSwpNoActivate);
    Window.Hide();
    Window.ShowApplicationWindow(kSwHide);
}

void TForm1::ShowFromTray()
{
    Window.SetFixedBorder();
    Window.SetOpacity(255);
    // HideToTray shrank the window to nothing.
    Window.SetDesignedClientSize();
    Window.SetWindowPos(0, 0, 0, 0, kSwpShowWindow | kSwpNoZOrder | kSwpNoMove | kSwpNoSize);
    // The toolkit centres only once per request, so ask again on every show.
    Window.RequestCentring();
    Window.Show();
    Window.ShowApplicationWindow(kSwRestore);
    Window.SetNormalState();
    Window.BringApplicationToFront();
    Window.SetForegroundWindow();
}

// Closing only hides: the program ends through the tray menu alone.
void TForm1::FormClose()
{
    HideToTray();
}

void TForm1::TrayIcon1Click()
{
    if (Window.Visible())
        HideToTray();
    else
        ShowFromTray();
}

// Disabling closes a connection but lets a running search run out; enabling
// starts nothing by itself.
void TForm1::MenuActiverClick()
{
    // Locked by machine policy: the entry is grayed, and a command that comes all the same does nothing.
    if (Policy().enabled)
        return;
    SetMonitorEnabled(!IsEnabled);
}

void TForm1::SetMonitorEnabled(bool enabled)
{
    IsEnabled = enabled;
    if (IsEnabled) {
        MenuActiver.SetCaption(L"Désactiver");
        AddLog(L"VOR-TIKA Monitor activé");
    } else {
        MenuActiver.SetCaption(L"Activer");
        AddLog(L"VOR-TIKA Monitor désactivé");
        StopDevicePortTries();
        if (IsConnected)
            Disconnect();
    }
    UpdateTrayIcon();
    SaveSettings();
}

void TForm1::MenuAfficherClick()
{
    ShowFromTray();
}

void TForm1::MenuQuitterClick()
{
    Disconnect();
    App.Terminate();
}
