#include "input/keystrokes.h"
#include "monitor/Unit1.h"

namespace {
// The device is taken to have finished a burst after this long without text.
constexpr std::uint32_t kQuietGapMs = 200;
} // namespace

void TForm1::Timer1Timer()
{
    if (!IsConnected && !IsDetecting)
        return;
    if (!rbKeyboard.Checked() && !rbClipboard.Checked()) {
        AddLog(L"Timer: Aucun mode sélectionné");
        return;
    }
    if (!IsEnabled) {
        AddLog(L"Timer: Application désactivée");
        return;
    }

    const std::wstring chunk = ReadSerialData();
    if (!chunk.empty()) {
        DataBuffer += chunk;
        LastDataTime = platform_.clock.GetTickCount();
        AddLog(L"Données ajoutées au buffer: " + chunk);
        if (IsDetecting)
            CheckHandshakeReply();
        return; // a tick that brings text never delivers, however late it came
    }

    // Unsigned 32-bit difference: stays right when the tick count wraps after ~49.7 days.
    const std::uint32_t elapsed = platform_.clock.GetTickCount() - LastDataTime;
    if (!DataBuffer.empty() && elapsed > kQuietGapMs)
        ProcessBufferedData();
}

void TForm1::ProcessBufferedData()
{
    if (IsDetecting) {
        AddLog(L"ProcessBufferedData ignoré en mode détection");
        DataBuffer.clear();
        return;
    }
    if (DataBuffer.empty())
        return;

    AddLog(L"Reçu: " + DataBuffer);
    ShowLastData(DataBuffer);
    // The options are read now, so those in force at delivery apply to the whole burst.
    if (rbKeyboard.Checked())
        SendKeystrokes(platform_.keyboard, platform_.clock, DataBuffer);
    else if (rbClipboard.Checked())
        PasteViaClipboard(DataBuffer);
    if (chkCR.Checked())
        SendKeystrokes(platform_.keyboard, platform_.clock, std::wstring(1, L'\r'));
    if (chkLF.Checked())
        SendKeystrokes(platform_.keyboard, platform_.clock, std::wstring(1, L'\n'));
    DataBuffer.clear();
}

void TForm1::ShowLastData(const std::wstring& text)
{
    memoLastData.Clear();
    memoLastData.AddLine(L"Dernières données reçues:");
    memoLastData.AddLine(text);
}
