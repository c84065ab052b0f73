// The clipboard seam: Unicode text handed over when a program reads it (delayed rendering), so the
// monitor knows when the target has taken a paste, and the operator's own contents kept aside.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

using ClipboardBlock = std::uintptr_t;

// What became of the text placed last.
enum class PlacedText {
    Read,    // a program asked for it and got it (or nothing is waiting)
    Unread,  // still promised: nobody has asked for it yet
    Replaced // another program emptied the clipboard before anyone read it
};

// Who rendered the text placed last: the process of the window that had the clipboard open, and
// that of the window in front when the text was placed; 0 when Windows did not say.
struct ClipboardReader {
    std::uint32_t ReaderProcess = 0;
    std::uint32_t TargetProcess = 0;
    std::wstring ReaderProgram; // its executable's name
};

// A clipboard manager, the Office clipboard or a remote-control tool rendered it before the target
// asked; a remote-desktop client in front is the target itself, reading for its server. A reader
// that opened the clipboard without a window cannot be told apart: taken for the target.
inline bool ReadByAnotherProgram(const ClipboardReader& reader)
{
    return reader.ReaderProcess != 0 && reader.TargetProcess != 0 && reader.ReaderProcess != reader.TargetProcess;
}

// The clipboard with Unicode text, owned by the application's hidden window.
class Clipboard {
public:
    virtual ~Clipboard() = default;
    virtual bool Open() = 0;
    // GetLastError of the open that failed, taken at once.
    virtual std::uint32_t OpenError() = 0;
    // FormatMessageW from the system table, inserts ignored; the text as the system gives it.
    virtual std::wstring SystemErrorText(std::uint32_t code) = 0;
    // GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, (n + 1) * 2) holding the units and a NUL.
    virtual std::optional<ClipboardBlock> AllocText(const std::wstring& text) = 0;
    virtual bool Empty() = 0;
    // CF_UNICODETEXT promised (SetClipboardData with no data) and the block kept until a program
    // asks for it; on success the block is no longer the caller's.
    virtual bool SetUnicodeText(ClipboardBlock block) = 0;
    virtual PlacedText PlacedTextState() = 0;
    virtual ClipboardReader PlacedTextReader() = 0;
    // The clipboard still holds the text placed last, promised or rendered: a copy of it would be
    // the burst, not the operator's contents.
    virtual bool HoldsPlacedText() = 0;
    // Another program emptied the clipboard since the monitor last placed text or put a copy back.
    virtual bool ChangedByOthers() = 0;
    // Waits, handling meanwhile what other programs send to the monitor's windows (a reader that
    // holds the clipboard open while it waits for the text to be rendered).
    virtual void WaitServingReaders(std::uint32_t ms) = 0;
    // Keeps what the open clipboard holds out of the clipboard history, the cloud clipboard and
    // clipboard monitors and managers (which would read the text before the target does). False
    // when a format could not be placed.
    virtual bool KeepOutOfHistory() = 0;
    virtual void FreeBlock(ClipboardBlock block) = 0;
    // A copy of what the open clipboard holds (text, rich text, HTML, a picture, files, and the
    // formats that keep it private), to put back later; false when nothing could be kept (an owner
    // that does not answer, contents too large or too slow to render).
    virtual bool SaveContents() = 0;
    virtual void DropSavedContents() = 0;
    // Empties the open clipboard and puts back the saved copy, which is then dropped.
    virtual bool RestoreContents() = 0;
    virtual void Close() = 0;
};
