// The profile seam: the private profile (INI) functions, shaped as the Win32 calls are.
#pragma once
#include <cstddef>
#include <string>

class ProfileStore {
public:
    virtual ~ProfileStore() = default;
    // GetPrivateProfileStringW: at most bufferChars - 1 characters of the value.
    virtual std::wstring GetString(const std::wstring& section, const std::wstring& key,
                                   const std::wstring& defaultValue, std::size_t bufferChars,
                                   const std::wstring& file) = 0;
    // WritePrivateProfileStringW: false when the platform refuses the write.
    virtual bool WriteString(const std::wstring& section, const std::wstring& key, const std::wstring& value,
                             const std::wstring& file) = 0;
    // Flushes the platform's cached profile data for the file.
    virtual void Flush(const std::wstring& file) = 0;
};
