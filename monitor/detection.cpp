// The search for the device: the starts (from the selected port, or from the port that just
// appeared), the walk over the ports with its per-port time-out, the handshake, and Disconnect,
// the one way out of a search or a connection. A search goes upward from its start and never back,
// so a port plugged below it during a search is remembered and searched when the search ends empty.
#include <algorithm>
#include <string>
#include <vector>

#include "monitor/Unit1.h"
#include "monitor/handshake.h"
#include "serial/port_names.h"

namespace {

std::wstring JoinWithCommas(const std::vector<std::wstring>& names)
{
    std::wstring joined;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0)
            joined += L",";
        joined += names[i];
    }
    return joined;
}

} // namespace

void TForm1::btnConnectClick()
{
    if (cmbPorts.Count() == 0) {
        App.ShowMessage(L"Aucun port COM disponible", MessageBoxKind::Plain);
        return;
    }
    StartAutoDetection(false);
}

// The user's own disconnect: the device's port is not tried again behind the user's back.
void TForm1::btnDisconnectClick()
{
    devicePortTries_ = false;
    Disconnect();
}

// The user's click walks the ports as listed; the start-up search leaves Bluetooth ports last.
void TForm1::StartAutoDetection(bool automatic)
{
    CurrentPortIndex = std::max(cmbPorts.ItemIndex(), 0);
    BeginSearch(L"Démarrage de la détection automatique du VOR-TIKA", automatic);
}

// A search from CurrentPortIndex upward; an automatic one tries the Bluetooth ports last.
void TForm1::BeginSearch(const std::wstring& logLine, bool automatic)
{
    if (tryingDevicePort_)
        EndDevicePortTry({}); // a search takes over from a try of the device's port
    automaticSearch_ = automatic;
    bluetoothPass_ = false;
    searchStart_ = CurrentPortIndex;
    IsDetecting = true;
    ApplyBusyLayout();
    UpdateStatus(L"Détection automatique en cours...");
    AddLog(logLine);
    TryNextPort();
}

// The poll stops before its port is closed, so no tick reads a closed handle.
void TForm1::StopPollAndClosePort()
{
    if (hComPort == kNoPort)
        return;
    Timer1.Stop();
    CloseSerialPort();
}

// The watch has just kept the old list in PreviousPortsList: start at the port
// that was not there, as it is most likely the device just plugged in.
void TForm1::StartAutoDetectionNewPortFirst()
{
    const std::vector<std::wstring> ports = cmbPorts.Items();
    AddLog(L"Debug: Recherche du nouveau port dans " + std::to_wstring(ports.size()) + L" ports");
    AddLog(L"Debug: Anciens ports: " + JoinWithCommas(PreviousPortsList));
    AddLog(L"Debug: Nouveaux ports: " + JoinWithCommas(ports));

    bool foundNew = false;
    for (int i = 0; i < static_cast<int>(ports.size()); ++i) {
        const std::wstring& port = ports[static_cast<std::size_t>(i)];
        const std::wstring index = std::to_wstring(i);
        AddLog(L"Debug: Vérification port " + port + L" (index " + index + L")");
        if (!ContainsPortIgnoringCase(PreviousPortsList, port)) {
            AddLog(L"Nouveau port détecté: " + port + L" à l'index " + index + L" - Commencer par celui-ci");
            CurrentPortIndex = i;
            cmbPorts.SetItemIndex(i);
            foundNew = true;
            break;
        }
        AddLog(L"Debug: Port " + port + L" était déjà présent");
    }
    if (!foundNew) {
        CurrentPortIndex = 0;
        cmbPorts.SetItemIndex(0);
        AddLog(L"Aucun nouveau port spécifique trouvé, commencer par le premier");
    }

    BeginSearch(L"Démarrage de la détection automatique du VOR-TIKA (nouveau périphérique)", true);
}

// The next port of the search is opened (away from the GUI thread); one that does not open is
// skipped, and the first that opens is queried and left to Timer1 and TimerDetection.
void TForm1::TryNextPort()
{
    StopPollAndClosePort();
    SkipPortsOfTheOtherPass();
    if (CurrentPortIndex < cmbPorts.Count()) {
        const std::wstring portName = cmbPorts.Item(CurrentPortIndex);
        UpdateStatus(L"Test du port " + portName + L"...");
        AddLog(L"Test du port " + portName);
        OpenSerialPort(portName, SelectedBaudRate());
        return;
    }

    IsDetecting = false;
    TimerDetection.Stop();
    Timer1.Stop();
    ApplyIdleLayout();
    UpdateStatus(L"Aucun VOR-TIKA détecté");
    AddLog(L"Aucun VOR-TIKA détecté sur les ports disponibles");
    SearchPortsArrivedDuringSearch();
}

