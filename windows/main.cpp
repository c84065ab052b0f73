// The program's entry: /quit, the one monitor per session, the windows and the bindings of every
// seam wired into TForm1, the message loop, and after a setup program's upgrade the start of the
// new program file with this user's own rights.
#include <windows.h>

#include <commctrl.h>

#include "monitor/Unit1.h"
#include "ui/named_objects.h"
#include "windows/application.h"
#include "windows/event_log.h"
#include "windows/input.h"
#include "windows/main_window.h"
#include "windows/messages.h"
#include "windows/policy.h"
#include "windows/port_opener.h"
#include "windows/serial.h"
#include "windows/setup_helpers.h"
#include "windows/setup_requests.h"
#include "windows/single_instance.h"
#include "windows/storage.h"
#include "windows/system.h"
#include "windows/system_library.h"

namespace {

// Without its windows the program has no tray icon and no log to say why: say it once, in a box.
int CannotStart()
{
    const DWORD code = GetLastError();
    const std::wstring text =
        L"VOR-TIKA Monitor ne peut pas créer ses fenêtres (Code: " + std::to_wstring(code) + L").";
    MessageBoxW(nullptr, text.c_str(), kAppTitle, MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
    return 1;
}

// Form1's life, from its window's creation to FormDestroy; its windows and the
// tray icon are gone when this returns.
int RunMonitor(HINSTANCE instance, SingleInstance& instanceLock, SetupRequests& setup)
{
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);

    // The application object and its window, which alone has a taskbar entry.
    Win32Application app(instance);
    if (app.Handle() == nullptr)
        return CannotStart();

    // Form1: created hidden; nothing shows it when the loop starts.
    Win32MainWindow window(app);
    if (!window.Created())
        return CannotStart();
    AcceptRemoteCommands(window.Handle());
    setup.PostQuitTo(window.Handle());

    Win32Clock clock;
    Win32LocalClock localClock;
    Win32FileSystem fileSystem;
    Win32AnsiCodePage codePage;
    Win32ComPorts comPorts;
    Win32PortOpener portOpener(window.Handle(), win32::messages::kPortOpened);
    Win32SerialCommRegistry registry;
    Win32KeyboardSink keyboard;
    Win32InputFocus inputFocus;
    Win32Clipboard clipboard;
    clipboard.SetOwner(app.Handle());
    app.SetClipboardOwnerMessages(
        [&clipboard](UINT msg, WPARAM wParam) { return clipboard.HandleOwnerMessage(msg, wParam); });
    Win32ProfileStore profile;
    Win32SessionState session;
    Win32MachinePolicyKey policyKey;
    Win32EventSink events;
    app.SetEventSink(&events);

    TForm1 form(window.Controls(), FormPlatform{.clock = clock,
                                                .localClock = localClock,
                                                .fileSystem = fileSystem,
                                                .codePage = codePage,
                                                .comPorts = comPorts,
                                                .portOpener = portOpener,
                                                .registry = registry,
                                                .keyboard = keyboard,
                                                .inputFocus = inputFocus,
                                                .clipboard = clipboard,
                                                .profile = profile,
                                                .session = session,
                                                .policyKey = policyKey,
                                                .events = events});
    window.Attach(form);

    // An error ends FormCreate at its step; the window exists all the same.
    app.Guarded([&form] { form.FormCreate(); });
    if (instanceLock.FoundForeign())
        form.AddLog(ForeignObjectLine(SharedObject::InstanceMutex));
    window.ShowTrayIcon();
    const int exitCode = app.Run();
    setup.StopPosting();
    instanceLock.MarkEnding();
    window.Detach();
    app.Guarded([&form] { form.FormDestroy(); });
    // The clipboard keeps the last burst after the monitor has gone.
    clipboard.RenderPending();
    app.SetClipboardOwnerMessages(nullptr);
    app.SetEventSink(nullptr);
    return exitCode;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    // Before anything loads a library: the helper modes run elevated from the setup's folder.
    win32::RestrictDllSearch();
    // The setup program's helper modes start nothing of the monitor.
    if (const auto helperExit = RunSetupHelper())
        return *helperExit;
    // One monitor per session: a later start hands over to it and ends.
    if (QuitRequested())
        return QuitRunningMonitor();
    SingleInstance instanceLock;
    if (!instanceLock.IsFirst())
        return ShowRunningMonitor();

    SetupRequests setup;
    const int exitCode = RunMonitor(instance, instanceLock, setup);
    instanceLock.Release();
    // Ended by the setup program: once it has put the new file in place, this
    // monitor starts it, so that a monitor runs again in this session with its
    // user's rights; unless a start in the meantime became the session's monitor.
    if (setup.QuitRequested() && setup.WaitForReplacement() && instanceLock.Reacquire()) {
        StartSuccessor();
        instanceLock.Release();
    }
    return exitCode;
}
