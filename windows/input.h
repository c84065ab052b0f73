// The Win32 bindings of the input seams: SendInput and keybd_event, where the input would go now
// (the foreground window and the input desktop), and the clipboard owned by the application window.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include <windows.h>

#include "input/input_sink.h"

class Win32KeyboardSink : public KeyboardSink {
public:
    int SendRecords(const KeyboardRecord* records, int count) override;
    void SendKeyEvent(std::uint8_t bVk, std::uint8_t bScan, std::uint32_t dwFlags, std::uintptr_t dwExtraInfo) override;
};

// The foreground window and the input desktop, as they stand when a burst is delivered.
class Win32InputFocus : public InputFocus {
public:
    InputTarget Target() override;
};

class Win32Clipboard : public Clipboard {
public:
    // The application's hidden window, once it exists; until then the clipboard opens without an owner.
    void SetOwner(HWND owner) { owner_ = owner; }

    bool Open() override;
    std::uint32_t OpenError() override;
    std::wstring SystemErrorText(std::uint32_t code) override;
    std::optional<ClipboardBlock> AllocText(const std::wstring& text) override;
    bool Empty() override;
    bool SetUnicodeText(ClipboardBlock block) override;
    bool KeepOutOfHistory() override;
    void FreeBlock(ClipboardBlock block) override;
    void Close() override;

private:
    HWND owner_ = nullptr;
    // Taken at the failing OpenClipboard, before the log write that reports it.
    std::uint32_t lastError_ = 0;
};
