// libFuzzer target: the INI reader and writer and the profile integer parse.
// Input: fields separated by byte 0x01 -- text, section, key, value, probe section,
// probe key -- each byte standing for the Latin-1 character of the same value.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "storage/profile_bool.h"
#include "tests/fakes/ini_file.h"

namespace {

void Check(bool ok)
{
    if (!ok)
        std::abort();
}

bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\v' || c == L'\f';
}

std::wstring Trim(const std::wstring& s)
{
    std::size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b]))
        ++b;
    while (e > b && IsBlank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

std::wstring Fold(std::wstring s)
{
    for (wchar_t& c : s)
        if ((c >= L'a' && c <= L'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
            c = static_cast<wchar_t>(c - 0x20);
    return s;
}

// Names and values that a line of the format can carry back unchanged.
bool Writable(const std::wstring& section, const std::wstring& key, const std::wstring& value)
{
    const bool quoted = value.size() >= 2 && (value[0] == L'"' || value[0] == L'\'') && value.back() == value[0];
    return section.find(L'\n') == std::wstring::npos && key.find_first_of(L"\n=") == std::wstring::npos &&
           Trim(key).rfind(L'[', 0) != 0 && value.find(L'\n') == std::wstring::npos && Trim(value) == value && !quoted;
}

void CheckIntegers(const std::wstring& text, std::uint32_t seed)
{
    const auto parsed = ParseProfileInteger(text);
    Check(ParseProfileBool(text, true) == ParseProfileBool(text, false) || !parsed);
    const auto n = static_cast<std::int32_t>(seed);
    Check(ParseProfileInteger(std::to_wstring(n)) == n);
    wchar_t hex[16];
    std::swprintf(hex, 16, L"$%X", seed);
    Check(ParseProfileInteger(hex) == n);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::wstring> f(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0x01)
            f.emplace_back();
        else
            f.back().push_back(static_cast<wchar_t>(data[i]));
    }
    f.resize(6);
    const std::wstring &text = f[0], &section = f[1], &key = f[2], &value = f[3];

    std::uint32_t seed = 0;
    for (std::size_t i = 0; i < size && i < 4; ++i)
        seed = seed << 8 | data[i];
    CheckIntegers(value, seed);

    Check(IniGetString(text, section, key, L"def", 8).size() <= 7);
    if (!Writable(section, key, value))
        return 0;

    const std::wstring written = IniWriteValue(text, section, key, value);
    Check(IniReadValue(written, section, key) == value);
    Check(IniWriteValue(written, section, key, value) == written);
    const bool sameKey = Fold(Trim(f[4])) == Fold(Trim(section)) && Fold(Trim(f[5])) == Fold(Trim(key));
    if (!sameKey)
        Check(IniReadValue(written, f[4], f[5]) == IniReadValue(text, f[4], f[5]));
    return 0;
}
