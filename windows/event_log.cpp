// Reports to the Application log. Nothing here may hold up or fail the monitor: a source that
// cannot be opened or an event the service refuses is simply not reported.
#include "windows/event_log.h"

#include <vector>

namespace {

constexpr const wchar_t* kEventSource = L"VOR-TIKA Monitor";

WORD EventType(EventLevel level)
{
    switch (level) {
    case EventLevel::Information:
        return EVENTLOG_INFORMATION_TYPE;
    case EventLevel::Warning:
        return EVENTLOG_WARNING_TYPE;
    case EventLevel::Error:
        return EVENTLOG_ERROR_TYPE;
    }
    return EVENTLOG_ERROR_TYPE;
}

} // namespace

// A source that is not registered still opens: its events carry their strings without the text
// of the message table.
Win32EventSink::Win32EventSink() : source_(::RegisterEventSourceW(nullptr, kEventSource)) {}

void Win32EventSink::Report(EventKind kind, const std::vector<std::wstring>& strings)
{
    if (!source_)
        return;
    const EventEntry entry = EventEntryOf(kind);
    std::vector<LPCWSTR> pointers;
    pointers.reserve(strings.size());
    for (const std::wstring& s : strings)
        pointers.push_back(s.c_str());
    ::ReportEventW(source_.Get(), EventType(entry.Level), 0, entry.Id, nullptr, static_cast<WORD>(pointers.size()), 0,
                   pointers.empty() ? nullptr : pointers.data(), nullptr);
}
