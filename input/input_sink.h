// The input stream of the application in front: keyboard records for SendInput, their scan codes,
// the modifier keys the operator holds, and where synthesised input would go now.
#pragma once
#include <cstdint>

inline constexpr std::uint32_t kKeyEventFKeyUp = 0x0002;
inline constexpr std::uint32_t kKeyEventFUnicode = 0x0004;

// One INPUT_KEYBOARD record (KEYBDINPUT).
struct KeyboardRecord {
    std::uint16_t wVk = 0;
    std::uint16_t wScan = 0;
    std::uint32_t dwFlags = 0;
    std::uint32_t time = 0;
    std::uintptr_t dwExtraInfo = 0;
    bool operator==(const KeyboardRecord&) const = default;
};

class KeyboardLayout; // input/layout_keys.h

// The input stream of the focused application.
class KeyboardSink {
public:
    virtual ~KeyboardSink() = default;
    // SendInput with `count` keyboard records in one call; the number of events inserted
    // (fewer when Windows refuses them, as it does for an application with higher rights).
    virtual int SendRecords(const KeyboardRecord* records, int count) = 0;
    // The scan code of a virtual key on the current layout (MapVirtualKeyW, MAPVK_VK_TO_VSC):
    // remote-desktop and virtual-machine clients forward scan codes, not virtual keys.
    virtual std::uint16_t ScanCode(std::uint16_t virtualKey) = 0;
    // Shift, Ctrl, Alt or a Windows key is down now: injected keys would combine with it.
    virtual bool ModifierKeysDown() = 0;
    // The keyboard layout of the window in front (its thread's), looked up now, and CapsLock.
    virtual KeyboardLayout& LayoutInFront() = 0;
};

// Where synthesised input would go now.
enum class InputTarget {
    OtherApplication,
    ThisProgram,  // its window, tray menu or a message box is in front
    Shell,        // the taskbar, its overflow or the desktop, where Enter opens what is selected
    ShellHost,    // Start, Search, Task View, Alt+Tab or another Explorer window than a folder's:
                  // a burst there starts programs or switches windows
    Menu,         // a menu is open in front: letters choose its items and Enter runs one
    HigherRights, // an application run as administrator: Windows drops the keys, often silently
    Nobody        // no foreground window or input desktop: locked, secure desktop, session away,
                  // or for a moment while activation moves between windows
};

class InputFocus {
public:
    virtual ~InputFocus() = default;
    virtual InputTarget Target() = 0;
};
