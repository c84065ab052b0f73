// wctl: drives the monitor's window from another process, for the end-to-end tests.
//
//   wctl tray-click                 left click on the tray icon (button down, then up)
//   wctl tray-rclick                right click on the tray icon
//   wctl menu ID                    tray menu command ID (WM_COMMAND to the main window)
//   wctl click-button ID            click the main window's button ID (fails when it is disabled)
//   wctl control-text ID            print the text of the main window's control ID
//   wctl control-state ID           print "enabled=0|1 visible=0|1 checked=0|1"
//   wctl wait-window CLASS SECONDS  wait until a top-level window of CLASS exists; print its handle
//   wctl wait-gone CLASS SECONDS    wait until no top-level window of CLASS exists
//   wctl window-info CLASS          print visibility, window and client rectangles and styles
//   wctl dismiss-box [SECONDS]      close a message box (#32770) with OK; print its text
//   wctl box-text [SECONDS]         wait for a message box (#32770) and leave it open; print
//                                   "caption=...", "text=...", "icon=0|1" (a visible SS_ICON static
//                                   holding an icon), "buttons=..." (its buttons' captions, by "|") and
//                                   "rect=L,T,R,B" (its screen rectangle)
//   wctl tray-events MSG...         post the tray icon's callback with each mouse message in turn
//                                   (down, up, dblclk, rdown, rup, or a number)
//   wctl post CLASS MSG WPARAM LPARAM  post a message to the top-level window of CLASS
//   wctl ping CLASS MS              send WM_NULL to the window of CLASS, waiting at most MS ms for it to
//                                   be handled; print "answered MS" or "timeout MS" (the time waited)
//   wctl clipboard                  print the clipboard's Unicode text
//   wctl set-clipboard TEXT         put TEXT on the clipboard
//   wctl clipboard-formats          print the clipboard's registered formats, one a line: "NAME" or,
//                                   for a four-byte block, "NAME=VALUE"
//   wctl hold-file PATH MS [read|append]  open the file and hold it MS ms: "read" (the default) reads
//                                   sharing reading only, as a spreadsheet holds a .log, so writers are
//                                   refused; "append" appends sharing reading and writing, as another
//                                   monitor does. Prints "held" once open, "released" after.
//   wctl foreground CLASS           bring the window of CLASS to the front
//   wctl foreground-class           print the class of the foreground window
//   wctl dump-sink                  ask the sink to write its whole text to its record
//   wctl setting-change TEXT        broadcast WM_SETTINGCHANGE with TEXT ("Policy"), as Group Policy
//                                   does after a refresh; waits up to 10 s for the windows to handle it
//   wctl close CLASS                post WM_CLOSE to the window of CLASS
//   wctl children CLASS             print "client=W,H", then one line per descendant window:
//                                   "id=N class=C parent=N visible=0|1 rect=L,T,R,B text=..." (rect in
//                                   the top-level window's client coordinates; parent 0 is that window)
//   wctl tray-tips                  print the tool tip texts of the notification area's icons
//   wctl tray-balloon [SECONDS]     wait for a shown balloon of the notification area; print "text=..."
//                                   (Wine's tool tips answer TTM_GETTITLE with nothing: no title, no icon)
//   wctl work-area                  print the primary monitor's work area "L,T,R,B" as the system gives it
//   wctl serve                      run the commands of standard input, one a line (UTF-8, arguments
//                                   separated by tabs), each followed by a line "\x1e" and its exit
//                                   code: the tests' many small requests without a process each
//
// Output is UTF-8 with LF line ends. Exit code 0 on success, 1 when the window or control is missing
// or a wait ran out, 2 on bad usage, 3 when a button is disabled.

#define _WIN32_WINNT 0x0A00
#include <windows.h>

#include <commctrl.h>

#include "ui/shell_ids.h"

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr UINT kSinkForegroundRequest = WM_APP + 10;
constexpr UINT kSinkDumpRequest = WM_APP + 11;

void Print(const std::wstring& text)
{
    std::wstring line = text + L"\n";
    int n = WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), bytes.data(), n, nullptr, nullptr);
    DWORD written = 0;
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out && out != INVALID_HANDLE_VALUE)
        WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

HWND FindTop(const wchar_t* cls)
{
    return FindWindowW(cls, nullptr);
}

