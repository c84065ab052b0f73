// The COM port as the monitor uses it: the port list with the selection kept, the open with its
// line settings and time-outs, reads that never wait, writes bounded by one second, and the read
// error that may mean the adapter has gone. Everything goes through the ComPorts seam.
#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "monitor/Unit1.h"
#include "serial/port_names.h"
#include "ui/errors.h"

namespace {

constexpr std::uint32_t kMaxDword = 0xFFFFFFFFu;
// One byte more than a read asks for, so the byte after the last one received is always zero.
constexpr std::size_t kReceiveBufferSize = 256;
constexpr std::uint32_t kReadChunk = 255;

constexpr std::uint32_t kErrorBadCommand = 22;
constexpr std::uint32_t kErrorGenFailure = 31;
constexpr std::uint32_t kErrorSemTimeout = 121;
constexpr std::uint32_t kErrorOperationAborted = 995;

bool IsTextType(std::uint32_t type)
{
    return type == kRegSz || type == kRegExpandSz;
}

} // namespace

void TForm1::RefreshPortList()
{
    const std::wstring remembered = cmbPorts.ItemIndex() >= 0 ? cmbPorts.Text() : std::wstring{};
    cmbPorts.Clear();

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
            cmbPorts.AddItem(value.Data.substr(0, value.Data.find(L'\0')));
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

OpenResult TForm1::OpenSerialPort(const std::wstring& portName, std::uint32_t baudRate)
{
    ComPorts& ports = platform_.comPorts;
    const PortHandle handle = ports.OpenPort(L"\\\\.\\" + portName);
    if (handle == kNoPort)
        return OpenResult::OpenFailed;
    hComPort = handle;

    const auto fail = [&](OpenResult result) {
        ports.ClosePort(hComPort);
        hComPort = kNoPort;
        return result;
    };

    // Read-modify-write: flow control, DTR/RTS and the special characters stay as the driver has them.
    CommState state{};
    state.DCBlength = kDcbLength;
    if (!ports.GetCommState(hComPort, state))
        return fail(OpenResult::ReadStateFailed);

    state.BaudRate = baudRate;
    state.ByteSize = 8;
    state.Parity = kNoParity;
    state.StopBits = kOneStopBit;
    if (!ports.SetCommState(hComPort, state))
        return fail(OpenResult::SetStateFailed);

    // Reads return at once with what has arrived; a write gets one second whatever its length.
    CommTimeouts timeouts;
    timeouts.ReadIntervalTimeout = kMaxDword;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 1000;
    if (!ports.SetCommTimeouts(hComPort, timeouts))
        return fail(OpenResult::SetTimeoutsFailed);

    openPortName_ = portName;
    return OpenResult::Opened;
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
        if (!IsPortStillAvailable()) {
            const std::wstring lost = openPortName_;
            AddLog(L"Port COM connecté (" + lost + L") déconnecté - Fermeture automatique (erreur lecture)");
            ReportToEventLog(EventKind::LinkLost, {lost});
            Disconnect();
            RememberDevicePort(lost);
        }
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
