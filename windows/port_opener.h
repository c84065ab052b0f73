// The opens of COM ports on a thread-pool thread, one at a time, each outcome posted to the main
// window: a port that blocks for seconds in CreateFileW never freezes the window.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "serial/port_open.h"

class Win32PortOpener : public PortOpener {
public:
    // `message` comes to `window` with the ticket as wParam and a PortOpenOutcome* as lParam.
    Win32PortOpener(HWND window, UINT message);
    void Start(std::uint32_t ticket, const std::wstring& portName, std::uint32_t baudRate) override;
    // The outcome a posted message carries, taken back by the window (which then owns its handle).
    static PortOpenOutcome TakeOutcome(LPARAM lParam);

    // The queue and the worker's own port binding; shared with a worker that may outlive this object.
    struct Shared;

private:
    std::shared_ptr<Shared> shared_;
};
