#include "input/keystrokes.h"

// Placeholder bodies until delivery lands.
void SendVirtualKey(KeyboardSink&, std::uint16_t) {}
void SendUnicodeChar(KeyboardSink&, std::uint16_t) {}
void SendKeystrokes(KeyboardSink&, Clock&, const std::wstring&) {}