// The top-level window of a class; prints "missing" when there is none.
HWND FindTopOrSayMissing(const std::wstring& cls)
{
    HWND hwnd = FindTop(cls.c_str());
    if (!hwnd)
        Print(L"missing");
    return hwnd;
}

struct ChildSearch {
    int id;
    HWND found;
};

BOOL CALLBACK FindChildById(HWND hwnd, LPARAM lp)
{
    auto* s = reinterpret_cast<ChildSearch*>(lp);
    if (GetDlgCtrlID(hwnd) == s->id) {
        s->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// Controls may sit inside a group box, so the whole tree is searched.
HWND FindControl(HWND parent, int id)
{
    ChildSearch s{id, nullptr};
    EnumChildWindows(parent, FindChildById, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

HWND MainWindow()
{
    HWND hwnd = FindTop(kMainWindowClass);
    if (!hwnd)
        Print(L"no window of class TForm1");
    return hwnd;
}

std::wstring TextOf(HWND hwnd)
{
    // WM_GETTEXT crosses processes for standard controls; GetWindowText would not for other
    // processes' controls.
    LRESULT n = SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    SendMessageW(hwnd, WM_GETTEXT, static_cast<WPARAM>(n + 1), reinterpret_cast<LPARAM>(text.data()));
    text.resize(wcslen(text.c_str()));
    return text;
}

bool WaitFor(const std::wstring& cls, double seconds, bool present, HWND* found)
{
    ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(seconds * 1000);
    for (;;) {
        HWND hwnd = FindTop(cls.c_str());
        if ((hwnd != nullptr) == present) {
            if (found)
                *found = hwnd;
            return true;
        }
        if (GetTickCount64() >= end)
            return false;
        Sleep(50);
    }
}

std::wstring Hex(unsigned long long v)
{
    wchar_t buf[32];
    swprintf(buf, 32, L"0x%llX", v);
    return buf;
}

std::wstring RectText(const RECT& r)
{
    return std::to_wstring(r.left) + L"," + std::to_wstring(r.top) + L"," + std::to_wstring(r.right) + L"," +
           std::to_wstring(r.bottom);
}

int TrayClick(UINT down, UINT up)
{
    HWND hwnd = MainWindow();
    if (!hwnd)
        return 1;
    PostMessageW(hwnd, kTrayCallbackMessage, kTrayIconId, down);
    PostMessageW(hwnd, kTrayCallbackMessage, kTrayIconId, up);
    return 0;
}

int ClickButton(int id)
{
    HWND hwnd = MainWindow();
    if (!hwnd)
        return 1;
    HWND button = FindControl(hwnd, id);
    if (!button) {
        Print(L"no control " + std::to_wstring(id));
        return 1;
    }
    if (!IsWindowEnabled(button)) {
        Print(L"disabled");
        return 3;
    }
    // The notification a real click sends, addressed to the button's parent; it works whether or
    // not the window is shown.
    PostMessageW(GetParent(button), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    return 0;
}

struct ClassCount {
    const wchar_t* cls;
    int count;
};

BOOL CALLBACK CountVisibleOfClass(HWND hwnd, LPARAM lp)
{
    auto* c = reinterpret_cast<ClassCount*>(lp);
    wchar_t cls[64] = L"";
    GetClassNameW(hwnd, cls, 64);
    if (IsWindowVisible(hwnd) && wcscmp(cls, c->cls) == 0)
        ++c->count;
    return TRUE;
}

// How many visible top-level windows of the class there are (message boxes: "#32770").
int CountWindows(const std::wstring& cls)
{
    ClassCount c{cls.c_str(), 0};
    EnumWindows(CountVisibleOfClass, reinterpret_cast<LPARAM>(&c));
    Print(std::to_wstring(c.count));
    return 0;
}

int WindowInfo(const std::wstring& cls)
{
    HWND hwnd = FindTopOrSayMissing(cls);
    if (!hwnd)
        return 1;
    RECT wr{}, cr{};
    GetWindowRect(hwnd, &wr);
    GetClientRect(hwnd, &cr);
    Print(L"visible=" + std::to_wstring(IsWindowVisible(hwnd) ? 1 : 0) + L" iconic=" +
          std::to_wstring(IsIconic(hwnd) ? 1 : 0) + L" rect=" + RectText(wr) + L" client=" +
          std::to_wstring(cr.right - cr.left) + L"x" + std::to_wstring(cr.bottom - cr.top) + L" style=" +
          Hex(static_cast<unsigned long long>(GetWindowLongPtrW(hwnd, GWL_STYLE)) & 0xFFFFFFFFULL) + L" exstyle=" +
          Hex(static_cast<unsigned long long>(GetWindowLongPtrW(hwnd, GWL_EXSTYLE)) & 0xFFFFFFFFULL) + L" title=" +
          TextOf(hwnd));
    return 0;
}

// A message box exists before its dialog procedure has laid it out; it shows itself once done.
bool WaitForShownBox(double seconds, HWND* box)
{
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(seconds * 1000);
    for (;;) {
        HWND found = FindTop(L"#32770");
        if (found != nullptr && IsWindowVisible(found)) {
            *box = found;
            return true;
        }
        if (GetTickCount64() >= end)
            return false;
        Sleep(50);
    }
}

int DismissBox(double seconds)
{
    HWND box = nullptr;
    if (!WaitForShownBox(seconds, &box)) {
        Print(L"no message box");
        return 1;
    }
    // The message text is the box's static control (id 0xFFFF in Wine and Windows).
    std::wstring text;
    HWND child = nullptr;
    while ((child = FindWindowExW(box, child, L"Static", nullptr)) != nullptr) {
        std::wstring t = TextOf(child);
        if (!t.empty())
            text = t;
    }
    Print(L"caption=" + TextOf(box));
    Print(L"text=" + text);
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return 0;
}

struct BoxContents {
    std::wstring text;
    bool icon = false;
    std::wstring buttons;
};

BOOL CALLBACK ReadBoxChild(HWND hwnd, LPARAM lp)
{
    auto* box = reinterpret_cast<BoxContents*>(lp);
    wchar_t cls[64] = L"";
    GetClassNameW(hwnd, cls, 64);
    if (_wcsicmp(cls, L"Static") == 0) {
        const auto style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
        if ((style & SS_TYPEMASK) == SS_ICON) {
            if (IsWindowVisible(hwnd) && SendMessageW(hwnd, STM_GETICON, 0, 0) != 0)
                box->icon = true;
        } else {
            std::wstring t = TextOf(hwnd);
            if (!t.empty())
                box->text = t;
        }
    } else if (_wcsicmp(cls, L"Button") == 0 && IsWindowVisible(hwnd)) {
        if (!box->buttons.empty())
            box->buttons += L"|";
        box->buttons += TextOf(hwnd);
    }
    return TRUE;
}

int BoxText(double seconds)
{
    HWND box = nullptr;
    if (!WaitForShownBox(seconds, &box)) {
        Print(L"no message box");
        return 1;
    }
    BoxContents contents;
    EnumChildWindows(box, ReadBoxChild, reinterpret_cast<LPARAM>(&contents));
    Print(L"caption=" + TextOf(box));
    Print(L"text=" + contents.text);
    Print(L"icon=" + std::wstring(contents.icon ? L"1" : L"0"));
    Print(L"buttons=" + contents.buttons);
    RECT r{};
    GetWindowRect(box, &r);
    Print(L"rect=" + RectText(r));
    return 0;
}

UINT MouseMessage(const std::wstring& name)
{
    if (name == L"down")
        return WM_LBUTTONDOWN;
    if (name == L"up")
        return WM_LBUTTONUP;
    if (name == L"dblclk")
        return WM_LBUTTONDBLCLK;
    if (name == L"rdown")
        return WM_RBUTTONDOWN;
    if (name == L"rup")
        return WM_RBUTTONUP;
    return static_cast<UINT>(wcstoul(name.c_str(), nullptr, 0));
}

int Clipboard()
{
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (OpenClipboard(nullptr)) {
            std::wstring text;
            bool has = false;
            if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
                if (auto* p = static_cast<const wchar_t*>(GlobalLock(data))) {
                    text = p;
                    has = true;
                    GlobalUnlock(data);
                }
            }
            CloseClipboard();
            if (!has) {
                Print(L"");
                return 1;
            }
            Print(text);
            return 0;
        }
        Sleep(20);
    }
    Print(L"clipboard busy");
    return 1;
}

int ClipboardFormats()
{
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (OpenClipboard(nullptr)) {
            std::vector<std::wstring> lines;
            for (UINT format = EnumClipboardFormats(0); format != 0; format = EnumClipboardFormats(format)) {
                wchar_t name[256] = L"";
                if (format < 0xC000 || GetClipboardFormatNameW(format, name, 256) <= 0)
                    continue; // predefined formats have no name
                std::wstring line = name;
                if (HANDLE data = GetClipboardData(format); data && GlobalSize(data) == sizeof(DWORD)) {
                    if (auto* value = static_cast<const DWORD*>(GlobalLock(data))) {
                        line += L"=" + std::to_wstring(*value);
                        GlobalUnlock(data);
                    }
                }
                lines.push_back(line);
            }
            CloseClipboard();
            for (const std::wstring& line : lines)
                Print(line);
            return 0;
        }
        Sleep(20);
    }
    Print(L"clipboard busy");
    return 1;
}

int HoldFile(const std::wstring& path, DWORD ms, const std::wstring& mode)
{
    const bool append = mode == L"append";
    HANDLE file = CreateFileW(path.c_str(), append ? FILE_APPEND_DATA : GENERIC_READ,
                              append ? FILE_SHARE_READ | FILE_SHARE_WRITE : FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        Print(L"error " + std::to_wstring(GetLastError()));
        return 1;
    }
    Print(L"held");
    Sleep(ms);
    CloseHandle(file);
    Print(L"released");
    return 0;
}

int SetClipboard(const std::wstring& text)
{
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (OpenClipboard(nullptr)) {
            EmptyClipboard();
            size_t bytes = (text.size() + 1) * sizeof(wchar_t);
            HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, bytes);
            if (mem) {
                std::memcpy(GlobalLock(mem), text.c_str(), bytes);
                GlobalUnlock(mem);
                if (!SetClipboardData(CF_UNICODETEXT, mem))
                    GlobalFree(mem);
            }
            CloseClipboard();
            return 0;
        }
        Sleep(20);
    }
    return 1;
}

