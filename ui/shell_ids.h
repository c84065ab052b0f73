// Identifiers of the window shell (title, classes, messages, control, menu and timer ids), shared
// with the helper programs that drive it.
#pragma once

inline constexpr const wchar_t* kAppTitle = L"VOR-TIKA Monitor";
inline constexpr const wchar_t* kAppWindowClass = L"TApplication";
inline constexpr const wchar_t* kMainWindowClass = L"TForm1";

// The tray icon's callback message (WM_APP + 1) and its id.
inline constexpr unsigned kTrayCallbackMessage = 0x8000 + 1;
inline constexpr unsigned kTrayIconId = 1;

// Tray menu commands, sent to the main window as WM_COMMAND.
inline constexpr unsigned kMenuActiverId = 101;
inline constexpr unsigned kMenuAfficherId = 102;
inline constexpr unsigned kMenuQuitterId = 103;

// Control ids, in tab order where the control has one.
inline constexpr int kBtnConnectId = 201;
inline constexpr int kBtnDisconnectId = 202;
inline constexpr int kCmbPortsId = 203;
inline constexpr int kCmbBaudRateId = 204;
inline constexpr int kRbKeyboardId = 205;
inline constexpr int kMemoLastDataId = 206;
inline constexpr int kRbClipboardId = 207;
inline constexpr int kChkAutoConnectId = 208;
inline constexpr int kGroupBox1Id = 209;
inline constexpr int kChkCRId = 210;
inline constexpr int kChkLFId = 211;
inline constexpr int kLblPortId = 212;
inline constexpr int kLblBaudRateId = 213;
inline constexpr int kLblStatusId = 214;

// Timer ids of the main window.
inline constexpr unsigned kTimer1Id = 1;
inline constexpr unsigned kTimerDetectionId = 2;
inline constexpr unsigned kTimerDeviceWatchId = 3;
inline constexpr unsigned kTimerDeliveryId = 5;
inline constexpr unsigned kTimerArrivalPauseId = 6;
