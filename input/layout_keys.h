// Typing a character as the key of the keyboard layout in front that gives it, for the programs
// that read key codes and drop Unicode input (remote-control viewers, virtual machine consoles):
// the key with its scan code, Shift, Ctrl and Alt pressed and released around it (AltGr is
// Ctrl+Alt), a dead key before the letter it marks. A character no key gives is left to Unicode.
#pragma once
#include <cstdint>
#include <optional>
#include <vector>

#include "input/input_sink.h"

// A key of the layout and the modifiers it is typed with (VkKeyScanExW's answer).
struct LayoutKey {
    std::uint16_t VirtualKey = 0;
    bool Shift = false;
    bool Ctrl = false;
    bool Alt = false;
    bool operator==(const LayoutKey&) const = default;
};

// The keyboard layout of the window in front, as it stood when the burst began.
class KeyboardLayout {
public:
    virtual ~KeyboardLayout() = default;
    // The key that types this UTF-16 unit, if the layout has one (VkKeyScanExW).
    virtual std::optional<LayoutKey> KeyFor(std::uint16_t unit) = 0;
    // The one character this key gives with CapsLock on or off; none for a dead key or a key that
    // gives no or several characters (ToUnicodeEx, the keyboard state left as it was).
    virtual std::optional<std::uint16_t> CharOf(const LayoutKey& key, bool capsLock) = 0;
    // The dead key that puts this spacing accent (` ´ ^ ~ ¨) on the next letter, if the layout has one.
    virtual std::optional<LayoutKey> DeadKeyFor(std::uint16_t accent) = 0;
    // The key's scan code on this layout (MapVirtualKeyExW, MAPVK_VK_TO_VSC).
    virtual std::uint16_t ScanCode(std::uint16_t virtualKey) = 0;
    // CapsLock is on: Shift then turns letters to lower case.
    virtual bool CapsLockOn() = 0;
};

// The records that type `unit` through the layout's keys, in the order one SendInput call carries
// them: each key's modifiers pressed, the key pressed and released, its modifiers released. Empty
// when no key of the layout gives the unit in the case sent.
std::vector<KeyboardRecord> LayoutKeyRecords(KeyboardLayout& layout, std::uint16_t unit);
