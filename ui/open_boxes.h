// The rule that keeps modal boxes from stacking: one box per text at a time.
#pragma once
#include <string>
#include <vector>

// The texts of the modal boxes open at the moment. A box's own loop lets timers
// run, and each event could open the same box again inside it.
class OpenBoxTexts {
public:
    // False when a box with this text is open already: it is not stacked.
    bool Enter(const std::wstring& text);
    void Leave(const std::wstring& text);

private:
    std::vector<std::wstring> texts_;
};
