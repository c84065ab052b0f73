#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "tests/fakes/ini_file.h"

namespace {

struct ReadCase {
    const wchar_t* text;
    const wchar_t* section;
    const wchar_t* key;
    std::optional<std::wstring> expected;
};

const ReadCase kReads[] = {
    {L"[Connection]\r\nPort=COM3\r\n", L"Connection", L"Port", L"COM3"},
    {L"[connection]\r\nPORT=COM3", L"CONNECTION", L"port", L"COM3"},
    {L"[R\u00E9glages]\r\nx=1", L"R\u00C9GLAGES", L"X", L"1"},
    {L"  [Connection]  \r\n \t Port \t=  COM3 \t \r\n", L"Connection", L"Port", L"COM3"},
    {L"[S]\nk=\"COM3\"", L"S", L"k", L"COM3"},
    {L"[S]\nk=' a b '", L"S", L"k", L" a b "},
    {L"[S]\nk=\"\"", L"S", L"k", L""},
    {L"[S]\nk=\"", L"S", L"k", L"\""},
    {L"[S]\nk=\"COM3'", L"S", L"k", L"\"COM3'"},
    {L"[S]\nk=", L"S", L"k", L""},
    {L"[S]\nk=a=b", L"S", L"k", L"a=b"},
    {L"[S] ; note\nk=1", L"S", L"k", L"1"},
    {L"[S]\nk=1\nk=2", L"S", L"k", L"1"},
    {L"[S]\nk\nk=2", L"S", L"k", std::nullopt},             // a key line without "=" hides the later one
    {L"[S]\na=1\n[T]\n[S]\nk=2", L"S", L"k", std::nullopt}, // only the first section of a name
    {L"k=1\n[S]\n", L"S", L"k", std::nullopt},
    {L"[T]\nk=1\n[S]\nj=2", L"S", L"k", std::nullopt},
    {L"[S\nk=1", L"S", L"k", std::nullopt},
    {L"[a]b]\nk=1", L"a]b", L"k", L"1"},
    {L"", L"S", L"k", std::nullopt},
};

TEST(IniFile, Read_Table)
{
    for (const auto& c : kReads)
        EXPECT_EQ(IniReadValue(c.text, c.section, c.key), c.expected) << c.text;
}

TEST(IniFile, GetString_DefaultWhenMissing_AndCutToTheBuffer)
{
    const std::wstring text = L"[S]\r\nlong=" + std::wstring(3000, L'v') + L"\r\nempty=\r\n";
    EXPECT_EQ(IniGetString(text, L"S", L"long", L"d", 2048), std::wstring(2047, L'v'));
    EXPECT_EQ(IniGetString(text, L"S", L"empty", L"d", 2048), L"");
    EXPECT_EQ(IniGetString(text, L"S", L"none", L"9600", 2048), L"9600");
    EXPECT_EQ(IniGetString(text, L"S", L"none", L"9600", 3), L"96");
    EXPECT_EQ(IniGetString(text, L"S", L"long", L"d", 1), L"");
}

struct WriteCase {
    const wchar_t* before;
    const wchar_t* key;
    const wchar_t* value;
    const wchar_t* after; // section "S" throughout
};

const WriteCase kWrites[] = {
    {L"", L"k", L"v", L"[S]\r\nk=v\r\n"},
    {L"; note\r\n[s]\r\n  K = old \r\nx=1\r\n", L"k", L"new", L"; note\r\n[s]\r\nK=new\r\nx=1\r\n"},
    {L"[S]\na=1\nb=2\n", L"a", L"9", L"[S]\na=9\nb=2\n"},
    {L"[S]\r\na=1\r\n\r\n[T]\r\nb=1\r\n", L"b", L"2", L"[S]\r\na=1\r\nb=2\r\n\r\n[T]\r\nb=1\r\n"},
    {L"[S]\r\na=1", L"b", L"", L"[S]\r\na=1\r\nb=\r\n"},
    {L"[S]", L"b", L"2", L"[S]\r\nb=2\r\n"},
    {L"[T]\r\nx=1", L"k", L"v", L"[T]\r\nx=1\r\n[S]\r\nk=v\r\n"},
    {L"[S]\r\na=1\r\n[T]\r\n[S]\r\nk=1\r\n", L"k", L"2", L"[S]\r\na=1\r\nk=2\r\n[T]\r\n[S]\r\nk=1\r\n"},
    {L"[S]\r\nk\r\n", L"k", L"v", L"[S]\r\nk=v\r\n"},
};

TEST(IniFile, Write_Table)
{
    for (const auto& c : kWrites)
        EXPECT_EQ(IniWriteValue(c.before, L"S", c.key, c.value), c.after) << c.before;
}

} // namespace
