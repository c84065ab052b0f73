// When a burst goes out: the rule that holds a burst while the operator's keys or the target would
// spoil it, and refuses it when it cannot reach an application.
#pragma once
#include <cstdint>

#include "input/input_sink.h"

// A moment without a foreground window while activation moves is not a locked session.
inline constexpr std::uint32_t kNoForegroundWaitMs = 1500;
// Shift, Ctrl, Alt or Windows held would turn the burst's keys into shortcuts.
inline constexpr std::uint32_t kModifierWaitMs = 10000;
// An open menu would take the burst's letters as its items and Enter as a command.
inline constexpr std::uint32_t kMenuWaitMs = 10000;
// A paste that no program reads within this bound may not have been pasted.
inline constexpr std::uint32_t kPasteReadWaitMs = 5000;

struct BurstConditions {
    InputTarget Target = InputTarget::OtherApplication;
    bool ModifierKeysDown = false;
    bool PasteUnread = false;   // clipboard mode, and the last paste not read yet
    std::uint32_t WaitedMs = 0; // since the burst was received
    bool Closing = false;       // the connection is closing: nothing may wait
};

enum class BurstAction {
    Deliver,
    Wait,
    RefuseThisProgram,
    RefuseShell,
    RefuseShellHost,
    RefuseHigherRights,
    RefuseNobody,
    RefuseModifierKeys,
    RefuseMenu,
    RefuseOnClose // waiting is over: one line that holds the text
};

BurstAction DecideBurst(const BurstConditions& now);
