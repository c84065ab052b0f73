// Fakes of the control surface (ui/controls.h): each control keeps what the monitor set on it.
#pragma once
#include <string>
#include <vector>

#include "ui/controls.h"

class FakeComboBox : public ComboBox {
public:
    void Clear() override
    {
        items.clear();
        index = -1;
    }
    void AddItem(const std::wstring& item) override { items.push_back(item); }
    int Count() const override { return static_cast<int>(items.size()); }
    std::wstring Item(int i) const override
    {
        return i >= 0 && i < Count() ? items[static_cast<std::size_t>(i)] : std::wstring{};
    }
    int ItemIndex() const override { return index; }
    void SetItemIndex(int i) override { index = (i >= 0 && i < Count()) ? i : -1; }
    std::wstring Text() const override { return Item(index); }
    bool Enabled() const { return enabled; }
    void SetEnabled(bool e) override { enabled = e; }
    void Refresh() override
    {
        ++refreshes;
        enabledAtRefresh.push_back(enabled);
    }

    std::vector<std::wstring> items;
    int index = -1;
    bool enabled = true;
    int refreshes = 0;
    std::vector<bool> enabledAtRefresh;
};

class FakeCheckBox : public CheckBox {
public:
    explicit FakeCheckBox(bool initial = false) : checked(initial) {}
    bool Checked() const override { return checked; }
    void SetChecked(bool c) override { checked = c; }
    void SetEnabled(bool e) override { enabled = e; }
    bool checked;
    bool enabled = true;
};

class FakeRadioButton : public RadioButton {
public:
    explicit FakeRadioButton(bool initial = false) : checked(initial) {}
    bool Checked() const override { return checked; }
    void SetChecked(bool c) override
    {
        checked = c;
        if (c)
            for (FakeRadioButton* other : group)
                if (other != this)
                    other->checked = false;
    }
    void SetEnabled(bool e) override { enabled = e; }
    bool checked;
    bool enabled = true;
    std::vector<FakeRadioButton*> group;
};

class FakeButton : public Button {
public:
    explicit FakeButton(bool initial = true) : enabled(initial) {}
    bool Enabled() const override { return enabled; }
    void SetEnabled(bool e) override { enabled = e; }
    bool enabled;
};

class FakeLabel : public Label {
public:
    std::wstring Caption() const override { return caption; }
    void SetCaption(const std::wstring& c) override
    {
        caption = c;
        history.push_back(c);
    }
    std::wstring caption = L"Etat: Déconnecté";
    std::vector<std::wstring> history;
};

class FakeMemo : public Memo {
public:
    void Clear() override { lines.clear(); }
    void AddLine(const std::wstring& line) override { lines.push_back(line); }
    std::vector<std::wstring> Lines() const override { return lines; }
    std::vector<std::wstring> lines;
};

class FakeMenuItem : public MenuItem {
public:
    std::wstring Caption() const { return caption; }
    void SetCaption(const std::wstring& c) override { caption = c; }
    void SetEnabled(bool e) override { enabled = e; }
    std::wstring caption = L"Activer";
    bool enabled = true;
};

struct BalloonRecord {
    std::wstring Title, Text;
    std::uint32_t Flags, TimeoutMs;
};

class FakeTrayIcon : public TrayIcon {
public:
    void SetIcon(const IconImage& image) override
    {
        icon = image;
        ++iconChanges;
    }
    void SetHint(const std::wstring& h) override
    {
        hint = h.substr(0, 127);
        hints.push_back(hint);
    }
    void ShowBalloon(const std::wstring& title, const std::wstring& text, std::uint32_t flags,
                     std::uint32_t timeoutMs) override
    {
        balloons.push_back({title, text, flags, timeoutMs});
    }
    IconImage icon;
    int iconChanges = 0;
    std::wstring hint;
    std::vector<std::wstring> hints;
    std::vector<BalloonRecord> balloons;
};

// Records every window-level call, in order, as readable text.
class FakeMainWindow : public MainWindow {
public:
    void AddToolWindowStyle() override
    {
        exStyle |= 0x80;
        calls.push_back(L"AddToolWindowStyle");
    }
    void SetFixedBorder() override { calls.push_back(L"SetFixedBorder"); }
    void SetOpacity(std::uint8_t a) override
    {
        alpha = a;
        calls.push_back(L"SetOpacity " + std::to_wstring(a));
    }
    void SetWindowPos(int x, int y, int cx, int cy, std::uint32_t flags) override
    {
        calls.push_back(L"SetWindowPos " + std::to_wstring(x) + L" " + std::to_wstring(y) + L" " + std::to_wstring(cx) +
                        L" " + std::to_wstring(cy) + L" " + std::to_wstring(flags));
    }
    void SetDesignedClientSize() override { calls.push_back(L"SetDesignedClientSize"); }
    void RequestCentring() override { calls.push_back(L"RequestCentring"); }
    bool Visible() const override { return visible; }
    void Show() override
    {
        visible = true;
        calls.push_back(L"Show");
    }
    void Hide() override
    {
        visible = false;
        calls.push_back(L"Hide");
    }
    void ShowApplicationWindow(int cmd) override
    {
        appWindowShown = cmd != 0;
        calls.push_back(L"ShowApplicationWindow " + std::to_wstring(cmd));
    }
    void SetNormalState() override { calls.push_back(L"SetNormalState"); }
    void BringApplicationToFront() override { calls.push_back(L"BringApplicationToFront"); }
    void SetForegroundWindow() override { calls.push_back(L"SetForegroundWindow"); }

    std::vector<std::wstring> calls;
    bool visible = false;
    bool appWindowShown = true;
    std::uint32_t exStyle = 0;
    std::uint8_t alpha = 255;
};
