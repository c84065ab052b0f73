// sink: a window that receives typed keys and pastes, and writes down every one of them.
//
//   sink.exe RECORD_FILE [--title TEXT] [--light] [--busy-after-enter MS] [--refuse-pastes N]
//
// One multi-line EDIT control fills the window and has the focus; the window puts itself in front at
// start and whenever it receives the "foreground" request (WM_APP + 10, posted by `wctl foreground`).
// WM_APP + 12 opens a popup menu (TrackPopupMenu) in front, as an application's context menu does;
// WM_APP + 13 closes it (EndMenu), as the operator's Escape or click elsewhere would.
// Each event becomes one UTF-8 line of RECORD_FILE:
//
//   <qpc ms> <tick ms> <epoch ms> <event> <details>
//
//   ready hwnd=0x...           the window is shown and the edit has the focus
//   char U+0041 A              WM_CHAR reaching the edit (Enter is U+000D, Ctrl+V is U+0016)
//   keydown VK=0x0D SC=0x1C    WM_KEYDOWN reaching the edit, with its scan code ((lParam >> 16) & 0xFF)
//   paste <text>               WM_PASTE, with the clipboard's Unicode text (escaped)
//   refused paste              with --refuse-pastes: a WM_PASTE ignored, the clipboard not read
//   change <length>            the edit's text changed
//   focus in|out               the edit gained or lost the keyboard focus
//   text <text>                the whole edit text (escaped), on WM_APP + 11 and at exit
//   busy <ms> / idle           with --busy-after-enter: the sleep after an Enter begins / ends
//   menu open / menu closed <command>   the popup menu's loop begins / ends (0: no item chosen)
//
// With --light, typed printable characters are recorded but not inserted into the edit: under Wine the EDIT
// control spends several milliseconds on each character, so a plain sink cannot keep up with fast
// typing and would time its own processing instead of the sender's. The benchmarks use it.
//
// With --busy-after-enter MS, the window sleeps MS ms after handling each Enter (WM_CHAR U+000D)
// without pumping messages, as an application that saves each entry does: keys and a Ctrl+V that
// come meanwhile wait in its queue, and a paste reads the clipboard only when it wakes.
//
// With --refuse-pastes N, the first N WM_PASTE are ignored without reading the clipboard, as a
// window with no edit field focused ignores a Ctrl+V.
//
// Escapes in texts: \r \n \t \\ and \uXXXX for other control characters. The epoch column is the
// wall clock (UTC, ms since 1970) so that Linux programs can put the events on their own time line.

#define _WIN32_WINNT 0x0A00
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

constexpr UINT kForegroundRequest = WM_APP + 10;
constexpr UINT kDumpRequest = WM_APP + 11;
constexpr UINT kMenuRequest = WM_APP + 12;
constexpr UINT kEndMenuRequest = WM_APP + 13;
constexpr const wchar_t* kSinkClass = L"VorTikaSink";

HANDLE g_record = INVALID_HANDLE_VALUE;
HWND g_edit = nullptr;
WNDPROC g_editProc = nullptr;
double g_qpcPerMs = 0;
bool g_light = false;
DWORD g_busyAfterEnterMs = 0;
DWORD g_pastesToRefuse = 0;

std::string Utf8(const std::wstring& text)
{
    if (text.empty())
        return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring Escape(const std::wstring& text)
{
    std::wstring out;
    for (wchar_t c : text) {
        switch (c) {
        case L'\r':
            out += L"\\r";
            break;
        case L'\n':
            out += L"\\n";
            break;
        case L'\t':
            out += L"\\t";
            break;
        case L'\\':
            out += L"\\\\";
            break;
        default:
            if (c < 0x20 || c == 0x7F) {
                wchar_t buf[8];
                swprintf(buf, 8, L"\\u%04X", static_cast<unsigned>(c));
                out += buf;
            } else {
                out += c;
            }
        }
    }
    return out;
}

void Write(const std::wstring& event)
{
    if (g_record == INVALID_HANDLE_VALUE)
        return;
    LARGE_INTEGER qpc;
    QueryPerformanceCounter(&qpc);
    FILETIME ft;
    GetSystemTimePreciseAsFileTime(&ft);
    ULARGE_INTEGER t;
    t.LowPart = ft.dwLowDateTime;
    t.HighPart = ft.dwHighDateTime;
    // FILETIME counts 100 ns from 1601; the Unix epoch is 11644473600 s later.
    double epochMs = static_cast<double>(t.QuadPart - 116444736000000000ULL) / 10000.0;
    char head[96];
    std::snprintf(head, sizeof head, "%.3f %lu %.3f ", static_cast<double>(qpc.QuadPart) / g_qpcPerMs,
                  static_cast<unsigned long>(GetTickCount()), epochMs);
    std::string line = head + Utf8(event) + "\n";
    DWORD written = 0;
    WriteFile(g_record, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

std::wstring ClipboardText()
{
    std::wstring text;
    for (int attempt = 0; attempt < 10; ++attempt) {
        if (OpenClipboard(nullptr)) {
            if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
                if (auto* p = static_cast<const wchar_t*>(GlobalLock(data))) {
                    text = p;
                    GlobalUnlock(data);
                }
            }
            CloseClipboard();
            break;
        }
        Sleep(5);
    }
    return text;
}

std::wstring EditText()
{
    int n = GetWindowTextLengthW(g_edit);
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    GetWindowTextW(g_edit, text.data(), n + 1);
    text.resize(static_cast<size_t>(n));
    return text;
}

void BringToFront(HWND hwnd)
{
    ShowWindow(hwnd, SW_SHOWNORMAL);
    SetForegroundWindow(hwnd);
    SetActiveWindow(hwnd);
    SetFocus(g_edit);
}

LRESULT CALLBACK EditProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_CHAR: {
        wchar_t c = static_cast<wchar_t>(wp);
        wchar_t buf[32];
        swprintf(buf, 32, L"char U+%04X ", static_cast<unsigned>(c));
        Write(buf + Escape(std::wstring(1, c)));
        if (g_light && c >= 0x20) // control characters still reach the edit: Ctrl+V pastes
            return 0;
        if (c == L'\r' && g_busyAfterEnterMs > 0) {
            const LRESULT handled = CallWindowProcW(g_editProc, hwnd, msg, wp, lp);
            Write(L"busy " + std::to_wstring(g_busyAfterEnterMs));
            Sleep(g_busyAfterEnterMs);
            Write(L"idle");
            return handled;
        }
        break;
    }
    case WM_KEYDOWN: {
        wchar_t buf[48];
        swprintf(buf, 48, L"keydown VK=0x%02X SC=0x%02X", static_cast<unsigned>(wp),
                 static_cast<unsigned>((lp >> 16) & 0xFF));
        Write(buf);
        break;
    }
    case WM_PASTE:
        if (g_pastesToRefuse > 0) {
            --g_pastesToRefuse;
            Write(L"refused paste");
            return 0;
        }
        Write(L"paste " + Escape(ClipboardText()));
        break;
    case WM_SETFOCUS:
        Write(L"focus in");
        break;
    case WM_KILLFOCUS:
        Write(L"focus out");
        break;
    default:
        break;
    }
    return CallWindowProcW(g_editProc, hwnd, msg, wp, lp);
}

LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_CREATE: {
        g_edit = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                                 WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN, 0,
                                 0, 10, 10, hwnd, reinterpret_cast<HMENU>(1), nullptr, nullptr);
        SendMessageW(g_edit, EM_SETLIMITTEXT, 0x7FFFFFFE, 0);
        g_editProc =
            reinterpret_cast<WNDPROC>(SetWindowLongPtrW(g_edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&EditProc)));
        return 0;
    }
    case WM_SIZE:
        MoveWindow(g_edit, 0, 0, LOWORD(lp), HIWORD(lp), TRUE);
        return 0;
    case WM_SETFOCUS:
        SetFocus(g_edit);
        return 0;
    case WM_COMMAND:
        if (HIWORD(wp) == EN_CHANGE)
            Write(L"change " + std::to_wstring(GetWindowTextLengthW(g_edit)));
        return 0;
    case kForegroundRequest:
        BringToFront(hwnd);
        Write(L"foreground");
        return 0;
    case kDumpRequest:
        Write(L"text " + Escape(EditText()));
        return 0;
    case kMenuRequest: {
        // Letters choose these items and Enter runs the highlighted one.
        HMENU menu = CreatePopupMenu();
        AppendMenuW(menu, MF_STRING, 1, L"&Annuler");
        AppendMenuW(menu, MF_STRING, 2, L"&Supprimer");
        RECT frame{};
        GetWindowRect(hwnd, &frame);
        SetForegroundWindow(hwnd);
        Write(L"menu open");
        const int command = static_cast<int>(
            TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY, frame.left + 40, frame.top + 60, 0, hwnd, nullptr));
        Write(L"menu closed " + std::to_wstring(command));
        DestroyMenu(menu);
        return 0;
    }
    case kEndMenuRequest:
        EndMenu();
        return 0;
    case WM_CLOSE:
        Write(L"text " + Escape(EditText()));
        DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc < 2) {
        MessageBoxW(nullptr,
                    L"usage: sink.exe RECORD_FILE [--title TEXT] [--light] [--busy-after-enter MS] [--refuse-pastes N]",
                    L"sink", MB_OK);
        return 2;
    }
    std::wstring title = L"Sink";
    for (int i = 2; i < argc; ++i) {
        std::wstring a = argv[i];
        if (a == L"--title" && i + 1 < argc)
            title = argv[++i];
        else if (a == L"--light")
            g_light = true;
        else if (a == L"--busy-after-enter" && i + 1 < argc)
            g_busyAfterEnterMs = static_cast<DWORD>(wcstoul(argv[++i], nullptr, 10));
        else if (a == L"--refuse-pastes" && i + 1 < argc)
            g_pastesToRefuse = static_cast<DWORD>(wcstoul(argv[++i], nullptr, 10));
    }

    LARGE_INTEGER freq;
    QueryPerformanceFrequency(&freq);
    g_qpcPerMs = static_cast<double>(freq.QuadPart) / 1000.0;
    g_record = CreateFileW(argv[1], GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    LocalFree(argv);
    if (g_record == INVALID_HANDLE_VALUE)
        return 1;

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WndProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_IBEAM);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kSinkClass;
    RegisterClassExW(&wc);
    HWND hwnd = CreateWindowExW(0, kSinkClass, title.c_str(), WS_OVERLAPPEDWINDOW, 40, 40, 600, 400, nullptr, nullptr,
                                instance, nullptr);
    if (!hwnd)
        return 1;
    BringToFront(hwnd);
    UpdateWindow(hwnd);
    wchar_t ready[64];
    swprintf(ready, 64, L"ready hwnd=0x%llX", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hwnd)));
    Write(ready);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    CloseHandle(g_record);
    return 0;
}
