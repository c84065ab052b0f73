// The setup's requests (see setup_requests.h): the events, their rights, and the wait posted
// to the main window as the /quit request.
#include "windows/setup_requests.h"

#include <sddl.h>

#include "windows/single_instance.h"

namespace {

constexpr const wchar_t* kQuitEvent = L"VORTikaMonitor.Quitter-3F6B2C1E-8D4A-4E7B-9A15-6C0D2E7F9B41";
constexpr const wchar_t* kReplacedEvent = L"VORTikaMonitor.Remplace-3F6B2C1E-8D4A-4E7B-9A15-6C0D2E7F9B41";
// Users may wait; SYSTEM and Administrators may also set. A user's monitor
// usually creates the events, and their creator would keep READ_CONTROL and
// WRITE_DAC as owner and could give itself the right to set them: the OWNER
// RIGHTS entry caps it at waiting too. Wine checks none of this (every process
// there is an elevated administrator).
constexpr const wchar_t* kEventRights = L"D:P(A;;0x1F0003;;;SY)(A;;0x1F0003;;;BA)(A;;0x100000;;;BU)(A;;0x100000;;;OW)";
// The setup replaces the file within a second or two of the last monitor's end.
constexpr DWORD kReplacementWaitMs = 120000;

// Opens the event, or creates it with the rights above; waiting is all this
// process asks, which is all a user may do with one that exists.
win32::UniqueHandle OpenOrCreate(const std::wstring& name)
{
    win32::UniqueLocalSecurityDescriptor descriptor;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kEventRights, SDDL_REVISION_1, descriptor.Put(), nullptr))
        return {};
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor.Get(), FALSE};
    return win32::UniqueHandle(CreateEventExW(&attributes, name.c_str(), CREATE_EVENT_MANUAL_RESET, SYNCHRONIZE));
}

bool Elevated()
{
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw))
        return false;
    const win32::UniqueHandle token(raw);
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    return GetTokenInformation(token.Get(), TokenElevation, &elevation, sizeof(elevation), &size) &&
           elevation.TokenIsElevated != 0;
}

std::wstring ModulePath()
{
    std::wstring path(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(length < path.size() ? length : 0);
    return path;
}

} // namespace

SetupRequests::SetupRequests()
{
    for (const wchar_t* space : {L"Global\\", L"Local\\"}) {
        quit_ = OpenOrCreate(std::wstring(space) + kQuitEvent);
        if (quit_) {
            namespace_ = space;
            break;
        }
    }
}

SetupRequests::~SetupRequests()
{
    StopPosting();
}

// The wait runs on a thread of the pool and only posts the message: the monitor
// itself stays on its one thread, and the request is seen also while a message
// box or the tray menu runs its own loop, as /quit's is.
void CALLBACK SetupRequests::OnQuit(PVOID context, BOOLEAN)
{
    PostMessageW(static_cast<SetupRequests*>(context)->window_, QuitMessage(), 0, 0);
}

void SetupRequests::PostQuitTo(HWND window)
{
    if (!quit_ || wait_ != nullptr)
        return;
    window_ = window;
    if (!RegisterWaitForSingleObject(&wait_, quit_.Get(), &SetupRequests::OnQuit, this, INFINITE, WT_EXECUTEONLYONCE))
        wait_ = nullptr;
}

void SetupRequests::StopPosting()
{
    if (wait_ != nullptr)
        UnregisterWaitEx(wait_, INVALID_HANDLE_VALUE); // and wait for a callback under way
    wait_ = nullptr;
}

bool SetupRequests::QuitRequested() const
{
    return quit_ && WaitForSingleObject(quit_.Get(), 0) == WAIT_OBJECT_0;
}

bool SetupRequests::WaitForReplacement()
{
    // Opened before "Quitter" goes, so that the setup finds it to set.
    const win32::UniqueHandle replaced = OpenOrCreate(namespace_ + kReplacedEvent);
    StopPosting();
    quit_.Close();
    return replaced && WaitForSingleObject(replaced.Get(), kReplacementWaitMs) == WAIT_OBJECT_0;
}

// The loader keeps the path the file had when this process started, also after
// the setup renamed the file aside: the path now names the new file.
void StartSuccessor()
{
    const std::wstring path = ModulePath();
    const DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return;
    std::wstring application = path;
    std::wstring command = L"\"" + path + L"\"";
    // Explorer hands the start to the session's shell, which runs it with the
    // desktop user's own rights. Every process is elevated under Wine, so this is
    // the way its tests take; on Windows a monitor started by an older setup runs
    // elevated, and its successor must not.
    if (Elevated()) {
        wchar_t windows[MAX_PATH] = {};
        const UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
        if (length == 0 || length >= MAX_PATH)
            return;
        application = std::wstring(windows) + L"\\explorer.exe";
        command = L"\"" + application + L"\" " + command;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (CreateProcessW(application.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
}
