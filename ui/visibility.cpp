#include "app/Unit1.h"

// Placeholder bodies until the window's show and hide land.
void TForm1::HideToTray() { Window.Hide(); }
void TForm1::ShowFromTray() { Window.Show(); }
void TForm1::FormClose() { HideToTray(); }
void TForm1::TrayIcon1Click() {}
void TForm1::MenuActiverClick() {}
void TForm1::MenuAfficherClick() { ShowFromTray(); }
void TForm1::MenuQuitterClick()
{
    Disconnect();
    App.Terminate();
}
