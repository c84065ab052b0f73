// Clipboard mode: the burst placed on the clipboard as Unicode text (a busy clipboard tried again
// for about 100 ms, kept out of clipboard history), then Ctrl+V; every failure ends in one line.
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

bool OpenClipboardPatiently(Clipboard& clipboard, Clock& clock)
{
    for (int attempt = 1;; ++attempt) {
        if (clipboard.Open())
            return true;
        if (attempt == kOpenAttempts)
            return false;
        clock.Sleep(kOpenRetryMs);
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

// Puts the text on the clipboard; the message of the failure otherwise.
std::optional<std::wstring> PlaceOnClipboard(Clipboard& clipboard, Clock& clock, const std::wstring& text)
{
    if (!OpenClipboardPatiently(clipboard, clock))
        return L"Impossible d'ouvrir le Presse-papiers : " +
               TrimSystemText(clipboard.SystemErrorText(clipboard.OpenError()));
    const OpenedClipboard opened(clipboard);

    const auto block = clipboard.AllocText(text);
    if (!block)
        return L"Mémoire insuffisante";
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

constexpr std::uint8_t kVkControl = 17;
constexpr std::uint8_t kVkV = 86;

} // namespace

void TForm1::PasteViaClipboard(const std::wstring& text)
{
    if (const auto error = PlaceOnClipboard(platform_.clipboard, platform_.clock, text)) {
        AddLog(L"Erreur lors de la copie/collage: " + *error);
        ReportToEventLog(EventKind::BurstNotDelivered, {L"Erreur lors de la copie/collage: " + *error});
        return;
    }
    AddLog(L"Données copiées et collées automatiquement: " + text);
    KeyboardSink& keyboard = platform_.keyboard;
    keyboard.SendKeyEvent(kVkControl, 0, 0, 0);
    keyboard.SendKeyEvent(kVkV, 0, 0, 0);
    keyboard.SendKeyEvent(kVkV, 0, kKeyEventFKeyUp, 0);
    keyboard.SendKeyEvent(kVkControl, 0, kKeyEventFKeyUp, 0);
}
