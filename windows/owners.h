// The owners of every Win32 resource the program holds: one move-only template with the release
// function and the invalid value as parameters, an alias per kind of resource, the two handles of
// a started process, and the scoped DC and font selection of a measure or a paint.
#pragma once
#include <windows.h>

#include <cstdint>

#include "windows/newer_api.h"

namespace win32 {

namespace detail {

// What a release function returns when it succeeded.
inline bool Released(BOOL result) noexcept
{
    return result != FALSE; // CloseHandle, DeleteObject, DestroyIcon, DestroyMenu
}
inline bool Released(LONG result) noexcept
{
    return result == ERROR_SUCCESS; // RegCloseKey
}
inline bool Released(void* result) noexcept
{
    return result == nullptr; // LocalFree, GlobalFree hand back the block they could not free
}

// LocalFree for the typed blocks the system allocates (strings, ACLs, the argument vector).
template <class T> HLOCAL LocalFreeOf(T block) noexcept
{
    return ::LocalFree(reinterpret_cast<HLOCAL>(block));
}

// A timer of the default timer queue deleted, once a callback under way has returned
// (INVALID_HANDLE_VALUE): what the callback uses may go right after. Never from the callback itself,
// which would wait for its own end.
inline BOOL DeleteTimerQueueTimerWaiting(HANDLE timer) noexcept
{
    return ::DeleteTimerQueueTimer(nullptr, timer, INVALID_HANDLE_VALUE);
}

// A wait of the thread pool unregistered once a callback under way has returned.
inline BOOL UnregisterWaitWaiting(HANDLE wait) noexcept
{
    return ::UnregisterWaitEx(wait, INVALID_HANDLE_VALUE);
}

} // namespace detail

// A move-only owner of one Win32 resource of type T, freed by ReleaseFunction. Most creators
// report failure with NULL; CreateFileW with INVALID_HANDLE_VALUE, hence InvalidValue. NULL is
// never a resource either, so an owner holding it is empty whatever its InvalidValue.
template <class T, auto ReleaseFunction, std::intptr_t InvalidValue = 0> class UniqueAny {
public:
    UniqueAny() noexcept = default;
    explicit UniqueAny(T value) noexcept : value_(value) {}
    UniqueAny(UniqueAny&& other) noexcept : value_(other.Release()) {}
    UniqueAny& operator=(UniqueAny&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    UniqueAny(const UniqueAny&) = delete;
    UniqueAny& operator=(const UniqueAny&) = delete;
    ~UniqueAny() { Close(); }

    static T Invalid() noexcept { return reinterpret_cast<T>(InvalidValue); }
    T Get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != Invalid() && value_ != T{}; }
    // Gives the resource up without freeing it.
    T Release() noexcept
    {
        T value = value_;
        value_ = Invalid();
        return value;
    }
    void Reset(T value = Invalid()) noexcept
    {
        if (value != value_) {
            Close();
            value_ = value;
        }
    }
    // For a creator that writes the resource to an out-parameter.
    T* Put() noexcept
    {
        Close();
        return &value_;
    }
    // Frees now; false when the release function fails (a deferred write error shows up at CloseHandle).
    bool Close() noexcept
    {
        if (!*this) {
            value_ = Invalid();
            return true;
        }
        return detail::Released(ReleaseFunction(Release()));
    }

private:
    T value_ = Invalid();
};

using UniqueHandle = UniqueAny<HANDLE, &::CloseHandle>;
using UniqueFile = UniqueAny<HANDLE, &::CloseHandle, -1>; // INVALID_HANDLE_VALUE
using UniqueFont = UniqueAny<HFONT, &::DeleteObject>;
using UniqueBitmap = UniqueAny<HBITMAP, &::DeleteObject>;
using UniqueIcon = UniqueAny<HICON, &::DestroyIcon>;
using UniqueMenu = UniqueAny<HMENU, &::DestroyMenu>;
using UniqueDesktop = UniqueAny<HDESK, &::CloseDesktop>;
using UniqueKey = UniqueAny<HKEY, &::RegCloseKey>;
// What LocalFree releases, by what it holds, so that no cast is needed at Put().
using UniqueLocalString = UniqueAny<wchar_t*, &detail::LocalFreeOf<wchar_t*>>;
using UniqueLocalAcl = UniqueAny<PACL, &detail::LocalFreeOf<PACL>>;
using UniqueLocalSecurityDescriptor = UniqueAny<PSECURITY_DESCRIPTOR, &detail::LocalFreeOf<PSECURITY_DESCRIPTOR>>;
using UniqueArgumentVector = UniqueAny<LPWSTR*, &detail::LocalFreeOf<LPWSTR*>>;
using UniqueGlobal = UniqueAny<HGLOBAL, &::GlobalFree>;
using UniqueSid = UniqueAny<PSID, &::FreeSid>;                         // AllocateAndInitializeSid
using UniqueEventSource = UniqueAny<HANDLE, &::DeregisterEventSource>; // RegisterEventSourceW
using UniqueWinEventHook = UniqueAny<HWINEVENTHOOK, &::UnhookWinEvent>;
// CreateTimerQueueTimer's timer on the default queue; its release waits for a running callback.
using UniqueTimerQueueTimer = UniqueAny<HANDLE, &detail::DeleteTimerQueueTimerWaiting>;
// RegisterWaitForSingleObject's wait; its release waits for a running callback.
using UniquePoolWait = UniqueAny<HANDLE, &detail::UnregisterWaitWaiting>;

// RegisterSuspendResumeNotification's registration (looked up at run time, windows/newer_api.h).
using UniqueSuspendResumeNotification = UniqueAny<HPOWERNOTIFY, &UnregisterSuspendResume>;

// The process and thread handles CreateProcessW hands back, closed together.
class UniqueProcessInformation {
public:
    UniqueProcessInformation() noexcept = default;
    UniqueProcessInformation(const UniqueProcessInformation&) = delete;
    UniqueProcessInformation& operator=(const UniqueProcessInformation&) = delete;
    ~UniqueProcessInformation() { Reset(); }

