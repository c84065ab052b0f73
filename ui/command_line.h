// The program's command line: its one option.
#pragma once
#include <string_view>

// The program's one option: "/quit" or "-quit", in any case, ends the running
// monitor of the session. Any other argument is ignored.
bool IsQuitOption(std::wstring_view argument);
