#pragma once
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "input/input_sink.h"
#include "serial/com_ports.h"
#include "serial/serial_registry.h"
#include "storage/file_system.h"
#include "storage/local_clock.h"
#include "storage/log_backlog.h"
#include "storage/profile_store.h"
#include "system/ansi_code_page.h"
#include "system/clock.h"
#include "ui/controls.h"
#include "ui/status_glyph.h"

// The controls the logic reads and writes, by their own names.
struct FormControls {
    ComboBox& cmbPorts;
    ComboBox& cmbBaudRate;
    RadioButton& rbKeyboard;
    RadioButton& rbClipboard;
    CheckBox& chkCR;
    CheckBox& chkLF;
    CheckBox& chkAutoConnect;
    Button& btnConnect;
    Button& btnDisconnect;
    Label& lblStatus;
    Memo& memoLastData;
    MenuItem& MenuActiver;
    TrayIcon& TrayIcon1;
    Timer& Timer1;
    Timer& TimerDetection;
    Timer& TimerDeviceWatch;
    MainWindow& Window;
    Application& App;
};

// The platform operations behind the logic.
struct FormPlatform {
    Clock& clock;
    LocalClock& localClock;
    FileSystem& fileSystem;
    AnsiCodePage& codePage;
    ComPorts& comPorts;
    SerialCommRegistry& registry;
    KeyboardSink& keyboard;
    Clipboard& clipboard;
    ProfileStore& profile;
};

enum class OpenResult { Opened, OpenFailed, ReadStateFailed, SetStateFailed, SetTimeoutsFailed };

// Owns the open COM port for the monitor: a monitor that goes away with its port
// open closes it through the seam. The monitor reads and sets the handle itself.
class PortOwner {
public:
    PortOwner(ComPorts& ports, const PortHandle& handle) : ports_(ports), handle_(handle) {}
    PortOwner(const PortOwner&) = delete;
    PortOwner& operator=(const PortOwner&) = delete;
    ~PortOwner()
    {
        if (handle_ != kNoPort)
            ports_.ClosePort(handle_);
    }

private:
    ComPorts& ports_;
    const PortHandle& handle_;
};

// The monitor: its state, its controls (reached by their own names, inherited
// from FormControls) and every operation, one file of monitor/ per concern.
class TForm1 : private FormControls {
public:
    TForm1(const FormControls& controls, const FormPlatform& platform);

    // Life cycle (Unit1.cpp)
    void FormCreate();
    void FormDestroy();
    void EndSession();
    void StartDeviceMonitoring();
    void StopDeviceMonitoring();

    // Detection and connection (detection.cpp)
    void btnConnectClick();
    void btnDisconnectClick();
    void StartAutoDetection();
    void StartAutoDetectionNewPortFirst();
    void TryNextPort();
    void SendTestCommand();
    void TimerDetectionTimer();
    void CheckHandshakeReply();
    void Disconnect();

    // Reception and delivery (reception.cpp)
    void Timer1Timer();
    void ProcessBufferedData();
    void ShowLastData(const std::wstring& text);

    // Serial port access (serial_port.cpp)
    void RefreshPortList();
    OpenResult OpenSerialPort(const std::wstring& portName, std::uint32_t baudRate);
    std::wstring ReadSerialData();
    bool WriteToPort(const std::wstring& text);
    void CloseSerialPort();
    const std::wstring& OpenPortName() const { return openPortName_; }

    // Clipboard paste (clipboard_paste.cpp)
    void PasteViaClipboard(const std::wstring& text);

    // Port watch (port_watch.cpp)
    void TimerDeviceWatchTimer();
    bool TestConnection();
    void CheckDeviceChanges();
    void HandleDeviceArrival();
    void HandleDeviceRemoval();
    bool IsPortStillAvailable();

    // Data folder and log (activity_log.cpp), settings (settings.cpp)
    void InitializePaths();
    void AddLog(const std::wstring& message);
    void WriteLogToFile(const std::wstring& message);
    void LoadSettings();
    void SaveSettings();

    // Status line and tray (status_tray.cpp), showing and hiding (visibility.cpp)
    void UpdateStatus(const std::wstring& text);
    void InitTrayIcon();
    void UpdateTrayIcon();
    void HideToTray();
    void ShowFromTray();
    void FormClose(); // refuses the close: the window is only hidden
    void TrayIcon1Click();
    void MenuActiverClick();
    void MenuAfficherClick();
    void MenuQuitterClick();

    // Monitor state, read by the shell and by tests.
    PortHandle hComPort = kNoPort;
    bool IsConnected = false;
    bool IsEnabled = true;
    bool IsDetecting = false;
    std::int32_t CurrentPortIndex = 0;
    std::wstring DataBuffer;
    std::uint32_t LastDataTime = 0;
    std::vector<std::wstring> PreviousPortsList;
    std::wstring ConfigPath;
    std::wstring LogsPath;
    std::wstring ConfigFile;

private:
    void ApplyBusyLayout();
    void ApplyIdleLayout();
    std::uint32_t SelectedBaudRate() const;
    void BeginSearch(const std::wstring& logLine);
    void StopPollAndClosePort();
    void NoteArrivalDuringSearch();
    void SearchPortsArrivedDuringSearch();

    // Platform
    FormPlatform platform_;
    PortOwner portOwner_{platform_.comPorts, hComPort};
    LogBacklog logBacklog_; // lines refused by their file, until it takes them

    std::wstring openPortName_;
    bool destroyed_ = false;
    // PreviousPortsList as it was when ports arrived below the port under test, where
    // the running search never goes back.
    std::optional<std::vector<std::wstring>> portsBeforeArrivalDuringSearch_;
    bool registryTypeErrorShown_ = false;
    std::set<std::wstring> registryTypeErrorsLogged_; // value names already reported
};
