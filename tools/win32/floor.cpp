// floor: the least a tray program of the monitor's design can cost, for the benchmarks to measure the
// monitor against.
//
//   floor.exe COMn LOG_FILE
//
// A hidden window with a tray icon; the port opened as the monitor opens it (9600 8N1, reads that
// return at once, writes bounded to 1 s); every 100 ms one read of up to 255 bytes; every 3 s the
// serial ports listed from the registry, as the monitor's port watch lists them, and a carriage
// return written as its liveness test. Nothing else: no controls, no settings, no log beyond one
// line appended to LOG_FILE once all of that is in place (the start-up benchmark waits for it).
// WM_CLOSE (wctl close VorTikaFloor) removes the icon and ends the program.
//
// Plain C++ on purpose: no iostream, no std::string, no printf, so that the static runtime adds as
// little as it can.

#define _WIN32_WINNT 0x0A00
#include <windows.h>

#include <shellapi.h>

namespace {

constexpr const wchar_t* kFloorClass = L"VorTikaFloor";
constexpr UINT kTrayCallback = WM_APP + 1;
constexpr UINT_PTR kReadTimer = 1;
constexpr UINT_PTR kWatchTimer = 2;
constexpr int kIconSize = 16;

HANDLE g_port = INVALID_HANDLE_VALUE;
NOTIFYICONDATAW g_tray{};

HANDLE OpenPort(const wchar_t* name)
{
    wchar_t path[64] = L"\\\\.\\";
    lstrcpynW(path + 4, name, 60);
    HANDLE port =
        CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (port == INVALID_HANDLE_VALUE)
        return port;
    DCB dcb{};
    dcb.DCBlength = sizeof(dcb);
    bool ready = GetCommState(port, &dcb) != FALSE;
    if (ready) {
        dcb.BaudRate = 9600;
        dcb.ByteSize = 8;
        dcb.Parity = NOPARITY;
        dcb.StopBits = ONESTOPBIT;
        COMMTIMEOUTS timeouts{MAXDWORD, 0, 0, 0, 1000};
        ready = SetCommState(port, &dcb) && SetCommTimeouts(port, &timeouts);
    }
    if (!ready) {
        CloseHandle(port);
        return INVALID_HANDLE_VALUE;
    }
    return port;
}

void ReadPort()
{
    BYTE buffer[256];
    DWORD read = 0;
    if (g_port != INVALID_HANDLE_VALUE)
        ReadFile(g_port, buffer, 255, &read, nullptr);
}

// What the monitor's port watch reads: every value of the serial-ports key, name and data.
int ListPorts()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    int count = 0;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD nameLength = 256;
        if (RegEnumValueW(key, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        BYTE data[256];
        DWORD type = 0;
        DWORD size = sizeof(data);
        if (RegQueryValueExW(key, name, nullptr, &type, data, &size) == ERROR_SUCCESS && type == REG_SZ)
            ++count;
    }
    RegCloseKey(key);
    return count;
}

void WriteCarriageReturn()
{
    DWORD written = 0;
    if (g_port != INVALID_HANDLE_VALUE)
        WriteFile(g_port, "\r", 1, &written, nullptr);
}

// A plain grey square.
HICON MakeIcon()
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = kIconSize;
    info.bmiHeader.biHeight = -kIconSize;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP colour = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (colour == nullptr)
        return nullptr;
    auto* pixels = static_cast<DWORD*>(bits);
    for (int i = 0; i < kIconSize * kIconSize; ++i)
        pixels[i] = 0xFF808080;
    static const BYTE zeros[kIconSize * 2] = {};
    HBITMAP mask = CreateBitmap(kIconSize, kIconSize, 1, 1, zeros);
    ICONINFO iconInfo{TRUE, 0, 0, mask, colour};
    HICON icon = CreateIconIndirect(&iconInfo);
    DeleteObject(colour);
    DeleteObject(mask);
    return icon;
}

void AddTrayIcon(HWND hwnd)
{
    g_tray.cbSize = sizeof(g_tray);
    g_tray.hWnd = hwnd;
    g_tray.uID = 1;
    g_tray.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    g_tray.uCallbackMessage = kTrayCallback;
    g_tray.hIcon = MakeIcon();
    lstrcpynW(g_tray.szTip, L"VOR-TIKA floor", ARRAYSIZE(g_tray.szTip));
    Shell_NotifyIconW(NIM_ADD, &g_tray);
}

void PutNumber(char*& out, unsigned value, int digits)
{
    for (int i = digits - 1; i >= 0; --i, value /= 10)
        out[i] = static_cast<char>('0' + value % 10);
    out += digits;
}

// "yyyy-mm-dd hh:nn:ss - floor started", appended as the monitor appends its log lines.
void WriteStartedLine(const wchar_t* path)
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    char line[64];
    char* out = line;
    PutNumber(out, now.wYear, 4);
    *out++ = '-';
    PutNumber(out, now.wMonth, 2);
    *out++ = '-';
    PutNumber(out, now.wDay, 2);
    *out++ = ' ';
    PutNumber(out, now.wHour, 2);
    *out++ = ':';
    PutNumber(out, now.wMinute, 2);
    *out++ = ':';
    PutNumber(out, now.wSecond, 2);
    for (const char* tail = " - floor started\r\n"; *tail != '\0'; ++tail)
        *out++ = *tail;
    HANDLE file =
        CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, line, static_cast<DWORD>(out - line), &written, nullptr);
    CloseHandle(file);
}

LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_TIMER:
        if (wp == kReadTimer) {
            ReadPort();
        } else if (wp == kWatchTimer) {
            ListPorts();
            WriteCarriageReturn();
        }
        return 0;
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        Shell_NotifyIconW(NIM_DELETE, &g_tray);
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
    if (argv == nullptr || argc < 3)
        return 2;

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = WndProc;
    wc.hInstance = instance;
    wc.lpszClassName = kFloorClass;
    RegisterClassExW(&wc);
    // Never shown.
    HWND hwnd = CreateWindowExW(0, kFloorClass, L"VOR-TIKA floor", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                                instance, nullptr);
    if (hwnd == nullptr)
        return 1;
    AddTrayIcon(hwnd);
    g_port = OpenPort(argv[1]);
    ListPorts();
    SetTimer(hwnd, kReadTimer, 100, nullptr);
    SetTimer(hwnd, kWatchTimer, 3000, nullptr);
    WriteStartedLine(argv[2]);
    LocalFree(argv);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (g_port != INVALID_HANDLE_VALUE)
        CloseHandle(g_port);
    if (g_tray.hIcon != nullptr)
        DestroyIcon(g_tray.hIcon);
    return 0;
}
