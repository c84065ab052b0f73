#include <gtest/gtest.h>

#include <cstdint>
#include <optional>

#include "storage/profile_bool.h"

namespace {

struct IntCase {
    const wchar_t* text;
    std::optional<std::int32_t> expected;
};

const IntCase kIntegers[] = {
    {L"2", 2},
    {L"-1", -1},
    {L"0x1", 1},
    {L"$A", 10},
    {L" +7", 7},
    {L"x1F", 31},
    {L"X1f", 31},
    {L"0X10", 16},
    {L"-$A", -10},
    {L"+0x5", 5},
    {L"$FFFFFFFF", -1},
    {L"0xFFFFFFFF", -1},
    {L"$00000001", 1},
    {L"2147483647", 2147483647},
    {L"-2147483648", INT32_MIN},
    {L"0000000000001", 1},
    {L"0", 0},
    {L"00", 0},
    {L"-0", 0},
    {L"0x0", 0},
    {L"$0", 0},
    {L"", std::nullopt},
    {L" ", std::nullopt},
    {L"yes", std::nullopt},
    {L"true", std::nullopt},
    {L"on", std::nullopt},
    {L"0x", std::nullopt},
    {L"0X", std::nullopt},
    {L"$", std::nullopt},
    {L"-x", std::nullopt},
    {L"+", std::nullopt},
    {L"2147483648", std::nullopt},
    {L"-2147483649", std::nullopt},
    {L"99999999999999999999", std::nullopt},
    {L"$123456789", std::nullopt},
    {L"0x123456789", std::nullopt},
    {L"1 ", std::nullopt},
    {L"1.0", std::nullopt},
    {L"1e3", std::nullopt},
    {L"0x-5", std::nullopt},
    {L"0x 5", std::nullopt},
    {L"0x0x1", std::nullopt},
    {L"$G", std::nullopt},
    {L"--1", std::nullopt},
    {L"\u0661", std::nullopt},
};

TEST(BoolParse, Integers_Table)
{
    for (const auto& c : kIntegers)
        EXPECT_EQ(ParseProfileInteger(c.text), c.expected) << c.text;
}

TEST(BoolParse, NonZeroIsTrue_NoIntegerGivesTheDefault)
{
    EXPECT_TRUE(ParseProfileBool(L"$80000000", false));
    EXPECT_FALSE(ParseProfileBool(L"0", true));
    EXPECT_TRUE(ParseProfileBool(L"yes", true));
    EXPECT_FALSE(ParseProfileBool(L"yes", false));
    EXPECT_FALSE(ParseProfileBool(L"", false));
}

} // namespace
