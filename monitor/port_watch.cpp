// The port watch: every 3 s the liveness test of the connected port, then the comparison of the
// port list with the one before, which turns a change into an arrival or a removal. It polls the
// registry rather than listening for device notifications, which Wine does not send either.
#include <algorithm>
#include <string>
#include <vector>

#include "monitor/Unit1.h"

namespace {

const wchar_t* TrueFalse(bool value)
{
    return value ? L"True" : L"False";
}

constexpr const wchar_t* kRemovedText = L"Le périphérique VOR-TIKA a été déconnecté.";

} // namespace

// Every 3 s for the whole life of the program: a liveness test while
// connected, then the comparison of the port list.
void TForm1::TimerDeviceWatchTimer()
{
    // Lines the day's file refused go in once it is free, within a tick, even on a quiet monitor.
    FlushKeptLogLines();
    if (IsConnected) {
        AddLog(L"Debug: Timer surveillance - Test de connexion active");
        if (!TestConnection()) {
            LoseLink(L"Test de connexion échoué - Port déconnecté");
            // No comparison on this tick: PreviousPortsList keeps its value.
            return;
        }
    }
    CheckDeviceChanges();
    TryDevicePortWhenDue();
}

// The line settings are read only to prove the driver still answers; the
// single CR is what the device expects as its keep-alive.
bool TForm1::TestConnection()
{
    if (!IsConnected || hComPort == kNoPort)
        return false;

    CommState state;
    state.DCBlength = kDcbLength;
    if (!platform_.comPorts.GetCommState(hComPort, state)) {
        const std::uint32_t code = platform_.comPorts.LastError();
        AddLog(L"Debug: GetCommState échoué (Code: " + std::to_wstring(code) + L")");
        return false;
    }

    if (WriteToPort(std::wstring(1, L'\r'))) {
        AddLog(L"Debug: Test de connexion réussi");
        return true;
    }
    AddLog(L"Debug: Test d'écriture échoué");
    return false;
}

// Lists are compared position by position, so a reordering counts as a change.
void TForm1::CheckDeviceChanges()
{
    const std::vector<std::wstring> oldList = cmbPorts.Items();
    PreviousPortsList = oldList;

    RefreshPortList();
    const std::vector<std::wstring> newList = cmbPorts.Items();
    if (newList == oldList)
        return;

    AddLog(L"Changement de périphériques détecté par surveillance");
    const std::wstring counts =
        L"(Ancien: " + std::to_wstring(oldList.size()) + L", Nouveau: " + std::to_wstring(newList.size()) + L")";
    if (newList.size() > oldList.size()) {
        AddLog(L"Nouveaux ports détectés " + counts);
        HandleDeviceArrival();
    } else if (newList.size() < oldList.size()) {
        AddLog(L"Ports supprimés détectés " + counts);
        HandleDeviceRemoval();
    } else {
        AddLog(L"Ports modifiés détectés - traitement comme nouvelle arrivée");
        HandleDeviceArrival();
    }
}

void TForm1::HandleDeviceArrival()
{
    if (tryingDevicePort_)
        EndDevicePortTry({}); // the try gives way to the search an arrival starts
    AddLog(L"Debug HandleDeviceArrival:");
    AddLog(std::wstring(L"  IsConnected: ") + TrueFalse(IsConnected));
    AddLog(std::wstring(L"  IsDetecting: ") + TrueFalse(IsDetecting));
    AddLog(std::wstring(L"  IsEnabled: ") + TrueFalse(IsEnabled));
    AddLog(std::wstring(L"  AutoConnect checked: ") + TrueFalse(chkAutoConnect.Checked()));

    // Away from the console, a search would hold a port the session at the console needs.
    if (IsConnected || IsDetecting || !IsEnabled || !chkAutoConnect.Checked() || sessionAway_) {
        AddLog(L"Nouveau(x) port(s) COM détecté(s) - Conditions non remplies pour démarrage automatique");
        NoteArrivalDuringSearch();
        return;
    }
    AddLog(L"Nouveau(x) port(s) COM détecté(s) - Démarrage de la détection automatique");
    // Gives the new port's driver time to settle, while the loop runs on.
    TimerArrivalPause.Arm();
}

// One second after an arrival: the search starts unless something else took over meanwhile.
void TForm1::TimerArrivalPauseTimer()
{
    TimerArrivalPause.Stop();
    if (tryingDevicePort_)
        EndDevicePortTry({}); // the try gives way to the search an arrival starts
    if (IsConnected || IsDetecting || !IsEnabled || !chkAutoConnect.Checked() || sessionAway_)
        return;
    StartAutoDetectionNewPortFirst();
}

void TForm1::HandleDeviceRemoval()
{
    AddLog(L"Debug HandleDeviceRemoval:");
    AddLog(std::wstring(L"  IsConnected: ") + TrueFalse(IsConnected));
    AddLog(L"  Port connecté: " + (IsConnected ? OpenPortName() : cmbPorts.Text()));
    const bool available = IsPortStillAvailable();
    AddLog(std::wstring(L"  Port encore disponible: ") + TrueFalse(available));

    if (!IsConnected) {
        RefreshPortList();
        return;
    }
    // Asked a second time on purpose, with its own enumeration and line
    // (Watch.OtherPortRemovedWhileConnected_ConnectionRemains).
    if (IsPortStillAvailable()) {
        RefreshPortList();
        return;
    }

    LoseLink(L"Port COM connecté (" + OpenPortName() + L") déconnecté - Fermeture automatique");
    RefreshPortList();

    // The modal box runs its own loop: later watch ticks may run before it returns.
    if (Window.Visible())
        App.ShowMessage(kRemovedText, MessageBoxKind::Plain);
    else
        TrayIcon1.ShowBalloon(L"VOR-TIKA Monitor", kRemovedText, kBalloonNoIcon, 10000);
}

// True also when nothing is connected, without enumerating.
bool TForm1::IsPortStillAvailable()
{
    if (!IsConnected)
        return true;

    RefreshPortList();
    const std::wstring& portName = OpenPortName();
    const std::vector<std::wstring> ports = cmbPorts.Items();
    const bool found = std::ranges::find(ports, portName) != ports.end();

    AddLog(L"Debug: Port " + portName + (found ? L" trouvé" : L" non trouvé") + L" dans la liste des ports");
    return found;
}
