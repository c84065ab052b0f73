// The setup's requests (see setup_requests.h): the token read from HKLM, the events judged by
// their owner, and the request posted to the main window as /quit's.
#include "windows/setup_requests.h"

#include "ui/named_objects.h"
#include "windows/messages.h"
#include "windows/object_owner.h"
#include "windows/single_instance.h"

namespace {

// The setup replaces the file within a second or two of the last monitor's end.
constexpr DWORD kReplacementWaitMs = 120000;

// The token the setup published for its run; empty when none runs.
std::wstring PublishedToken()
{
    wchar_t token[64] = {};
    DWORD size = sizeof(token);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kRequestKeyPart, kRequestValuePart, RRF_RT_REG_SZ, nullptr, token, &size) !=
        ERROR_SUCCESS)
        return {};
    return token;
}

// Waiting and reading the owner is all a monitor asks of the setup's events.
win32::UniqueHandle OpenRequestEvent(const wchar_t* part, const std::wstring& token)
{
    const std::wstring name = L"Global\\" + RequestEventName(part, token);
    return win32::UniqueHandle(OpenEventW(SYNCHRONIZE | READ_CONTROL, FALSE, name.c_str()));
}

bool Elevated()
{
    win32::UniqueHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Put()))
        return false;
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

// The check runs on a persistent thread of the pool and only posts: the monitor itself stays on
// its one thread, and the request is seen also while a message box or the tray menu runs its own
// loop, as /quit's is. A registry notification lasts for one change: armed again each time, from
// this thread, which never ends (on Windows 7 the end of the arming thread would signal it).
void CALLBACK SetupRequests::OnChange(PVOID context, BOOLEAN)
{
    auto* self = static_cast<SetupRequests*>(context);
    // Armed before the read: a value written between the two signals again.
    self->WatchRequestKey();
    self->Check();
}

// Nothing is read while nothing changes: the request's key when it exists (its value set or the key
// deleted), else the nearest key above it that exists, for the creation of the next one below.
void SetupRequests::WatchRequestKey()
{
    const std::wstring request = kRequestKeyPart;
    std::wstring path = request;
    watched_.Reset();
    for (;;) {
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_NOTIFY, watched_.Put()) == ERROR_SUCCESS)
            break;
        watched_.Release();
        const std::size_t slash = path.rfind(L'\\');
        if (slash == std::wstring::npos)
            return; // not even HKLM\Software: nothing to watch
        path.resize(slash);
    }
    const DWORD filter = REG_NOTIFY_CHANGE_NAME | (path == request ? REG_NOTIFY_CHANGE_LAST_SET : 0);
    if (RegNotifyChangeKeyValue(watched_.Get(), FALSE, filter, changed_.Get(), TRUE) != ERROR_SUCCESS)
        return;
    // A key below made between the failed open and the arming would go unseen: look once more.
    win32::UniqueKey below;
    if (path != request &&
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, request.c_str(), 0, KEY_NOTIFY, below.Put()) == ERROR_SUCCESS)
        SetEvent(changed_.Get());
}

void SetupRequests::Check()
{
    if (requested_)
        return;
    const std::wstring token = PublishedToken();
    if (token == seen_ || !IsRequestToken(token))
        return;
    win32::UniqueHandle quit = OpenRequestEvent(kQuitEventPart, token);
    if (!quit)
        return; // published before its events exist, or left by a setup that ended
    seen_ = token;
    win32::UniqueHandle replaced = OpenRequestEvent(kReplacedEventPart, token);
    if (!IsTrustedOwner(OwnerOfObject(quit.Get())) || !replaced || !IsTrustedOwner(OwnerOfObject(replaced.Get()))) {
        PostMessageW(window_, win32::messages::kForeignObject, static_cast<WPARAM>(SharedObject::SetupRequest), 0);
        return;
    }
    if (WaitForSingleObject(quit.Get(), 0) != WAIT_OBJECT_0)
        return;
    // Opened before this monitor ends, so that the setup's "Remplacé" stays for it to wait on.
    replaced_ = std::move(replaced);
    // Held until the shutdown is over: the setup counts the handles on "Quitter".
    quit_ = std::move(quit);
    requested_ = true;
    PostMessageW(window_, QuitMessage(), 0, 0);
}

void SetupRequests::PostQuitTo(HWND window)
{
    if (wait_)
        return;
    window_ = window;
    changed_ = win32::UniqueHandle(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!changed_)
        return;
    WatchRequestKey();
    // A request published before this monitor started.
    Check();
    if (!RegisterWaitForSingleObject(wait_.Put(), changed_.Get(), &SetupRequests::OnChange, this, INFINITE,
                                     WT_EXECUTEINPERSISTENTTHREAD))
        wait_.Release(); // nothing was registered
}

// Waits for a check under way.
void SetupRequests::StopPosting()
{
    wait_.Reset();
    watched_.Reset();
}

bool SetupRequests::WaitForReplacement()
{
    StopPosting();
    quit_.Reset(); // this monitor has ended: only the mapping of its file remains
    return replaced_ && WaitForSingleObject(replaced_.Get(), kReplacementWaitMs) == WAIT_OBJECT_0;
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
    win32::UniqueProcessInformation process;
    CreateProcessW(application.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                   process.Put());
}