// A Bluetooth port whose device is out of reach takes seconds to fail: an automatic search walks
// the other ports first, then the Bluetooth ones, each pass upward from its start.
void TForm1::SkipPortsOfTheOtherPass()
{
    if (!automaticSearch_)
        return;
    for (;;) {
        while (CurrentPortIndex < cmbPorts.Count() &&
               bluetoothPorts_.contains(cmbPorts.Item(CurrentPortIndex)) != bluetoothPass_)
            ++CurrentPortIndex;
        if (CurrentPortIndex < cmbPorts.Count() || bluetoothPass_ || bluetoothPorts_.empty())
            return;
        bluetoothPass_ = true;
        CurrentPortIndex = searchStart_;
    }
}

void TForm1::ContinueSearchAfterOpen(const std::wstring& portName, OpenResult result)
{
    const wchar_t* failure = nullptr;
    switch (result) {
    case OpenResult::Opened:
        break;
    case OpenResult::OpenFailed:
        failure = L"Impossible d'ouvrir le port ";
        break;
    case OpenResult::ReadStateFailed:
        failure = L"Erreur lors de la lecture de la configuration du port ";
        break;
    case OpenResult::SetStateFailed:
        failure = L"Erreur lors de la configuration du port ";
        break;
    case OpenResult::SetTimeoutsFailed:
        failure = L"Erreur lors de la configuration des timeouts ";
        break;
    }
    if (failure != nullptr) {
        AddLog(failure + portName);
        ++CurrentPortIndex;
        TryNextPort();
        return;
    }

    cmbPorts.SetItemIndex(CurrentPortIndex);
    AddLog(L"Debug: CurrentPortIndex=" + std::to_wstring(CurrentPortIndex) + L", cmbPorts.ItemIndex=" +
           std::to_wstring(cmbPorts.ItemIndex()) + L", Port=" + cmbPorts.Text());
    SendTestCommand();
    Timer1.Arm();
    TimerDetection.Arm();
    AddLog(L"Timer de détection démarré pour " + portName);
}

// An arrival while a search runs starts nothing; a port listed at or below the port
// under test would then never be tried, since a search never goes back.
void TForm1::NoteArrivalDuringSearch()
{
    // Only the running search held the arrival back; a disabled monitor or automatic
    // connection turned off ignores arrivals.
    if (!IsDetecting || IsConnected || !IsEnabled || !chkAutoConnect.Checked())
        return;
    if (portsBeforeArrivalDuringSearch_)
        return; // the list of the first arrival leaves out every later one too
    const std::vector<std::wstring> ports = cmbPorts.Items();
    for (int i = 0; i <= CurrentPortIndex && i < static_cast<int>(ports.size()); ++i)
        if (!ContainsPortIgnoringCase(PreviousPortsList, ports[static_cast<std::size_t>(i)])) {
            portsBeforeArrivalDuringSearch_ = PreviousPortsList;
            return;
        }
}

// The search ended without a device: the ports that arrived meanwhile get the search
// their arrival would have started, when they are still listed.
void TForm1::SearchPortsArrivedDuringSearch()
{
    if (!portsBeforeArrivalDuringSearch_)
        return;
    std::vector<std::wstring> before = std::move(*portsBeforeArrivalDuringSearch_);
    portsBeforeArrivalDuringSearch_.reset();
    if (!IsEnabled || !chkAutoConnect.Checked())
        return;
    const std::vector<std::wstring> ports = cmbPorts.Items();
    if (std::ranges::all_of(ports, [&](const std::wstring& port) { return ContainsPortIgnoringCase(before, port); }))
        return;
    PreviousPortsList = std::move(before);
    StartAutoDetectionNewPortFirst();
}

// The outcome is only logged: the port gets its full wait either way.
void TForm1::SendTestCommand()
{
    AddLog(L"Tentative d'envoi de la commande de test...");
    if (WriteToPort(kHandshakeQuery))
        AddLog(L"Commande de test envoyée: $VOR-TIKA?");
    else
        AddLog(L"Erreur lors de l'envoi de la commande de test");
    AddLog(L"Fin de l'envoi de la commande");
}

