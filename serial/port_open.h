// Opening a port: the open and its line settings as one step that may block for seconds (a
// Bluetooth port whose remote device is out of reach), so it runs away from the GUI thread and
// its outcome comes back later.
#pragma once
#include <cstdint>
#include <string>

#include "serial/com_ports.h"
#include "serial/error_codes.h"

enum class OpenResult { Opened, OpenFailed, ReadStateFailed, SetStateFailed, SetTimeoutsFailed };

struct PortOpenOutcome {
    OpenResult Result = OpenResult::OpenFailed;
    PortHandle Handle = kNoPort; // open and configured when Result is Opened
    std::uint32_t Error = 0;     // the failed call's error code, taken on the thread that made it
};

// CreateFileW on "\\.\" + the port name, then the line settings (read-modify-write of the DCB:
// the speed, 8 data bits, no parity, one stop bit) and the time-outs (reads that never wait,
// writes bounded by one second). A step that fails closes what was opened.
PortOpenOutcome OpenAndConfigurePort(ComPorts& ports, const std::wstring& portName, std::uint32_t baudRate);

// Runs OpenAndConfigurePort away from the GUI thread, each open at once and on a port binding of
// its own, side by side with any other still running. The outcome reaches the monitor later, on
// the GUI thread, with the ticket it was started with (the window's message); nothing is ever
// waited for. The monitor never starts an open of a port whose earlier open has not come back.
class PortOpener {
public:
    virtual ~PortOpener() = default;
    virtual void Start(std::uint32_t ticket, const std::wstring& portName, std::uint32_t baudRate) = 0;
};

// An open that has not come back within this bound counts as failed: ERROR_SEM_TIMEOUT, which is
// what a Bluetooth port out of reach gives in the end.
inline constexpr std::uint32_t kOpenTimedOutError = kErrorSemTimeout;
