// The fake COM ports and their devices (see fake_serial.h).
#include "tests/fakes/fake_serial.h"

#include <algorithm>
#include <cstring>

FakeDevice& FakeComPorts::Device(const std::wstring& portName)
{
    auto& slot = devices_[L"\\\\.\\" + portName];
    if (!slot)
        slot = std::make_unique<FakeDevice>();
    return *slot;
}

int FakeComPorts::openCount() const
{
    return static_cast<int>(handles_.size());
}

FakeDevice* FakeComPorts::ByHandle(PortHandle port)
{
    const auto it = handles_.find(port);
    return it == handles_.end() ? nullptr : it->second;
}

PortHandle FakeComPorts::OpenPort(const std::wstring& devicePath)
{
    createCalls.push_back(devicePath);
    calls.push_back("CreateFile");
    const auto it = devices_.find(devicePath);
    if (it == devices_.end()) {
        lastError_ = 2; // ERROR_FILE_NOT_FOUND
        return kNoPort;
    }
    FakeDevice& d = *it->second;
    if (d.failAt == FakeDevice::FailStep::Open) {
        lastError_ = d.failCode;
        return kNoPort;
    }
    if (d.open) {
        lastError_ = 5; // ERROR_ACCESS_DENIED: exclusive open
        return kNoPort;
    }
    d.open = true;
    ++d.opens;
    const PortHandle h = nextHandle_++;
    handles_[h] = &d;
    return h;
}

bool FakeComPorts::GetCommState(PortHandle port, CommState& state)
{
    calls.push_back("GetCommState");
    FakeDevice* d = ByHandle(port);
    if (d == nullptr) {
        lastError_ = 6; // ERROR_INVALID_HANDLE
        return false;
    }
    if (d->failAt == FakeDevice::FailStep::GetState) {
        lastError_ = d->failCode;
        return false;
    }
    if (d->getStateError) {
        lastError_ = *d->getStateError;
        return false;
    }
    if (state.DCBlength != kDcbLength) {
        lastError_ = 87; // ERROR_INVALID_PARAMETER
        return false;
    }
    state = d->appliedState.value_or(d->driverState);
    return true;
}

bool FakeComPorts::SetCommState(PortHandle port, const CommState& state)
{
    calls.push_back("SetCommState");
    FakeDevice* d = ByHandle(port);
    if (d == nullptr || d->failAt == FakeDevice::FailStep::SetState) {
        lastError_ = d ? d->failCode : 6;
        return false;
    }
    d->appliedState = state;
    return true;
}

bool FakeComPorts::SetCommTimeouts(PortHandle port, const CommTimeouts& timeouts)
{
    calls.push_back("SetCommTimeouts");
    FakeDevice* d = ByHandle(port);
    if (d == nullptr || d->failAt == FakeDevice::FailStep::SetTimeouts) {
        lastError_ = d ? d->failCode : 6;
        return false;
    }
    d->appliedTimeouts = timeouts;
    return true;
}

bool FakeComPorts::Read(PortHandle port, std::uint8_t* buffer, std::uint32_t toRead, std::uint32_t& read)
{
    readSizes.push_back(toRead);
    calls.push_back("ReadFile");
    read = 0;
    FakeDevice* d = ByHandle(port);
    if (d == nullptr) {
        lastError_ = 6;
        return false;
    }
    if (d->readError || d->abortedReads) {
        lastError_ = d->readError ? *d->readError : *d->abortedReads;
        return false;
    }
    const std::size_t n = std::min<std::size_t>(toRead, d->rx.size());
    std::memcpy(buffer, d->rx.data(), n);
    d->rx.erase(0, n);
    read = static_cast<std::uint32_t>(n);
    return true;
}

bool FakeComPorts::Write(PortHandle port, const std::uint8_t* data, std::uint32_t count, std::uint32_t& written)
{
    writeSizes.push_back(count);
    calls.push_back("WriteFile");
    written = 0;
    FakeDevice* d = ByHandle(port);
    if (d == nullptr) {
        lastError_ = 6;
        return false;
    }
    if (d->writeError) {
        lastError_ = *d->writeError;
        return false;
    }
    const std::uint32_t n = d->partialWrite ? std::min(*d->partialWrite, count) : count;
    d->written.append(reinterpret_cast<const char*>(data), n);
    written = n;
    if (d->answersHandshake && d->written.find("$VOR-TIKA?\r") != std::string::npos &&
        std::string(reinterpret_cast<const char*>(data), n).find("$VOR-TIKA?\r") != std::string::npos)
        d->rx += d->reply;
    return true;
}

void FakeComPorts::ClosePort(PortHandle port)
{
    ++closes;
    calls.push_back("CloseHandle");
    if (FakeDevice* d = ByHandle(port)) {
        d->open = false;
        d->appliedState.reset();
        handles_.erase(port);
    }
}

void FakeComPorts::ClearLineError(PortHandle port)
{
    calls.push_back("ClearCommError");
    if (FakeDevice* d = ByHandle(port)) {
        ++d->clears;
        d->abortedReads.reset();
    }
}
