// The running monitors ended and released for a Windows Installer package (see setup_monitors.h).
#include "windows/setup_monitors.h"

#include <windows.h>

#include <algorithm>

#include <objbase.h>
#include <sddl.h>
#include <tlhelp32.h>

#include "ui/named_objects.h"
#include "windows/owners.h"
#include "windows/system_library.h"

namespace {

// As the setup program's: SYSTEM and Administrators may set the events, Users wait on them and read
// who owns them; owned by Administrators where the system lets this process give them away.
constexpr const wchar_t* kRequestRights = L"D:P(A;;0x1F0003;;;SY)(A;;0x1F0003;;;BA)(A;;0x120000;;;BU)";
// Beside the request's announcement, where only administrators write: the token of the monitors
// that wait for the package's new file.
constexpr const wchar_t* kPendingValue = L"Remplacement";
constexpr int kEndWaitSteps = 150; // of 100 ms
constexpr int kGoneWaitSteps = 50;
constexpr int kFirstLookSteps = 5;

std::wstring GlobalName(const wchar_t* part, const std::wstring& token)
{
    return L"Global\\" + RequestEventName(part, token);
}

std::wstring NewToken()
{
    GUID guid{};
    wchar_t text[64] = {};
    if (FAILED(CoCreateGuid(&guid)) || StringFromGUID2(guid, text, 64) == 0)
        return {};
    return text;
}

// The two events of one run, "Quitter" set, "Remplacé" not; both or none.
bool CreateRequest(const std::wstring& token, win32::UniqueHandle& quit, win32::UniqueHandle& replaced)
{
    for (const bool owned : {true, false}) {
        const std::wstring sddl = std::wstring(owned ? L"O:BA" : L"") + kRequestRights;
        win32::UniqueLocalSecurityDescriptor descriptor;
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, descriptor.Put(),
                                                                  nullptr))
            continue;
        SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor.Get(), FALSE};
        quit = win32::UniqueHandle(CreateEventW(&attributes, TRUE, TRUE, GlobalName(kQuitEventPart, token).c_str()));
        if (!quit || GetLastError() == ERROR_ALREADY_EXISTS) {
            quit.Reset();
            continue;
        }
        replaced =
            win32::UniqueHandle(CreateEventW(&attributes, TRUE, FALSE, GlobalName(kReplacedEventPart, token).c_str()));
        if (replaced && GetLastError() != ERROR_ALREADY_EXISTS)
            return true;
        quit.Reset();
        replaced.Reset();
    }
    return false;
}

bool SetRequestValue(const wchar_t* name, const std::wstring& data)
{
    win32::UniqueKey key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kRequestKeyPart, 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr,
                        key.Put(), nullptr) != ERROR_SUCCESS)
        return false;
    return RegSetValueExW(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                          static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

std::wstring RequestValue(const wchar_t* name)
{
    wchar_t data[64] = {};
    DWORD size = sizeof(data);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kRequestKeyPart, name, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS)
        return {};
    return data;
}

// The value, then the keys this left empty (as the setup program leaves them).
void DeleteRequestValue(const wchar_t* name)
{
    win32::UniqueKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRequestKeyPart, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, key.Put()) ==
        ERROR_SUCCESS)
        RegDeleteValueW(key.Get(), name);
    std::wstring path = kRequestKeyPart;
    for (int level = 0; level < 2; ++level) {
        // Deletes only a key with neither values nor subkeys.
        win32::UniqueKey probe;
        DWORD subkeys = 1;
        DWORD values = 1;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, probe.Put()) !=
                ERROR_SUCCESS ||
            RegQueryInfoKeyW(probe.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                             nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
            subkeys != 0 || values != 0)
            return;
        probe.Reset();
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), KEY_WOW64_64KEY, 0);
        path.resize(path.rfind(L'\\'));
    }
}

// Whether a process other than this one runs the program file. The helper runs from that file
// itself: whether it is in use tells nothing.
bool OthersRun(const std::wstring& program)
{
    const std::wstring name = program.substr(program.rfind(L'\\') + 1);
    const win32::UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    bool found = false;
    for (BOOL more = snapshot && Process32FirstW(snapshot.Get(), &entry); more && !found;
         more = Process32NextW(snapshot.Get(), &entry)) {
        if (entry.th32ProcessID == GetCurrentProcessId() || lstrcmpiW(entry.szExeFile, name.c_str()) != 0)
            continue;
        const win32::UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID));
        wchar_t path[MAX_PATH] = {};
        DWORD size = MAX_PATH;
        found = process && QueryFullProcessImageNameW(process.Get(), 0, path, &size) &&
                lstrcmpiW(path, program.c_str()) == 0;
    }
    return found;
}

