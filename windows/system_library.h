// Libraries from System32 only: the program's own folder (a setup's temporary folder, a download
// folder) may hold a planted DLL of the same name.
#pragma once

#include <windows.h>

namespace win32 {

// First thing in wWinMain: later loads search System32 (and the few safe places the flag allows),
// never the program's folder or the current directory.
void RestrictDllSearch();

// The System32 copy of a library that is not one of the system's known DLLs; null when missing.
HMODULE LoadSystemLibrary(const wchar_t* name);

// GetProcAddress gives a generic function pointer; going through void (*)() says that the type is
// known to match.
template <class Function> Function SystemFunction(HMODULE library, const char* name)
{
    if (library == nullptr)
        return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

} // namespace win32
