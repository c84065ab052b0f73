#include "windows/serial.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <utility>

#include <windows.h>

#include "windows/unique_handle.h"

namespace {

// The registry value types the monitor tells apart.
static_assert(kRegSz == REG_SZ);
static_assert(kRegExpandSz == REG_EXPAND_SZ);
static_assert(kRegBinary == REG_BINARY);
static_assert(kRegDword == REG_DWORD);

static_assert(sizeof(DCB) == kDcbLength);
// The bit fields fBinary ... fAbortOnError share the one 32-bit word after BaudRate.
constexpr std::size_t kDcbFlagsOffset = offsetof(DCB, BaudRate) + sizeof(DWORD);
static_assert(kDcbFlagsOffset + sizeof(std::uint32_t) == offsetof(DCB, wReserved));

HANDLE ToHandle(PortHandle port)
{
    return reinterpret_cast<HANDLE>(port);
}

DCB ToDcb(const CommState& state)
{
    DCB dcb{};
    dcb.DCBlength = state.DCBlength;
    dcb.BaudRate = state.BaudRate;
    std::memcpy(reinterpret_cast<unsigned char*>(&dcb) + kDcbFlagsOffset, &state.Flags, sizeof(state.Flags));
    dcb.wReserved = state.wReserved;
    dcb.XonLim = state.XonLim;
    dcb.XoffLim = state.XoffLim;
    dcb.ByteSize = state.ByteSize;
    dcb.Parity = state.Parity;
    dcb.StopBits = state.StopBits;
    dcb.XonChar = state.XonChar;
    dcb.XoffChar = state.XoffChar;
    dcb.ErrorChar = state.ErrorChar;
    dcb.EofChar = state.EofChar;
    dcb.EvtChar = state.EvtChar;
    dcb.wReserved1 = state.wReserved1;
    return dcb;
}

CommState FromDcb(const DCB& dcb)
{
    CommState state;
    state.DCBlength = dcb.DCBlength;
    state.BaudRate = dcb.BaudRate;
    std::memcpy(&state.Flags, reinterpret_cast<const unsigned char*>(&dcb) + kDcbFlagsOffset, sizeof(state.Flags));
    state.wReserved = dcb.wReserved;
    state.XonLim = dcb.XonLim;
    state.XoffLim = dcb.XoffLim;
    state.ByteSize = dcb.ByteSize;
    state.Parity = dcb.Parity;
    state.StopBits = dcb.StopBits;
    state.XonChar = dcb.XonChar;
    state.XoffChar = dcb.XoffChar;
    state.ErrorChar = dcb.ErrorChar;
    state.EofChar = dcb.EofChar;
    state.EvtChar = dcb.EvtChar;
    state.wReserved1 = dcb.wReserved1;
    return state;
}

// Longest value name the registry allows, in characters, without the NUL.
constexpr DWORD kMaxValueName = 16383;

LSTATUS ValueName(HKEY key, DWORD index, DWORD longest, std::wstring& result)
{
    std::vector<wchar_t> name(static_cast<std::size_t>(longest) + 1);
    for (;;) {
        DWORD length = static_cast<DWORD>(name.size());
        const LSTATUS status = ::RegEnumValueW(key, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
        // A longer name added since the count was taken: once more with room for any name.
        if (status == ERROR_MORE_DATA && name.size() <= kMaxValueName) {
            name.resize(kMaxValueName + 1);
            continue;
        }
        if (status == ERROR_SUCCESS)
            result.assign(name.data(), length);
        return status;
    }
}

// The value's data as UTF-16 units; an odd last byte becomes a unit of its own.
std::optional<RegistryValue> ReadValue(HKEY key, const std::wstring& name)
{
    RegistryValue value;
    value.Name = name;
    std::vector<BYTE> data;
    // The value can grow between the size query and the read (a driver rewriting it).
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = 0;
        DWORD size = static_cast<DWORD>(data.size());
        const LSTATUS status =
            ::RegQueryValueExW(key, name.c_str(), nullptr, &type, data.empty() ? nullptr : data.data(), &size);
        if (status == ERROR_MORE_DATA || (status == ERROR_SUCCESS && data.empty() && size > 0)) {
            data.resize(size);
            continue;
        }
        if (status != ERROR_SUCCESS)
            return std::nullopt;
        value.Type = type;
        const std::size_t bytes = std::min<std::size_t>(size, data.size());
        value.Data.resize((bytes + 1) / 2);
        for (std::size_t i = 0; i < bytes; ++i) {
            const unsigned byte = static_cast<unsigned>(data[i]) << (i % 2 == 0 ? 0 : 8); // little-endian units
            value.Data[i / 2] = static_cast<wchar_t>(static_cast<unsigned>(value.Data[i / 2]) | byte);
        }
        return value;
    }
    return std::nullopt;
}

} // namespace

