#pragma once
#include <string>

struct LocalDateTime {
    int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
};

// The local wall clock and the user's locale time separator.
class LocalClock {
public:
    virtual ~LocalClock() = default;
    virtual LocalDateTime Now() = 0;
    virtual std::wstring TimeSeparator() = 0;
};