int Foreground(const std::wstring& cls)
{
    HWND hwnd = FindTopOrSayMissing(cls);
    if (!hwnd)
        return 1;
    SetForegroundWindow(hwnd);
    if (cls == L"VorTikaSink")
        PostMessageW(hwnd, kSinkForegroundRequest, 0, 0);
    return 0;
}

struct ChildList {
    HWND top;
    std::vector<std::wstring> lines;
};

BOOL CALLBACK ListChild(HWND hwnd, LPARAM lp)
{
    auto* list = reinterpret_cast<ChildList*>(lp);
    wchar_t cls[256] = L"";
    GetClassNameW(hwnd, cls, 256);
    RECT r{};
    GetWindowRect(hwnd, &r);
    MapWindowPoints(nullptr, list->top, reinterpret_cast<POINT*>(&r), 2);
    HWND parent = GetParent(hwnd);
    int parentId = parent == list->top ? 0 : GetDlgCtrlID(parent);
    list->lines.push_back(L"id=" + std::to_wstring(GetDlgCtrlID(hwnd)) + L" class=" + cls + L" parent=" +
                          std::to_wstring(parentId) + L" visible=" + std::to_wstring(IsWindowVisible(hwnd) ? 1 : 0) +
                          L" rect=" + RectText(r) + L" text=" + TextOf(hwnd));
    return TRUE;
}

