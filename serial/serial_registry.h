// The serial-ports key, HKLM\HARDWARE\DEVICEMAP\SERIALCOMM, as the port list reads it: each value's
// name, type and data; the types checked against <windows.h> in windows/serial.cpp.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
// Binary and DWORD are never compared: any type but text is skipped and reported; the tests'
// odd values use them (SerialPortList.NonTextValue_*).
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;

struct RegistryValue {
    std::wstring Name;
    std::uint32_t Type = kRegSz;
    // The data as UTF-16 units, embedded NULs kept (meaningful for the text types).
    std::wstring Data;
};

// Read only, never created.
class SerialCommRegistry {
public:
    virtual ~SerialCommRegistry() = default;
    // The key's values in the registry's own order; nullopt when the key cannot be opened.
    virtual std::optional<std::vector<RegistryValue>> ReadValues() = 0;
};
