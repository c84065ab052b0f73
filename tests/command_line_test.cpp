#include <gtest/gtest.h>

#include "ui/command_line.h"

namespace {

struct OptionCase {
    const wchar_t* argument;
    bool quit;
};

const OptionCase kOptions[] = {
    {L"/quit", true},   {L"-quit", true},   {L"/QUIT", true},   {L"-Quit", true},     {L"/qUiT", true},
    {L"quit", false},   {L"//quit", false}, {L"/quit ", false}, {L"/quitter", false}, {L"/qui", false},
    {L"--quit", false}, {L"\\quit", false}, {L"", false},       {L"/", false},        {L"/minimized", false},
};

TEST(CommandLine, QuitOption_SlashOrDashInAnyCase_OthersIgnored)
{
    for (const OptionCase& c : kOptions)
        EXPECT_EQ(IsQuitOption(c.argument), c.quit) << c.argument;
}

} // namespace