int Children(const std::wstring& cls)
{
    HWND hwnd = FindTopOrSayMissing(cls);
    if (!hwnd)
        return 1;
    RECT cr{};
    GetClientRect(hwnd, &cr);
    ChildList list{hwnd, {}};
    EnumChildWindows(hwnd, ListChild, reinterpret_cast<LPARAM>(&list));
    Print(L"client=" + std::to_wstring(cr.right - cr.left) + L"," + std::to_wstring(cr.bottom - cr.top));
    for (const std::wstring& line : list.lines)
        Print(line);
    return 0;
}

// The shell keeps each icon's tip in a tool tip window of its own process; its tools' texts are read
// through a buffer in that process, since tool tip messages carry pointers that are not marshalled.
struct TipWindows {
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTips(HWND hwnd, LPARAM lp)
{
    wchar_t cls[64] = L"";
    GetClassNameW(hwnd, cls, 64);
    if (_wcsicmp(cls, TOOLTIPS_CLASSW) == 0)
        reinterpret_cast<TipWindows*>(lp)->found.push_back(hwnd);
    return TRUE;
}

int TrayTips()
{
    TipWindows tips;
    EnumWindows(CollectTips, reinterpret_cast<LPARAM>(&tips));
    constexpr SIZE_T kTextChars = 1024;
    for (HWND tip : tips.found) {
        if (GetWindowLongW(tip, GWL_STYLE) & TTS_BALLOON)
            continue;
        DWORD pid = 0;
        GetWindowThreadProcessId(tip, &pid);
        HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (!process)
            continue;
        const SIZE_T size = sizeof(TTTOOLINFOW) + kTextChars * sizeof(wchar_t);
        auto* remote = static_cast<BYTE*>(VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE));
        if (remote) {
            auto count = static_cast<int>(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0));
            for (int i = 0; i < count; ++i) {
                TTTOOLINFOW info{};
                info.cbSize = sizeof(info);
                SIZE_T moved = 0;
                WriteProcessMemory(process, remote, &info, sizeof(info), &moved);
                if (!SendMessageW(tip, TTM_ENUMTOOLSW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(remote)))
                    continue;
                ReadProcessMemory(process, remote, &info, sizeof(info), &moved);
                // A removed icon's window is gone while its tip window may linger.
                if (!IsWindow(info.hwnd))
                    continue;
                info.lpszText = reinterpret_cast<LPWSTR>(remote + sizeof(TTTOOLINFOW));
                WriteProcessMemory(process, remote, &info, sizeof(info), &moved);
                const wchar_t empty = L'\0';
                WriteProcessMemory(process, info.lpszText, &empty, sizeof(empty), &moved);
                SendMessageW(tip, TTM_GETTEXTW, kTextChars, reinterpret_cast<LPARAM>(remote));
                std::wstring text(kTextChars, L'\0');
                ReadProcessMemory(process, remote + sizeof(TTTOOLINFOW), text.data(), kTextChars * sizeof(wchar_t),
                                  &moved);
                text.resize(wcsnlen(text.c_str(), kTextChars - 1));
                if (!text.empty())
                    Print(text);
            }
            VirtualFreeEx(process, remote, 0, MEM_RELEASE);
        }
        CloseHandle(process);
    }
    return 0;
}

