#include <gtest/gtest.h>

#include "tests/fakes/lines.h"

#include <set>
#include <stdexcept>
#include <utility>
#include <vector>

#include "ui/error_guard.h"
#include "ui/errors.h"
#include "ui/form_layout.h"
#include "ui/memo_text.h"
#include "ui/open_boxes.h"
#include "ui/shell_ids.h"
#include "ui/timer_state.h"
#include "ui/tray_rules.h"

// --- Layout ---------------------------------------------------------------

TEST(WindowLayout, TabOrder_IsTheDesignedOrderOfFocusableControls)
{
    std::vector<std::wstring> names;
    for (const ControlSpec& entry : kFormLayout)
        if (entry.Kind != ControlKind::Label && entry.Kind != ControlKind::GroupBox)
            names.push_back(entry.Name);
    EXPECT_EQ(names, (Lines{L"btnConnect", L"btnDisconnect", L"cmbPorts", L"cmbBaudRate", L"rbKeyboard",
                            L"memoLastData", L"rbClipboard", L"chkAutoConnect", L"chkCR", L"chkLF"}));
}

TEST(WindowLayout, OnlyTheCheckedRadioButtonIsATabStopAtDesign)
{
    EXPECT_TRUE(ControlById(kRbKeyboardId).TabStop);
    EXPECT_FALSE(ControlById(kRbClipboardId).TabStop);
}

TEST(WindowLayout, DesignedStates_DisconnectDisabledOthersEnabled)
{
    for (const ControlSpec& entry : kFormLayout)
        EXPECT_EQ(entry.Enabled, entry.Id != kBtnDisconnectId) << std::wstring(entry.Name).size();
}

TEST(WindowLayout, IdsAreUnique_AndEveryControlIsFound)
{
    std::set<int> ids;
    for (const ControlSpec& entry : kFormLayout) {
        ids.insert(entry.Id);
        EXPECT_EQ(&ControlById(entry.Id), &entry);
    }
    EXPECT_EQ(ids.size(), kFormLayout.size());
    EXPECT_THROW(ControlById(999), std::out_of_range);
}

TEST(WindowLayout, CaptionsAreTheFrenchTexts)
{
    EXPECT_STREQ(ControlById(kBtnConnectId).Caption, L"Connecter");
    EXPECT_STREQ(ControlById(kBtnDisconnectId).Caption, L"Déconnecter");
    EXPECT_STREQ(ControlById(kRbKeyboardId).Caption, L"Simulation clavier");
    EXPECT_STREQ(ControlById(kRbClipboardId).Caption, L"Copier/Coller");
    EXPECT_STREQ(ControlById(kChkAutoConnectId).Caption, L"Connexion automatique");
    EXPECT_STREQ(ControlById(kGroupBox1Id).Caption, L"Configuration fin de lecture");
    EXPECT_STREQ(ControlById(kChkCRId).Caption, L"CR - ASCII 13");
    EXPECT_STREQ(ControlById(kChkLFId).Caption, L"LF - ASCII 10");
    EXPECT_STREQ(ControlById(kLblPortId).Caption, L"Port COM:");
    EXPECT_STREQ(ControlById(kLblBaudRateId).Caption, L"Vitesse:");
    EXPECT_STREQ(ControlById(kLblStatusId).Caption, L"Etat: Déconnecté");
}

TEST(WindowLayout, At96Dpi_RectanglesAreTheDesignedOnes)
{
    EXPECT_EQ(ControlRect(ControlById(kBtnConnectId), 96), (PixelRect{441, 32, 75, 25}));
    EXPECT_EQ(ControlRect(ControlById(kMemoLastDataId), 96), (PixelRect{16, 96, 592, 170}));
    EXPECT_EQ(ControlRect(ControlById(kLblStatusId), 96), (PixelRect{16, 275, 84, 13}));
}

TEST(WindowLayout, GroupBoxChildren_AreOffsetFromTheGroupBoxTopLeft)
{
    EXPECT_EQ(ControlRect(ControlById(kChkCRId), 96), (PixelRect{37, 71, 188, 17}));
    EXPECT_EQ(ControlRect(ControlById(kChkLFId), 96), (PixelRect{240, 70, 97, 17}));
}

TEST(WindowLayout, ScaleForDpi_RoundsHalfAwayFromZeroLikeMulDiv)
{
    EXPECT_EQ(ScaleForDpi(11, 144), 17); // 16.5
    EXPECT_EQ(ScaleForDpi(-11, 144), -17);
    EXPECT_EQ(ScaleForDpi(782, 144), 1173);
    EXPECT_EQ(ScaleForDpi(369, 120), 461); // 461.25
    EXPECT_EQ(ScaleForDpi(13, 120), 16);   // 16.25
    EXPECT_EQ(ScaleForDpi(0, 192), 0);
    EXPECT_EQ(ScaleForDpi(100, 96), 100);
}

