// The COM port seam: the port calls shaped as the Win32 ones (reads and writes synchronous), and
// the DCB and time-outs they carry, its values checked against <windows.h> in windows/serial.cpp.
#pragma once
#include <cstdint>
#include <string>

// An operating-system handle; all bits set means that nothing is open.
using PortHandle = std::uintptr_t;
inline constexpr PortHandle kNoPort = ~PortHandle{0};

// The DCB as the driver reports it. Every field is carried so that a read-modify-write leaves the
// fields the monitor does not set untouched: unused as they look, they are pinned by
// SerialOpen.AppliesLineSettingsAndTimeoutsAndNothingElse.
struct CommState {
    std::uint32_t DCBlength = 0;
    std::uint32_t BaudRate = 0;
    std::uint32_t Flags = 0; // the DCB's packed bit fields (fBinary ... fAbortOnError)
    std::uint16_t wReserved = 0;
    std::uint16_t XonLim = 0;
    std::uint16_t XoffLim = 0;
    std::uint8_t ByteSize = 0;
    std::uint8_t Parity = 0;
    std::uint8_t StopBits = 0;
    char XonChar = 0;
    char XoffChar = 0;
    char ErrorChar = 0;
    char EofChar = 0;
    char EvtChar = 0;
    std::uint16_t wReserved1 = 0;
    bool operator==(const CommState&) const = default;
};
inline constexpr std::uint32_t kDcbLength = 28;
inline constexpr std::uint8_t kNoParity = 0;
inline constexpr std::uint8_t kOneStopBit = 0;

struct CommTimeouts {
    std::uint32_t ReadIntervalTimeout = 0;
    std::uint32_t ReadTotalTimeoutMultiplier = 0;
    std::uint32_t ReadTotalTimeoutConstant = 0;
    std::uint32_t WriteTotalTimeoutMultiplier = 0;
    std::uint32_t WriteTotalTimeoutConstant = 0;
    bool operator==(const CommTimeouts&) const = default;
};

class ComPorts {
public:
    virtual ~ComPorts() = default;
    // CreateFileW(GENERIC_READ | GENERIC_WRITE, share 0, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL).
    virtual PortHandle OpenPort(const std::wstring& devicePath) = 0;
    virtual bool GetCommState(PortHandle port, CommState& state) = 0;
    virtual bool SetCommState(PortHandle port, const CommState& state) = 0;
    virtual bool SetCommTimeouts(PortHandle port, const CommTimeouts& timeouts) = 0;
    virtual bool Read(PortHandle port, std::uint8_t* buffer, std::uint32_t toRead, std::uint32_t& read) = 0;
    virtual bool Write(PortHandle port, const std::uint8_t* data, std::uint32_t count, std::uint32_t& written) = 0;
    virtual void ClosePort(PortHandle port) = 0;
    // ClearCommError: a driver with abort-on-error set fails every read after a line
    // error until this is called.
    virtual void ClearLineError(PortHandle port) = 0;
    // The error code of the last call that failed (GetLastError, taken right after it).
    virtual std::uint32_t LastError() = 0;
};
