// The layout table and its arithmetic (see form_layout.h).
#include "ui/form_layout.h"

#include <algorithm>
#include <cstdint>
#include <stdexcept>

#include "ui/shell_ids.h"

namespace {
constexpr int kGroupLeft = 16;
constexpr int kGroupTop = 54;
} // namespace

// clang-format off
const std::array<ControlSpec, 14> kFormLayout = {{
    {L"btnConnect",     kBtnConnectId,     ControlKind::PushButton,   L"Connecter",                    441, 32,  75,  25,  true,  true,  false},
    {L"btnDisconnect",  kBtnDisconnectId,  ControlKind::PushButton,   L"Déconnecter",                  526, 32,  75,  25,  true,  false, false},
    {L"cmbPorts",       kCmbPortsId,       ControlKind::DropDownList, L"",                             72,  5,   113, 21,  true,  true,  false},
    {L"cmbBaudRate",    kCmbBaudRateId,    ControlKind::DropDownList, L"",                             244, 5,   145, 21,  true,  true,  false},
    {L"rbKeyboard",     kRbKeyboardId,     ControlKind::RadioButton,  L"Simulation clavier",           16,  31,  201, 16,  true,  true,  false},
    {L"memoLastData",   kMemoLastDataId,   ControlKind::Memo,         L"",                             16,  96,  592, 170, true,  true,  false},
    {L"rbClipboard",    kRbClipboardId,    ControlKind::RadioButton,  L"Copier/Coller",                223, 31,  98,  16,  false, true,  false},
    {L"chkAutoConnect", kChkAutoConnectId, ControlKind::CheckBox,     L"Connexion automatique",        441, 72,  137, 17,  true,  true,  false},
    {L"GroupBox1",      kGroupBox1Id,      ControlKind::GroupBox,     L"Configuration fin de lecture", kGroupLeft, kGroupTop, 401, 38, false, true, false},
    {L"chkCR",          kChkCRId,          ControlKind::CheckBox,     L"CR - ASCII 13",                21,  17,  188, 17,  true,  true,  true},
    {L"chkLF",          kChkLFId,          ControlKind::CheckBox,     L"LF - ASCII 10",                224, 16,  97,  17,  true,  true,  true},
    {L"lblPort",        kLblPortId,        ControlKind::Label,        L"Port COM:",                    16,  10,  50,  13,  false, true,  false},
    {L"lblBaudRate",    kLblBaudRateId,    ControlKind::Label,        L"Vitesse:",                     200, 10,  38,  13,  false, true,  false},
    {L"lblStatus",      kLblStatusId,      ControlKind::Label,        L"Etat: Déconnecté",             16,  275, 84,  13,  false, true,  false},
}};
// clang-format on

const ControlSpec& ControlById(int id)
{
    const auto entry = std::ranges::find(kFormLayout, id, &ControlSpec::Id);
    if (entry == kFormLayout.end())
        throw std::out_of_range("no control with this id");
    return *entry;
}

int ScaleForDpi(int value, int dpi)
{
    const std::int64_t product = static_cast<std::int64_t>(value) * dpi;
    const std::int64_t half = kDesignDpi / 2;
    const std::int64_t scaled = product >= 0 ? (product + half) / kDesignDpi : -((-product + half) / kDesignDpi);
    return static_cast<int>(scaled);
}

// The whole designed rectangle is scaled edge by edge, so neighbours that touch
// at 96 DPI still touch at any scale.
PixelRect ControlRect(const ControlSpec& entry, int dpi)
{
    int left = entry.Left;
    int top = entry.Top;
    if (entry.InGroupBox) {
        left += kGroupLeft;
        top += kGroupTop;
    }
    const int x0 = ScaleForDpi(left, dpi);
    const int y0 = ScaleForDpi(top, dpi);
    const int x1 = ScaleForDpi(left + entry.Width, dpi);
    const int y1 = ScaleForDpi(top + entry.Height, dpi);
    return {x0, y0, x1 - x0, y1 - y0};
}

int CaptionedWidth(int scaledWidth, int boxWidth, int textWidth, int dpi)
{
    const int needed = boxWidth + ScaleForDpi(8, dpi) + textWidth;
    return needed > scaledWidth ? needed : scaledWidth;
}

PixelPoint CentreInWorkArea(const PixelRect& workArea, int width, int height)
{
    int x = workArea.Left + (workArea.Width - width) / 2;
    int y = workArea.Top + (workArea.Height - height) / 2;
    if (x < workArea.Left)
        x = workArea.Left;
    if (y < workArea.Top)
        y = workArea.Top;
    return {x, y};
}
