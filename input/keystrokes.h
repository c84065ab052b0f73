// Typing a text into the input stream: the code units as Unicode characters, the control characters
// as the keys they stand for, and the Ctrl+V of a paste; each call counts what Windows refused.
#pragma once
#include <cstdint>
#include <string>

#include "input/input_sink.h"
#include "system/clock.h"

// Keyboard events given to the input stream, and how many of them it refused.
struct TypingOutcome {
    int Events = 0;
    int Refused = 0;
    TypingOutcome& operator+=(const TypingOutcome& other)
    {
        Events += other.Events;
        Refused += other.Refused;
        return *this;
    }
};

// Presses and releases one virtual key with its scan code, in one SendInput call.
TypingOutcome SendVirtualKey(KeyboardSink& keyboard, std::uint16_t virtualKey);
// Types one UTF-16 code unit as a Unicode character, in one SendInput call.
TypingOutcome SendUnicodeChar(KeyboardSink& keyboard, std::uint16_t codeUnit);
// Layout keys in a row that go in one SendInput call, followed by a pause of 1 ms for each.
inline constexpr std::uint32_t kLayoutKeysPerCall = 32;

// Types a text one code unit at a time, pausing 1 ms after each unit. With a layout, each
// character that a key of it gives goes as that key, its modifiers around it, up to
// kLayoutKeysPerCall such characters in a row in one SendInput call; the others as Unicode
// characters.
TypingOutcome SendKeystrokes(KeyboardSink& keyboard, Clock& clock, const std::wstring& text,
                             KeyboardLayout* layout = nullptr);
// Ctrl down, V down, V up, Ctrl up with their scan codes, in one SendInput call, so that no key
// of the user's falls between them. A call cut short is followed at once by the releases of the
// keys it left down (as for every call here); the outcome counts the four events only.
TypingOutcome PressCtrlV(KeyboardSink& keyboard);
