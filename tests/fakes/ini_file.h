// The INI format under the fake profile seam: the settings file's bytes as Windows' profile
// functions read and rewrite them, so the settings tests can assert the file's exact text.
#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// The private-profile (INI) format on decoded text, as GetPrivateProfileStringW and
// WritePrivateProfileStringW treat it. Lines end at LF; blanks (CR included) around a
// line are ignored. "[name]" opens a section (the name runs to the last "]");
// "name=value" gives a key its value; a line without "=" is a key without a value.
// Section and key names compare without regard to letter case; only the first
// section of a name counts.

// The value of key in section, without the blanks around it and with one pair of
// surrounding quotes removed; nullopt when the key is absent or has no "=".
std::optional<std::wstring> IniReadValue(std::wstring_view text, std::wstring_view section, std::wstring_view key);

// GetPrivateProfileStringW on text: the value, or defaultValue when there is none,
// cut to bufferChars - 1 characters.
std::wstring IniGetString(std::wstring_view text, std::wstring_view section, std::wstring_view key,
                          std::wstring_view defaultValue, std::size_t bufferChars);

// WritePrivateProfileStringW on text: the key's line is rewritten where it stands,
// a missing key is added after the last line of its section, a missing section is
// added at the end. Every other line stays as it was; new lines end with CR LF.
std::wstring IniWriteValue(std::wstring_view text, std::wstring_view section, std::wstring_view key,
                           std::wstring_view value);
