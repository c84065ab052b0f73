// The input bindings (see input.h).
#include "windows/input.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <string_view>
#include <vector>

#include "input/virtual_keys.h"
#include "input/window_kind.h"
#include "windows/owners.h"
#include "windows/session_api.h"

// The portable layer's copies of the flags it puts in keyboard records, and of the keys it sends.
static_assert(kKeyEventFKeyUp == KEYEVENTF_KEYUP);
static_assert(kKeyEventFUnicode == KEYEVENTF_UNICODE);
static_assert(kVkBack == VK_BACK && kVkTab == VK_TAB && kVkReturn == VK_RETURN && kVkEscape == VK_ESCAPE);
static_assert(kVkShift == VK_SHIFT && kVkControl == VK_CONTROL && kVkMenu == VK_MENU);
static_assert(kVkLeftWindows == VK_LWIN && kVkRightWindows == VK_RWIN && kVkV == 'V');

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

std::uint16_t Win32KeyboardSink::ScanCode(std::uint16_t virtualKey)
{
    return static_cast<std::uint16_t>(::MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC));
}

// SendInput does not reset the keyboard's state: a key the operator holds combines with ours.
bool Win32KeyboardSink::ModifierKeysDown()
{
    for (const int key : {VK_SHIFT, VK_CONTROL, VK_MENU, VK_LWIN, VK_RWIN})
        if ((::GetAsyncKeyState(key) & 0x8000) != 0)
            return true;
    return false;
}

// The layout of the thread that owns the window in front: Windows keeps one per thread, so that
// each application may have its own.
KeyboardLayout& Win32KeyboardSink::LayoutInFront()
{
    HWND foreground = ::GetForegroundWindow();
    const DWORD thread = foreground != nullptr ? ::GetWindowThreadProcessId(foreground, nullptr) : 0;
    layout_.Set(::GetKeyboardLayout(thread), (::GetKeyState(VK_CAPITAL) & 1) != 0);
    return layout_;
}

namespace {

// ToUnicodeEx's bit 2 leaves the keyboard state as it was (Windows 10 1607 and later). Earlier
// systems keep a dead key pending in this thread's state, which the same key typed again clears.
constexpr UINT kKeepKeyboardState = 0x4;

// What the key gives with its modifiers down and CapsLock as asked: the count of units written,
// negative for a dead key (whose spacing accent is written).
int Translate(HKL layout, const LayoutKey& key, bool capsLock, std::array<wchar_t, 8>& out)
{
    std::array<BYTE, 256> state{};
    if (key.Shift)
        state[VK_SHIFT] = state[VK_LSHIFT] = 0x80;
    if (key.Ctrl)
        state[VK_CONTROL] = state[VK_LCONTROL] = 0x80;
    if (key.Alt)
        state[VK_MENU] = state[VK_LMENU] = 0x80;
    if (capsLock)
        state[VK_CAPITAL] = 0x01;
    state[key.VirtualKey] = 0x80;
    const UINT scan = ::MapVirtualKeyExW(key.VirtualKey, MAPVK_VK_TO_VSC, layout);
    const int count = ::ToUnicodeEx(key.VirtualKey, scan, state.data(), out.data(), static_cast<int>(out.size()),
                                    kKeepKeyboardState, layout);
    if (count < 0) {
        std::array<wchar_t, 8> again{};
        ::ToUnicodeEx(key.VirtualKey, scan, state.data(), again.data(), static_cast<int>(again.size()),
                      kKeepKeyboardState, layout);
    }
    return count;
}

} // namespace

void Win32KeyboardLayout::Set(HKL layout, bool capsLock)
{
    layout_ = layout;
    capsLock_ = capsLock;
}

