// The clock seam: milliseconds since system start (wrapping after 2^32 ms) and the blocking sleep.
#pragma once
#include <cstdint>

class Clock {
public:
    virtual ~Clock() = default;
    virtual std::uint32_t GetTickCount() = 0;
    // Blocks the calling (GUI) thread: no message is handled meanwhile.
    virtual void Sleep(std::uint32_t ms) = 0;
};
