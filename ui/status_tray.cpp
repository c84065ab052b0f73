#include "app/Unit1.h"

// Placeholder bodies until the status line and tray glyph land.
void TForm1::UpdateStatus(const std::wstring& text) { lblStatus.SetCaption(L"Etat: " + text); }
void TForm1::InitTrayIcon() { TrayIcon1.SetHint(L"VOR-TIKA Monitor"); }
void TForm1::UpdateTrayIcon() {}
