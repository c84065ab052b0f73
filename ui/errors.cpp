// The error report's text (see errors.h).
#include "ui/errors.h"

std::wstring ErrorReportText(const std::wstring& message)
{
    if (message.empty() || message.back() <= L'.')
        return message;
    return message + L".";
}
