// The Win32 binding of the event log: the source "VOR-TIKA Monitor" of the Application log,
// registered once for the program's life; its messages are windows/event_messages.mc.
#pragma once
#include <windows.h>

#include "storage/event_sink.h"
#include "windows/owners.h"

class Win32EventSink : public EventSink {
public:
    Win32EventSink();
    Win32EventSink(const Win32EventSink&) = delete;
    Win32EventSink& operator=(const Win32EventSink&) = delete;
    void Report(EventKind kind, const std::vector<std::wstring>& strings) override;

private:
    win32::UniqueEventSource source_;
};
