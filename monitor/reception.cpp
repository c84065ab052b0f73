// The data path: the 100 ms poll gathers what the port holds into a burst, and the first empty
// tick after a quiet gap of more than 200 ms delivers it, typed or pasted, to the application in
// front, or says in the log why it could not be delivered.
#include "input/keystrokes.h"
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

    AddLog(L"Reçu: " + DataBuffer);
    ShowLastData(DataBuffer);
    // Keys typed into our own window or menu would click its buttons and run its entries;
    // with nobody in front, a paste would only overwrite the user's clipboard.
    if (const wchar_t* reason = WhyInputCannotBeDelivered()) {
        AddLog(reason);
        ReportToEventLog(EventKind::BurstNotDelivered, {reason});
        DataBuffer.clear();
        return;
    }
    // The options are read now, so those in force at delivery apply to the whole burst.
    TypingOutcome typed;
    if (rbKeyboard.Checked())
        typed += SendKeystrokes(platform_.keyboard, platform_.clock, DataBuffer);
    else if (rbClipboard.Checked())
        PasteViaClipboard(DataBuffer);
    if (chkCR.Checked())
        typed += SendKeystrokes(platform_.keyboard, platform_.clock, std::wstring(1, L'\r'));
    if (chkLF.Checked())
        typed += SendKeystrokes(platform_.keyboard, platform_.clock, std::wstring(1, L'\n'));
    // Windows refuses input to an application with higher rights and does not say why.
    if (typed.Refused > 0) {
        AddLog(L"Données transmises en partie: Windows a refusé " + std::to_wstring(typed.Refused) + L" des " +
               std::to_wstring(typed.Events) +
               L" événements clavier (application au premier plan exécutée avec plus de droits ?)");
        ReportToEventLog(EventKind::BurstDeliveredInPart,
                         {std::to_wstring(typed.Refused), std::to_wstring(typed.Events)});
    }
    DataBuffer.clear();
}

const wchar_t* TForm1::WhyInputCannotBeDelivered()
{
    switch (platform_.inputFocus.Target()) {
    case InputTarget::OtherApplication:
        return nullptr;
    case InputTarget::ThisProgram:
        return L"Données non transmises: la fenêtre au premier plan est celle de VOR-TIKA Monitor";
    case InputTarget::Nobody:
        return L"Données non transmises: aucune application au premier plan (session verrouillée ou bureau sécurisé)";
    }
    return nullptr;
}

void TForm1::ShowLastData(const std::wstring& text)
{
    memoLastData.Clear();
    memoLastData.AddLine(L"Dernières données reçues:");
    memoLastData.AddLine(text);
}
