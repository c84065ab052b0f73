#include <gtest/gtest.h>

#include "tests/fakes/monitor_harness.h"

namespace {

// Every scenario of the unit tests checks the link's rules after each event it dispatches.
const bool kReportInstalled = [] {
    LinkRuleReport() = [](const std::string& rule) { ADD_FAILURE() << rule; };
    return true;
}();

} // namespace

// The rules can fail: a detection's flag without its port is caught at the next event.
TEST(LinkRules, ABrokenStateIsReportedAfterTheNextEvent)
{
    ASSERT_TRUE(kReportInstalled);
    MonitorHarness h;
    h.CreateIdle();
    std::string reported;
    const LinkRuleReporter installed = LinkRuleReport();
    static std::string* sink = nullptr;
    sink = &reported;
    LinkRuleReport() = [](const std::string& rule) { *sink = rule; };
    h.form.IsDetecting = true;
    h.Dispatch([] {});
    LinkRuleReport() = installed;
    EXPECT_NE(reported.find("no port open while busy"), std::string::npos) << reported;
}
