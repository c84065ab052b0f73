// The memo's text as lines, as an edit control holds them.
#pragma once
#include <string>
#include <vector>

// The memo's text is its lines, each followed by CR LF.
std::wstring AppendMemoLine(const std::wstring& text, const std::wstring& line);
std::vector<std::wstring> MemoLines(const std::wstring& text);
