// The data path: the 100 ms poll gathers what the port holds into a burst, and the first empty
// tick after a quiet gap of more than 200 ms logs it, shows it and hands it to delivery.
#include "monitor/Unit1.h"
#include "monitor/handshake.h"

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
        // A try on the device's port stays quiet until the device answers.
        if (tryingDevicePort_ && !HoldsHandshakeReply(DataBuffer)) {
            DataBuffer.clear();
            return;
        }
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

    // Delivered now when nothing holds it, otherwise in turn (delivery.cpp); the options in force
    // at delivery apply to the whole burst.
    TakeBurst();
    DeliverPendingBursts(false);
}

// The burst is received: logged, shown, and queued for delivery.
void TForm1::TakeBurst()
{
    AddLog(L"Reçu: " + DataBuffer);
    ShowLastData(DataBuffer);
    pendingBursts_.push_back({DataBuffer, platform_.clock.GetTickCount()});
    DataBuffer.clear();
}

void TForm1::ShowLastData(const std::wstring& text)
{
    memoLastData.Clear();
    memoLastData.AddLine(L"Dernières données reçues:");
    memoLastData.AddLine(text);
}
