// The status line and the tray icon's colour and tip, derived from the state at each call.
#include "monitor/Unit1.h"
#include "ui/status_glyph.h"

namespace {
constexpr RgbColour kGrey{128, 128, 128};
constexpr RgbColour kGreen{0, 128, 0};
constexpr RgbColour kRed{255, 0, 0};
constexpr int kTrayGlyphSize = 32;
} // namespace

void TForm1::UpdateStatus(const std::wstring& text)
{
    lblStatus.SetCaption(L"Etat: " + text);
}

void TForm1::InitTrayIcon()
{
    TrayIcon1.SetIcon(CreateStatusIcon(kGrey, kTrayGlyphSize));
    TrayIcon1.SetHint(L"VOR-TIKA Monitor");
}

// Disabled is tested first so that a disabled monitor is always grey, even
// in the moment before a connection has been closed.
void TForm1::UpdateTrayIcon()
{
    RgbColour colour;
    std::wstring hint;
    if (!IsEnabled) {
        hint = L"VOR-TIKA Monitor - Désactivé";
        colour = kGrey;
    } else if (IsConnected) {
        hint = L"VOR-TIKA Monitor - Connecté à " + cmbPorts.Text();
        colour = kGreen;
    } else {
        hint = L"VOR-TIKA Monitor - Déconnecté";
        colour = kRed;
    }
    TrayIcon1.SetIcon(CreateStatusIcon(colour, kTrayGlyphSize));
    TrayIcon1.SetHint(hint);
}
