// The control surface bound to the main window's child windows: thin wrappers attached by id once
// the window exists, sharing the enabled and checked states of a small base, and the timers with
// the running flag that SetTimer lacks.
#pragma once
#include <windows.h>

#include <string>

#include "ui/controls.h"
#include "ui/form_layout.h"
#include "ui/memo_text.h"
#include "ui/timer_state.h"

// The enabled and checked states are the same window calls for every kind of control.
class Win32Control {
public:
    void Attach(HWND hwnd) { hwnd_ = hwnd; }
    HWND Handle() const { return hwnd_; }

protected:
    bool IsEnabled() const;
    // A disabled control hands the focus on to the next tab stop.
    void Enable(bool enabled);
    bool IsChecked() const;
    void Check(bool checked);
    HWND hwnd_ = nullptr;
};

class Win32ComboBox : public ComboBox, public Win32Control {
public:
    void Clear() override;
    void AddItem(const std::wstring& item) override;
    int Count() const override;
    std::wstring Item(int index) const override;
    int ItemIndex() const override;
    void SetItemIndex(int index) override;
    std::wstring Text() const override;
    void SetEnabled(bool enabled) override { Enable(enabled); }
    void Refresh() override;
};

class Win32CheckBox : public CheckBox, public Win32Control {
public:
    bool Checked() const override { return IsChecked(); }
    void SetChecked(bool checked) override { Check(checked); }
    void SetEnabled(bool enabled) override { Enable(enabled); }
};

// Plain BS_RADIOBUTTON: the group rule and the tab stop are ours, because the
// two buttons are not neighbours in the tab order.
class Win32RadioButton : public RadioButton, public Win32Control {
public:
    void SetPartner(Win32RadioButton& partner) { partner_ = &partner; }
    bool Checked() const override { return IsChecked(); }
    void SetChecked(bool checked) override;
    void SetEnabled(bool enabled) override { Enable(enabled); }
    void Clicked() { SetChecked(true); }

private:
    void Apply(bool checked);
    Win32RadioButton* partner_ = nullptr;
};

class Win32Button : public Button, public Win32Control {
public:
    bool Enabled() const override { return IsEnabled(); }
    void SetEnabled(bool enabled) override { Enable(enabled); }
};

// A label whose width and height follow its caption.
class Win32Label : public Label, public Win32Control {
public:
    std::wstring Caption() const override;
    void SetCaption(const std::wstring& caption) override;
    void FitToCaption();
};

class Win32Memo : public Memo, public Win32Control {
public:
    void Clear() override;
    void AddLine(const std::wstring& line) override;
    std::vector<std::wstring> Lines() const override;
};

class Win32MenuItem : public MenuItem {
public:
    Win32MenuItem(UINT id, std::wstring caption) : id_(id), caption_(std::move(caption)) {}
    void Attach(HMENU menu) { menu_ = menu; }
    void SetCaption(const std::wstring& caption) override;
    void SetEnabled(bool enabled) override;

private:
    HMENU menu_ = nullptr;
    UINT id_;
    std::wstring caption_;
};

// A SetTimer timer of a window, with the running flag that makes Arm() on a
// running timer harmless and drops ticks queued before Stop().
class Win32Timer : public Timer {
public:
    explicit Win32Timer(const DesignedTimer& design) : design_(design), state_(design.PeriodMs, false) {}
    // Once the window exists; a timer designed running starts here.
    void Attach(HWND hwnd);
    void SetInterval(std::uint32_t ms) override;
    void Arm() override;
    void Stop() override;
    bool Running() const override { return state_.Running(); }
    bool AcceptsTick() const { return state_.AcceptsTick(); }

private:
    const DesignedTimer& design_;
    HWND hwnd_ = nullptr;
    TimerState state_;
};

std::wstring WindowText(HWND hwnd);
// The size of a text as the control draws it in `font` (tabs expanded, no prefix); an empty
// text has the height of a line and no width.
SIZE MeasureText(HWND control, HFONT font, const std::wstring& text);
// Sets and clears bits of the window's GWL_STYLE or GWL_EXSTYLE; true when the style changed.
bool ChangeStyle(HWND hwnd, int index, LONG_PTR set, LONG_PTR clear = 0);