TEST(WindowLayout, At144Dpi_TouchingEdgesStayTouching)
{
    for (const ControlSpec& entry : kFormLayout) {
        const PixelRect r = ControlRect(entry, 144);
        EXPECT_EQ(r.Left + r.Width, ScaleForDpi(entry.Left + entry.Width + (entry.InGroupBox ? 16 : 0), 144));
    }
    // chkCR and chkLF stay inside the group box at any scale.
    for (int dpi : {96, 120, 144, 168, 192}) {
        const PixelRect group = ControlRect(ControlById(kGroupBox1Id), dpi);
        for (int id : {kChkCRId, kChkLFId}) {
            const PixelRect r = ControlRect(ControlById(id), dpi);
            EXPECT_GE(r.Left, group.Left);
            EXPECT_LE(r.Left + r.Width, group.Left + group.Width) << dpi;
            EXPECT_LE(r.Top + r.Height, group.Top + group.Height) << dpi;
        }
    }
}

TEST(WindowLayout, EveryControlFitsTheDesignedClientArea)
{
    for (int dpi : {96, 144}) {
        for (const ControlSpec& entry : kFormLayout) {
            const PixelRect r = ControlRect(entry, dpi);
            EXPECT_LE(r.Left + r.Width, ScaleForDpi(kDesignedClientWidth, dpi));
            EXPECT_LE(r.Top + r.Height, ScaleForDpi(kDesignedClientHeight, dpi));
        }
    }
}

TEST(WindowLayout, CheckBoxWidth_GrowsOnlyWhenTheCaptionNeedsIt)
{
    EXPECT_EQ(CaptionedWidth(206, 20, 150, 144), 206);
    EXPECT_EQ(CaptionedWidth(206, 20, 190, 144), 20 + 12 + 190);
    EXPECT_EQ(CaptionedWidth(137, 13, 116, 96), 137); // exactly enough
    EXPECT_EQ(CaptionedWidth(137, 13, 117, 96), 138);
}

TEST(WindowLayout, Centring_PutsTheWindowInTheMiddleOfTheWorkArea)
{
    EXPECT_EQ(CentreInWorkArea({0, 0, 1024, 738}, 800, 400), (PixelPoint{112, 169}));
    EXPECT_EQ(CentreInWorkArea({1920, 40, 1280, 984}, 200, 100), (PixelPoint{2460, 482}));
}

TEST(WindowLayout, Centring_NeverAboveOrLeftOfTheWorkArea)
{
    EXPECT_EQ(CentreInWorkArea({0, 30, 640, 450}, 800, 600), (PixelPoint{0, 30}));
    EXPECT_EQ(CentreInWorkArea({-1280, 0, 1280, 1024}, 1400, 500), (PixelPoint{-1280, 262}));
}

// --- Tray clicks ----------------------------------------------------------

TEST(TrayClick, PressThenRelease_IsOneClick)
{
    TrayClickTracker t;
    t.ButtonDown();
    EXPECT_TRUE(t.ButtonUp());
}

TEST(TrayClick, ReleaseWithoutPress_IsNoClick)
{
    TrayClickTracker t;
    EXPECT_FALSE(t.ButtonUp());
}

TEST(TrayClick, DoubleClick_TogglesOnce)
{
    TrayClickTracker t;
    int clicks = 0;
    t.ButtonDown();
    clicks += t.ButtonUp();
    t.DoubleClick();
    clicks += t.ButtonUp();
    EXPECT_EQ(clicks, 1);
}

// --- Timers ---------------------------------------------------------------