    const PROCESS_INFORMATION& Get() const noexcept { return info_; }
    // For CreateProcessW's out-parameter.
    PROCESS_INFORMATION* Put() noexcept
    {
        Reset();
        return &info_;
    }
    void Reset() noexcept
    {
        const UniqueHandle thread(info_.hThread);
        const UniqueHandle process(info_.hProcess);
        info_ = {};
    }

private:
    PROCESS_INFORMATION info_{};
};

// The device context of a window's client area (the screen's for NULL), released with the same window.
class WindowDc {
public:
    explicit WindowDc(HWND hwnd) noexcept : hwnd_(hwnd), dc_(::GetDC(hwnd)) {}
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    ~WindowDc()
    {
        if (dc_ != nullptr)
            ::ReleaseDC(hwnd_, dc_);
    }
    HDC Get() const noexcept { return dc_; }
    explicit operator bool() const noexcept { return dc_ != nullptr; }

private:
    HWND hwnd_;
    HDC dc_;
};

// An object selected into a device context for a scope; the one it replaced goes back in at the end,
// so that the object can be deleted once it is no longer selected.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) noexcept : dc_(dc), previous_(Select(dc, object)) {}
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;
    ~SelectedObject()
    {
        if (previous_ != nullptr)
            ::SelectObject(dc_, previous_);
    }

private:
    static HGDIOBJ Select(HDC dc, HGDIOBJ object) noexcept
    {
        if (dc == nullptr || object == nullptr)
            return nullptr;
        HGDIOBJ previous = ::SelectObject(dc, object);
        return previous == HGDI_ERROR ? nullptr : previous;
    }

    HDC dc_;
    HGDIOBJ previous_;
};

} // namespace win32
