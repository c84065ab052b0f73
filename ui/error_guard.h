// The error report's guard: what escapes a handler, caught and turned into its message.
#pragma once
#include <functional>
#include <optional>
#include <string>

// Runs a handler; what escapes it comes back as the message the default error
// report shows (without the full stop ErrorReportText adds).
std::optional<std::wstring> RunCatching(const std::function<void()>& handler);
