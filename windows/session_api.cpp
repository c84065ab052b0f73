// wtsapi32.dll from System32, looked up once (see session_api.h).
#include "windows/session_api.h"

#include "windows/system_library.h"

namespace win32 {

namespace {

struct SessionFunctions {
    HMODULE library = LoadSystemLibrary(L"wtsapi32.dll");
    decltype(&WTSQuerySessionInformationW) query =
        SystemFunction<decltype(&WTSQuerySessionInformationW)>(library, "WTSQuerySessionInformationW");
    decltype(&WTSFreeMemory) free = SystemFunction<decltype(&WTSFreeMemory)>(library, "WTSFreeMemory");
    decltype(&WTSRegisterSessionNotification) registerWindow =
        SystemFunction<decltype(&WTSRegisterSessionNotification)>(library, "WTSRegisterSessionNotification");
    decltype(&WTSUnRegisterSessionNotification) unregisterWindow =
        SystemFunction<decltype(&WTSUnRegisterSessionNotification)>(library, "WTSUnRegisterSessionNotification");
};

const SessionFunctions& Functions()
{
    static const SessionFunctions functions;
    return functions;
}

BOOL Missing()
{
    SetLastError(ERROR_PROC_NOT_FOUND);
    return FALSE;
}

} // namespace

BOOL QuerySessionInformation(DWORD sessionId, WTS_INFO_CLASS what, LPWSTR* buffer, DWORD* bytes)
{
    const auto query = Functions().query;
    return query != nullptr ? query(WTS_CURRENT_SERVER_HANDLE, sessionId, what, buffer, bytes) : Missing();
}

void FreeSessionMemory(void* memory)
{
    if (const auto free = Functions().free; free != nullptr && memory != nullptr)
        free(memory);
}

BOOL RegisterSessionNotification(HWND window, DWORD flags)
{
    const auto registerWindow = Functions().registerWindow;
    return registerWindow != nullptr ? registerWindow(window, flags) : Missing();
}

BOOL UnregisterSessionNotification(HWND window)
{
    const auto unregisterWindow = Functions().unregisterWindow;
    return unregisterWindow != nullptr ? unregisterWindow(window) : Missing();
}

} // namespace win32
