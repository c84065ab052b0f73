// The input bindings (see input.h).
#include "windows/input.h"

#include <cstring>
#include <limits>
#include <vector>

#include "windows/owners.h"

// The portable layer's copies of the flags it puts in keyboard records.
static_assert(kKeyEventFKeyUp == KEYEVENTF_KEYUP);
static_assert(kKeyEventFUnicode == KEYEVENTF_UNICODE);

int Win32KeyboardSink::SendRecords(const KeyboardRecord* records, int count)
{
    if (records == nullptr || count <= 0)
        return 0;
    // Value-initialised: every field the record does not carry stays 0.
    std::vector<INPUT> inputs(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        inputs[i].type = INPUT_KEYBOARD;
        inputs[i].ki.wVk = records[i].wVk;
        inputs[i].ki.wScan = records[i].wScan;
        inputs[i].ki.dwFlags = records[i].dwFlags;
        inputs[i].ki.time = records[i].time;
        inputs[i].ki.dwExtraInfo = records[i].dwExtraInfo;
    }
    // One call, so that a press and its release stay together in the input stream.
    return static_cast<int>(::SendInput(static_cast<UINT>(count), inputs.data(), static_cast<int>(sizeof(INPUT))));
}

namespace {

std::wstring DesktopName(HDESK desktop)
{
    wchar_t name[256] = {};
    DWORD needed = 0;
    if (!::GetUserObjectInformationW(desktop, UOI_NAME, name, sizeof(name) - sizeof(wchar_t), &needed))
        return {};
    return name;
}

} // namespace

// On a locked workstation or the UAC secure desktop the input desktop is not ours (and a
// standard user may not even open it); there, and in a session away from the console,
// Windows gives no foreground window.
InputTarget Win32InputFocus::Target()
{
    HWND foreground = ::GetForegroundWindow();
    if (foreground == nullptr)
        return InputTarget::Nobody;
    const win32::UniqueDesktop input(::OpenInputDesktop(0, FALSE, DESKTOP_READOBJECTS));
    if (!input)
        return InputTarget::Nobody;
    const std::wstring ours = DesktopName(::GetThreadDesktop(::GetCurrentThreadId()));
    if (!ours.empty() && _wcsicmp(DesktopName(input.Get()).c_str(), ours.c_str()) != 0)
        return InputTarget::Nobody;
    DWORD process = 0;
    ::GetWindowThreadProcessId(foreground, &process);
    return process == ::GetCurrentProcessId() ? InputTarget::ThisProgram : InputTarget::OtherApplication;
}

void Win32KeyboardSink::SendKeyEvent(std::uint8_t bVk, std::uint8_t bScan, std::uint32_t dwFlags,
                                     std::uintptr_t dwExtraInfo)
{
    ::keybd_event(bVk, bScan, dwFlags, dwExtraInfo);
}

bool Win32Clipboard::Open()
{
    if (::OpenClipboard(owner_))
        return true;
    lastError_ = ::GetLastError();
    return false;
}

std::uint32_t Win32Clipboard::OpenError()
{
    return lastError_;
}

std::wstring Win32Clipboard::SystemErrorText(std::uint32_t code)
{
    // FORMAT_MESSAGE_ALLOCATE_BUFFER: the text is written to a LocalAlloc block whose address lands in buffer.
    win32::UniqueLocalString buffer;
    const DWORD length =
        ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                         nullptr, code, 0, reinterpret_cast<wchar_t*>(buffer.Put()), 0, nullptr);
    if (!buffer)
        return {};
    return std::wstring(buffer.Get(), length);
}

// The block goes to the monitor, which hands it to the clipboard or frees it with FreeBlock.
std::optional<ClipboardBlock> Win32Clipboard::AllocText(const std::wstring& text)
{
    if (text.size() >= std::numeric_limits<SIZE_T>::max() / sizeof(wchar_t) - 1)
        return std::nullopt;
    const SIZE_T bytes = (text.size() + 1) * sizeof(wchar_t);
    win32::UniqueGlobal block(::GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, bytes));
    if (!block)
        return std::nullopt;
    auto* units = static_cast<wchar_t*>(::GlobalLock(block.Get()));
    if (units == nullptr)
        return std::nullopt;
    std::memcpy(units, text.data(), text.size() * sizeof(wchar_t));
    units[text.size()] = L'\0';
    ::GlobalUnlock(block.Get());
    return reinterpret_cast<ClipboardBlock>(block.Release());
}

bool Win32Clipboard::Empty()
{
    return ::EmptyClipboard() != FALSE;
}

bool Win32Clipboard::SetUnicodeText(ClipboardBlock block)
{
    return ::SetClipboardData(CF_UNICODETEXT, reinterpret_cast<HANDLE>(block)) != nullptr;
}

namespace {

// One registered format holding a DWORD 0, on the open clipboard.
bool PlaceZeroDword(const wchar_t* formatName)
{
    const UINT format = ::RegisterClipboardFormatW(formatName); // the same number for every caller
    if (format == 0)
        return false;
    win32::UniqueGlobal block(::GlobalAlloc(GMEM_MOVEABLE, sizeof(DWORD)));
    if (!block)
        return false;
    auto* value = static_cast<DWORD*>(::GlobalLock(block.Get()));
    if (value == nullptr)
        return false;
    *value = 0;
    ::GlobalUnlock(block.Get());
    if (::SetClipboardData(format, block.Get()) == nullptr)
        return false;
    block.Release(); // the clipboard's now
    return true;
}

} // namespace

// Windows 10 1809 and later read these two formats when the clipboard changes: 0 keeps the
// text out of Win+V history and out of the cloud clipboard. Earlier systems ignore them.
bool Win32Clipboard::KeepOutOfHistory()
{
    const bool history = PlaceZeroDword(L"CanIncludeInClipboardHistory");
    const bool cloud = PlaceZeroDword(L"CanUploadToCloudClipboard");
    return history && cloud;
}

void Win32Clipboard::FreeBlock(ClipboardBlock block)
{
    ::GlobalFree(reinterpret_cast<HGLOBAL>(block));
}

void Win32Clipboard::Close()
{
    ::CloseClipboard();
}
