// The Win32 bindings of the system seams: the tick count and the typing pause that stays near
// 1 ms whatever the timer resolution (see system.cpp), and the ANSI code page conversions.
#pragma once
#include <cstdint>
#include <string>

#include "system/ansi_code_page.h"
#include "system/clock.h"
#include "system/pause_choice.h"
#include "windows/owners.h"

class Win32Clock : public Clock {
public:
    Win32Clock();
    std::uint32_t GetTickCount() override;
    void Sleep(std::uint32_t ms) override;

private:
    bool TimerWait(std::uint32_t ms);
    // High-resolution waitable timer; empty where the system refuses the flag.
    win32::UniqueHandle timer_;
    PauseChoice choice_;
    std::int64_t countsPerSecond_ = 0; // QueryPerformanceFrequency
};

class Win32AnsiCodePage : public AnsiCodePage {
public:
    std::wstring ToWide(const std::string& bytes) override;
    std::string ToAnsi(const std::wstring& text) override;
};
