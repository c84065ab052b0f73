// Fakes of the serial seams: the registry's values, COM ports with a scripted device behind each,
// and the opener that runs each open when the test says.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <functional>

#include "serial/com_ports.h"
#include "serial/port_open.h"
#include "serial/serial_registry.h"

class FakeSerialRegistry : public SerialCommRegistry {
public:
    std::optional<std::vector<RegistryValue>> ReadValues() override
    {
        ++reads;
        if (!keyExists)
            return std::nullopt;
        return values;
    }
    // Lists a port as the serial driver does: \Device\SerialN -> name.
    void AddPort(const std::wstring& portName)
    {
        values.push_back({L"\\Device\\Serial" + std::to_wstring(nextId++), kRegSz, portName});
    }
    void RemovePort(const std::wstring& portName)
    {
        std::erase_if(values, [&](const RegistryValue& v) { return v.Data == portName; });
    }
    bool keyExists = true;
    std::vector<RegistryValue> values;
    int reads = 0;
    int nextId = 0;
};

// A scripted device behind one device path.
struct FakeDevice {
    enum class FailStep { None, Open, GetState, SetState, SetTimeouts };
    FailStep failAt = FailStep::None;
    std::uint32_t failCode = 2;
    bool answersHandshake = false;
    std::string reply = "#VOR-TIKA!";
    CommState driverState{kDcbLength, 1200, 0x00001011, 0, 2048, 512, 7, 2, 1, 0x11, 0x13, 0, 0, 0, 0};

    std::string rx;                            // bytes the driver holds for the next reads
    std::string written;                       // every byte written to the device
    std::optional<std::uint32_t> readError;    // ReadFile fails with this code
    std::optional<std::uint32_t> abortedReads; // ReadFile fails with this code until ClearLineError
    int clears = 0;
    std::optional<std::uint32_t> writeError;    // WriteFile fails with this code
    std::optional<std::uint32_t> getStateError; // GetCommState on the open port fails
    std::optional<std::uint32_t> partialWrite;  // WriteFile succeeds writing this many bytes

    bool open = false;
    int opens = 0;
    std::optional<CommState> appliedState;
    std::optional<CommTimeouts> appliedTimeouts;
};

class FakeComPorts : public ComPorts {
public:
    // The device behind "\\.\<portName>", created on first use.
    FakeDevice& Device(const std::wstring& portName);
    bool HasDevice(const std::wstring& portName) const { return devices_.count(L"\\\\.\\" + portName) > 0; }

    PortHandle OpenPort(const std::wstring& devicePath) override;
    bool GetCommState(PortHandle port, CommState& state) override;
    bool SetCommState(PortHandle port, const CommState& state) override;
    bool SetCommTimeouts(PortHandle port, const CommTimeouts& timeouts) override;
    bool Read(PortHandle port, std::uint8_t* buffer, std::uint32_t toRead, std::uint32_t& read) override;
    bool Write(PortHandle port, const std::uint8_t* data, std::uint32_t count, std::uint32_t& written) override;
    void ClosePort(PortHandle port) override;
    void ClearLineError(PortHandle port) override;
    std::uint32_t LastError() override { return lastError_; }

    std::vector<std::wstring> createCalls; // device paths, in order
    std::vector<std::uint32_t> readSizes;  // toRead of each ReadFile
    std::vector<std::uint32_t> writeSizes; // count of each WriteFile
    std::vector<std::string> calls;        // every platform call by name, in order
    int closes = 0;
    int openCount() const;

private:
    FakeDevice* ByHandle(PortHandle port);
    std::map<std::wstring, std::unique_ptr<FakeDevice>> devices_;
    std::map<PortHandle, FakeDevice*> handles_;
    PortHandle nextHandle_ = 0x100;
    std::uint32_t lastError_ = 0;
};

// The opens that run away from the GUI thread, side by side: by default each comes back at once, as
// a quick port's does; with `holding`, or for a port in `blocked`, each waits until the test
// completes it (a slow Bluetooth port).
class FakePortOpener : public PortOpener {
public:
    explicit FakePortOpener(ComPorts& ports) : ports_(ports) {}
    void Start(std::uint32_t ticket, const std::wstring& portName, std::uint32_t baudRate) override
    {
        started.push_back(portName);
        pending_.push_back({ticket, portName, baudRate});
        if (!holding && !blocked.contains(portName))
            CompleteAt(pending_.size() - 1);
    }
    // Runs the oldest open now and hands its outcome back; false when none waits.
    bool CompleteNext() { return CompleteAt(0); }
    // Runs the oldest open of that port now and hands its outcome back; false when none waits.
    bool Complete(const std::wstring& portName)
    {
        for (std::size_t i = 0; i < pending_.size(); ++i)
            if (pending_[i].PortName == portName)
                return CompleteAt(i);
        return false;
    }

    bool holding = false;
    std::set<std::wstring> blocked;
    std::vector<std::wstring> started;
    std::function<void(std::uint32_t, const PortOpenOutcome&)> completed;

private:
    struct Request {
        std::uint32_t Ticket;
        std::wstring PortName;
        std::uint32_t BaudRate;
    };
    bool CompleteAt(std::size_t index)
    {
        if (index >= pending_.size())
            return false;
        const Request request = pending_[index];
        pending_.erase(pending_.begin() + static_cast<std::ptrdiff_t>(index));
        const PortOpenOutcome outcome = OpenAndConfigurePort(ports_, request.PortName, request.BaudRate);
        if (completed)
            completed(request.Ticket, outcome);
        return true;
    }
    ComPorts& ports_;
    std::vector<Request> pending_;
};
