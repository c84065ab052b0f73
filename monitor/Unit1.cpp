// The monitor's life cycle: FormCreate and FormDestroy in the order the program has always run
// them, the session's end (which must run the shutdown before Windows ends the process), and the
// two layouts and the speed read that several concerns share.
#include "monitor/Unit1.h"

#include "ui/error_guard.h"
#include "ui/errors.h"
#include "ui/form_layout.h"

TForm1::TForm1(const FormControls& controls, const FormPlatform& platform) : FormControls(controls), platform_(platform)
{
}

TForm1::~TForm1()
{
    if (hComPort != kNoPort)
        platform_.comPorts.ClosePort(hComPort);
}

void TForm1::FormCreate()
{
    Window.AddToolWindowStyle();

    hComPort = kNoPort;
    IsConnected = false;
    IsEnabled = true;
    IsDetecting = false;
    CurrentPortIndex = 0;
    DataBuffer.clear();
    LastDataTime = 0;

    PreviousPortsList.clear();

    InitializePaths();

    cmbBaudRate.Clear();
    for (const wchar_t* speed : {L"9600", L"19200", L"38400", L"57600", L"115200"})
        cmbBaudRate.AddItem(speed);
    cmbBaudRate.SetItemIndex(0);

    rbKeyboard.SetChecked(true);
    rbClipboard.SetChecked(false);
    chkCR.SetChecked(true);
    chkLF.SetChecked(false);

    RefreshPortList();
    LoadSettings();
    ApplyMachinePolicy();

    Timer1.SetInterval(kTimer1Ms);
    Timer1.Stop();
    TimerDetection.SetInterval(kTimerDetectionMs);
    TimerDetection.Stop();
    TimerDeviceWatch.SetInterval(kTimerDeviceWatchMs);
    TimerDeviceWatch.Arm();

    InitTrayIcon();
    UpdateTrayIcon();
    UpdateStatus(L"Déconnecté");
    AddLog(L"VOR-TIKA Monitor démarré - Version 1.0");
    LogMachinePolicy();
    StartDeviceMonitoring();

    // Started in a session nobody uses (an upgrade restarts every session's monitor): it must not
    // take the exclusive port from the console's monitor, so it waits until the session is used.
    if (platform_.session.Active() == false)
        sessionAway_ = true;
    if (chkAutoConnect.Checked()) {
        if (sessionAway_) {
            startupSearchWhenBack_ = true;
        } else {
            AddLog(L"Connexion automatique au démarrage activée");
            StartAutoDetection();
        }
    }

    ShowFromTray();
    HideToTray();
}

void TForm1::FormDestroy()
{
    if (destroyed_)
        return;
    destroyed_ = true;
    StopDeviceMonitoring();
    if (IsConnected) {
        Timer1.Stop();
        CloseSerialPort();
    }
    PreviousPortsList.clear();
    SaveSettings();
}

// Log off, restart or shut down: Windows may end the process as soon as the
// session-end message returns, so the shutdown of "Quitter" runs now, once.
// Nobody is left to close a box: a refused settings write is logged instead.
void TForm1::EndSession()
{
    if (destroyed_)
        return;
    Disconnect();
    App.Terminate();
    if (const auto message = RunCatching([this] { FormDestroy(); })) {
        AddLog(ErrorReportText(*message));
        ReportToEventLog(EventKind::Error, {ErrorReportText(*message)});
    }
}

void TForm1::StartDeviceMonitoring()
{
    AddLog(L"Surveillance des périphériques activée (mode timer)");
}

void TForm1::StopDeviceMonitoring()
{
    AddLog(L"Surveillance des périphériques désactivée");
}

void TForm1::ApplyBusyLayout()
{
    btnConnect.SetEnabled(false);
    btnDisconnect.SetEnabled(true);
    cmbPorts.SetEnabled(false);
    cmbBaudRate.SetEnabled(false);
}

void TForm1::ApplyIdleLayout()
{
    btnConnect.SetEnabled(true);
    btnDisconnect.SetEnabled(false);
    // A list locked by machine policy stays disabled.
    cmbPorts.SetEnabled(!Policy().port);
    cmbBaudRate.SetEnabled(!Policy().baudRate);
}

// The text of cmbBaudRate as a decimal integer, 9600 when it is not one.
std::uint32_t TForm1::SelectedBaudRate() const
{
    const std::wstring text = cmbBaudRate.Text();
    if (text.empty() || text.size() > 9)
        return 9600;
    std::uint32_t value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9')
            return 9600;
        value = value * 10 + static_cast<std::uint32_t>(c - L'0');
    }
    return value;
}
