// The main window as designed at 96 DPI (the layout table, the timers' periods) and the
// arithmetic that places it at any DPI.
#pragma once
#include <array>
#include <cstdint>

#include "ui/shell_ids.h"

enum class ControlKind { PushButton, DropDownList, RadioButton, Memo, CheckBox, GroupBox, Label };

struct ControlSpec {
    const wchar_t* Name;
    int Id;
    ControlKind Kind;
    const wchar_t* Caption;
    int Left, Top, Width, Height; // client pixels at 96 DPI; chkCR and chkLF relative to GroupBox1
    bool TabStop;
    bool Enabled;
    bool InGroupBox;
};

struct PixelRect {
    int Left = 0, Top = 0, Width = 0, Height = 0;
    bool operator==(const PixelRect&) const = default;
};

inline constexpr int kDesignDpi = 96;
inline constexpr int kDesignedClientWidth = 782;
inline constexpr int kDesignedClientHeight = 369;
inline constexpr int kDesignedFontHeight = 11; // Tahoma 8 pt; lfHeight is its negative

// The window's timers as designed; start-up sets the watch to the period in force. TimerDelivery
// runs only while a burst or a paste waits, TimerArrivalPause once after an arrival.
struct DesignedTimer {
    const wchar_t* Name;
    unsigned Id;
    std::uint32_t PeriodMs;
    bool ArmedAtCreation;
};
inline constexpr DesignedTimer kDesignedTimer1{L"Timer1", kTimer1Id, 100, false};
inline constexpr DesignedTimer kDesignedTimerDetection{L"TimerDetection", kTimerDetectionId, 5000, false};
inline constexpr DesignedTimer kDesignedTimerDeviceWatch{L"TimerDeviceWatch", kTimerDeviceWatchId, 5000, true};
inline constexpr DesignedTimer kDesignedTimerDelivery{L"TimerDelivery", kTimerDeliveryId, 100, false};
inline constexpr DesignedTimer kDesignedTimerArrivalPause{L"TimerArrivalPause", kTimerArrivalPauseId, 1000, false};

inline constexpr std::uint32_t kTimer1Ms = kDesignedTimer1.PeriodMs;
inline constexpr std::uint32_t kTimerDetectionMs = kDesignedTimerDetection.PeriodMs;
inline constexpr std::uint32_t kTimerDeviceWatchMs = 3000;

// Creation order is the tab order.
extern const std::array<ControlSpec, 14> kFormLayout;

const ControlSpec& ControlById(int id);

// MulDiv(value, dpi, 96): rounded half away from zero.
int ScaleForDpi(int value, int dpi);

// The control's rectangle in the window's client area at `dpi`.
PixelRect ControlRect(const ControlSpec& entry, int dpi);

// The width of a check box or radio button: the scaled design, widened when its
// box and caption need more (text does not grow exactly with the DPI).
int CaptionedWidth(int scaledWidth, int boxWidth, int textWidth, int dpi);

// Top-left of a window of the given size centred in the work area, never above
// or left of the work area's top-left corner.
struct PixelPoint {
    int X = 0, Y = 0;
    bool operator==(const PixelPoint&) const = default;
};
PixelPoint CentreInWorkArea(const PixelRect& workArea, int width, int height);
