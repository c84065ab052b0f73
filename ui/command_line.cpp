// The program's one option and the setup's helper modes (see command_line.h).
#include "ui/command_line.h"

namespace {

// "/word" or "-word" in any case (ASCII), where word starts with `lower`; `whole` asks for no more.
bool IsOptionLike(std::wstring_view argument, std::wstring_view lower, bool whole)
{
    if (argument.size() < lower.size() + 1 || (argument[0] != L'/' && argument[0] != L'-'))
        return false;
    if (whole && argument.size() != lower.size() + 1)
        return false;
    for (std::size_t i = 0; i < lower.size(); ++i) {
        wchar_t c = argument[i + 1];
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
        if (c != lower[i])
            return false;
    }
    return true;
}

SetupMode ExactMode(const std::vector<std::wstring>& a)
{
    const std::size_t n = a.size();
    if (a[0] == L"/setup-check-folder" && (n == 2 || n == 3) && !a[1].empty())
        return SetupMode::CheckFolder;
    if (a[0] == L"/setup-secure-folder" && n == 3 && (a[1] == L"data" || a[1] == L"logs") && !a[2].empty())
        return SetupMode::SecureFolder;
    if (a[0] == L"/setup-make-folder" && n == 2 && !a[1].empty())
        return SetupMode::MakeFolder;
    if (a[0] == L"/setup-launch" && n == 2 && !a[1].empty())
        return SetupMode::Launch;
    if (a[0] == L"/setup-can-launch" && n == 1)
        return SetupMode::CanLaunch;
    if (a[0] == L"/setup-end-monitors" && n == 3 && (a[1] == L"install" || a[1] == L"remove") && !a[2].empty())
        return SetupMode::EndMonitors;
    if (a[0] == L"/setup-release-monitors" && n == 2 && !a[1].empty())
        return SetupMode::Release;
    return SetupMode::Malformed;
}

} // namespace

bool IsQuitOption(std::wstring_view argument)
{
    return IsOptionLike(argument, L"quit", true);
}

SetupMode SetupModeOf(const std::vector<std::wstring>& arguments)
{
    // Only the first argument names a mode; one further on is not understood.
    for (std::size_t i = 1; i < arguments.size(); ++i)
        if (IsOptionLike(arguments[i], L"setup-", false))
            return SetupMode::Malformed;
    if (arguments.empty() || !IsOptionLike(arguments[0], L"setup-", false))
        return SetupMode::None;
    return ExactMode(arguments);
}
