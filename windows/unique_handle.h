#pragma once
#include <windows.h>

namespace win32 {

// A move-only owner of a kernel handle. CreateFileW reports failure with
// INVALID_HANDLE_VALUE, most other creators with NULL: the traits say which.
template <class Traits> class BasicHandle {
public:
    BasicHandle() noexcept = default;
    explicit BasicHandle(HANDLE handle) noexcept : handle_(handle) {}
    BasicHandle(BasicHandle&& other) noexcept : handle_(other.Release()) {}
    BasicHandle& operator=(BasicHandle&& other) noexcept
    {
        if (this != &other) {
            Close();
            handle_ = other.Release();
        }
        return *this;
    }
    BasicHandle(const BasicHandle&) = delete;
    BasicHandle& operator=(const BasicHandle&) = delete;
    ~BasicHandle() { Close(); }

    HANDLE Get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != Traits::Invalid(); }
    HANDLE Release() noexcept
    {
        HANDLE handle = handle_;
        handle_ = Traits::Invalid();
        return handle;
    }
    // Closes now; false when CloseHandle fails (a deferred write error shows up there).
    bool Close() noexcept
    {
        if (handle_ == Traits::Invalid())
            return true;
        return ::CloseHandle(Release()) != FALSE;
    }

private:
    HANDLE handle_ = Traits::Invalid();
};

struct NullIsInvalid {
    static HANDLE Invalid() noexcept { return nullptr; }
};
struct InvalidHandleValueIsInvalid {
    static HANDLE Invalid() noexcept { return INVALID_HANDLE_VALUE; }
};

using UniqueHandle = BasicHandle<NullIsInvalid>;
using UniqueFile = BasicHandle<InvalidHandleValueIsInvalid>;

} // namespace win32
