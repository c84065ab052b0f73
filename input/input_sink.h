#pragma once
#include <cstdint>
#include <optional>
#include <string>

inline constexpr std::uint32_t kKeyEventFKeyUp = 0x0002;
inline constexpr std::uint32_t kKeyEventFUnicode = 0x0004;

// One INPUT_KEYBOARD record (KEYBDINPUT).
struct KeyboardRecord {
    std::uint16_t wVk = 0;
    std::uint16_t wScan = 0;
    std::uint32_t dwFlags = 0;
    std::uint32_t time = 0;
    std::uintptr_t dwExtraInfo = 0;
    bool operator==(const KeyboardRecord&) const = default;
};

// The input stream of the focused application.
class KeyboardSink {
public:
    virtual ~KeyboardSink() = default;
    // SendInput with `count` keyboard records in one call; the number of events inserted
    // (fewer when Windows refuses them, as it does for an application with higher rights).
    virtual int SendRecords(const KeyboardRecord* records, int count) = 0;
    // keybd_event: one keyboard event.
    virtual void SendKeyEvent(std::uint8_t bVk, std::uint8_t bScan, std::uint32_t dwFlags,
                              std::uintptr_t dwExtraInfo) = 0;
};

// Where synthesised input would go now.
enum class InputTarget {
    OtherApplication,
    ThisProgram, // its window, tray menu or a message box is in front
    Nobody       // no foreground window or input desktop: locked, secure desktop, session away
};

class InputFocus {
public:
    virtual ~InputFocus() = default;
    virtual InputTarget Target() = 0;
};

using ClipboardBlock = std::uintptr_t;

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
    // SetClipboardData(CF_UNICODETEXT); on success the block belongs to the clipboard.
    virtual bool SetUnicodeText(ClipboardBlock block) = 0;
    // Keeps what the open clipboard holds out of the clipboard history and the cloud clipboard:
    // the registered formats "CanIncludeInClipboardHistory" and "CanUploadToCloudClipboard", each
    // a DWORD 0. False when either could not be placed.
    virtual bool KeepOutOfHistory() = 0;
    virtual void FreeBlock(ClipboardBlock block) = 0;
    virtual void Close() = 0;
};
