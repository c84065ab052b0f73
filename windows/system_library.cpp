// Loading libraries from System32 only (see system_library.h).
#include "windows/system_library.h"

#include <string>

namespace win32 {

namespace {

// Windows 8 and later, and Windows 7 with its loader update (KB2533623).
using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
constexpr DWORD kSearchSystem32 = 0x00000800; // LOAD_LIBRARY_SEARCH_SYSTEM32

std::wstring SystemPath(const wchar_t* name)
{
    wchar_t system[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return {};
    return std::wstring(system, length) + L"\\" + name;
}

} // namespace

void RestrictDllSearch()
{
    // kernel32 is a known DLL, always mapped from System32.
    const auto setDefault =
        SystemFunction<SetDefaultDllDirectoriesFunction>(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories");
    if (setDefault == nullptr || !setDefault(kSearchSystem32))
        SetDllDirectoryW(L""); // at least not the current directory
}

HMODULE LoadSystemLibrary(const wchar_t* name)
{
    // The full path works on every version, with or without the loader update.
    const std::wstring path = SystemPath(name);
    return path.empty() ? nullptr : LoadLibraryExW(path.c_str(), nullptr, 0);
}

} // namespace win32
