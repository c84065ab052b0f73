// The memo's lines (see memo_text.h).
#include "ui/memo_text.h"

std::wstring AppendMemoLine(const std::wstring& text, const std::wstring& line)
{
    std::wstring result = text;
    if (!result.empty() && (result.size() < 2 || result.compare(result.size() - 2, 2, L"\r\n") != 0))
        result += L"\r\n";
    result += line;
    result += L"\r\n";
    return result;
}

// Only CR LF breaks a line, as in an edit control; the empty text after the
// last CR LF is not a line.
std::vector<std::wstring> MemoLines(const std::wstring& text)
{
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find(L"\r\n", start);
        if (end == std::wstring::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}
