// Paths and the activity log's file names and lines, as text.
#pragma once
#include <string>

#include "storage/local_clock.h"

inline bool IsPathSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

// Joins two path parts with a backslash, keeping an absolute second part as it is.
std::wstring JoinPath(const std::wstring& a, const std::wstring& b);

// "VORTikaMonitor_yyyy-mm-dd.log"
std::wstring LogFileName(const LocalDateTime& when);

// "yyyy-mm-dd hh:nn:ss - message", with the locale's time separator.
std::wstring FormatLogLine(const LocalDateTime& when, const std::wstring& timeSeparator, const std::wstring& message);
