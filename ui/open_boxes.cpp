// The boxes open at the moment (see open_boxes.h).
#include "ui/open_boxes.h"

#include <algorithm>

bool OpenBoxTexts::Enter(const std::wstring& text)
{
    if (std::ranges::find(texts_, text) != texts_.end())
        return false;
    texts_.push_back(text);
    return true;
}

void OpenBoxTexts::Leave(const std::wstring& text)
{
    if (const auto it = std::ranges::find(texts_, text); it != texts_.end())
        texts_.erase(it);
}