std::optional<LayoutKey> Win32KeyboardLayout::KeyFor(std::uint16_t unit)
{
    const auto found = static_cast<std::uint16_t>(::VkKeyScanExW(static_cast<WCHAR>(unit), layout_));
    const auto vk = static_cast<std::uint16_t>(found & 0xFF);
    const unsigned shiftState = found >> 8U;
    // 0xFF: no key. Beyond Shift, Ctrl and Alt (Hankaku, the layout's own states): not ours to press.
    if (vk == 0xFF || vk == 0 || (shiftState & ~0x07U) != 0)
        return std::nullopt;
    return LayoutKey{vk, (shiftState & 1U) != 0, (shiftState & 2U) != 0, (shiftState & 4U) != 0};
}

std::optional<std::uint16_t> Win32KeyboardLayout::CharOf(const LayoutKey& key, bool capsLock)
{
    std::array<wchar_t, 8> out{};
    if (Translate(layout_, key, capsLock, out) != 1)
        return std::nullopt;
    return static_cast<std::uint16_t>(out[0]);
}

// VkKeyScanExW does not name dead keys: every key of the layout is asked once, on its plain, Shift,
// AltGr and Shift+AltGr levels.
std::optional<LayoutKey> Win32KeyboardLayout::DeadKeyFor(std::uint16_t accent)
{
    if (!deadKeysFound_ || deadKeysOf_ != layout_) {
        deadKeys_.clear();
        // The lower levels first: a plain dead key is preferred to an AltGr one.
        for (const bool altGr : {false, true})
            for (const bool shift : {false, true})
                for (std::uint16_t vk = 1; vk < 0xFF; ++vk) {
                    const LayoutKey key{vk, shift, altGr, altGr};
                    std::array<wchar_t, 8> out{};
                    if (Translate(layout_, key, false, out) < 0)
                        deadKeys_.emplace_back(static_cast<std::uint16_t>(out[0]), key);
                }
        deadKeysOf_ = layout_;
        deadKeysFound_ = true;
    }
    for (const auto& [spacing, key] : deadKeys_)
        if (spacing == accent)
            return key;
    return std::nullopt;
}

std::uint16_t Win32KeyboardLayout::ScanCode(std::uint16_t virtualKey)
{
    return static_cast<std::uint16_t>(::MapVirtualKeyExW(virtualKey, MAPVK_VK_TO_VSC, layout_));
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
    return WindowKindOf(foreground);
}

namespace {

// The last sub-authority of the token's mandatory label: SECURITY_MANDATORY_MEDIUM_RID and so on.
std::optional<std::uint32_t> IntegrityOf(HANDLE process)
{
    win32::UniqueHandle token;
    if (!::OpenProcessToken(process, TOKEN_QUERY, token.Put()))
        return std::nullopt;
    DWORD size = 0;
    ::GetTokenInformation(token.Get(), TokenIntegrityLevel, nullptr, 0, &size);
    if (size < sizeof(TOKEN_MANDATORY_LABEL))
        return std::nullopt;
    std::vector<std::uint64_t> buffer((size + sizeof(std::uint64_t) - 1) / sizeof(std::uint64_t));
    if (!::GetTokenInformation(token.Get(), TokenIntegrityLevel, buffer.data(), size, &size))
        return std::nullopt;
    const PSID sid = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(buffer.data())->Label.Sid;
    if (sid == nullptr || !::IsValidSid(sid) || *::GetSidSubAuthorityCount(sid) == 0)
        return std::nullopt;
    return static_cast<std::uint32_t>(*::GetSidSubAuthority(sid, *::GetSidSubAuthorityCount(sid) - 1U));
}

std::wstring ImageFileName(HANDLE process)
{
    wchar_t path[MAX_PATH] = {};
    DWORD length = static_cast<DWORD>(std::size(path));
    if (!::QueryFullProcessImageNameW(process, 0, path, &length))
        return {};
    const std::wstring_view full(path, length);
    const std::size_t slash = full.find_last_of(L"\\/");
    return std::wstring(slash == std::wstring_view::npos ? full : full.substr(slash + 1));
}

std::wstring ClassOf(HWND window)
{
    wchar_t name[256] = {};
    const int length = ::GetClassNameW(window, name, static_cast<int>(std::size(name)));
    return std::wstring(name, static_cast<std::size_t>(std::max(length, 0)));
}

// Letters choose a menu's items and Enter runs one, in a menu bar's, a popup's or the system
// menu's loop; a shown menu window of the thread tells the same where the flags do not.
bool ThreadInMenu(DWORD thread)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (::GetGUIThreadInfo(thread, &info) &&
        (info.flags & (GUI_INMENUMODE | GUI_POPUPMENUMODE | GUI_SYSTEMMENUMODE)) != 0)
        return true;
    for (HWND menu = ::FindWindowExW(nullptr, nullptr, L"#32768", nullptr); menu != nullptr;
         menu = ::FindWindowExW(nullptr, menu, L"#32768", nullptr))
        if (::IsWindowVisible(menu) && ::GetWindowThreadProcessId(menu, nullptr) == thread)
            return true;
    return false;
}

} // namespace

