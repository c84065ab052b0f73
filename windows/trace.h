// The trace of Win32 failures that nothing can act on, for a debugger to see.
#pragma once
#include <windows.h>

#include <string>

namespace win32 {

// A failed call whose result the program can do nothing about is still told to a debugger
// (DebugView, WinDbg), with the call and its error code, rather than passing in silence.
void TraceFailure(const std::wstring& call);

// The value, traced as a failure of `call` when it is null or FALSE.
template <class T> T TraceIfFalse(T value, const std::wstring& call)
{
    if (!value)
        TraceFailure(call);
    return value;
}

} // namespace win32
