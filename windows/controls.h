#pragma once
#include <windows.h>

#include <string>

#include "ui/controls.h"
#include "ui/shell_rules.h"

// The control surface bound to the child windows of the main window.

class Win32ComboBox : public ComboBox {
public:
    explicit Win32ComboBox(HWND hwnd) : hwnd_(hwnd) {}
    void Clear() override;
    void AddItem(const std::wstring& item) override;
    int Count() const override;
    std::wstring Item(int index) const override;
    int ItemIndex() const override;
    void SetItemIndex(int index) override;
    std::wstring Text() const override;
    bool Enabled() const override;
    void SetEnabled(bool enabled) override;
    void Refresh() override;

private:
    HWND hwnd_;
};

class Win32CheckBox : public CheckBox {
public:
    explicit Win32CheckBox(HWND hwnd) : hwnd_(hwnd) {}
    bool Checked() const override;
    void SetChecked(bool checked) override;

private:
    HWND hwnd_;
};

// Plain BS_RADIOBUTTON: the group rule and the tab stop are ours, because the
// two buttons are not neighbours in the tab order.
class Win32RadioButton : public RadioButton {
public:
    explicit Win32RadioButton(HWND hwnd) : hwnd_(hwnd) {}
    void SetPartner(Win32RadioButton& partner) { partner_ = &partner; }
    bool Checked() const override;
    void SetChecked(bool checked) override;
    void Clicked() { SetChecked(true); }

private:
    void Apply(bool checked);
    HWND hwnd_;
    Win32RadioButton* partner_ = nullptr;
};

class Win32Button : public Button {
public:
    explicit Win32Button(HWND hwnd) : hwnd_(hwnd) {}
    bool Enabled() const override;
    void SetEnabled(bool enabled) override;

private:
    HWND hwnd_;
};

// A label whose width and height follow its caption.
class Win32Label : public Label {
public:
    explicit Win32Label(HWND hwnd) : hwnd_(hwnd) {}
    std::wstring Caption() const override;
    void SetCaption(const std::wstring& caption) override;
    void FitToCaption();

private:
    HWND hwnd_;
};

class Win32Memo : public Memo {
public:
    explicit Win32Memo(HWND hwnd) : hwnd_(hwnd) {}
    void Clear() override;
    void AddLine(const std::wstring& line) override;
    std::vector<std::wstring> Lines() const override;

private:
    HWND hwnd_;
};

class Win32MenuItem : public MenuItem {
public:
    Win32MenuItem(HMENU menu, UINT id, std::wstring caption) : menu_(menu), id_(id), caption_(std::move(caption)) {}
    std::wstring Caption() const override { return caption_; }
    void SetCaption(const std::wstring& caption) override;

private:
    HMENU menu_;
    UINT id_;
    std::wstring caption_;
};

// A SetTimer timer of a window, with the running flag that makes Arm() on a
// running timer harmless and drops ticks queued before Stop().
class Win32Timer : public Timer {
public:
    Win32Timer(HWND hwnd, UINT_PTR id, std::uint32_t interval, bool running);
    void SetInterval(std::uint32_t ms) override;
    std::uint32_t Interval() const override { return state_.Interval(); }
    void Arm() override;
    void Stop() override;
    bool Running() const override { return state_.Running(); }
    bool AcceptsTick() const { return state_.AcceptsTick(); }

private:
    HWND hwnd_;
    UINT_PTR id_;
    TimerState state_;
};

std::wstring WindowText(HWND hwnd);
