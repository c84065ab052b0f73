// Port names as the registry and the user give them.
#pragma once
#include <algorithm>
#include <string>
#include <vector>

// Port names as the user sees them: "com3" and "COM3" name the same port.
// Only ASCII letters are folded, so the result does not hang on the locale.
inline bool SamePortNameIgnoringCase(const std::wstring& a, const std::wstring& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        wchar_t x = a[i], y = b[i];
        if (x >= L'a' && x <= L'z')
            x = static_cast<wchar_t>(x - L'a' + L'A');
        if (y >= L'a' && y <= L'z')
            y = static_cast<wchar_t>(y - L'a' + L'A');
        if (x != y)
            return false;
    }
    return true;
}

// Paired Bluetooth devices' "Standard Serial over Bluetooth link" ports, by their value name under
// the serial-ports key: opening one whose device is out of reach takes seconds.
inline bool IsBluetoothPortValueName(const std::wstring& valueName)
{
    static const std::wstring prefix = L"\\Device\\BthModem";
    return valueName.starts_with(prefix);
}

inline bool ContainsPortIgnoringCase(const std::vector<std::wstring>& ports, const std::wstring& port)
{
    return std::ranges::any_of(ports, [&](const std::wstring& p) { return SamePortNameIgnoringCase(p, port); });
}
