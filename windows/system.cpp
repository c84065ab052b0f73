// The clock and the code page (see system.h). The pause checks itself: each wait is timed, and
// the wait in use gives way to the other when it runs long, as Windows 11 does to Sleep(1) in a
// process whose windows are all hidden.
#include "windows/system.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>

#include "windows/system_library.h"

namespace {

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

// How long past its due time a timer wait may run before we stop trusting it.
constexpr DWORD kTimerSlackMs = 100;

// winmm is loaded on the first pause, not at start-up: a monitor that never types never
// needs it (about 360 KB resident and a few milliseconds of start-up).
using TimePeriodFunction = UINT(WINAPI*)(UINT);
struct TimePeriod {
    TimePeriodFunction Begin = nullptr;
    TimePeriodFunction End = nullptr;
};

const TimePeriod& Winmm()
{
    static const TimePeriod functions = [] {
        TimePeriod found;
        // From System32 only (winmm is not a known DLL).
        const HMODULE winmm = win32::LoadSystemLibrary(L"winmm.dll");
        found.Begin = win32::SystemFunction<TimePeriodFunction>(winmm, "timeBeginPeriod");
        found.End = win32::SystemFunction<TimePeriodFunction>(winmm, "timeEndPeriod");
        if (found.Begin == nullptr || found.End == nullptr)
            found = {};
        return found;
    }();
    return functions;
}

// Sleep(1) lasts a whole scheduler tick (often 15.6 ms) unless the timer
// resolution is raised; raise it only for this wait, as it costs power system-wide.
void SleepWithRaisedResolution(DWORD ms)
{
    const TimePeriod& period = Winmm();
    const bool raised = period.Begin != nullptr && period.Begin(1) == 0; // TIMERR_NOERROR
    ::Sleep(ms);
    if (raised)
        period.End(1);
}

} // namespace

// Windows 10 1803 and later accept the high-resolution flag; earlier systems refuse it with
// ERROR_INVALID_PARAMETER and every pause is a Sleep at raised resolution. Where both exist,
// PauseChoice picks one pause after pause from what each pause measured (QueryPerformanceCounter,
// which every supported Windows has), so the pause stays about 1 ms when the window is hidden
// or shown.
Win32Clock::Win32Clock()
    : timer_(::CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS)),
      choice_(static_cast<bool>(timer_))
{
    LARGE_INTEGER frequency{};
    if (::QueryPerformanceFrequency(&frequency))
        countsPerSecond_ = frequency.QuadPart;
}

std::uint32_t Win32Clock::GetTickCount()
{
    return ::GetTickCount();
}

// The typing pause is 1 ms per unit: it has to really last about 1 ms, not a tick.
void Win32Clock::Sleep(std::uint32_t ms)
{
    if (ms == 0) {
        ::Sleep(0);
        return;
    }
    const PauseChoice::Way way = choice_.Next();
    LARGE_INTEGER start{}, end{};
    ::QueryPerformanceCounter(&start);
    if (way != PauseChoice::Way::Timer || !TimerWait(ms))
        SleepWithRaisedResolution(ms);
    ::QueryPerformanceCounter(&end);
    if (countsPerSecond_ <= 0)
        return;
    const std::int64_t waitedUs = (end.QuadPart - start.QuadPart) * 1'000'000 / countsPerSecond_;
    const std::int64_t lateUs = waitedUs - static_cast<std::int64_t>(ms) * 1000;
    choice_.Measured(way, lateUs <= 0 ? 0 : static_cast<std::uint32_t>(std::min<std::int64_t>(lateUs, INT32_MAX)));
}

// False when the timer could not be used, so the caller falls back to Sleep.
bool Win32Clock::TimerWait(std::uint32_t ms)
{
    LARGE_INTEGER due{};
    due.QuadPart = -static_cast<LONGLONG>(ms) * 10000; // relative, in 100 ns units
    if (!::SetWaitableTimer(timer_.Get(), &due, 0, nullptr, nullptr, FALSE))
        return false;
    const DWORD bound = ms < INFINITE - kTimerSlackMs ? ms + kTimerSlackMs : INFINITE - 1;
    const DWORD waited = ::WaitForSingleObject(timer_.Get(), bound);
    if (waited == WAIT_OBJECT_0)
        return true;
    ::CancelWaitableTimer(timer_.Get());
    return waited == WAIT_TIMEOUT; // already waited longer than asked
}

std::wstring Win32AnsiCodePage::ToWide(const std::string& bytes)
{
    if (bytes.empty() || bytes.size() > static_cast<std::size_t>(INT_MAX))
        return {};
    const int size = static_cast<int>(bytes.size());
    const int units = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
    if (units <= 0)
        return {};
    std::wstring text(static_cast<std::size_t>(units), L'\0');
    const int written = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, text.data(), units);
    text.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
    return text;
}

std::string Win32AnsiCodePage::ToAnsi(const std::wstring& text)
{
    if (text.empty() || text.size() > static_cast<std::size_t>(INT_MAX))
        return {};
    const int size = static_cast<int>(text.size());
    const int count = ::WideCharToMultiByte(CP_ACP, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    if (count <= 0)
        return {};
    std::string bytes(static_cast<std::size_t>(count), '\0');
    const int written = ::WideCharToMultiByte(CP_ACP, 0, text.data(), size, bytes.data(), count, nullptr, nullptr);
    bytes.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
    return bytes;
}
