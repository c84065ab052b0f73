// The program's one option (see command_line.h).
#include "ui/command_line.h"

bool IsQuitOption(std::wstring_view argument)
{
    constexpr std::wstring_view kQuit = L"quit";
    if (argument.size() != kQuit.size() + 1 || (argument[0] != L'/' && argument[0] != L'-'))
        return false;
    for (std::size_t i = 0; i < kQuit.size(); ++i) {
        wchar_t c = argument[i + 1];
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
        if (c != kQuit[i])
            return false;
    }
    return true;
}
