// The Win32 bindings of the serial seams: the COM port calls, passed through with the error code
// taken at the failing call, and the serial-ports registry key read value by value.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "serial/com_ports.h"
#include "serial/serial_registry.h"

// Thin pass-through: the monitor owns the handles it opens and closes them itself.
class Win32ComPorts : public ComPorts {
public:
    PortHandle OpenPort(const std::wstring& devicePath) override;
    bool GetCommState(PortHandle port, CommState& state) override;
    bool SetCommState(PortHandle port, const CommState& state) override;
    bool SetCommTimeouts(PortHandle port, const CommTimeouts& timeouts) override;
    bool Read(PortHandle port, std::uint8_t* buffer, std::uint32_t toRead, std::uint32_t& read) override;
    bool Write(PortHandle port, const std::uint8_t* data, std::uint32_t count, std::uint32_t& written) override;
    void ClosePort(PortHandle port) override;
    void ClearLineError(PortHandle port) override;
    std::uint32_t LastError() override;

private:
    bool Succeeded(bool ok);
    std::uint32_t lastError_ = 0;
};

class Win32SerialCommRegistry : public SerialCommRegistry {
public:
    std::optional<std::vector<RegistryValue>> ReadValues() override;
};
