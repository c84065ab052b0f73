// Clipboard mode: the burst placed on the clipboard as Unicode text (a busy clipboard tried again
// for about 100 ms, kept out of clipboard history and clipboard managers, handed over when a program
// reads it), then Ctrl+V; every failure ends in one line. With RestoreClipboard the operator's own
// contents are kept aside first and put back once the target has read the burst.
#include <optional>

#include "monitor/Unit1.h"

namespace {

// The system's message ends with a full stop and CR LF; both would break the log line.
std::wstring TrimSystemText(std::wstring text)
{
    while (!text.empty() && (static_cast<std::uint32_t>(text.back()) <= 32 || text.back() == L'.'))
        text.pop_back();
    return text;
}

// Clipboard history, remote-desktop sharing and clipboard managers hold the clipboard
// for a few milliseconds many times a day: a busy clipboard is tried again for about 100 ms.
constexpr int kOpenAttempts = 10;
constexpr std::uint32_t kOpenRetryMs = 10;

// The holder may be a reader waiting for the monitor to render its text: the wait serves it.
bool OpenClipboardPatiently(Clipboard& clipboard)
{
    for (int attempt = 1;; ++attempt) {
        if (clipboard.Open())
            return true;
        if (attempt == kOpenAttempts)
            return false;
        clipboard.WaitServingReaders(kOpenRetryMs);
    }
}

// Closes the clipboard on every way out of an open that succeeded.
class OpenedClipboard {
public:
    explicit OpenedClipboard(Clipboard& clipboard) : clipboard_(clipboard) {}
    OpenedClipboard(const OpenedClipboard&) = delete;
    OpenedClipboard& operator=(const OpenedClipboard&) = delete;
    ~OpenedClipboard() { clipboard_.Close(); }

private:
    Clipboard& clipboard_;
};

std::wstring OpenFailure(Clipboard& clipboard)
{
    return L"Impossible d'ouvrir le Presse-papiers : " +
           TrimSystemText(clipboard.SystemErrorText(clipboard.OpenError()));
}

// Puts the text on the clipboard, keeping what it held first when `save` is set (and saying in
// `saved` whether it could); the message of the failure otherwise.
std::optional<std::wstring> PlaceOnClipboard(Clipboard& clipboard, const std::wstring& text, bool save, bool& saved)
{
    if (!OpenClipboardPatiently(clipboard))
        return OpenFailure(clipboard);
    const OpenedClipboard opened(clipboard);

    const auto block = clipboard.AllocText(text);
    if (!block)
        return L"Mémoire insuffisante";
    // Our own text is never saved: the copy would render the burst and put it back later.
    if (save && !clipboard.HoldsPlacedText())
        saved = clipboard.SaveContents();
    clipboard.Empty();
    if (!clipboard.SetUnicodeText(*block)) {
        // Not handed over, so the block is still ours.
        clipboard.FreeBlock(*block);
        return L"Ressources système insuffisantes";
    }
    // In the same open, after the text: bursts stay out of Win+V history and cloud sync, as
    // password managers keep theirs. The paste does not depend on it: Windows before 10 1809 has
    // no history, and the text is already there.
    clipboard.KeepOutOfHistory();
    return std::nullopt;
}

} // namespace

TypingOutcome TForm1::PasteViaClipboard(const std::wstring& text)
{
    // A copy is kept only of the operator's contents, not of a burst still waiting to be put back over.
    DropSavedClipboardIfChanged();
    bool saved = false;
    const auto error = PlaceOnClipboard(platform_.clipboard, text,
                                        PolicyRestoreClipboard().value_or(RestoreClipboard) && !clipboardSaved_, saved);
    clipboardSaved_ = clipboardSaved_ || saved;
    if (error) {
        AddLog(L"Erreur lors de la copie/collage: " + *error);
        ReportToEventLog(EventKind::BurstNotDelivered, {L"Erreur lors de la copie/collage: " + *error});
        return {};
    }
    AddLog(L"Données copiées et collées automatiquement: " + text);
    pasteAwaitingRead_ = PasteAwaitingRead{text, platform_.clock.GetTickCount()};
    return PressCtrlV(platform_.keyboard);
}

void TForm1::DropSavedClipboard()
{
    clipboardSaved_ = false;
    restoreWaitsForRead_ = false;
    platform_.clipboard.DropSavedContents();
}

// What the operator or a program copied while the copy waited is theirs, never overwritten.
void TForm1::DropSavedClipboardIfChanged()
{
    if (clipboardSaved_ && platform_.clipboard.ChangedByOthers())
        DropSavedClipboard();
}

void TForm1::PutBackClipboard()
{
    clipboardSaved_ = false;
    Clipboard& clipboard = platform_.clipboard;
    if (!OpenClipboardPatiently(clipboard)) {
        AddLog(L"Presse-papiers non restauré: " + OpenFailure(clipboard));
        return;
    }
    const OpenedClipboard opened(clipboard);
    clipboard.RestoreContents();
}
