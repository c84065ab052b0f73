// The trace helper (see trace.h).
#include "windows/trace.h"

namespace win32 {

void TraceFailure(const std::wstring& call)
{
    const DWORD code = ::GetLastError();
    const std::wstring line = L"VORTikaMonitor: " + call + L" failed (error " + std::to_wstring(code) + L")\n";
    ::OutputDebugStringW(line.c_str());
    ::SetLastError(code);
}

} // namespace win32