// After the tray menu the foreground goes back to the operator's last window before the menu
// opened, not to one taken at the tray's callback, nor to one that came to the front meanwhile.
TEST(TrayMenuForeground, GivesBackTheOperatorsLastWindowBeforeTheMenu_OrLeavesTheForegroundAlone)
{
    constexpr std::uintptr_t sink = 0x10, editor = 0x20, taskbar = 0x30, menu = 0x40;
    struct Case {
        const char* name;
        std::vector<std::pair<std::uintptr_t, bool>> beforeMenu; // windows in front, operator's or not
        std::vector<std::pair<std::uintptr_t, bool>> duringMenu;
        unsigned command;
        bool ownerInFront;
        std::set<std::uintptr_t> stillOperators; // the windows still there as the operator's
        std::uintptr_t expected;
    };
    const Case cases[] = {
        {"the last of two",
         {{sink, true}, {editor, true}, {taskbar, false}},
         {},
         kMenuActiverId,
         true,
         {sink, editor},
         editor},
        {"the overflow's flyout in front", {{sink, true}, {taskbar, false}, {menu, false}}, {}, 0, true, {sink}, sink},
        {"a window in front during the menu",
         {{sink, true}},
         {{editor, true}},
         kMenuQuitterId,
         true,
         {sink, editor},
         sink},
        {"Afficher", {{sink, true}}, {}, kMenuAfficherId, true, {sink}, 0},
        {"a click elsewhere took the foreground", {{sink, true}}, {}, 0, false, {sink}, 0},
        {"the window closed", {{sink, true}}, {}, kMenuActiverId, true, {}, 0},
        {"no operator's window yet", {{taskbar, false}}, {}, kMenuActiverId, true, {sink}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OperatorWindowTracker tracker;
        for (const auto& [window, operators] : c.beforeMenu)
            tracker.ForegroundChanged(window, operators);
        tracker.MenuOpens();
        for (const auto& [window, operators] : c.duringMenu)
            tracker.ForegroundChanged(window, operators);
        EXPECT_EQ(tracker.WindowToGiveBack(c.command, c.ownerInFront,
                                           [&](std::uintptr_t window) { return c.stillOperators.contains(window); }),
                  c.expected);
    }
}

TEST(TimerRules, ArmingARunningTimer_DoesNotRestartIt)
{
    TimerState t(3000, false);
    EXPECT_TRUE(t.Arm());
    EXPECT_FALSE(t.Arm());
    EXPECT_TRUE(t.Running());
}

TEST(TimerRules, AStoppedTimer_RefusesAQueuedTick)
{
    TimerState t(100, true);
    EXPECT_TRUE(t.AcceptsTick());
    t.Stop();
    EXPECT_FALSE(t.AcceptsTick());
    EXPECT_TRUE(t.Arm());
    EXPECT_TRUE(t.AcceptsTick());
}

TEST(TimerRules, NewIntervalOnARunningTimer_RestartsIt_ButNotWhenStoppedOrUnchanged)
{
    TimerState watch(5000, true);
    EXPECT_TRUE(watch.SetInterval(3000));
    EXPECT_EQ(watch.Interval(), 3000u);
    EXPECT_FALSE(watch.SetInterval(3000));
    TimerState poll(100, false);
    EXPECT_FALSE(poll.SetInterval(200));
    EXPECT_EQ(poll.Interval(), 200u);
}

// --- Tray text fields -----------------------------------------------------

TEST(TrayText, TipIsCutTo127Characters)
{
    const std::wstring longTip(200, L'x');
    EXPECT_EQ(FitField(longTip, 128).size(), 127u);
    EXPECT_EQ(FitField(L"VOR-TIKA Monitor - Déconnecté", 128), L"VOR-TIKA Monitor - Déconnecté");
    EXPECT_EQ(FitField(std::wstring(127, L'y'), 128).size(), 127u);
    EXPECT_EQ(FitField(L"abc", 0), L"");
}

// --- Memo -----------------------------------------------------------------

TEST(MemoText, LinesAreFollowedByCrLf)
{
    std::wstring text = AppendMemoLine(L"", L"Dernières données reçues:");
    text = AppendMemoLine(text, L"ABC");
    EXPECT_EQ(text, L"Dernières données reçues:\r\nABC\r\n");
    EXPECT_EQ(MemoLines(text), (Lines{L"Dernières données reçues:", L"ABC"}));
}

TEST(MemoText, OnlyCrLfBreaksALine)
{
    EXPECT_EQ(MemoLines(L"A\nB\rC\r\nD"), (Lines{L"A\nB\rC", L"D"}));
    EXPECT_EQ(MemoLines(L""), Lines{});
}

TEST(MemoText, ABurstEndingInCrLf_LeavesAnEmptyLine)
{
    const std::wstring text = AppendMemoLine(AppendMemoLine(L"", L"X"), L"ABC\r\n");
    EXPECT_EQ(MemoLines(text), (Lines{L"X", L"ABC", L""}));
}

TEST(MemoText, TextWithoutFinalBreak_GetsOneBeforeTheNextLine)
{
    EXPECT_EQ(AppendMemoLine(L"A", L"B"), L"A\r\nB\r\n");
}

// --- Error report ---------------------------------------------------------

TEST(ErrorGuard, NothingEscapes_AndTheMonitorErrorTextComesBack)
{
    auto caught = RunCatching([] { throw MonitorError(L"Impossible d'écrire"); });
    ASSERT_TRUE(caught.has_value());
    EXPECT_EQ(*caught, L"Impossible d'écrire");
    EXPECT_EQ(ErrorReportText(*caught), L"Impossible d'écrire.");
}

TEST(ErrorGuard, StandardExceptionsAndOthersAreCaughtToo)
{
    EXPECT_EQ(RunCatching([] { throw std::runtime_error("boom"); }), std::optional<std::wstring>(L"boom"));
    EXPECT_TRUE(RunCatching([] { throw 42; }).has_value());
}

TEST(ErrorGuard, AHandlerThatReturns_ReportsNothing)
{
    bool ran = false;
    EXPECT_FALSE(RunCatching([&] { ran = true; }).has_value());
    EXPECT_TRUE(ran);
}
