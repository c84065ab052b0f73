// The Win32 bindings of the input seams: SendInput with scan codes and the modifier keys' state,
// where the input would go now (the foreground window and the input desktop), the clipboard owned
// by the application window with its text rendered when a program asks for it, and the session's
// connect state.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <windows.h>

#include "input/clipboard.h"
#include "input/input_sink.h"
#include "input/layout_keys.h"
#include "system/session_state.h"
#include "windows/owners.h"

// A keyboard layout (HKL) asked through VkKeyScanExW, ToUnicodeEx and MapVirtualKeyExW; its dead
// keys are found once per layout.
class Win32KeyboardLayout : public KeyboardLayout {
public:
    // The layout and CapsLock as they stand when a burst begins.
    void Set(HKL layout, bool capsLock);
    std::optional<LayoutKey> KeyFor(std::uint16_t unit) override;
    std::optional<std::uint16_t> CharOf(const LayoutKey& key, bool capsLock) override;
    std::optional<LayoutKey> DeadKeyFor(std::uint16_t accent) override;
    std::uint16_t ScanCode(std::uint16_t virtualKey) override;
    bool CapsLockOn() override { return capsLock_; }

private:
    HKL layout_ = nullptr;
    bool capsLock_ = false;
    HKL deadKeysOf_ = nullptr;
    bool deadKeysFound_ = false;
    std::vector<std::pair<std::uint16_t, LayoutKey>> deadKeys_; // accent, key
};

class Win32KeyboardSink : public KeyboardSink {
public:
    int SendRecords(const KeyboardRecord* records, int count) override;
    std::uint16_t ScanCode(std::uint16_t virtualKey) override;
    bool ModifierKeysDown() override;
    KeyboardLayout& LayoutInFront() override;

private:
    Win32KeyboardLayout layout_;
};

// The foreground window and the input desktop, as they stand when a burst is delivered.
class Win32InputFocus : public InputFocus {
public:
    InputTarget Target() override;
};

// Whose a window is (input/window_kind.h): this program's, the shell's, a menu, an application
// with higher rights, or the operator's.
InputTarget WindowKindOf(HWND window);

class Win32Clipboard : public Clipboard {
public:
    Win32Clipboard() = default;
    // Whatever is still promised is rendered, so that the clipboard keeps the last burst.
    ~Win32Clipboard() override;
    Win32Clipboard(const Win32Clipboard&) = delete;
    Win32Clipboard& operator=(const Win32Clipboard&) = delete;

    // The application's hidden window, once it exists; until then the clipboard opens without an owner.
    void SetOwner(HWND owner) { owner_ = owner; }
    // The clipboard owner's messages (WM_RENDERFORMAT, WM_RENDERALLFORMATS, WM_DESTROYCLIPBOARD,
    // WM_ENDSESSION); true when the message was the clipboard's.
    bool HandleOwnerMessage(UINT msg, WPARAM wParam);
    // Hands over the promised text now, before the owner window goes.
    void RenderPending();

    bool Open() override;
    std::uint32_t OpenError() override;
    std::wstring SystemErrorText(std::uint32_t code) override;
    std::optional<ClipboardBlock> AllocText(const std::wstring& text) override;
    bool Empty() override;
    bool SetUnicodeText(ClipboardBlock block) override;
    PlacedText PlacedTextState() override { return placed_; }
    ClipboardReader PlacedTextReader() override { return reader_; }
    bool HoldsPlacedText() override;
    bool ChangedByOthers() override { return changedByOthers_; }
    void WaitServingReaders(std::uint32_t ms) override;
    bool KeepOutOfHistory() override;
    void FreeBlock(ClipboardBlock block) override;
    bool SaveContents() override;
    void DropSavedContents() override { saved_.clear(); }
    bool RestoreContents() override;
    void Close() override;

private:
    void PlacedNow();

    HWND owner_ = nullptr;
    // Taken at the failing OpenClipboard, before the log write that reports it.
    std::uint32_t lastError_ = 0;
    // The text promised as CF_UNICODETEXT, ours until a program asks for it.
    win32::UniqueGlobal promised_;
    PlacedText placed_ = PlacedText::Read;
    ClipboardReader reader_;
    // The clipboard holds the text placed last (not a copy put back, not another program's).
    bool holdsPlaced_ = false;
    // Set while the monitor empties the clipboard, so that its own WM_DESTROYCLIPBOARD is told apart.
    bool emptying_ = false;
    bool changedByOthers_ = false;
    // The operator's contents, format by format, while they wait to be put back.
    std::vector<std::pair<UINT, win32::UniqueGlobal>> saved_;
};

class Win32SessionState : public SessionState {
public:
    std::optional<bool> Active() override;
};
