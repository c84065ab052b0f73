// The trace of failed calls (see trace.h).
#include "windows/trace.h"

#include <string>

namespace win32::detail {

void TraceFailure(const wchar_t* call, const wchar_t* what)
{
    const DWORD code = ::GetLastError();
    std::wstring line = L"VORTikaMonitor: ";
    line += call;
    line += L" failed";
    if (what != nullptr) {
        line += L" for ";
        line += what;
    }
    line += L" (error " + std::to_wstring(code) + L")\n";
    ::OutputDebugStringW(line.c_str());
    ::SetLastError(code);
}

} // namespace win32::detail
