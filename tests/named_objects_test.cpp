#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <string>

#include "ui/named_objects.h"

namespace {

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

// The running monitors of the previous version know these names: a change would leave them
// unreachable by an upgrade and let two monitors run in one session.
TEST(NamedObjects, NamesStayThoseOfThePreviousVersion)
{
    const std::wstring id = L"-3F6B2C1E-8D4A-4E7B-9A15-6C0D2E7F9B41";
    EXPECT_EQ(CrossProcessName(kInstanceMutexPart), L"VORTikaMonitor" + id);
    EXPECT_EQ(CrossProcessName(kEndingEventPart), L"VORTikaMonitor.Fin" + id);
    EXPECT_EQ(CrossProcessName(kQuitEventPart), L"VORTikaMonitor.Quitter" + id);
    EXPECT_EQ(CrossProcessName(kReplacedEventPart), L"VORTikaMonitor.Remplace" + id);
    EXPECT_EQ(CrossProcessName(kShowMessagePart), L"VORTikaMonitor.Afficher" + id);
    EXPECT_EQ(CrossProcessName(kQuitMessagePart), L"VORTikaMonitor.Quitter" + id);
}

// The setup's include is generated at configure time: it must spell what the program builds.
TEST(NamedObjects, SetupIncludeSpellsTheProgramsNames)
{
    std::ifstream file(VORTIKA_NAMES_NSH);
    ASSERT_TRUE(file) << VORTIKA_NAMES_NSH;
    std::map<std::string, std::string> defines;
    const std::regex define(R"re(^!define (NAME_\w+) "([^"]*)"$)re");
    for (std::string line; std::getline(file, line);) {
        std::smatch m;
        if (std::regex_match(line, m, define))
            defines[m[1]] = m[2];
    }
    const std::map<std::string, std::string> expected = {
        {"NAME_InstanceMutex", Narrow(CrossProcessName(kInstanceMutexPart))},
        {"NAME_EndingEvent", Narrow(CrossProcessName(kEndingEventPart))},
        {"NAME_QuitEvent", Narrow(CrossProcessName(kQuitEventPart))},
        {"NAME_ReplacedEvent", Narrow(CrossProcessName(kReplacedEventPart))},
        {"NAME_ShowMessage", Narrow(CrossProcessName(kShowMessagePart))},
        {"NAME_QuitMessage", Narrow(CrossProcessName(kQuitMessagePart))},
        {"NAME_RequestKey", "Software\\VORTIKA\\VORTikaMonitor"},
        {"NAME_RequestValue", "Demande"},
    };
    EXPECT_EQ(defines, expected);
}

TEST(NamedObjects, RequestTokenIsABracedGuidAndNothingElse)
{
    const struct {
        const wchar_t* token;
        bool accepted;
    } cases[] = {
        {L"{0F8FAD5B-D9CB-469F-A165-70867728950E}", true},
        {L"{0f8fad5b-d9cb-469f-a165-70867728950e}", true},
        {L"0F8FAD5B-D9CB-469F-A165-70867728950E", false},
        {L"{0F8FAD5B-D9CB-469F-A165-70867728950E", false},
        {L"{0F8FAD5B-D9CB-469F-A165-70867728950EE}", false},
        {L"{0F8FAD5B-D9CB-469F-A165-7086772895\\E}", false},
        {L"{0F8FAD5BD-9CB-469F-A165-70867728950E}", false},
        {L"{0F8FAD5B-D9CB-469F-A165-70867728950G}", false},
        {L"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsRequestToken(c.token), c.accepted) << Narrow(c.token);
    EXPECT_EQ(RequestEventName(kQuitEventPart, L"{0F8FAD5B-D9CB-469F-A165-70867728950E}"),
              L"VORTikaMonitor.Quitter-3F6B2C1E-8D4A-4E7B-9A15-6C0D2E7F9B41.{0F8FAD5B-D9CB-469F-A165-70867728950E}");
}

} // namespace
