// The control wrappers (see controls.h), the text measure and the style-bit change they share.
#include "windows/controls.h"

#include <vector>

#include "windows/owners.h"
#include "windows/trace.h"

std::wstring WindowText(HWND hwnd)
{
    const int length = GetWindowTextLengthW(hwnd);
    if (length <= 0)
        return {};
    std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1);
    const int copied = GetWindowTextW(hwnd, buffer.data(), length + 1);
    return std::wstring(buffer.data(), static_cast<std::size_t>(copied > 0 ? copied : 0));
}

SIZE MeasureText(HWND control, HFONT font, const std::wstring& text)
{
    RECT r{0, 0, 0, 0};
    const win32::WindowDc dc(control);
    if (!dc)
        return SIZE{0, 0};
    const win32::SelectedObject selected(dc.Get(), font);
    const std::wstring measured = text.empty() ? std::wstring(L" ") : text;
    DrawTextW(dc.Get(), measured.c_str(), static_cast<int>(measured.size()), &r,
              DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS);
    return SIZE{text.empty() ? 0 : r.right - r.left, r.bottom - r.top};
}

bool ChangeStyle(HWND hwnd, int index, LONG_PTR set, LONG_PTR clear)
{
    const LONG_PTR style = GetWindowLongPtrW(hwnd, index);
    const LONG_PTR changed = (style & ~clear) | set;
    if (changed == style)
        return false;
    SetWindowLongPtrW(hwnd, index, changed);
    return true;
}

// --- Common states ---

bool Win32Control::IsEnabled() const
{
    return IsWindowEnabled(hwnd_) != FALSE;
}

// A disabled control cannot keep the focus: hand it to the next tab stop, as
// the keyboard would otherwise be left with nowhere to go.
void Win32Control::Enable(bool enabled)
{
    if (!enabled && GetFocus() == hwnd_) {
        HWND parent = GetParent(hwnd_);
        HWND next = GetNextDlgTabItem(parent, hwnd_, FALSE);
        EnableWindow(hwnd_, FALSE);
        SetFocus(next != nullptr && next != hwnd_ ? next : parent);
        return;
    }
    EnableWindow(hwnd_, enabled ? TRUE : FALSE);
}

bool Win32Control::IsChecked() const
{
    return SendMessageW(hwnd_, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32Control::Check(bool checked)
{
    SendMessageW(hwnd_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

// --- ComboBox ---

void Win32ComboBox::Clear()
{
    SendMessageW(hwnd_, CB_RESETCONTENT, 0, 0);
}

void Win32ComboBox::AddItem(const std::wstring& item)
{
    SendMessageW(hwnd_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
}

int Win32ComboBox::Count() const
{
    return static_cast<int>(SendMessageW(hwnd_, CB_GETCOUNT, 0, 0));
}

std::wstring Win32ComboBox::Item(int index) const
{
    const LRESULT length = SendMessageW(hwnd_, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR || length < 0)
        return {};
    std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1);
    const LRESULT copied =
        SendMessageW(hwnd_, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer.data()));
    if (copied == CB_ERR || copied < 0)
        return {};
    return std::wstring(buffer.data(), static_cast<std::size_t>(copied));
}

int Win32ComboBox::ItemIndex() const
{
    return static_cast<int>(SendMessageW(hwnd_, CB_GETCURSEL, 0, 0));
}

void Win32ComboBox::SetItemIndex(int index)
{
    SendMessageW(hwnd_, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

std::wstring Win32ComboBox::Text() const
{
    const int index = ItemIndex();
    return index < 0 ? std::wstring() : Item(index);
}

void Win32ComboBox::Refresh()
{
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

// --- RadioButton ---

void Win32RadioButton::Apply(bool checked)
{
    Check(checked);
    // Only the checked button of the group is a tab stop.
    ChangeStyle(hwnd_, GWL_STYLE, checked ? WS_TABSTOP : 0, checked ? 0 : WS_TABSTOP);
}

void Win32RadioButton::SetChecked(bool checked)
{
    Apply(checked);
    if (checked && partner_ != nullptr)
        partner_->Apply(false);
}

// --- Label ---

std::wstring Win32Label::Caption() const
{
    return WindowText(hwnd_);
}

void Win32Label::SetCaption(const std::wstring& caption)
{
    SetWindowTextW(hwnd_, caption.c_str());
    FitToCaption();
}

void Win32Label::FitToCaption()
{
    const SIZE size = MeasureText(hwnd_, reinterpret_cast<HFONT>(SendMessageW(hwnd_, WM_GETFONT, 0, 0)), Caption());
    SetWindowPos(hwnd_, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(hwnd_, nullptr, TRUE);
}

// --- Memo ---

void Win32Memo::Clear()
{
    SetWindowTextW(hwnd_, L"");
}

// Appended at the end through the selection, so the view follows the new text.
void Win32Memo::AddLine(const std::wstring& line)
{
    const std::wstring before = WindowText(hwnd_);
    const std::wstring added = AppendMemoLine(before, line).substr(before.size());
    const auto end = static_cast<WPARAM>(before.size());
    SendMessageW(hwnd_, EM_SETSEL, end, static_cast<LPARAM>(end));
    SendMessageW(hwnd_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(added.c_str()));
}

std::vector<std::wstring> Win32Memo::Lines() const
{
    return MemoLines(WindowText(hwnd_));
}

// --- MenuItem ---

void Win32MenuItem::SetCaption(const std::wstring& caption)
{
    caption_ = caption;
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_STRING;
    info.dwTypeData = caption_.data();
    SetMenuItemInfoW(menu_, id_, FALSE, &info);
}

void Win32MenuItem::SetEnabled(bool enabled)
{
    EnableMenuItem(menu_, id_, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

// --- Timer ---

void Win32Timer::Attach(HWND hwnd)
{
    hwnd_ = hwnd;
    if (design_.ArmedAtCreation)
        Arm();
}

void Win32Timer::SetInterval(std::uint32_t ms)
{
    if (state_.SetInterval(ms))
        VORTIKA_TRACE_IF_FALSE_FOR(SetTimer(hwnd_, design_.Id, ms, nullptr), design_.Name);
}

void Win32Timer::Arm()
{
    if (state_.Arm())
        VORTIKA_TRACE_IF_FALSE_FOR(SetTimer(hwnd_, design_.Id, state_.Interval(), nullptr), design_.Name);
}

void Win32Timer::Stop()
{
    KillTimer(hwnd_, design_.Id);
    state_.Stop();
}
