// The COM port as the monitor uses it: the port list with the selection kept (and its Bluetooth
// ports noted), the open away from the GUI thread and its outcome, reads that never wait, writes
// bounded by one second, and the read error that may mean the adapter has gone.
#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "monitor/Unit1.h"
#include "serial/error_codes.h"
#include "serial/port_names.h"
#include "ui/errors.h"

namespace {

// One byte more than a read asks for, so the byte after the last one received is always zero.
constexpr std::size_t kReceiveBufferSize = 256;
constexpr std::uint32_t kReadChunk = 255;

bool IsTextType(std::uint32_t type)
{
    return type == kRegSz || type == kRegExpandSz;
}

} // namespace

void TForm1::RefreshPortList()
{
    const std::wstring remembered = cmbPorts.ItemIndex() >= 0 ? cmbPorts.Text() : std::wstring{};
    cmbPorts.Clear();
    bluetoothPorts_.clear();

    std::wstring firstTypeError;
    if (const auto values = platform_.registry.ReadValues()) {
        for (const RegistryValue& value : *values) {
            if (!IsTextType(value.Type)) {
                // A driver that writes a non-text value must not cost the user the
                // other ports, nor a message on every watch tick.
                if (registryTypeErrorsLogged_.insert(value.Name).second) {
                    const std::wstring text = L"Type de données incorrect pour '" + value.Name + L"'";
                    AddLog(text);
                    if (firstTypeError.empty())
                        firstTypeError = text;
                }
                continue;
            }
            const std::wstring port = value.Data.substr(0, value.Data.find(L'\0'));
            cmbPorts.AddItem(port);
            if (IsBluetoothPortValueName(value.Name))
                bluetoothPorts_.insert(port);
        }
    }

    const std::vector<std::wstring> ports = cmbPorts.Items();
    if (!ports.empty()) {
        const auto same = remembered.empty() ? ports.end() : std::ranges::find_if(ports, [&](const std::wstring& port) {
            return SamePortNameIgnoringCase(port, remembered);
        });
        cmbPorts.SetItemIndex(same != ports.end() ? static_cast<int>(same - ports.begin()) : 0);
    }

    // Shown once the handler that refreshed has returned: the box runs its own message
    // loop, and nothing may run inside start-up before the settings are loaded.
    if (!firstTypeError.empty() && !registryTypeErrorShown_) {
        registryTypeErrorShown_ = true;
        App.ShowMessageLater(ErrorReportText(firstTypeError), MessageBoxKind::Error);
    }
}

// Opens of different ports run side by side. A port whose given-up open is still out (a Bluetooth
// port blocking for seconds) waits for it: that open may yet succeed, and the port is exclusive.
void TForm1::OpenSerialPort(const std::wstring& portName, std::uint32_t baudRate)
{
    openInFlight_ = OpenInFlight{++lastOpenTicket_, portName, baudRate};
    // The open gets the reply wait as its bound: a port that blocks longer counts as failed. A wait
    // for the given-up open is bounded as well, and the open gets its own bound when it starts.
    TimerDetection.Arm();
    if (!GivenUpOpenOut(portName))
        StartOpenInFlight();
}

bool TForm1::GivenUpOpenOut(const std::wstring& portName) const
{
    return std::ranges::any_of(opensGivenUp_,
                               [&](const auto& givenUp) { return SamePortNameIgnoringCase(givenUp.second, portName); });
}

void TForm1::StartOpenInFlight()
{
    openInFlight_->Started = true;
    // Last: a binding that comes back at once carries on inside this call.
    platform_.portOpener.Start(openInFlight_->Ticket, openInFlight_->PortName, openInFlight_->BaudRate);
}

