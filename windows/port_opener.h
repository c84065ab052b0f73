// The opens of COM ports on thread-pool threads, each on its own and at once, each outcome posted
// to the main window: a port that blocks for seconds in CreateFileW never freezes the window, nor
// holds up the open of another port.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "serial/port_open.h"

class Win32PortOpener : public PortOpener {
public:
    // `message` comes to `window` with the ticket as wParam and a PortOpenOutcome* as lParam.
    Win32PortOpener(HWND window, UINT message) : window_(window), message_(message) {}
    void Start(std::uint32_t ticket, const std::wstring& portName, std::uint32_t baudRate) override;
    // The outcome a posted message carries, taken back by the window (which then owns its handle).
    static PortOpenOutcome TakeOutcome(LPARAM lParam);

private:
    HWND window_;
    UINT message_;
};
