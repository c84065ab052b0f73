// The INI format under the fake profile seam (see ini_file.h).
#include "tests/fakes/ini_file.h"

#include <vector>

namespace {

bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\v' || c == L'\f';
}

std::wstring_view TrimLeft(std::wstring_view s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    return s;
}

std::wstring_view TrimRight(std::wstring_view s)
{
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::wstring_view Trim(std::wstring_view s)
{
    return TrimRight(TrimLeft(s));
}

// Upper case for ASCII and Latin-1 letters; names here are plain words.
wchar_t Fold(wchar_t c)
{
    if ((c >= L'a' && c <= L'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
        return static_cast<wchar_t>(c - 0x20);
    return c;
}

bool SameName(std::wstring_view a, std::wstring_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Fold(a[i]) != Fold(b[i]))
            return false;
    return true;
}

struct Line {
    std::size_t start; // first character
    std::size_t end;   // the LF, or the end of the text
    std::size_t next;  // first character of the next line
};

std::vector<Line> SplitLines(std::wstring_view text)
{
    std::vector<Line> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t lf = text.find(L'\n', pos);
        const std::size_t end = lf == std::wstring_view::npos ? text.size() : lf;
        const std::size_t next = lf == std::wstring_view::npos ? text.size() : lf + 1;
        lines.push_back({pos, end, next});
        pos = next;
    }
    return lines;
}

enum class Kind { Blank, Section, Key };

struct Parsed {
    Kind kind = Kind::Blank;
    std::wstring_view name;
    std::optional<std::wstring_view> value; // none for a key line without "="
};

Parsed ParseLine(std::wstring_view line)
{
    const std::wstring_view s = Trim(line);
    if (s.empty())
        return {};
    if (s.front() == L'[') {
        // "[a]b]" names the section "a]b": the name runs to the last bracket.
        const std::size_t close = s.rfind(L']');
        if (close != std::wstring_view::npos)
            return {Kind::Section, s.substr(1, close - 1), std::nullopt};
    }
    const std::size_t eq = s.find(L'=');
    if (eq == std::wstring_view::npos)
        return {Kind::Key, s, std::nullopt};
    return {Kind::Key, TrimRight(s.substr(0, eq)), TrimLeft(s.substr(eq + 1))};
}

struct Lookup {
    bool sectionFound = false;
    std::optional<Line> keyLine;
    Parsed key;
    std::size_t insertAt = 0;      // after the section's last non-blank line
    bool insertNeedsBreak = false; // that line is the last of a text without a final LF
};

Lookup Find(std::wstring_view text, std::wstring_view section, std::wstring_view key)
{
    Lookup found;
    bool inSection = false;
    for (const Line& line : SplitLines(text)) {
        const Parsed p = ParseLine(text.substr(line.start, line.end - line.start));
        if (p.kind == Kind::Blank)
            continue;
        if (p.kind == Kind::Section) {
            if (inSection)
                break; // a later section of the same name is never consulted
            inSection = SameName(p.name, section);
            found.sectionFound = inSection;
        } else if (!inSection) {
            continue;
        } else if (SameName(p.name, key)) {
            found.keyLine = line;
            found.key = p;
            return found;
        }
        found.insertAt = line.next;
        found.insertNeedsBreak = line.next == line.end;
    }
    return found;
}

} // namespace

std::optional<std::wstring> IniReadValue(std::wstring_view text, std::wstring_view section, std::wstring_view key)
{
    const Lookup found = Find(text, Trim(section), Trim(key));
    if (!found.keyLine || !found.key.value)
        return std::nullopt;
    std::wstring_view v = *found.key.value;
    if (v.size() >= 2 && (v.front() == L'"' || v.front() == L'\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    return std::wstring(v);
}

std::wstring IniGetString(std::wstring_view text, std::wstring_view section, std::wstring_view key,
                          std::wstring_view defaultValue, std::size_t bufferChars)
{
    if (bufferChars == 0)
        return {};
    const auto value = IniReadValue(text, section, key);
    const std::wstring_view v = value ? std::wstring_view(*value) : defaultValue;
    return std::wstring(v.substr(0, bufferChars - 1));
}

std::wstring IniWriteValue(std::wstring_view text, std::wstring_view section, std::wstring_view key,
                           std::wstring_view value)
{
    const std::wstring_view sectionName = Trim(section);
    const std::wstring_view keyName = Trim(key);
    const Lookup found = Find(text, sectionName, keyName);
    std::wstring out(text);
    if (found.keyLine) {
        // The key keeps its spelling; the line keeps its own line break.
        std::size_t end = found.keyLine->end;
        if (end > found.keyLine->start && text[end - 1] == L'\r')
            --end;
        std::wstring line(found.key.name);
        line += L'=';
        line += value;
        out.replace(found.keyLine->start, end - found.keyLine->start, line);
        return out;
    }
    std::wstring keyLine(keyName);
    keyLine += L'=';
    keyLine += value;
    keyLine += L"\r\n";
    if (found.sectionFound) {
        out.insert(found.insertAt, found.insertNeedsBreak ? L"\r\n" + keyLine : keyLine);
        return out;
    }
    if (!out.empty() && out.back() != L'\n')
        out += L"\r\n";
    out += L'[';
    out += sectionName;
    out += L"]\r\n";
    out += keyLine;
    return out;
}
