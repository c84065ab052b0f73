// The worker of the port opens (see port_opener.h). No thread exists while nothing opens: the
// system thread pool lends one to each open for as long as it runs.
#include "windows/port_opener.h"

#include <memory>

#include "windows/serial.h"

namespace {

struct OpenRequest {
    HWND Window;
    UINT Message;
    std::uint32_t Ticket;
    std::wstring PortName;
    std::uint32_t BaudRate;
};

void Open(const OpenRequest& request)
{
    Win32ComPorts ports; // its own, so its error codes never mix with another thread's
    auto outcome = std::make_unique<PortOpenOutcome>(OpenAndConfigurePort(ports, request.PortName, request.BaudRate));
    // The window is gone (the monitor ended while the port blocked): nobody will take the port.
    if (!PostMessageW(request.Window, request.Message, request.Ticket, reinterpret_cast<LPARAM>(outcome.get()))) {
        if (outcome->Handle != kNoPort)
            ports.ClosePort(outcome->Handle);
        return;
    }
    outcome.release(); // the window's now
}

void CALLBACK RunOpen(PTP_CALLBACK_INSTANCE, void* context)
{
    const std::unique_ptr<OpenRequest> request(static_cast<OpenRequest*>(context));
    Open(*request);
}

} // namespace

// Opens of different ports never wait behind each other: two Bluetooth ports out of reach, blocking
// for seconds each, must not make the device's port listed after them miss its bound. The monitor
// never asks for a port again before the outcome of its earlier open came back.
void Win32PortOpener::Start(std::uint32_t ticket, const std::wstring& portName, std::uint32_t baudRate)
{
    auto request = std::make_unique<OpenRequest>(OpenRequest{window_, message_, ticket, portName, baudRate});
    if (TrySubmitThreadpoolCallback(RunOpen, request.get(), nullptr)) {
        request.release(); // RunOpen's now
        return;
    }
    // No pool thread to be had: opened here, the outcome still comes back as a message.
    Open(*request);
}

PortOpenOutcome Win32PortOpener::TakeOutcome(LPARAM lParam)
{
    const std::unique_ptr<PortOpenOutcome> outcome(reinterpret_cast<PortOpenOutcome*>(lParam));
    return outcome ? *outcome : PortOpenOutcome{};
}
