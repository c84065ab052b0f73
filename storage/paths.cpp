// Paths, log file names and log lines (see paths.h).
#include "storage/paths.h"

#include <cwchar>

namespace {

bool IsAbsolute(const std::wstring& path)
{
    if (!path.empty() && IsPathSeparator(path[0]))
        return true;
    return path.size() >= 2 && path[1] == L':' &&
           ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'));
}

std::wstring TwoDigits(int value)
{
    wchar_t buffer[16];
    std::swprintf(buffer, 16, L"%02d", value);
    return buffer;
}

std::wstring DatePart(const LocalDateTime& when)
{
    wchar_t buffer[32];
    std::swprintf(buffer, 32, L"%04d-%02d-%02d", when.Year, when.Month, when.Day);
    return buffer;
}

} // namespace

std::wstring JoinPath(const std::wstring& a, const std::wstring& b)
{
    if (a.empty())
        return b;
    if (b.empty())
        return a;
    if (IsAbsolute(b))
        return b;
    if (IsPathSeparator(a.back()))
        return a + b;
    return a + L'\\' + b;
}

std::wstring LogFileName(const LocalDateTime& when)
{
    return L"VORTikaMonitor_" + DatePart(when) + L".log";
}

std::wstring FormatLogLine(const LocalDateTime& when, const std::wstring& timeSeparator, const std::wstring& message)
{
    return DatePart(when) + L' ' + TwoDigits(when.Hour) + timeSeparator + TwoDigits(when.Minute) + timeSeparator +
           TwoDigits(when.Second) + L" - " + message;
}
