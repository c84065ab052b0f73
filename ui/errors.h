// The error the monitor does not catch, and the text the default error report shows for it.
#pragma once
#include <stdexcept>
#include <string>

// An error that the monitor does not catch: it travels up to the application's
// default error report, which shows Message() in a message box.
class MonitorError : public std::runtime_error {
public:
    explicit MonitorError(std::wstring message) : std::runtime_error("MonitorError"), message_(std::move(message)) {}
    const std::wstring& Message() const { return message_; }

private:
    std::wstring message_;
};

// The text the default error report shows: a full stop is added when the last
// character sorts above '.' (a letter or a digit); a message that ends in a quote,
// a bracket, a blank or a full stop is shown as it is.
std::wstring ErrorReportText(const std::wstring& message);