void TForm1::PortOpenCompleted(std::uint32_t ticket, const PortOpenOutcome& outcome)
{
    if (!openInFlight_ || openInFlight_->Ticket != ticket) {
        // Given up (time-out, "Déconnecter", a disable, the session's end): nobody holds the port.
        if (outcome.Handle != kNoPort)
            platform_.comPorts.ClosePort(outcome.Handle);
        const auto givenUp = opensGivenUp_.find(ticket);
        if (givenUp == opensGivenUp_.end())
            return;
        const std::wstring portName = givenUp->second;
        opensGivenUp_.erase(givenUp);
        // The open that waited for this port starts now, with a bound of its own.
        if (openInFlight_ && !openInFlight_->Started && SamePortNameIgnoringCase(openInFlight_->PortName, portName) &&
            !GivenUpOpenOut(portName)) {
            TimerDetection.Stop();
            TimerDetection.Arm();
            StartOpenInFlight();
        }
        return;
    }
    const std::wstring portName = std::move(openInFlight_->PortName);
    openInFlight_.reset();
    TimerDetection.Stop();
    const OpenResult result = TakeOpenedPort(portName, outcome);
    if (tryingDevicePort_)
        ContinueTryAfterOpen(portName, outcome);
    else
        ContinueSearchAfterOpen(portName, result);
}

OpenResult TForm1::TakeOpenedPort(const std::wstring& portName, const PortOpenOutcome& outcome)
{
    if (outcome.Result == OpenResult::Opened) {
        hComPort = outcome.Handle;
        openPortName_ = portName;
    }
    return outcome.Result;
}

// Nobody waits for an open that was given up; its outcome closes its handle when it comes.
void TForm1::AbandonOpenInFlight()
{
    if (openInFlight_) {
        if (openInFlight_->Started)
            opensGivenUp_.emplace(openInFlight_->Ticket, openInFlight_->PortName);
        openInFlight_.reset();
        TimerDetection.Stop();
    }
}

std::wstring TForm1::ReadSerialData()
{
    if ((!IsConnected && !IsDetecting) || hComPort == kNoPort)
        return {};

    ComPorts& ports = platform_.comPorts;
    std::array<std::uint8_t, kReceiveBufferSize> buffer{};
    std::uint32_t read = 0;
    if (ports.Read(hComPort, buffer.data(), kReadChunk, read)) {
        // A NUL from the device is dropped on its own; the text around it is kept.
        std::string bytes;
        const std::size_t count = std::min<std::size_t>(read, kReadChunk);
        for (std::size_t i = 0; i < count; ++i)
            if (buffer[i] != 0)
                bytes.push_back(static_cast<char>(buffer[i]));
        return bytes.empty() ? std::wstring{} : platform_.codePage.ToWide(bytes);
    }

    const std::uint32_t code = ports.LastError();
    // A port under test that fails a read is simply given up by its time-out.
    if (IsConnected && (code == kErrorBadCommand || code == kErrorSemTimeout || code == kErrorOperationAborted)) {
        AddLog(L"Debug: Erreur de lecture détectée (Code: " + std::to_wstring(code) + L") - Possible déconnexion");
        if (!IsPortStillAvailable())
            LoseLink(L"Port COM connecté (" + openPortName_ + L") déconnecté - Fermeture automatique (erreur lecture)");
    }
    // With abort-on-error set, the driver fails every later read until the error is cleared.
    if (hComPort != kNoPort)
        ports.ClearLineError(hComPort);
    return {};
}

bool TForm1::WriteToPort(const std::wstring& text)
{
    if (hComPort == kNoPort)
        return false;

    const PortWrite write = WriteText(text);
    if (write.Complete())
        return true;
    if (!write.CallFailed) {
        AddLog(L"Debug: Ecriture partielle - Écrit: " + std::to_wstring(write.Written) + L"/" +
               std::to_wstring(write.Count));
        return false;
    }

    const std::uint32_t code = platform_.comPorts.LastError();
    AddLog(L"Debug: Echec WriteFile (Code: " + std::to_wstring(code) + L")");
    if (code == kErrorBadCommand || code == kErrorGenFailure || code == kErrorSemTimeout ||
        code == kErrorOperationAborted)
        AddLog(L"Debug: Erreur indiquant une déconnexion probable");
    return false;
}

// The text through the ANSI code page, all its bytes in one write, without a log line.
TForm1::PortWrite TForm1::WriteText(const std::wstring& text)
{
    const std::string bytes = platform_.codePage.ToAnsi(text);
    PortWrite write;
    write.Count = static_cast<std::uint32_t>(bytes.size());
    write.CallFailed = !platform_.comPorts.Write(hComPort, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                                 write.Count, write.Written);
    return write;
}

void TForm1::CloseSerialPort()
{
    if (hComPort != kNoPort)
        platform_.comPorts.ClosePort(hComPort);
    hComPort = kNoPort;
    openPortName_.clear();
}
