// Bursts go out in the order they came, each at once when nothing holds it. A burst waits, without
// blocking the loop, while the operator holds Shift, Ctrl, Alt or a Windows key (they would turn
// its keys into shortcuts), while a menu is open in front, while nobody is in front for a moment,
// and in clipboard mode until a program has read the last paste (a busy target reads it late, and
// a new text would overtake it). It is refused with one line when it cannot reach an application;
// a connection that closes delivers what it can and names the text of what it cannot.
#include "input/delivery_rule.h"
#include "monitor/Unit1.h"

namespace {

std::wstring RefusalLine(BurstAction action, const std::wstring& text)
{
    switch (action) {
    case BurstAction::RefuseThisProgram:
        // Keys typed into our own window or menu would click its buttons and run its entries.
        return L"Données non transmises: la fenêtre au premier plan est celle de VOR-TIKA Monitor";
    case BurstAction::RefuseShell:
        return L"Données non transmises: la fenêtre au premier plan est le bureau ou la barre des tâches";
    case BurstAction::RefuseShellHost:
        // Start's or Search's box runs what Enter finds; Task View and Alt+Tab switch windows.
        return L"Données non transmises: la fenêtre au premier plan est le menu Démarrer, la recherche, "
               L"l'affichage des tâches ou une fenêtre de l'Explorateur";
    case BurstAction::RefuseHigherRights:
        // Windows drops keys sent to higher rights, and may still report them sent.
        return L"Données non transmises: l'application au premier plan est exécutée en tant qu'administrateur";
    case BurstAction::RefuseMenu:
        return L"Données non transmises: un menu est ouvert au premier plan depuis 10 s";
    case BurstAction::RefuseNobody:
        // With nobody in front, a paste would only overwrite the user's clipboard.
        return L"Données non transmises: aucune application au premier plan (session verrouillée ou bureau sécurisé)";
    case BurstAction::RefuseModifierKeys:
        return L"Données non transmises: touche Maj, Ctrl, Alt ou Windows enfoncée depuis 10 s";
    case BurstAction::RefuseOnClose:
    case BurstAction::Deliver:
    case BurstAction::Wait:
        break;
    }
    return L"Données non transmises (fermeture de la connexion): " + text;
}

} // namespace

void TForm1::TimerDeliveryTimer()
{
    DeliverPendingBursts(false);
}

void TForm1::DeliverPendingBursts(bool closing)
{
    for (;;) {
        CheckPasteRead();
        if (pendingBursts_.empty())
            break;
        BurstConditions now;
        now.Target = platform_.inputFocus.Target();
        now.ModifierKeysDown = platform_.keyboard.ModifierKeysDown();
        now.PasteUnread = !rbKeyboard.Checked() && rbClipboard.Checked() && pasteAwaitingRead_.has_value();
        now.WaitedMs = platform_.clock.GetTickCount() - pendingBursts_.front().ReceivedAt;
        now.Closing = closing;
        const BurstAction action = DecideBurst(now);
        if (action == BurstAction::Wait)
            break;
        const std::wstring text = std::move(pendingBursts_.front().Text);
        pendingBursts_.pop_front();
        if (action == BurstAction::Deliver) {
            DeliverBurst(text);
            continue;
        }
        const std::wstring reason = RefusalLine(action, text);
        AddLog(reason);
        ReportToEventLog(EventKind::BurstNotDelivered, {reason});
    }
    DropSavedClipboardIfChanged();
    if (clipboardSaved_ && !restoreWaitsForRead_ && !pasteAwaitingRead_ && pendingBursts_.empty())
        PutBackClipboard();
    ArmDeliveryTimerWhileWaiting();
}

// Every path that closes the connection comes here first: the burst still gathering is received
// now, and nothing waits any more.
void TForm1::DeliverBeforeClosing()
{
    if (!DataBuffer.empty())
        TakeBurst();
    DeliverPendingBursts(true);
}

void TForm1::DeliverBurst(const std::wstring& text)
{
    TypingOutcome typed;
    if (rbKeyboard.Checked()) {
        // The layout in front is looked up once per burst; the Enter keys after it need none.
        KeyboardLayout* layout =
            PolicyLayoutKeys().value_or(LayoutKeys) ? &platform_.keyboard.LayoutInFront() : nullptr;
        typed += SendKeystrokes(platform_.keyboard, platform_.clock, text, layout);
    } else if (rbClipboard.Checked())
        typed += PasteViaClipboard(text);
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
}

// The target reads the clipboard when its loop reaches the Ctrl+V; until then the paste is ours
// to keep. Past the bound, or once another program took the clipboard, it is given up.
void TForm1::CheckPasteRead()
{
    if (!pasteAwaitingRead_)
        return;
    switch (platform_.clipboard.PlacedTextState()) {
    case PlacedText::Read:
        if (const ClipboardReader reader = platform_.clipboard.PlacedTextReader(); ReadByAnotherProgram(reader)) {
            // When the target reads it is unknown now: putting the copy back could come first.
            AddLog(L"Données lues dans le Presse-papiers par un autre programme avant l'application (" +
                   reader.ReaderProgram + L"): " + pasteAwaitingRead_->Text);
            restoreWaitsForRead_ = true;
        } else {
            restoreWaitsForRead_ = false;
        }
        pasteAwaitingRead_.reset();
        return;
    case PlacedText::Replaced:
        NoteUnconfirmedPaste(L"Données peut-être non collées (Presse-papiers remplacé avant d'être lu): " +
                             pasteAwaitingRead_->Text);
        // Another program's text is not ours to replace.
        DropSavedClipboard();
        break;
    case PlacedText::Unread:
        if (platform_.clock.GetTickCount() - pasteAwaitingRead_->PastedAt < kPasteReadWaitMs)
            return;
        NoteUnconfirmedPaste(L"Données peut-être non collées (Presse-papiers non lu après 5 s): " +
                             pasteAwaitingRead_->Text);
        // A late reader must still find the burst; the operator's copy stays kept aside.
        restoreWaitsForRead_ = true;
        break;
    }
    pasteAwaitingRead_.reset();
}

void TForm1::NoteUnconfirmedPaste(const std::wstring& line)
{
    AddLog(line);
    ReportToEventLog(EventKind::BurstNotDelivered, {line});
}

void TForm1::ArmDeliveryTimerWhileWaiting()
{
    if (!pendingBursts_.empty() || pasteAwaitingRead_ || (clipboardSaved_ && !restoreWaitsForRead_))
        TimerDelivery.Arm();
    else
        TimerDelivery.Stop();
}