PortHandle Win32ComPorts::OpenPort(const std::wstring& devicePath)
{
    const HANDLE handle = ::CreateFileW(devicePath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        lastError_ = ::GetLastError();
        return kNoPort;
    }
    return reinterpret_cast<PortHandle>(handle);
}

bool Win32ComPorts::GetCommState(PortHandle port, CommState& state)
{
    DCB dcb = ToDcb(state);
    if (!::GetCommState(ToHandle(port), &dcb)) {
        lastError_ = ::GetLastError();
        return false;
    }
    state = FromDcb(dcb);
    return true;
}

bool Win32ComPorts::SetCommState(PortHandle port, const CommState& state)
{
    DCB dcb = ToDcb(state);
    if (!::SetCommState(ToHandle(port), &dcb)) {
        lastError_ = ::GetLastError();
        return false;
    }
    return true;
}

bool Win32ComPorts::SetCommTimeouts(PortHandle port, const CommTimeouts& timeouts)
{
    COMMTIMEOUTS native{timeouts.ReadIntervalTimeout, timeouts.ReadTotalTimeoutMultiplier,
                        timeouts.ReadTotalTimeoutConstant, timeouts.WriteTotalTimeoutMultiplier,
                        timeouts.WriteTotalTimeoutConstant};
    if (!::SetCommTimeouts(ToHandle(port), &native)) {
        lastError_ = ::GetLastError();
        return false;
    }
    return true;
}

bool Win32ComPorts::ReadFile(PortHandle port, std::uint8_t* buffer, std::uint32_t toRead, std::uint32_t& read)
{
    DWORD count = 0;
    const BOOL ok = ::ReadFile(ToHandle(port), buffer, toRead, &count, nullptr);
    if (!ok)
        lastError_ = ::GetLastError();
    read = count;
    return ok != FALSE;
}

bool Win32ComPorts::WriteFile(PortHandle port, const std::uint8_t* data, std::uint32_t count, std::uint32_t& written)
{
    DWORD done = 0;
    const BOOL ok = ::WriteFile(ToHandle(port), data, count, &done, nullptr);
    if (!ok)
        lastError_ = ::GetLastError();
    written = done;
    return ok != FALSE;
}

void Win32ComPorts::ClosePort(PortHandle port)
{
    if (port != kNoPort)
        ::CloseHandle(ToHandle(port));
}

void Win32ComPorts::ClearLineError(PortHandle port)
{
    DWORD errors = 0;
    ::ClearCommError(ToHandle(port), &errors, nullptr);
}

std::uint32_t Win32ComPorts::GetLastError()
{
    return lastError_;
}

std::optional<std::vector<RegistryValue>> Win32SerialCommRegistry::ReadValues()
{
    win32::UniqueKey key;
    // RegOpenKeyExW never creates: no key means no serial ports.
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, key.Put()) !=
        ERROR_SUCCESS)
        return std::nullopt;

    std::vector<RegistryValue> values;
    DWORD count = 0;
    DWORD longestName = 0;
    if (::RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &longestName,
                           nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return values;

    std::vector<std::wstring> names;
    for (DWORD index = 0; index < count; ++index) {
        std::wstring name;
        const LSTATUS status = ValueName(key.Get(), index, longestName, name);
        if (status == ERROR_NO_MORE_ITEMS)
            break; // values removed since the count was taken
        if (status == ERROR_SUCCESS)
            names.push_back(std::move(name));
    }
    for (const std::wstring& name : names)
        if (auto value = ReadValue(key.Get(), name))
            values.push_back(std::move(*value));
    return values;
}