// The balloon is a tool tip of the shell's process too: its tool's text is read through a buffer in
// that process.
int TrayBalloon(double seconds)
{
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(seconds * 1000);
    for (;;) {
        TipWindows tips;
        EnumWindows(CollectTips, reinterpret_cast<LPARAM>(&tips));
        for (HWND tip : tips.found) {
            if (!(GetWindowLongW(tip, GWL_STYLE) & TTS_BALLOON) || !IsWindowVisible(tip))
                continue;
            DWORD pid = 0;
            GetWindowThreadProcessId(tip, &pid);
            HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
            if (!process)
                continue;
            constexpr SIZE_T kTextChars = 1024;
            const SIZE_T size = sizeof(TTTOOLINFOW) + kTextChars * sizeof(wchar_t);
            auto* remote = static_cast<BYTE*>(VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE));
            bool printed = false;
            if (remote) {
                auto* remoteText = reinterpret_cast<wchar_t*>(remote + sizeof(TTTOOLINFOW));
                SIZE_T moved = 0;
                TTTOOLINFOW info{};
                info.cbSize = sizeof(info);
                WriteProcessMemory(process, remote, &info, sizeof(info), &moved);
                if (SendMessageW(tip, TTM_ENUMTOOLSW, 0, reinterpret_cast<LPARAM>(remote))) {
                    ReadProcessMemory(process, remote, &info, sizeof(info), &moved);
                    info.lpszText = remoteText;
                    WriteProcessMemory(process, remote, &info, sizeof(info), &moved);
                    const wchar_t empty = L'\0';
                    WriteProcessMemory(process, remoteText, &empty, sizeof(empty), &moved);
                    SendMessageW(tip, TTM_GETTEXTW, kTextChars, reinterpret_cast<LPARAM>(remote));
                    std::wstring text(kTextChars, L'\0');
                    ReadProcessMemory(process, remoteText, text.data(), kTextChars * sizeof(wchar_t), &moved);
                    text.resize(wcsnlen(text.c_str(), kTextChars - 1));
                    Print(L"text=" + text);
                    printed = true;
                }
                VirtualFreeEx(process, remote, 0, MEM_RELEASE);
            }
            CloseHandle(process);
            if (printed)
                return 0;
        }
        if (GetTickCount64() >= end) {
            Print(L"no balloon");
            return 1;
        }
        Sleep(100);
    }
}

