// The application object of the program: its zero-size top-level window (title, taskbar entry,
// owner of the main window, the clipboard and the boxes), the message loop with the dialog keys of
// the main window, the modal boxes that never stack, and the error report that ends every handler.
#pragma once
#include <windows.h>

#include <deque>
#include <functional>
#include <string>
#include <utility>

#include "storage/event_sink.h"
#include "ui/controls.h"
#include "ui/open_boxes.h"
#include "windows/base_window.h"

class Win32Application : public Application, private win32::BaseWindow {
public:
    explicit Win32Application(HINSTANCE instance);
    ~Win32Application() override;
    Win32Application(const Win32Application&) = delete;
    Win32Application& operator=(const Win32Application&) = delete;

    HWND Handle() const { return hwnd_; }
    HINSTANCE Instance() const { return instance_; }
    // The window whose keyboard navigation the loop handles and to which the
    // application window hands the focus.
    void SetMainWindow(HWND main) { main_ = main; }
    // The window owns the clipboard: its rendering messages go to this handler (true: handled).
    void SetClipboardOwnerMessages(std::function<bool(UINT, WPARAM)> handler)
    {
        clipboardMessages_ = std::move(handler);
    }
    // Every error box shown is also an error event.
    void SetEventSink(EventSink* events) { events_ = events; }

    void ShowMessage(const std::wstring& text, MessageBoxKind kind) override;
    void ShowMessageLater(const std::wstring& text, MessageBoxKind kind) override;
    void ProcessMessages() override;
    void Terminate() override;

    // Runs until WM_QUIT; returns its exit code.
    int Run();
    // Runs a handler; whatever escapes it is shown by the error report.
    void Guarded(const std::function<void()>& handler);
    void ReportError(const std::wstring& message) override;

private:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void ActivateFront();
    int ShowModal(const std::wstring& text, UINT flags);
    void Dispatch(MSG& msg);

    HINSTANCE instance_;
    HWND main_ = nullptr;
    OpenBoxTexts openBoxes_;
    EventSink* events_ = nullptr;
    std::deque<std::pair<std::wstring, MessageBoxKind>> postedBoxes_;
    std::function<bool(UINT, WPARAM)> clipboardMessages_;
};
