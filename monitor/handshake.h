// The handshake query and reply marker, shared by the search and by the tries of the device's port.
#pragma once
#include <string>

// What the monitor asks each port under test, and the marker of the device's answer, which
// must arrive whole within one read.
inline const std::wstring kHandshakeQuery = L"$VOR-TIKA?\r";
inline const std::wstring kHandshakeReply = L"#VOR-TIKA!";

inline bool HoldsHandshakeReply(const std::wstring& text)
{
    return text.find(kHandshakeReply) != std::wstring::npos;
}
