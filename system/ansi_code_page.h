#pragma once
#include <string>

// The system's ANSI code page (GetACP), both directions, conversion flags 0.
class AnsiCodePage {
public:
    virtual ~AnsiCodePage() = default;
    virtual std::wstring ToWide(const std::string& bytes) = 0;
    // Characters the code page lacks become its default character.
    virtual std::string ToAnsi(const std::wstring& text) = 0;
};
