// The control surface: the controls, timers, tray icon, window and application as the monitor's
// logic reads and writes them; windows/ binds them to real controls, tests/fakes/ to recorders.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class ComboBox {
public:
    virtual ~ComboBox() = default;
    virtual void Clear() = 0; // removes every item and the selection
    virtual void AddItem(const std::wstring& item) = 0;
    virtual int Count() const = 0;
    virtual std::wstring Item(int index) const = 0;
    virtual int ItemIndex() const = 0; // -1 for none
    virtual void SetItemIndex(int index) = 0;
    virtual std::wstring Text() const = 0; // the selected item, empty when none
    virtual void SetEnabled(bool enabled) = 0;
    virtual void Refresh() = 0; // repaint now
    std::vector<std::wstring> Items() const
    {
        std::vector<std::wstring> items;
        for (int i = 0; i < Count(); ++i)
            items.push_back(Item(i));
        return items;
    }
};

// Selects the first item exactly equal to `text` (letter case counts); none equal leaves the selection.
inline void SelectExact(ComboBox& combo, const std::wstring& text)
{
    const std::vector<std::wstring> items = combo.Items();
    for (std::size_t i = 0; i < items.size(); ++i)
        if (items[i] == text) {
            combo.SetItemIndex(static_cast<int>(i));
            return;
        }
}

class CheckBox {
public:
    virtual ~CheckBox() = default;
    virtual bool Checked() const = 0;
    virtual void SetChecked(bool checked) = 0;
    virtual void SetEnabled(bool enabled) = 0;
};

// Checking one button of the group unchecks the others; unchecking leaves them.
class RadioButton : public CheckBox {};

class Button {
public:
    virtual ~Button() = default;
    virtual bool Enabled() const = 0;
    virtual void SetEnabled(bool enabled) = 0;
};

class Label {
public:
    virtual ~Label() = default;
    virtual std::wstring Caption() const = 0;
    virtual void SetCaption(const std::wstring& caption) = 0;
};

class Memo {
public:
    virtual ~Memo() = default;
    virtual void Clear() = 0;
    virtual void AddLine(const std::wstring& line) = 0;
    virtual std::vector<std::wstring> Lines() const = 0;
};

class MenuItem {
public:
    virtual ~MenuItem() = default;
    virtual void SetCaption(const std::wstring& caption) = 0;
    virtual void SetEnabled(bool enabled) = 0; // grayed when false
};

// A message-driven timer. Arm() on a running timer leaves its period running;
// a tick of a stopped timer never runs the handler; ticks never pile up.
class Timer {
public:
    virtual ~Timer() = default;
    virtual void SetInterval(std::uint32_t ms) = 0;
    virtual void Arm() = 0;
    virtual void Stop() = 0;
    virtual bool Running() const = 0;
};

// A glyph picture: size x size pixels, 0xAARRGGBB, rows top to bottom.
struct IconImage {
    int Size = 0;
    std::vector<std::uint32_t> Pixels;
};

inline constexpr std::uint32_t kBalloonNoIcon = 0; // NIIF_NONE

class TrayIcon {
public:
    virtual ~TrayIcon() = default;
    // The tray keeps its own copy of the icon.
    virtual void SetIcon(const IconImage& image) = 0;
    // The tray shows at most 127 characters of the tip.
    virtual void SetHint(const std::wstring& hint) = 0;
    virtual void ShowBalloon(const std::wstring& title, const std::wstring& text, std::uint32_t infoFlags,
                             std::uint32_t timeoutMs) = 0;
};

enum class MessageBoxKind {
    Plain, // no icon, OK only, centred on the screen
    Error  // stop icon, OK only
};

// The main window and the application object, as the show and hide steps use them.
class MainWindow {
public:
    virtual ~MainWindow() = default;
    virtual void AddToolWindowStyle() = 0; // GWL_EXSTYLE |= WS_EX_TOOLWINDOW, other bits unchanged
    virtual void SetFixedBorder() = 0;
    virtual void SetOpacity(std::uint8_t alpha) = 0; // SetLayeredWindowAttributes(LWA_ALPHA)
    virtual void SetWindowPos(int x, int y, int cx, int cy, std::uint32_t flags) = 0;
    virtual void SetDesignedClientSize() = 0; // 782 x 369 at 96 DPI, scaled with the DPI
    virtual void RequestCentring() = 0;       // centre on the work area at the next show
    virtual bool Visible() const = 0;
    virtual void Show() = 0;                                 // visible flag set, shown and brought to the front
    virtual void Hide() = 0;                                 // visible flag cleared, hidden
    virtual void ShowApplicationWindow(int showCommand) = 0; // SW_HIDE (0) or SW_RESTORE (9)
    virtual void SetNormalState() = 0;
    virtual void BringApplicationToFront() = 0;
    virtual void SetForegroundWindow() = 0;
};

inline constexpr std::uint32_t kSwpNoSize = 0x0001;
inline constexpr std::uint32_t kSwpNoMove = 0x0002;
inline constexpr std::uint32_t kSwpNoZOrder = 0x0004;
inline constexpr std::uint32_t kSwpNoActivate = 0x0010;
inline constexpr std::uint32_t kSwpShowWindow = 0x0040;
inline constexpr int kSwHide = 0;
inline constexpr int kSwRestore = 9;

class Application {
public:
    virtual ~Application() = default;
    // Modal: runs its own message loop, so timers and tray events go on meanwhile. While a
    // box with the same text is open (further down the stack), nothing is shown.
    virtual void ShowMessage(const std::wstring& text, MessageBoxKind kind) = 0;
    // The same box, shown once the handler that asks for it has returned.
    virtual void ShowMessageLater(const std::wstring& text, MessageBoxKind kind) = 0;
    // Dispatches the pending window messages once.
    virtual void ProcessMessages() = 0;
    // The message loop ends after the current event.
    virtual void Terminate() = 0;
};
