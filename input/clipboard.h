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
    // Keeps what the open clipboard holds out of the clipboard history, the cloud clipboard and
    // clipboard monitors (which would read the text before the target does). False when a
    // format could not be placed.
    virtual bool KeepOutOfHistory() = 0;
    virtual void FreeBlock(ClipboardBlock block) = 0;
    // A copy of what the open clipboard holds (text, rich text, HTML, a picture, files), to put
    // back later; false when nothing could be kept.
    virtual bool SaveContents() = 0;
    // Empties the open clipboard and puts back the saved copy, which is then dropped.
    virtual bool RestoreContents() = 0;
    virtual void Close() = 0;
};
