// The link's state. The fields that describe the link (IsDetecting, IsConnected, hComPort, the
// timers, the layout, a try of the device's port) change from a dozen entry points, some of
// which run inside others (the one-time pump, modal boxes, the tray menu's loop). The state is
// never stored: it is derived from those fields, and the rules below say which combinations may
// be seen between two events. The unit tests check them after every event they dispatch, so each
// scenario also checks the model; docs/ARCHITECTURE.md has the transitions.
#include "monitor/Unit1.h"

TForm1::LinkState TForm1::State() const
{
    if (IsConnected)
        return LinkState::Connected;
    return IsDetecting ? LinkState::Detecting : LinkState::Idle;
}

std::optional<std::wstring> TForm1::BrokenLinkRule() const
{
    if (IsDetecting && IsConnected)
        return L"detecting and connected at once";
    const LinkState state = State();
    const bool busy = state != LinkState::Idle;
    if (openInFlight_ && state != LinkState::Detecting)
        return L"an open waited for outside a detection";
    // While the port under test is being opened, the monitor holds no port yet.
    const bool portExpected = busy && !openInFlight_;
    if ((hComPort != kNoPort) != portExpected)
        return portExpected ? L"no port open while busy" : L"a port open while idle or opening";
    if (btnConnect.Enabled() == busy || btnDisconnect.Enabled() != busy)
        return L"the buttons do not show the busy or idle layout";
    // A cancelled search leaves Timer1 running in idle, where its ticks do nothing.
    switch (state) {
    case LinkState::Idle:
        if (TimerDetection.Running())
            return L"the per-port time-out runs while idle";
        break;
    case LinkState::Detecting:
        if (!TimerDetection.Running())
            return L"a detection step without its time-out";
        if (!openInFlight_ && !Timer1.Running())
            return L"a port under test without its poll";
        break;
    case LinkState::Connected:
        if (!Timer1.Running() || TimerDetection.Running())
            return L"connected without the poll, or with the per-port time-out";
        if (tryingDevicePort_)
            return L"a try of the device's port while connected";
        break;
    }
    if (tryingDevicePort_ && state != LinkState::Detecting)
        return L"a try of the device's port outside a detection";
    return std::nullopt;
}
