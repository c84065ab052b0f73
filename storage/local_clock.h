// The local clock seam: the wall clock and the user's locale time separator, for the log's lines.
#pragma once
#include <string>

struct LocalDateTime {
    int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
};

class LocalClock {
public:
    virtual ~LocalClock() = default;
    virtual LocalDateTime Now() = 0;
    virtual std::wstring TimeSeparator() = 0;
};