int Usage()
{
    Print(L"usage: wctl tray-click | tray-rclick | menu ID | click-button ID | control-text ID | control-state ID |"
          L" wait-window CLASS SECONDS | wait-gone CLASS SECONDS | window-info CLASS | dismiss-box [SECONDS] |"
          L" box-text [SECONDS] | tray-events MSG... | post CLASS MSG WPARAM LPARAM | ping CLASS MS |"
          L" clipboard | set-clipboard TEXT | clipboard-formats | hold-file PATH MS [read|append] | foreground CLASS | "
          L"foreground-class | dump-sink | setting-change TEXT | close CLASS |"
          L" count-windows CLASS | set-check ID 0|1 | tray-delete");
    return 2;
}

int Run(const std::vector<std::wstring>& a)
{
    if (a.empty())
        return Usage();
    const std::wstring& cmd = a[0];
    auto arg = [&](size_t i) { return i < a.size() ? a[i] : std::wstring(); };
    auto num = [&](size_t i) { return static_cast<int>(wcstol(arg(i).c_str(), nullptr, 0)); };
    auto secs = [&](size_t i, double fallback) { return i < a.size() ? wcstod(a[i].c_str(), nullptr) : fallback; };

    if (cmd == L"tray-click")
        return TrayClick(WM_LBUTTONDOWN, WM_LBUTTONUP);
    if (cmd == L"tray-rclick")
        return TrayClick(WM_RBUTTONDOWN, WM_RBUTTONUP);
    if (cmd == L"menu" && a.size() == 2) {
        HWND hwnd = MainWindow();
        if (!hwnd)
            return 1;
        PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(num(1), 0), 0);
        return 0;
    }
    if (cmd == L"setting-change" && a.size() == 2) {
        DWORD_PTR result = 0;
        SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(a[1].c_str()),
                            SMTO_ABORTIFHUNG, 10000, &result);
        return 0;
    }
    if (cmd == L"click-button" && a.size() == 2)
        return ClickButton(num(1));
    if ((cmd == L"control-text" || cmd == L"control-state") && a.size() == 2) {
        HWND hwnd = MainWindow();
        if (!hwnd)
            return 1;
        HWND ctl = FindControl(hwnd, num(1));
        if (!ctl) {
            Print(L"no control " + arg(1));
            return 1;
        }
        if (cmd == L"control-text") {
            Print(TextOf(ctl));
        } else {
            LRESULT check = SendMessageW(ctl, BM_GETCHECK, 0, 0);
            Print(L"enabled=" + std::to_wstring(IsWindowEnabled(ctl) ? 1 : 0) + L" visible=" +
                  std::to_wstring(IsWindowVisible(ctl) ? 1 : 0) + L" checked=" +
                  std::to_wstring(check == BST_CHECKED ? 1 : 0));
        }
        return 0;
    }
    if ((cmd == L"wait-window" || cmd == L"wait-gone") && a.size() >= 2) {
        HWND found = nullptr;
        bool present = cmd == L"wait-window";
        if (!WaitFor(a[1], secs(2, 30), present, &found)) {
            Print(L"timeout");
            return 1;
        }
        Print(present ? Hex(reinterpret_cast<UINT_PTR>(found)) : L"gone");
        return 0;
    }
    if (cmd == L"count-windows" && a.size() == 2)
        return CountWindows(a[1]);
    if (cmd == L"set-check" && a.size() == 3) {
        HWND hwnd = MainWindow();
        HWND ctl = hwnd ? FindControl(hwnd, num(1)) : nullptr;
        if (!ctl)
            return 1;
        // As the user's click leaves it: nothing is saved until the program saves.
        SendMessageW(ctl, BM_SETCHECK, num(2) != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
        return 0;
    }
    if (cmd == L"tray-delete") {
        // The icon lost behind the program's back, as when the taskbar drops it.
        HWND hwnd = MainWindow();
        if (!hwnd)
            return 1;
        NOTIFYICONDATAW data{};
        data.cbSize = sizeof(data);
        data.hWnd = hwnd;
        data.uID = kTrayIconId;
        return Shell_NotifyIconW(NIM_DELETE, &data) ? 0 : 1;
    }
    if (cmd == L"window-info" && a.size() == 2)
        return WindowInfo(a[1]);
    if (cmd == L"dismiss-box")
        return DismissBox(secs(1, 10));
    if (cmd == L"box-text")
        return BoxText(secs(1, 10));
    if (cmd == L"tray-events" && a.size() >= 2) {
        HWND hwnd = MainWindow();
        if (!hwnd)
            return 1;
        for (size_t i = 1; i < a.size(); ++i)
            PostMessageW(hwnd, kTrayCallbackMessage, kTrayIconId, MouseMessage(a[i]));
        return 0;
    }
    if (cmd == L"post" && a.size() == 5) {
        HWND hwnd = FindTop(a[1].c_str());
        if (!hwnd) {
            Print(L"missing");
            return 1;
        }
        PostMessageW(hwnd, static_cast<UINT>(wcstoul(a[2].c_str(), nullptr, 0)),
                     static_cast<WPARAM>(wcstoull(a[3].c_str(), nullptr, 0)),
                     static_cast<LPARAM>(wcstoll(a[4].c_str(), nullptr, 0)));
        return 0;
    }
    if (cmd == L"ping" && a.size() == 3) {
        HWND hwnd = FindTopOrSayMissing(a[1]);
        if (!hwnd)
            return 1;
        DWORD_PTR result = 0;
        const ULONGLONG start = GetTickCount64();
        const bool answered =
            SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_NORMAL, static_cast<UINT>(num(2)), &result) != 0;
        Print((answered ? L"answered " : L"timeout ") + std::to_wstring(GetTickCount64() - start));
        return answered ? 0 : 1;
    }
    if (cmd == L"clipboard")
        return Clipboard();
    if (cmd == L"set-clipboard" && a.size() == 2)
        return SetClipboard(a[1]);
    if (cmd == L"clipboard-formats")
        return ClipboardFormats();
    if (cmd == L"hold-file" && (a.size() == 3 || (a.size() == 4 && (a[3] == L"read" || a[3] == L"append"))))
        return HoldFile(a[1], static_cast<DWORD>(wcstoul(a[2].c_str(), nullptr, 0)), arg(3));
    if (cmd == L"foreground" && a.size() == 2)
        return Foreground(a[1]);
    if (cmd == L"foreground-class") {
        wchar_t cls[256] = L"";
        HWND fg = GetForegroundWindow();
        if (fg)
            GetClassNameW(fg, cls, 256);
        Print(cls);
        return fg ? 0 : 1;
    }
    if (cmd == L"dump-sink") {
        HWND hwnd = FindTop(L"VorTikaSink");
        if (!hwnd)
            return 1;
        PostMessageW(hwnd, kSinkDumpRequest, 0, 0);
        return 0;
    }
    if (cmd == L"children" && a.size() == 2)
        return Children(a[1]);
    if (cmd == L"tray-tips")
        return TrayTips();
    if (cmd == L"tray-balloon")
        return TrayBalloon(secs(1, 10));
    if (cmd == L"work-area") {
        MONITORINFO monitor{};
        monitor.cbSize = sizeof(monitor);
        GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor);
        Print(RectText(monitor.rcWork));
        return 0;
    }
    if (cmd == L"close" && a.size() == 2) {
        HWND hwnd = FindTop(a[1].c_str());
        if (!hwnd)
            return 1;
        PostMessageW(hwnd, WM_CLOSE, 0, 0);
        return 0;
    }
    return Usage();
}

std::wstring FromUtf8(const std::string& bytes)
{
    const int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), n);
    return text;
}

int Serve()
{
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    std::string line;
    char c = 0;
    DWORD read = 0;
    while (ReadFile(in, &c, 1, &read, nullptr) && read == 1) {
        if (c != '\n') {
            line += c;
            continue;
        }
        std::vector<std::wstring> args;
        size_t start = 0;
        for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
            args.push_back(FromUtf8(line.substr(start, tab - start)));
        args.push_back(FromUtf8(line.substr(start)));
        line.clear();
        const int code = Run(args);
        Print(L"\x1e" + std::to_wstring(code));
    }
    return 0;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<std::wstring> args;
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i]);
    LocalFree(argv);
    if (args.size() == 1 && args[0] == L"serve")
        return Serve();
    return Run(args);
}