InputTarget WindowKindOf(HWND window)
{
    WindowFacts facts;
    DWORD process = 0;
    const DWORD thread = ::GetWindowThreadProcessId(window, &process);
    facts.ThisProcess = process == ::GetCurrentProcessId();
    if (facts.ThisProcess)
        return InputTarget::ThisProgram;
    HWND root = ::GetAncestor(window, GA_ROOT);
    if (root == nullptr)
        root = window;
    facts.DesktopWindow = root == ::GetShellWindow();
    facts.RootClass = ClassOf(root);
    facts.InMenu = ThreadInMenu(thread);
    // Limited information is granted on elevated processes too; their token is not.
    if (const win32::UniqueHandle opened(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process)); opened) {
        facts.ProcessName = ImageFileName(opened.Get());
        facts.Integrity = IntegrityOf(opened.Get());
    }
    static const std::optional<std::uint32_t> own = IntegrityOf(::GetCurrentProcess());
    return ClassifyWindow(facts, own);
}

std::optional<bool> Win32SessionState::Active()
{
    wchar_t* buffer = nullptr;
    DWORD bytes = 0;
    // Fails under Wine (and in odd service set-ups): then nothing is known.
    if (!win32::QuerySessionInformation(WTS_CURRENT_SESSION, WTSConnectState, &buffer, &bytes) || buffer == nullptr)
        return std::nullopt;
    const bool active = bytes >= sizeof(WTS_CONNECTSTATE_CLASS) &&
                        *reinterpret_cast<const WTS_CONNECTSTATE_CLASS*>(buffer) == WTSActive;
    win32::FreeSessionMemory(buffer);
    return active;
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

// The monitor's own emptying: its WM_DESTROYCLIPBOARD, sent to this thread's window inside the
// call, is no change by another program.
bool Win32Clipboard::Empty()
{
    emptying_ = true;
    const bool emptied = ::EmptyClipboard() != FALSE;
    emptying_ = false;
    holdsPlaced_ = false;
    return emptied;
}

namespace {

DWORD ProcessOf(HWND window)
{
    DWORD process = 0;
    if (window != nullptr)
        ::GetWindowThreadProcessId(window, &process);
    return process;
}

// The executable's file name, as the operator knows the program.
std::wstring ProgramName(DWORD process)
{
    const win32::UniqueHandle handle(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process));
    wchar_t path[MAX_PATH] = {};
    DWORD length = MAX_PATH;
    if (!handle || !::QueryFullProcessImageNameW(handle.Get(), 0, path, &length))
        return L"processus " + std::to_wstring(process);
    const std::wstring full(path, length);
    const std::size_t slash = full.find_last_of(L"\\/");
    return slash == std::wstring::npos ? full : full.substr(slash + 1);
}

} // namespace

bool Win32Clipboard::HoldsPlacedText()
{
    return holdsPlaced_ && (owner_ == nullptr || ::GetClipboardOwner() == owner_);
}

