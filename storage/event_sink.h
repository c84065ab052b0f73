// The Windows event log as the monitor reports to it: a small fixed set of events, each with its
// id and level, for what an administrator would alert on.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

enum class EventKind {
    DeviceConnected,      // the port
    LinkLost,             // the port, the log line that says why
    BurstNotDelivered,    // the reason
    BurstDeliveredInPart, // the reason
    Error                 // the text of the box or of the error line
};

enum class EventLevel { Information, Warning, Error };

struct EventEntry {
    std::uint16_t Id; // the message's id in windows/event_messages.mc
    EventLevel Level;
};

constexpr EventEntry EventEntryOf(EventKind kind)
{
    switch (kind) {
    case EventKind::DeviceConnected:
        return {1000, EventLevel::Information};
    case EventKind::LinkLost:
        return {1001, EventLevel::Warning};
    case EventKind::BurstNotDelivered:
        return {1002, EventLevel::Warning};
    case EventKind::BurstDeliveredInPart:
        return {1003, EventLevel::Warning};
    case EventKind::Error:
        return {1004, EventLevel::Error};
    }
    return {1004, EventLevel::Error};
}

// The source "VOR-TIKA Monitor" of the Application log. Reporting never fails towards the monitor.
class EventSink {
public:
    virtual ~EventSink() = default;
    virtual void Report(EventKind kind, const std::vector<std::wstring>& strings) = 0;
};
