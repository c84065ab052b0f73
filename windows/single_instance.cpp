// The single-instance rules (see single_instance.h).
#include "windows/single_instance.h"

#include <shellapi.h>

#include "ui/command_line.h"
#include "ui/instance_rule.h"
#include "ui/named_objects.h"
#include "ui/shell_ids.h"
#include "windows/object_owner.h"

namespace {

// Local\: one monitor per logon session, as each session has its own tray.
std::wstring LocalName(const wchar_t* part)
{
    return L"Local\\" + CrossProcessName(part);
}

// A shutdown closes the port and writes the log and the settings: a second or two.
constexpr DWORD kEndingWaitMs = 30000;
constexpr DWORD kQuitWaitMs = 10000;
// The first monitor holds the mutex from its first instruction but has its
// window only once it is created: a start in between waits for the window.
constexpr DWORD kWindowWaitMs = 10000;
constexpr DWORD kPollMs = 50;

UINT ShowMessage()
{
    static const UINT message = RegisterWindowMessageW(CrossProcessName(kShowMessagePart).c_str());
    return message;
}

// The class name alone is common to many programs; the title makes it ours.
HWND RunningMainWindow()
{
    return FindWindowW(kMainWindowClass, kAppTitle);
}

// Asks `done` every 50 ms until it holds or the time is up; false when the time ran out.
template <class Condition> bool PollUntil(Condition done, DWORD timeoutMs)
{
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        if (done())
            return true;
        if (GetTickCount64() >= end)
            return false;
        Sleep(kPollMs);
    }
}

HWND WaitForRunningMainWindow(DWORD timeoutMs)
{
    HWND hwnd = nullptr;
    PollUntil([&hwnd] { return (hwnd = RunningMainWindow()) != nullptr; }, timeoutMs);
    return hwnd;
}

} // namespace

UINT QuitMessage()
{
    static const UINT message = RegisterWindowMessageW(CrossProcessName(kQuitMessagePart).c_str());
    return message;
}

// The mutex is owned, not merely opened, by the running monitor: a start can
// tell a monitor that has gone (the mutex free, or abandoned by a process that
// ended without releasing it) from one that runs, and the "ending" event tells
// a running one from one that is shutting down. What the start then does is the
// rule of ui/instance_rule.h.
SingleInstance::SingleInstance()
{
    mutex_ = win32::UniqueHandle(CreateMutexW(nullptr, FALSE, LocalName(kInstanceMutexPart).c_str()));
    const DWORD error = GetLastError();
    MutexFound found = MutexFound::New;
    if (!mutex_)
        found = error == ERROR_ACCESS_DENIED ? MutexFound::Denied : MutexFound::Failed;
    else if (error == ERROR_ALREADY_EXISTS)
        found = MutexFound::Existing;
    const bool existed = found == MutexFound::Existing;
    switch (JudgeMutex(found, existed ? OwnerOfObject(mutex_.Get()) : ObjectOwner::ThisUser)) {
    case MutexVerdict::TryToTake:
        break;
    case MutexVerdict::Refuse:
        return;
    case MutexVerdict::RunWithout:
        first_ = true;
        return;
    case MutexVerdict::RunForeign:
        mutex_.Close();
        foreign_ = true;
        first_ = true;
        return;
    }
    ending_ = win32::UniqueHandle(CreateEventW(nullptr, TRUE, FALSE, LocalName(kEndingEventPart).c_str()));
    if (ending_ && GetLastError() == ERROR_ALREADY_EXISTS && !IsTrustedOwner(OwnerOfObject(ending_.Get()))) {
        ending_.Close();
        foreign_ = true;
    }
    const bool ending = ending_ && WaitForSingleObject(ending_.Get(), 0) == WAIT_OBJECT_0;
    bool waited = false;
    for (;;) {
        const TakeVerdict verdict = JudgeTake(Take(waited ? kEndingWaitMs : 0), existed, ending, waited);
        if (verdict == TakeVerdict::WaitForEnd) {
            waited = true;
            continue;
        }
        if (verdict == TakeVerdict::ReleaseAndRefuse)
            Release();
        first_ = verdict == TakeVerdict::Run;
        break;
    }
    if (first_ && ending_)
        ResetEvent(ending_.Get());
}

bool SingleInstance::Take(DWORD timeoutMs)
{
    const DWORD result = WaitForSingleObject(mutex_.Get(), timeoutMs);
    owned_ = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
    return owned_;
}

void SingleInstance::MarkEnding()
{
    if (ending_)
        SetEvent(ending_.Get());
}

void SingleInstance::Release()
{
    if (owned_)
        ReleaseMutex(mutex_.Get());
    owned_ = false;
}

// The "ending" event stays set: the successor this monitor starts waits for its end.
bool SingleInstance::Reacquire()
{
    return mutex_ && Take(0);
}

bool QuitRequested()
{
    int argc = 0;
    const win32::UniqueArgumentVector args(CommandLineToArgvW(GetCommandLineW(), &argc));
    if (!args)
        return false;
    const LPWSTR* argv = args.Get();
    bool quit = false;
    for (int i = 1; i < argc && !quit; ++i)
        quit = IsQuitOption(argv[i]);
    return quit;
}

int ShowRunningMonitor()
{
    HWND hwnd = WaitForRunningMainWindow(kWindowWaitMs);
    if (hwnd == nullptr)
        return 0;
    // Only the foreground process may hand the foreground on: this start has
    // it, the running monitor needs it to come to the front.
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    AllowSetForegroundWindow(pid != 0 ? pid : ASFW_ANY);
    PostMessageW(hwnd, ShowMessage(), 0, 0);
    return 0;
}

int QuitRunningMonitor()
{
    HWND hwnd = RunningMainWindow();
    if (hwnd == nullptr)
        return 0;
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    // Opened before the request, so that the process cannot end unseen.
    win32::UniqueHandle process(pid != 0 ? OpenProcess(SYNCHRONIZE, FALSE, pid) : nullptr);
    if (!PostMessageW(hwnd, QuitMessage(), 0, 0))
        return 0;
    if (process) {
        WaitForSingleObject(process.Get(), kQuitWaitMs);
        return 0;
    }
    // Without the process handle, the window's end is the next best sign.
    PollUntil([hwnd] { return IsWindow(hwnd) == FALSE; }, kQuitWaitMs);
    return 0;
}

RemoteCommand RemoteCommandOf(UINT message)
{
    if (message == 0)
        return RemoteCommand::None;
    if (message == ShowMessage())
        return RemoteCommand::Show;
    if (message == QuitMessage())
        return RemoteCommand::Quit;
    return RemoteCommand::None;
}

void AcceptRemoteCommands(HWND mainWindow)
{
    ChangeWindowMessageFilterEx(mainWindow, ShowMessage(), MSGFLT_ALLOW, nullptr);
    ChangeWindowMessageFilterEx(mainWindow, QuitMessage(), MSGFLT_ALLOW, nullptr);
}