// Between tries of a busy clipboard: its holder may be a reader inside GetClipboardData, waiting
// for this thread to render the last paste. Sent messages are handled; posted ones stay queued.
void Win32Clipboard::WaitServingReaders(std::uint32_t ms)
{
    const ULONGLONG end = ::GetTickCount64() + ms;
    for (;;) {
        MSG msg;
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        const ULONGLONG now = ::GetTickCount64();
        if (now >= end)
            return;
        ::MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(end - now), QS_SENDMESSAGE, 0);
    }
}

// Delayed rendering: the text is promised now and handed over on WM_RENDERFORMAT, which tells the
// monitor when the target has read it.
bool Win32Clipboard::SetUnicodeText(ClipboardBlock block)
{
    win32::UniqueGlobal text(reinterpret_cast<HGLOBAL>(block));
    if (owner_ == nullptr) {
        // Nobody to render for: handed over at once.
        if (::SetClipboardData(CF_UNICODETEXT, text.Get()) == nullptr) {
            text.Release(); // still the caller's
            return false;
        }
        text.Release();
        placed_ = PlacedText::Read;
        PlacedNow();
        return true;
    }
    // SetClipboardData returns the handle it was given, so NULL for a promise whether or not it
    // took: the promise is there when the clipboard, just emptied by us, now offers the format.
    ::SetClipboardData(CF_UNICODETEXT, nullptr);
    if (::GetClipboardOwner() != owner_ || !::IsClipboardFormatAvailable(CF_UNICODETEXT)) {
        text.Release();
        return false;
    }
    promised_ = std::move(text);
    placed_ = PlacedText::Unread;
    PlacedNow();
    return true;
}

// The window in front now is the one the Ctrl+V goes to.
void Win32Clipboard::PlacedNow()
{
    holdsPlaced_ = true;
    changedByOthers_ = false;
    reader_ = {0, ProcessOf(::GetForegroundWindow()), {}};
}

bool Win32Clipboard::HandleOwnerMessage(UINT msg, WPARAM wParam)
{
    switch (msg) {
    case WM_RENDERFORMAT:
        // Called inside the reader's open: SetClipboardData without opening.
        if (wParam == CF_UNICODETEXT && promised_ && ::SetClipboardData(CF_UNICODETEXT, promised_.Get()) != nullptr) {
            promised_.Release();
            placed_ = PlacedText::Read;
            // The reader's window is the one that opened the clipboard (none for a reader that
            // opened it without one).
            reader_.ReaderProcess = ProcessOf(::GetOpenClipboardWindow());
            if (reader_.ReaderProcess != 0 && reader_.ReaderProcess != reader_.TargetProcess)
                reader_.ReaderProgram = ProgramName(reader_.ReaderProcess);
        }
        return true;
    case WM_RENDERALLFORMATS:
        RenderPending();
        return true;
    case WM_DESTROYCLIPBOARD:
        holdsPlaced_ = false;
        if (!emptying_)
            changedByOthers_ = true;
        // Emptied before anyone read the text: by another program, or by our next paste.
        if (promised_) {
            promised_.Reset();
            placed_ = PlacedText::Replaced;
        }
        return true;
    case WM_ENDSESSION:
        // Windows may end the process once the message returns.
        if (wParam != FALSE)
            RenderPending();
        return false;
    default:
        return false;
    }
}

void Win32Clipboard::RenderPending()
{
    if (!promised_ || owner_ == nullptr || !::OpenClipboard(owner_))
        return;
    if (::GetClipboardOwner() == owner_ && ::SetClipboardData(CF_UNICODETEXT, promised_.Get()) != nullptr)
        promised_.Release();
    ::CloseClipboard();
}

