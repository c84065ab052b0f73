// The worker of the port opens (see port_opener.h). No thread exists while nothing opens: the
// system thread pool lends one for each run of the queue.
#include "windows/port_opener.h"

#include <deque>
#include <utility>

#include "windows/serial.h"

struct Win32PortOpener::Shared {
    struct Request {
        std::uint32_t Ticket;
        std::wstring PortName;
        std::uint32_t BaudRate;
    };
    HWND Window = nullptr;
    UINT Message = 0;
    SRWLOCK Lock = SRWLOCK_INIT;
    std::deque<Request> Queue;
    bool Running = false;
    Win32ComPorts Ports; // the worker's own, so its error codes never mix with the GUI thread's

    // Runs the queue until it is empty; one open at a time, in the order asked.
    void Drain()
    {
        for (;;) {
            AcquireSRWLockExclusive(&Lock);
            if (Queue.empty()) {
                Running = false;
                ReleaseSRWLockExclusive(&Lock);
                return;
            }
            Request request = std::move(Queue.front());
            Queue.pop_front();
            ReleaseSRWLockExclusive(&Lock);

            auto outcome =
                std::make_unique<PortOpenOutcome>(OpenAndConfigurePort(Ports, request.PortName, request.BaudRate));
            // The window is gone (the monitor ended while the port blocked): nobody will take the port.
            if (!PostMessageW(Window, Message, request.Ticket, reinterpret_cast<LPARAM>(outcome.get()))) {
                if (outcome->Handle != kNoPort)
                    Ports.ClosePort(outcome->Handle);
                continue;
            }
            outcome.release(); // the window's now
        }
    }
};

namespace {

void CALLBACK RunQueue(PTP_CALLBACK_INSTANCE, void* context)
{
    const std::unique_ptr<std::shared_ptr<Win32PortOpener::Shared>> shared(
        static_cast<std::shared_ptr<Win32PortOpener::Shared>*>(context));
    (*shared)->Drain();
}

} // namespace

Win32PortOpener::Win32PortOpener(HWND window, UINT message) : shared_(std::make_shared<Shared>())
{
    shared_->Window = window;
    shared_->Message = message;
}

void Win32PortOpener::Start(std::uint32_t ticket, const std::wstring& portName, std::uint32_t baudRate)
{
    AcquireSRWLockExclusive(&shared_->Lock);
    shared_->Queue.push_back({ticket, portName, baudRate});
    const bool startWorker = !shared_->Running;
    shared_->Running = true;
    ReleaseSRWLockExclusive(&shared_->Lock);
    if (!startWorker)
        return;
    auto context = std::make_unique<std::shared_ptr<Shared>>(shared_);
    if (TrySubmitThreadpoolCallback(RunQueue, context.get(), nullptr)) {
        context.release(); // RunQueue's now
        return;
    }
    // No pool thread to be had: opened here, the outcome still comes back as a message.
    shared_->Drain();
}

PortOpenOutcome Win32PortOpener::TakeOutcome(LPARAM lParam)
{
    const std::unique_ptr<PortOpenOutcome> outcome(reinterpret_cast<PortOpenOutcome*>(lParam));
    return outcome ? *outcome : PortOpenOutcome{};
}
