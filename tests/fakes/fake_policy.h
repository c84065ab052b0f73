// Fakes of the machine policy key and of the event log: the key's values as a test sets them, and
// every event reported, in order.
#pragma once
#include <string>
#include <vector>

#include "storage/event_sink.h"
#include "storage/machine_policy.h"

class FakeMachinePolicyKey : public MachinePolicyKey {
public:
    std::vector<PolicyValue> ReadValues() override { return values; }
    std::vector<PolicyValue> values;
};

struct EventRecord {
    EventKind Kind;
    std::vector<std::wstring> Strings;
    bool operator==(const EventRecord&) const = default;
};

class FakeEventSink : public EventSink {
public:
    void Report(EventKind kind, const std::vector<std::wstring>& strings) override
    {
        events.push_back({kind, strings});
    }
    std::vector<EventRecord> events;
};
