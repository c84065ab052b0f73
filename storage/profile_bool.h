// The settings file's numbers and Boolean keys read as GetPrivateProfileIntW reads them: the monitor
// reads text through the profile seam and parses it here, so that a key's text is judged one way.
#pragma once
#include <cstdint>
#include <optional>
#include <string_view>

// An integer as the settings file stores it: "0x"/"0X" followed by hexadecimal, or
// optional leading blanks, an optional sign, then decimal digits or at most eight
// hexadecimal digits after "$", "x", "X", "0x" or "0X". The whole text must be used.
// nullopt when the text is none of these or a decimal number leaves the signed 32-bit range.
std::optional<std::int32_t> ParseProfileInteger(std::wstring_view text);

// A Boolean key: any integer other than 0 is true; text that is no integer gives defaultValue.
bool ParseProfileBool(std::wstring_view text, bool defaultValue);
