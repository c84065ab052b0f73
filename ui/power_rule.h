// Sleep and resume as WM_POWERBROADCAST tells them: which of its events the monitor acts on, so
// that one resume reopens the port once whatever Windows sends for it.
#pragma once
#include <cstdint>

// The events' codes (PBT_*), checked against Windows' in windows/main_window.cpp.
inline constexpr std::uintptr_t kPbtApmSuspend = 0x4;
inline constexpr std::uintptr_t kPbtApmResumeSuspend = 0x7;
inline constexpr std::uintptr_t kPbtApmResumeAutomatic = 0x12;

enum class PowerStep { None, Suspend, Resume };

class PowerEvents {
public:
    PowerStep Take(std::uintptr_t event);

private:
    bool resumed_ = false; // since the last suspend
};
