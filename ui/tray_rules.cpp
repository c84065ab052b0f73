// The tray icon's rules (see tray_rules.h).
#include "ui/tray_rules.h"

std::wstring FitField(const std::wstring& text, std::size_t capacity)
{
    if (capacity == 0)
        return {};
    return text.substr(0, capacity - 1);
}
