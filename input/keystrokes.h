#pragma once
#include <cstdint>
#include <string>

#include "input/input_sink.h"
#include "system/clock.h"

// Presses and releases one virtual key, in one SendInput call.
void SendVirtualKey(KeyboardSink& keyboard, std::uint16_t virtualKey);
// Types one UTF-16 code unit as a Unicode character, in one SendInput call.
void SendUnicodeChar(KeyboardSink& keyboard, std::uint16_t codeUnit);
// Types a text one code unit at a time, pausing 1 ms after each unit.
void SendKeystrokes(KeyboardSink& keyboard, Clock& clock, const std::wstring& text);