void TForm1::TimerDetectionTimer()
{
    if (openInFlight_) {
        // The open has not come back within the reply wait: a failed open, for a try as for a search.
        const std::wstring portName = openInFlight_->PortName;
        AbandonOpenInFlight();
        if (tryingDevicePort_) {
            EndDevicePortTry(L"Reconnexion impossible: port " + portName + L" indisponible (Code: " +
                             std::to_wstring(kOpenTimedOutError) + L")");
            return;
        }
        AddLog(L"Impossible d'ouvrir le port " + portName);
        ++CurrentPortIndex;
        TryNextPort();
        return;
    }
    if (tryingDevicePort_) {
        EndDevicePortTry(L"Reconnexion impossible: pas de réponse du VOR-TIKA sur " + OpenPortName());
        return;
    }
    TimerDetection.Stop();
    // The watch may have shortened the list since the port was opened.
    const std::wstring portName =
        CurrentPortIndex >= 0 && CurrentPortIndex < cmbPorts.Count() ? cmbPorts.Item(CurrentPortIndex) : L"";
    AddLog(L"Timeout de détection sur " + portName);
    StopPollAndClosePort();
    ++CurrentPortIndex;
    TryNextPort();
}

// The reply must arrive whole within one read; anything else heard on a port
// under test is dropped.
void TForm1::CheckHandshakeReply()
{
    AddLog(L"Mode détection - Buffer actuel: " + DataBuffer);
    if (!HoldsHandshakeReply(DataBuffer)) {
        AddLog(L"Données ignorées en mode détection: " + DataBuffer);
        DataBuffer.clear();
        return;
    }

    IsDetecting = false;
    TimerDetection.Stop();
    portsBeforeArrivalDuringSearch_.reset();
    tryingDevicePort_ = false;
    devicePortTries_ = false; // until the next involuntary loss
    IsConnected = true;
    // The reply is not a burst: a close in the pump below must not deliver it.
    DataBuffer.clear();
    Timer1.Arm();
    ApplyBusyLayout();

    // A disabled combo box is not repainted with its new selection: enable it
    // long enough for the connected port to be drawn.
    cmbPorts.SetEnabled(true);
    cmbPorts.Refresh();
    App.ProcessMessages();
    // A click queued before the reply may have closed the connection in the pump.
    if (!IsConnected)
        return;
    cmbPorts.SetEnabled(false);

    AddLog(L"Debug connexion: cmbPorts.ItemIndex=" + std::to_wstring(cmbPorts.ItemIndex()) + L", Port affiché=" +
           cmbPorts.Text());
    UpdateStatus(L"VOR-TIKA détecté sur " + cmbPorts.Text() + L" (" + cmbBaudRate.Text() + L" bauds)");
    AddLog(L"VOR-TIKA détecté et connecté sur " + cmbPorts.Text());
    ReportToEventLog(EventKind::DeviceConnected, {cmbPorts.Text()});
    UpdateTrayIcon();
    DataBuffer.clear();
    SaveSettings();
}

// The link lost without the user asking. Every such path comes here with its own line, so that
// the pending burst, the close and the tries of the device's port are handled once.
void TForm1::LoseLink(const std::wstring& reasonLine, bool reportToEventLog)
{
    const std::wstring port = OpenPortName(); // Disconnect forgets it
    DeliverBeforeClosing();
    AddLog(reasonLine);
    // A session switch or sleep is expected; a link that breaks is what an administrator alerts on.
    if (reportToEventLog)
        ReportToEventLog(EventKind::LinkLost, {port});
    Disconnect();
    RememberDevicePort(port);
}

void TForm1::Disconnect()
{
    portsBeforeArrivalDuringSearch_.reset(); // a search cancelled is not resumed
    const bool openGivenUp = openInFlight_.has_value();
    AbandonOpenInFlight(); // never waited for
    tryingDevicePort_ = false;
    if (IsDetecting) {
        IsDetecting = false;
        TimerDetection.Stop();
    }
    if (IsConnected) {
        // Never a silent drop: what the device said before the close goes out first, or is named.
        DeliverBeforeClosing();
        Timer1.Stop();
        CloseSerialPort();
        IsConnected = false;
        DataBuffer.clear();
        LastDataTime = 0;
        ApplyIdleLayout();
        UpdateStatus(L"Déconnecté");
        AddLog(L"Connexion fermée");
        UpdateTrayIcon();
    }
    // A detection cancelled with its port under test still open, or still being opened.
    if (hComPort != kNoPort || openGivenUp) {
        if (hComPort != kNoPort)
            CloseSerialPort();
        ApplyIdleLayout();
        UpdateStatus(L"Déconnecté");
    }
}
