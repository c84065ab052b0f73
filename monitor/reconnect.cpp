// The device comes back on its own. A USB-serial adapter that drops off the bus (sleep, a
// dock, a knocked cable) returns under the same COM name within a second or so, so the
// port list looks unchanged and no arrival starts a search. After such a loss, and after a
// start-up that did not find the device on its saved port, the monitor keeps trying that one
// port while it is idle, enabled and set to connect automatically: the first try at the next
// watch tick, then at growing intervals up to a minute. A try is one port's handshake test
// and nothing else, so other serial equipment never hears the query; it stays quiet (two
// lines when it fails) and, when the device answers, connects through the usual handshake
// success step. The user's "Déconnecter" or a disable stops the tries; a search that starts
// takes over from a try in progress.
#include <algorithm>

#include "monitor/Unit1.h"
#include "monitor/handshake.h"
#include "serial/port_names.h"
#include "ui/form_layout.h"

namespace {

constexpr std::uint32_t kFirstTryWaitMs = 3000;
constexpr std::uint32_t kLongestTryWaitMs = 60000;

// The wait before try n + 1, counted from the start of try n: 3 s, 6 s, 12 s ... 60 s.
std::uint32_t WaitAfterTry(int tries)
{
    const int doublings = std::clamp(tries - 1, 0, 5);
    return std::min(kFirstTryWaitMs << doublings, kLongestTryWaitMs);
}

} // namespace

void TForm1::RememberDevicePort(const std::wstring& port)
{
    devicePort_ = port;
    devicePortTries_ = !port.empty();
    devicePortTryCount_ = 0;
}

void TForm1::StopDevicePortTries()
{
    devicePortTries_ = false;
    if (tryingDevicePort_)
        EndDevicePortTry({});
}

// Tries run on watch ticks, so a try is due when the next tick would come after its wait.
bool TForm1::DevicePortTryDue()
{
    if (devicePortTryCount_ == 0)
        return true;
    const std::uint32_t elapsed = platform_.clock.GetTickCount() - lastDevicePortTry_;
    return elapsed + kTimerDeviceWatchMs > WaitAfterTry(devicePortTryCount_);
}

void TForm1::TryDevicePortWhenDue()
{
    // An arrival's search is about to start: it goes first.
    if (!devicePortTries_ || sessionAway_ || goingToSleep_ || IsConnected || IsDetecting || !IsEnabled ||
        !chkAutoConnect.Checked() || TimerArrivalPause.Running())
        return;
    // Without a delivery mode the poll reads nothing, so no answer could be heard.
    if (!rbKeyboard.Checked() && !rbClipboard.Checked())
        return;
    const std::vector<std::wstring> ports = cmbPorts.Items();
    const auto listed = std::ranges::find_if(
        ports, [&](const std::wstring& port) { return SamePortNameIgnoringCase(port, devicePort_); });
    if (listed == ports.end() || !DevicePortTryDue())
        return;
    CurrentPortIndex = static_cast<std::int32_t>(listed - ports.begin());
    TryDevicePort();
}

void TForm1::TryDevicePort()
{
    const std::wstring port = cmbPorts.Item(CurrentPortIndex);
    ++devicePortTryCount_;
    lastDevicePortTry_ = platform_.clock.GetTickCount();
    AddLog(L"Tentative de reconnexion au VOR-TIKA sur " + port);

    statusBeforeTry_ = lblStatus.Caption();
    IsDetecting = true;
    tryingDevicePort_ = true;
    ApplyBusyLayout();
    UpdateStatus(L"Test du port " + port + L"...");
    OpenSerialPort(port, SelectedBaudRate());
}

void TForm1::ContinueTryAfterOpen(const std::wstring& portName, const PortOpenOutcome& outcome)
{
    if (outcome.Result != OpenResult::Opened) {
        // 5: the port is held, by another session's monitor for instance.
        EndDevicePortTry(L"Reconnexion impossible: port " + portName + L" indisponible (Code: " +
                         std::to_wstring(outcome.Error) + L")");
        return;
    }
    cmbPorts.SetItemIndex(CurrentPortIndex);
    // Written without WriteToPort's lines: a failed try says why in one line of its own.
    if (!WriteText(kHandshakeQuery).Complete()) {
        EndDevicePortTry(L"Reconnexion impossible: échec de l'envoi de la commande sur " + portName);
        return;
    }
    Timer1.Arm();
    TimerDetection.Arm();
}

// Back to idle as the try found it; an empty line means the try gave way and says nothing.
void TForm1::EndDevicePortTry(const std::wstring& failureLine)
{
    AbandonOpenInFlight();
    IsDetecting = false;
    tryingDevicePort_ = false;
    TimerDetection.Stop();
    StopPollAndClosePort();
    DataBuffer.clear();
    ApplyIdleLayout();
    lblStatus.SetCaption(statusBeforeTry_);
    if (!failureLine.empty())
        AddLog(failureLine);
}

// Fast user switching or a remote session left: the port is exclusive, so the session at the
// console could not open it while this one holds it, and keys typed here reach nobody.
void TForm1::SessionLeftConsole()
{
    if (sessionAway_)
        return;
    sessionAway_ = true;
    if (!IsConnected && !IsDetecting)
        return;
    const std::wstring line =
        L"Session Windows quittée (changement d'utilisateur ou bureau à distance) - Fermeture de la connexion";
    if (IsConnected) {
        LoseLink(line, false);
        return;
    }
    AddLog(line);
    Disconnect();
}

void TForm1::SessionReturnedToConsole()
{
    if (!sessionAway_)
        return;
    sessionAway_ = false;
    devicePortTryCount_ = 0; // the first try at the next watch tick
    if (startupSearchWhenBack_) {
        startupSearchWhenBack_ = false;
        if (!IsConnected && !IsDetecting && chkAutoConnect.Checked()) {
            AddLog(L"Connexion automatique au démarrage activée");
            StartAutoDetection();
        }
    }
}

// A session started disconnected, or left before its notifications could be registered, brings
// no message: Windows is asked instead.
void TForm1::SessionNotificationsRegistered()
{
    const std::optional<bool> active = platform_.session.Active();
    if (!active)
        return; // Windows cannot say: nothing is known
    if (*active)
        SessionReturnedToConsole();
    else
        SessionLeftConsole();
}

// A handle kept across sleep may stay writable and never be readable again (USB-CDC and FTDI
// adapters): the port is closed before sleep and opened again after it.
void TForm1::PowerSuspending()
{
    // Programs still run for a moment after this: no try opens the port again before resume.
    goingToSleep_ = true;
    if (IsConnected) {
        LoseLink(L"Mise en veille de Windows - Fermeture de la connexion", false);
        return;
    }
    // A search or a try holds a port too; the device's port is tried again after resume.
    if (IsDetecting)
        Disconnect();
}

// After sleep the adapter comes back within a second: look now, not up to 3 s later.
void TForm1::PowerResumed()
{
    goingToSleep_ = false;
    devicePortTryCount_ = 0;
    TimerDeviceWatchTimer();
}
