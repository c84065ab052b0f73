// The Windows session this monitor runs in: whether it is the one in use at the console or a
// remote connection, or a disconnected one whose desktop nobody sees.
#pragma once
#include <optional>

class SessionState {
public:
    virtual ~SessionState() = default;
    // True when the session is active, false when it is not; nothing when Windows cannot say.
    virtual std::optional<bool> Active() = 0;
};
