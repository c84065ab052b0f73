// The trace of Win32 failures that nothing can act on, for a debugger to see (DebugView, WinDbg):
// the failed call's own text and its error code, rather than a failure passing in silence.
#pragma once
#include <windows.h>

// The value of `expr`, traced with the text of `expr` and the last error when it is null or FALSE;
// usable where the caller keeps the value.
//     menu_.Reset(VORTIKA_TRACE_IF_FALSE(CreatePopupMenu()));
#define VORTIKA_TRACE_IF_FALSE(expr) ::win32::detail::TraceIfFalse((expr), L"" #expr, nullptr)
// The same for a call made for several things in turn (each timer, each control): `what` (a
// wide string) names the one that failed.
#define VORTIKA_TRACE_IF_FALSE_FOR(expr, what) ::win32::detail::TraceIfFalse((expr), L"" #expr, (what))

namespace win32::detail {

// Writes "VORTikaMonitor: <call> failed[ for <what>] (error <code>)"; the last error is kept.
void TraceFailure(const wchar_t* call, const wchar_t* what);

template <class T> T TraceIfFalse(T value, const wchar_t* call, const wchar_t* what)
{
    if (!value)
        TraceFailure(call, what);
    return value;
}

} // namespace win32::detail
