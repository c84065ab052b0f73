// The serial bindings (see serial.h), with the DCB and the portable CommState kept field for field.
#include "windows/serial.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <utility>

#include <windows.h>

#include "serial/error_codes.h"
#include "serial/port_open.h"
#include "windows/owners.h"

namespace {

// The registry value types the monitor tells apart.
static_assert(kRegSz == REG_SZ);
static_assert(kRegExpandSz == REG_EXPAND_SZ);
static_assert(kRegBinary == REG_BINARY);
static_assert(kRegDword == REG_DWORD);

// The error codes the monitor tells apart after a failed read, write or open.
static_assert(kErrorBadCommand == ERROR_BAD_COMMAND && kErrorGenFailure == ERROR_GEN_FAILURE);
static_assert(kErrorSemTimeout == ERROR_SEM_TIMEOUT && kErrorOperationAborted == ERROR_OPERATION_ABORTED);
static_assert(kOpenTimedOutError == ERROR_SEM_TIMEOUT);

// The line settings the monitor writes into the DCB.
static_assert(sizeof(DCB) == kDcbLength);
static_assert(kNoParity == NOPARITY && kOneStopBit == ONESTOPBIT);
// The bit fields fBinary ... fAbortOnError share the one 32-bit word after BaudRate.
constexpr std::size_t kDcbFlagsOffset = offsetof(DCB, BaudRate) + sizeof(DWORD);
static_assert(kDcbFlagsOffset + sizeof(std::uint32_t) == offsetof(DCB, wReserved));

HANDLE ToHandle(PortHandle port)
{
    return reinterpret_cast<HANDLE>(port);
}

// The fields DCB and CommState both name, in either direction; the bit fields are copied apart.
template <class To, class From> void CopyNamedFields(To& to, const From& from)
{
    to.DCBlength = from.DCBlength;
    to.BaudRate = from.BaudRate;
    to.wReserved = from.wReserved;
    to.XonLim = from.XonLim;
    to.XoffLim = from.XoffLim;
    to.ByteSize = from.ByteSize;
    to.Parity = from.Parity;
    to.StopBits = from.StopBits;
    to.XonChar = from.XonChar;
    to.XoffChar = from.XoffChar;
    to.ErrorChar = from.ErrorChar;
    to.EofChar = from.EofChar;
    to.EvtChar = from.EvtChar;
    to.wReserved1 = from.wReserved1;
}

DCB ToDcb(const CommState& state)
{
    DCB dcb{};
    CopyNamedFields(dcb, state);
    std::memcpy(reinterpret_cast<unsigned char*>(&dcb) + kDcbFlagsOffset, &state.Flags, sizeof(state.Flags));
    return dcb;
}

CommState FromDcb(const DCB& dcb)
{
    CommState state;
    CopyNamedFields(state, dcb);
    std::memcpy(&state.Flags, reinterpret_cast<const unsigned char*>(&dcb) + kDcbFlagsOffset, sizeof(state.Flags));
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
    if (!Succeeded(handle != INVALID_HANDLE_VALUE))
        return kNoPort;
    return reinterpret_cast<PortHandle>(handle);
}

// The code is taken at the failing call: the log write that reports it would clobber the thread's own.
bool Win32ComPorts::Succeeded(bool ok)
{
    if (!ok)
        lastError_ = ::GetLastError();
    return ok;
}

bool Win32ComPorts::GetCommState(PortHandle port, CommState& state)
{
    DCB dcb = ToDcb(state);
    if (!Succeeded(::GetCommState(ToHandle(port), &dcb) != FALSE))
        return false;
    state = FromDcb(dcb);
    return true;
}

bool Win32ComPorts::SetCommState(PortHandle port, const CommState& state)
{
    DCB dcb = ToDcb(state);
    return Succeeded(::SetCommState(ToHandle(port), &dcb) != FALSE);
}

bool Win32ComPorts::SetCommTimeouts(PortHandle port, const CommTimeouts& timeouts)
{
    COMMTIMEOUTS native{timeouts.ReadIntervalTimeout, timeouts.ReadTotalTimeoutMultiplier,
                        timeouts.ReadTotalTimeoutConstant, timeouts.WriteTotalTimeoutMultiplier,
                        timeouts.WriteTotalTimeoutConstant};
    return Succeeded(::SetCommTimeouts(ToHandle(port), &native) != FALSE);
}

bool Win32ComPorts::Read(PortHandle port, std::uint8_t* buffer, std::uint32_t toRead, std::uint32_t& read)
{
    DWORD count = 0;
    const bool ok = Succeeded(::ReadFile(ToHandle(port), buffer, toRead, &count, nullptr) != FALSE);
    read = count;
    return ok;
}

bool Win32ComPorts::Write(PortHandle port, const std::uint8_t* data, std::uint32_t count, std::uint32_t& written)
{
    DWORD done = 0;
    const bool ok = Succeeded(::WriteFile(ToHandle(port), data, count, &done, nullptr) != FALSE);
    written = done;
    return ok;
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

std::uint32_t Win32ComPorts::LastError()
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
