// The policy template in policies/ against the values the monitor reads: one policy per value,
// of the right kind, on the right key, and every text it names present in both languages.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "storage/machine_policy.h"

namespace {

std::string ReadSource(const std::string& path)
{
    std::ifstream in(std::string(VORTIKA_SOURCE_DIR) + "/" + path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Narrow(const wchar_t* text)
{
    std::string out;
    for (const wchar_t* c = text; *c != 0; ++c)
        out.push_back(static_cast<char>(*c));
    return out;
}

// Every match of the first group of pattern in text.
std::vector<std::string> All(const std::string& text, const std::string& pattern)
{
    std::vector<std::string> found;
    const std::regex rx(pattern);
    for (auto it = std::sregex_iterator(text.begin(), text.end(), rx); it != std::sregex_iterator(); ++it)
        found.push_back((*it)[1].str());
    return found;
}

} // namespace

TEST(PolicyTemplate, OnePolicyPerValueTheMonitorReads)
{
    const std::string admx = ReadSource("policies/VORTikaMonitor.admx");
    ASSERT_FALSE(admx.empty());
    // Each policy's body, by its name.
    std::map<std::string, std::string> policies;
    const std::regex policy(R"re(<policy name="([^"]+)"([\s\S]*?)</policy>)re");
    for (auto it = std::sregex_iterator(admx.begin(), admx.end(), policy); it != std::sregex_iterator(); ++it)
        policies[(*it)[1].str()] = (*it)[0].str();

    std::set<std::string> read;
    for (const PolicySetting& setting : kPolicySettings) {
        const std::string name = Narrow(setting.Name);
        read.insert(name);
        SCOPED_TRACE(name);
        ASSERT_EQ(policies.count(name), 1u) << "no policy for a value the monitor reads";
        const std::string& body = policies[name];
        EXPECT_NE(body.find(R"(class="Machine")"), std::string::npos);
        EXPECT_NE(body.find(R"(key="SOFTWARE\Policies\VORTIKA\VORTikaMonitor")"), std::string::npos);
        const std::vector<std::string> valueNames = All(body, R"(valueName="([^"]+)\")");
        EXPECT_EQ(valueNames, std::vector<std::string>{name});
        if (setting.Kind == PolicyValueKind::Flag) {
            EXPECT_NE(body.find("<enabledValue>\n        <decimal value=\"1\" />"), std::string::npos);
            EXPECT_NE(body.find("<disabledValue>\n        <decimal value=\"0\" />"), std::string::npos);
        } else {
            EXPECT_TRUE(body.find("<text ") != std::string::npos || body.find("<enum ") != std::string::npos);
        }
    }
    for (const auto& [name, body] : policies)
        EXPECT_EQ(read.count(name), 1u) << name << ": a policy for a value the monitor does not read";

    // The speeds offered are those the monitor accepts.
    std::vector<std::string> speeds;
    for (const wchar_t* speed : kPolicyBaudRates)
        speeds.push_back(Narrow(speed));
    EXPECT_EQ(All(policies["BaudRate"], R"(<string>(\d+)</string>)"), speeds);
}

TEST(PolicyTemplate, EveryTextNamedIsInBothLanguages)
{
    const std::string admx = ReadSource("policies/VORTikaMonitor.admx");
    const std::vector<std::string> strings = All(admx, R"(\$\(string\.([A-Za-z0-9_]+)\))");
    const std::vector<std::string> presentations = All(admx, R"(\$\(presentation\.([A-Za-z0-9_]+)\))");
    ASSERT_FALSE(strings.empty());
    for (const char* language : {"en-US", "fr-FR"}) {
        SCOPED_TRACE(language);
        const std::string adml = ReadSource(std::string("policies/") + language + "/VORTikaMonitor.adml");
        ASSERT_FALSE(adml.empty());
        const std::vector<std::string> defined = All(adml, R"(<string id="([^"]+)\")");
        const std::vector<std::string> shown = All(adml, R"(<presentation id="([^"]+)\")");
        for (const std::string& id : strings)
            EXPECT_NE(std::ranges::find(defined, id), defined.end()) << id;
        for (const std::string& id : presentations)
            EXPECT_NE(std::ranges::find(shown, id), shown.end()) << id;
        EXPECT_EQ(std::set<std::string>(defined.begin(), defined.end()).size(), defined.size()) << "an id twice";
    }
}
