// The profile integer and Boolean parse (see profile_bool.h).
#include "storage/profile_bool.h"

namespace {

std::optional<std::uint32_t> HexDigit(wchar_t c)
{
    if (c >= L'0' && c <= L'9')
        return static_cast<std::uint32_t>(c - L'0');
    if (c >= L'a' && c <= L'f')
        return static_cast<std::uint32_t>(c - L'a' + 10);
    if (c >= L'A' && c <= L'F')
        return static_cast<std::uint32_t>(c - L'A' + 10);
    return std::nullopt;
}

// Up to eight digits fill the 32 bits; "$FFFFFFFF" is -1.
std::optional<std::int32_t> Hex(std::wstring_view digits, bool negative)
{
    if (digits.empty() || digits.size() > 8)
        return std::nullopt;
    std::uint32_t v = 0;
    for (wchar_t c : digits) {
        const auto d = HexDigit(c);
        if (!d)
            return std::nullopt;
        v = v << 4 | *d;
    }
    return static_cast<std::int32_t>(negative ? 0u - v : v);
}

std::optional<std::int32_t> Decimal(std::wstring_view digits, bool negative)
{
    constexpr std::int64_t kLimit = 2147483648; // magnitude of the most negative value
    if (digits.empty())
        return std::nullopt;
    std::int64_t v = 0;
    for (wchar_t c : digits) {
        if (c < L'0' || c > L'9')
            return std::nullopt;
        v = v * 10 + (c - L'0');
        if (v > kLimit)
            return std::nullopt;
    }
    if (negative)
        return static_cast<std::int32_t>(-v);
    if (v == kLimit)
        return std::nullopt;
    return static_cast<std::int32_t>(v);
}

bool IsHexPrefix(std::wstring_view s)
{
    return s.size() >= 2 && s[0] == L'0' && (s[1] == L'x' || s[1] == L'X');
}

} // namespace

std::optional<std::int32_t> ParseProfileInteger(std::wstring_view text)
{
    // "0x" stands for "$" only when something follows it; the rest must then be bare digits.
    if (text.size() > 2 && IsHexPrefix(text))
        return Hex(text.substr(2), false);
    std::size_t i = 0;
    while (i < text.size() && (text[i] == L' ' || text[i] == L'\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
        negative = text[i] == L'-';
        ++i;
    }
    const std::wstring_view rest = text.substr(i);
    if (!rest.empty() && (rest[0] == L'$' || rest[0] == L'x' || rest[0] == L'X'))
        return Hex(rest.substr(1), negative);
    if (IsHexPrefix(rest))
        return Hex(rest.substr(2), negative);
    return Decimal(rest, negative);
}

bool ParseProfileBool(std::wstring_view text, bool defaultValue)
{
    const auto v = ParseProfileInteger(text);
    return v ? *v != 0 : defaultValue;
}