// The handles open on an object, in every process; 0 when it cannot be read.
ULONG HandleCount(HANDLE object)
{
    // ObjectBasicInformation (class 0): Attributes, GrantedAccess, HandleCount, PointerCount, Reserved[10].
    struct BasicInformation {
        ULONG Attributes, GrantedAccess, HandleCount, PointerCount, Reserved[10];
    } info{};
    using QueryObject = LONG(WINAPI*)(HANDLE, int, PVOID, ULONG, PULONG);
    const auto query = win32::SystemFunction<QueryObject>(GetModuleHandleW(L"ntdll.dll"), "NtQueryObject");
    if (query == nullptr || query(object, 0, &info, sizeof(info), nullptr) != 0)
        return 0;
    return info.HandleCount;
}

// Each monitor that honours the request holds "Quitter" until its shutdown is over, and "Remplacé"
// until it starts its successor: when "Quitter" has no handle but this one's and "Remplacé" has
// others, each of which was seen holding "Quitter" (a monitor of an earlier version lets go of it at
// once, and may still be ending), whatever still runs the file is an ended monitor waiting for the
// new one. mostQuit: the most handles "Quitter" had so far.
bool OnlyEndedMonitorsRun(HANDLE quit, HANDLE replaced, ULONG& mostQuit)
{
    const ULONG quitHandles = HandleCount(quit);
    mostQuit = std::max(mostQuit, quitHandles);
    const ULONG replacedHandles = HandleCount(replaced);
    return quitHandles == 1 && replacedHandles > 1 && replacedHandles <= mostQuit;
}

// A name under which the file can be renamed while a process maps it; empty when it was not.
std::wstring MoveAside(const std::wstring& program)
{
    wchar_t suffix[16] = {};
    wsprintfW(suffix, L".%08X.old", GetTickCount());
    const std::wstring aside = program + suffix;
    return MoveFileExW(program.c_str(), aside.c_str(), 0) ? aside : std::wstring();
}

// Once the released monitors have gone (at most 5 s), else at the next restart.
void DeleteMovedAside(const std::wstring& program)
{
    const std::wstring folder = program.substr(0, program.rfind(L'\\') + 1);
    const std::wstring pattern = program + L".*.old";
    for (int step = 0;; ++step) {
        bool left = false;
        WIN32_FIND_DATAW found{};
        const HANDLE search = FindFirstFileW(pattern.c_str(), &found);
        if (search == INVALID_HANDLE_VALUE)
            return;
        do {
            const std::wstring path = folder + found.cFileName;
            if (!DeleteFileW(path.c_str())) {
                left = true;
                if (step == kGoneWaitSteps)
                    MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
        if (!left || step == kGoneWaitSteps)
            return;
        Sleep(100);
    }
}

// Sets "Remplacé" of the run whose token is kept, if a monitor still waits on it.
void Release(const std::wstring& token)
{
    if (!IsRequestToken(token))
        return;
    const win32::UniqueHandle replaced(
        OpenEventW(EVENT_MODIFY_STATE, FALSE, GlobalName(kReplacedEventPart, token).c_str()));
    if (replaced)
        SetEvent(replaced.Get());
}

} // namespace

int EndMonitors(const std::wstring& program, bool removing)
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 0;
    const std::wstring token = NewToken();
    CoUninitialize();
    win32::UniqueHandle quit;
    win32::UniqueHandle replaced;
    if (token.empty() || !CreateRequest(token, quit, replaced) || !SetRequestValue(kRequestValuePart, token))
        return 0;
    bool running = false;
    ULONG mostQuit = 0;
    for (int step = 0; step < kEndWaitSteps && OthersRun(program); ++step) {
        running = true;
        // A monitor that has not yet seen the request holds neither event: it gets half a second.
        if (OnlyEndedMonitorsRun(quit.Get(), replaced.Get(), mostQuit) && step >= kFirstLookSteps)
            break;
        Sleep(100);
    }
    // No monitor starting from now on sees the request.
    ResetEvent(quit.Get());
    DeleteRequestValue(kRequestValuePart);
    // The ended monitors still run the file: the package can write or remove its name only.
    const std::wstring aside = running ? MoveAside(program) : std::wstring();
    if (!removing) {
        SetRequestValue(kPendingValue, token);
        return 0;
    }
    // They find no file to start and end; the file comes back for the package to remove.
    SetEvent(replaced.Get());
    replaced.Reset();
    quit.Reset();
    const std::wstring name = GlobalName(kReplacedEventPart, token);
    for (int step = 0; step < kGoneWaitSteps; ++step) {
        const win32::UniqueHandle held(OpenEventW(SYNCHRONIZE, FALSE, name.c_str()));
        if (!held)
            break;
        Sleep(100);
    }
    if (!aside.empty())
        MoveFileExW(aside.c_str(), program.c_str(), 0);
    return 0;
}

int ReleaseMonitors(const std::wstring& program)
{
    Release(RequestValue(kPendingValue));
    DeleteRequestValue(kPendingValue);
    DeleteMovedAside(program);
    return 0;
}
