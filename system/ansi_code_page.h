// The code page seam: text to and from the system's ANSI code page, as the device's bytes and
// the settings file are.
#pragma once
#include <string>

// GetACP's code page, both directions, conversion flags 0.
class AnsiCodePage {
public:
    virtual ~AnsiCodePage() = default;
    virtual std::wstring ToWide(const std::string& bytes) = 0;
    // Characters the code page lacks become its default character.
    virtual std::string ToAnsi(const std::wstring& text) = 0;
};