Win32Clipboard::~Win32Clipboard()
{
    RenderPending();
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
// The third keeps Windows' own clipboard monitors from reading the text; "Clipboard Viewer
// Ignore" is the convention the common clipboard managers honour. Either would render the text
// before the target asks.
bool Win32Clipboard::KeepOutOfHistory()
{
    const bool history = PlaceZeroDword(L"CanIncludeInClipboardHistory");
    const bool cloud = PlaceZeroDword(L"CanUploadToCloudClipboard");
    const bool monitors = PlaceZeroDword(L"ExcludeClipboardContentFromMonitorProcessing");
    const bool managers = PlaceZeroDword(L"Clipboard Viewer Ignore");
    return history && cloud && monitors && managers;
}

void Win32Clipboard::FreeBlock(ClipboardBlock block)
{
    ::GlobalFree(reinterpret_cast<HGLOBAL>(block));
}

namespace {

// What is kept of the operator's clipboard: text, rich text and HTML, a picture, copied files, and
// the formats that keep a password manager's copy out of history, the cloud and other programs.
// GDI-handle formats cannot be copied as memory blocks; a picture also travels as a DIB.
constexpr SIZE_T kMostSavedBytes = 64u << 20;
// A delayed-rendering owner renders each format on request; past this the copy is given up, so
// that the paste and the monitor's window are not held for long.
constexpr ULONGLONG kMostSaveMs = 1000;

std::vector<UINT> SavedFormats()
{
    std::vector<UINT> formats;
    // The privacy formats first: a copy that runs out of time or room never goes back without them.
    for (const wchar_t* name : {L"CanIncludeInClipboardHistory", L"CanUploadToCloudClipboard",
                                L"ExcludeClipboardContentFromMonitorProcessing", L"Clipboard Viewer Ignore"})
        if (const UINT format = ::RegisterClipboardFormatW(name); format != 0)
            formats.push_back(format);
    formats.insert(formats.end(), {CF_UNICODETEXT, CF_TEXT, CF_OEMTEXT, CF_LOCALE, CF_DIBV5, CF_DIB, CF_HDROP});
    for (const wchar_t* name : {L"HTML Format", L"Rich Text Format", L"Preferred DropEffect"})
        if (const UINT format = ::RegisterClipboardFormatW(name); format != 0)
            formats.push_back(format);
    return formats;
}

win32::UniqueGlobal CopyBlock(HANDLE source, SIZE_T& budget)
{
    const SIZE_T size = ::GlobalSize(source);
    if (size == 0 || size > budget)
        return {};
    const void* from = ::GlobalLock(source);
    if (from == nullptr)
        return {};
    win32::UniqueGlobal copy(::GlobalAlloc(GMEM_MOVEABLE, size));
    void* to = copy ? ::GlobalLock(copy.Get()) : nullptr;
    if (to != nullptr) {
        std::memcpy(to, from, size);
        ::GlobalUnlock(copy.Get());
        budget -= size;
    } else {
        copy.Reset();
    }
    ::GlobalUnlock(source);
    return copy;
}

} // namespace

// Reading a format the owner has only promised sends it WM_RENDERFORMAT and waits: an owner
// that does not answer would hold the monitor's thread for each format.
bool Win32Clipboard::SaveContents()
{
    saved_.clear();
    if (HWND owner = ::GetClipboardOwner(); owner != nullptr && owner != owner_ && ::IsHungAppWindow(owner))
        return false;
    const ULONGLONG start = ::GetTickCount64();
    SIZE_T budget = kMostSavedBytes;
    for (const UINT format : SavedFormats()) {
        if (!::IsClipboardFormatAvailable(format))
            continue;
        if (::GetTickCount64() - start > kMostSaveMs) {
            saved_.clear();
            return false;
        }
        // GlobalSize before a byte is copied: a block past what is left of the budget is left out.
        if (HANDLE data = ::GetClipboardData(format); data != nullptr)
            if (auto copy = CopyBlock(data, budget))
                saved_.emplace_back(format, std::move(copy));
    }
    // An empty clipboard is put back empty.
    return true;
}

bool Win32Clipboard::RestoreContents()
{
    bool all = Empty();
    changedByOthers_ = false;
    for (auto& [format, block] : saved_) {
        if (::SetClipboardData(format, block.Get()) != nullptr)
            block.Release(); // the clipboard's now
        else
            all = false;
    }
    saved_.clear();
    return all;
}

void Win32Clipboard::Close()
{
    ::CloseClipboard();
}
