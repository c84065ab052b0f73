// TForm1, the monitor: one object that holds the monitor's state and carries every operation as a
// method, as the window class of a desktop toolkit would. It reaches its controls by their own names
// (FormControls, inherited privately) and the platform through the seams of FormPlatform, both
// handed to its constructor, so that the same object runs on the real window and on the fakes.
// The operations live one file of monitor/ per concern; this header is their one list.
#pragma once
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "input/clipboard.h"
#include "input/input_sink.h"
#include "input/keystrokes.h"
#include "serial/com_ports.h"
#include "serial/port_open.h"
#include "serial/serial_registry.h"
#include "storage/event_sink.h"
#include "storage/file_system.h"
#include "storage/local_clock.h"
#include "storage/log_backlog.h"
#include "storage/machine_policy.h"
#include "storage/profile_store.h"
#include "system/ansi_code_page.h"
#include "system/clock.h"
#include "system/session_state.h"
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
    Timer& TimerDelivery;
    Timer& TimerArrivalPause;
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
    PortOpener& portOpener;
    SerialCommRegistry& registry;
    KeyboardSink& keyboard;
    InputFocus& inputFocus;
    Clipboard& clipboard;
    ProfileStore& profile;
    SessionState& session;
    MachinePolicyKey& policyKey;
    EventSink& events;
};

// The monitor: its state, its controls (reached by their own names, inherited
// from FormControls) and every operation, one file of monitor/ per concern.
class TForm1 : private FormControls {
public:
    TForm1(const FormControls& controls, const FormPlatform& platform);
    // A monitor that goes away with a port open closes it through the seam.
    ~TForm1();
    TForm1(const TForm1&) = delete;
    TForm1& operator=(const TForm1&) = delete;

    // Life cycle (Unit1.cpp)
    void FormCreate();
    void FormDestroy();
    void EndSession();
    void StartDeviceMonitoring();
    void StopDeviceMonitoring();

    // Detection and connection (detection.cpp)
    void btnConnectClick();
    void btnDisconnectClick();
    void StartAutoDetection(bool automatic = true);
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

    // Bursts waiting for their turn, held keys or a paste being read (delivery.cpp)
    void TimerDeliveryTimer();

    // Serial port access (serial_port.cpp)
    void RefreshPortList();
    // Starts the open away from the GUI thread; PortOpenCompleted carries on with its outcome.
    void OpenSerialPort(const std::wstring& portName, std::uint32_t baudRate);
    void PortOpenCompleted(std::uint32_t ticket, const PortOpenOutcome& outcome);
    // The opened port becomes the monitor's port under test.
    OpenResult TakeOpenedPort(const std::wstring& portName, const PortOpenOutcome& outcome);
    std::wstring ReadSerialData();
    bool WriteToPort(const std::wstring& text);
    void CloseSerialPort();
    const std::wstring& OpenPortName() const { return openPortName_; }

    // Clipboard paste (clipboard_paste.cpp): the Ctrl+V events Windows refused, if any
    TypingOutcome PasteViaClipboard(const std::wstring& text);

    // The device's own port tried again after a loss; sessions and resume (reconnect.cpp)
    void SessionLeftConsole();
    void SessionReturnedToConsole();
    // What Windows says of the session now (at start-up, and once its notifications are registered).
    void SessionNotificationsRegistered();
    void PowerSuspending();
    void PowerResumed();

    // Port watch (port_watch.cpp)
    void TimerDeviceWatchTimer();
    bool TestConnection();
    void CheckDeviceChanges();
    void HandleDeviceArrival();
    void TimerArrivalPauseTimer();
    void HandleDeviceRemoval();
    bool IsPortStillAvailable();

    // Data folder and log (activity_log.cpp), settings (settings.cpp)
    void InitializePaths();
    void AddLog(const std::wstring& message);
    void WriteLogToFile(const std::wstring& message);
    // The kept log lines tried again (the watch's tick), never through a refused data folder.
    void FlushKeptLogLines();
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

    // Machine policy and the event log (policy.cpp)
    void ApplyMachinePolicy(); // at start-up, over the settings file
    void LogMachinePolicy();   // after the start-up line
    void PolicyChanged();      // Windows says policy changed
    const MachinePolicy& Policy() const { return policyReading_.policy; }
    std::optional<bool> PolicyRestoreClipboard() const { return Policy().restoreClipboard; }
    std::optional<bool> PolicyLayoutKeys() const { return Policy().layoutKeys; }
    void ReportToEventLog(EventKind kind, const std::vector<std::wstring>& strings);

    // The first rule of the link's state that the fields break, if any (link_state.cpp).
    std::optional<std::wstring> BrokenLinkRule() const;

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
    // Beyond the file's eight keys, read only: the clipboard's contents put back after each paste
    // (machine policy, when it sets it, wins).
    bool RestoreClipboard = false;
    // Read only too: keyboard mode types the keys of the layout in front where they give the text.
    bool LayoutKeys = false;

private:
    enum class LinkState { Idle, Detecting, Connected };
    LinkState State() const;

    struct PortWrite {
        bool CallFailed = false;
        std::uint32_t Written = 0;
        std::uint32_t Count = 0;
        bool Complete() const { return !CallFailed && Written == Count; }
    };
    PortWrite WriteText(const std::wstring& text);

