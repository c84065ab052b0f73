// The guard of every handler (see error_guard.h).
#include "ui/error_guard.h"

#include <exception>

#include "ui/errors.h"

std::optional<std::wstring> RunCatching(const std::function<void()>& handler)
{
    try {
        handler();
        return std::nullopt;
    } catch (const MonitorError& e) {
        return e.Message();
    } catch (const std::exception& e) {
        // Library messages are ASCII.
        std::wstring text;
        for (const char* p = e.what(); *p != '\0'; ++p)
            text += static_cast<wchar_t>(static_cast<unsigned char>(*p));
        return text;
    } catch (...) {
        return std::wstring(L"Exception inconnue");
    }
}
