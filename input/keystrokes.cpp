// Typing: the keystroke table, the records of one key, and the Ctrl+V of a paste.
#include "input/keystrokes.h"

#include <algorithm>

#include "input/virtual_keys.h"

namespace {

template <std::size_t N> TypingOutcome Send(KeyboardSink& keyboard, const KeyboardRecord (&records)[N])
{
    constexpr int count = static_cast<int>(N);
    const int inserted = keyboard.SendRecords(records, count);
    return {count, count - std::clamp(inserted, 0, count)};
}

// Press and release travel in one SendInput call so no other input can fall between them.
TypingOutcome SendPair(KeyboardSink& keyboard, std::uint16_t vk, std::uint16_t scan, std::uint32_t flags)
{
    const KeyboardRecord records[2] = {
        {vk, scan, flags, 0, 0},
        {vk, scan, flags | kKeyEventFKeyUp, 0, 0},
    };
    return Send(keyboard, records);
}

} // namespace

TypingOutcome SendVirtualKey(KeyboardSink& keyboard, std::uint16_t virtualKey)
{
    return SendPair(keyboard, virtualKey, keyboard.ScanCode(virtualKey), 0);
}

TypingOutcome SendUnicodeChar(KeyboardSink& keyboard, std::uint16_t codeUnit)
{
    return SendPair(keyboard, 0, codeUnit, kKeyEventFUnicode);
}

TypingOutcome SendKeystrokes(KeyboardSink& keyboard, Clock& clock, const std::wstring& text)
{
    TypingOutcome outcome;
    for (const wchar_t ch : text) {
        // wchar_t is 32-bit off Windows; the text still holds UTF-16 units.
        const auto unit = static_cast<std::uint16_t>(ch);
        switch (unit) {
        case 8:
            outcome += SendVirtualKey(keyboard, kVkBack);
            break;
        case 9:
            outcome += SendVirtualKey(keyboard, kVkTab);
            break;
        case 10: // LF types Enter, as CR does: the target never sees a bare line feed
        case 13:
            outcome += SendVirtualKey(keyboard, kVkReturn);
            break;
        case 27:
            outcome += SendVirtualKey(keyboard, kVkEscape);
            break;
        default:
            // Letters go as Unicode characters, never as virtual keys, so no Shift
            // state is involved; the remaining control units are dropped.
            if (unit >= 32)
                outcome += SendUnicodeChar(keyboard, unit);
            break;
        }
        // Every unit, dropped ones included, costs the pause: it paces the target
        // at about one character per millisecond.
        clock.Sleep(1);
    }
    return outcome;
}

TypingOutcome PressCtrlV(KeyboardSink& keyboard)
{
    const std::uint16_t ctrl = keyboard.ScanCode(kVkControl);
    const std::uint16_t v = keyboard.ScanCode(kVkV);
    const KeyboardRecord records[4] = {
        {kVkControl, ctrl, 0, 0, 0},
        {kVkV, v, 0, 0, 0},
        {kVkV, v, kKeyEventFKeyUp, 0, 0},
        {kVkControl, ctrl, kKeyEventFKeyUp, 0, 0},
    };
    return Send(keyboard, records);
}