    void ApplyBusyLayout();
    void ApplyIdleLayout();
    std::uint32_t SelectedBaudRate() const;
    void BeginSearch(const std::wstring& logLine, bool automatic);
    void SkipPortsOfTheOtherPass();
    void ContinueSearchAfterOpen(const std::wstring& portName, OpenResult result);
    void AbandonOpenInFlight();
    // The link lost without the user asking: the pending burst first, the reason, the close, and
    // the port remembered to be tried again.
    void LoseLink(const std::wstring& reasonLine, bool reportToEventLog = true);
    void StopPollAndClosePort();
    void NoteArrivalDuringSearch();
    void SearchPortsArrivedDuringSearch();

    struct PendingBurst {
        std::wstring Text;
        std::uint32_t ReceivedAt = 0;
    };
    struct PasteAwaitingRead {
        std::wstring Text;
        std::uint32_t PastedAt = 0;
    };
    void TakeBurst();
    void DeliverPendingBursts(bool closing);
    void DeliverBeforeClosing();
    void DeliverBurst(const std::wstring& text);
    void CheckPasteRead();
    void NoteUnconfirmedPaste(const std::wstring& line);
    void PutBackClipboard();
    void DropSavedClipboard();
    void DropSavedClipboardIfChanged();
    void ArmDeliveryTimerWhileWaiting();

    void SetMonitorEnabled(bool enabled);
    void ApplyPolicyToControls(const MachinePolicy* before);

    void RememberDevicePort(const std::wstring& port);
    void StopDevicePortTries();
    void TryDevicePortWhenDue();
    void TryDevicePort();
    void ContinueTryAfterOpen(const std::wstring& portName, const PortOpenOutcome& outcome);
    void EndDevicePortTry(const std::wstring& failureLine);
    bool DevicePortTryDue();

    // Platform
    FormPlatform platform_;
    LogBacklog logBacklog_; // lines refused by their file, until it takes them
    // A link found where the log or the settings file should be: said once, not at every line.
    bool logLinkReported_ = false;
    std::wstring logLinkCheckedFor_; // the day's file last looked at for a link
    bool settingsLinkReported_ = false;
    bool SettingsFileIsLink();
    // A data folder that is a link or no longer Administrators' own: not used at all this run.
    bool dataFolderRefused_ = false;
    bool RefuseDataFolder(DataFolderVerdict verdict);
    // Another user's file in the data folder (its own rights, other names): one event per file.
    std::set<std::wstring> filesReported_;
    void ReportFileOnce(const std::wstring& path, const std::wstring& text);
    static std::wstring RefusalReason(SharedFileAccess why); // " a ses propres droits d'accès"...
    void ReportLogRefusals(const std::vector<LogBacklog::Refusal>& refusals);
    SharedFileAccess SettingsFileAccess(bool create);

    std::wstring openPortName_;
    // The open running away from the GUI thread, waited for as a step of the detection; an outcome
    // with another ticket is late, and its handle is closed at once.
    struct OpenInFlight {
        std::uint32_t Ticket = 0;
        std::wstring PortName;
        std::uint32_t BaudRate = 0;
        bool Started = false; // false while a given-up open of the same port is still out
    };
    std::optional<OpenInFlight> openInFlight_;
    std::uint32_t lastOpenTicket_ = 0;
    // Opens given up whose outcome has not come back yet, by ticket: their port is not opened again
    // before that outcome's handle is closed.
    std::map<std::uint32_t, std::wstring> opensGivenUp_;
    void StartOpenInFlight();
    bool GivenUpOpenOut(const std::wstring& portName) const;
    // Automatic searches try the Bluetooth ports after every other one.
    std::set<std::wstring> bluetoothPorts_;
    bool automaticSearch_ = false;
    bool bluetoothPass_ = false;
    std::int32_t searchStart_ = 0;
    bool destroyed_ = false;
    // PreviousPortsList as it was when ports arrived below the port under test, where
    // the running search never goes back.
    std::optional<std::vector<std::wstring>> portsBeforeArrivalDuringSearch_;
    // The device's own port, tried again while idle after an involuntary loss
    // (or the saved port after start-up) until the user disconnects or disables.
    std::wstring devicePort_;
    bool devicePortTries_ = false;
    bool tryingDevicePort_ = false; // a try is the detection running now
    int devicePortTryCount_ = 0;
    std::uint32_t lastDevicePortTry_ = 0;
    std::wstring statusBeforeTry_;
    bool sessionAway_ = false;           // this session is not at the console
    bool goingToSleep_ = false;          // between the system's suspend and its resume
    bool startupSearchWhenBack_ = false; // started away from the console with automatic connection
    // Bursts received and not yet delivered, in order; the paste not yet read by any program.
    std::deque<PendingBurst> pendingBursts_;
    std::optional<PasteAwaitingRead> pasteAwaitingRead_;
    bool clipboardSaved_ = false; // the operator's clipboard waits to be put back
    // Not over the last paste (given up unread, or read first by another program): the copy goes
    // back after a later paste that the target reads.
    bool restoreWaitsForRead_ = false;
    bool registryTypeErrorShown_ = false;
    std::set<std::wstring> registryTypeErrorsLogged_; // value names already reported
    PolicyReading policyReading_;                     // the settings machine policy sets and locks
};
