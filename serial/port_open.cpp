// The open and its line settings (see port_open.h).
#include "serial/port_open.h"

namespace {
constexpr std::uint32_t kMaxDword = 0xFFFFFFFFu;
} // namespace

PortOpenOutcome OpenAndConfigurePort(ComPorts& ports, const std::wstring& portName, std::uint32_t baudRate)
{
    PortOpenOutcome outcome;
    const PortHandle handle = ports.OpenPort(L"\\\\.\\" + portName);
    if (handle == kNoPort) {
        outcome.Error = ports.LastError();
        return outcome;
    }
    const auto fail = [&](OpenResult result) {
        outcome.Error = ports.LastError();
        ports.ClosePort(handle);
        outcome.Result = result;
        return outcome;
    };

    // Read-modify-write: flow control, DTR/RTS and the special characters stay as the driver has them.
    CommState state{};
    state.DCBlength = kDcbLength;
    if (!ports.GetCommState(handle, state))
        return fail(OpenResult::ReadStateFailed);

    state.BaudRate = baudRate;
    state.ByteSize = 8;
    state.Parity = kNoParity;
    state.StopBits = kOneStopBit;
    if (!ports.SetCommState(handle, state))
        return fail(OpenResult::SetStateFailed);

    // Reads return at once with what has arrived; a write gets one second whatever its length.
    CommTimeouts timeouts;
    timeouts.ReadIntervalTimeout = kMaxDword;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 1000;
    if (!ports.SetCommTimeouts(handle, timeouts))
        return fail(OpenResult::SetTimeoutsFailed);

    outcome.Result = OpenResult::Opened;
    outcome.Handle = handle;
    return outcome;
}
