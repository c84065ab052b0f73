// The profile seam over the fake file system, through the INI format of ini_file.h.
#pragma once
#include <set>
#include <string>
#include <vector>

#include "storage/profile_store.h"
#include "system/ansi_code_page.h"
#include "tests/fakes/fake_storage.h"
#include "tests/fakes/ini_file.h"

// Each call reads the file's bytes and each write stores them back at once, as
// WritePrivateProfileStringW does. The file is in the ANSI code page.
class FakeProfileStore : public ProfileStore {
public:
    FakeProfileStore(FakeFileSystem& files, AnsiCodePage& codePage) : files_(files), codePage_(codePage) {}

    std::wstring GetString(const std::wstring& section, const std::wstring& key, const std::wstring& def,
                           std::size_t bufferChars, const std::wstring& file) override
    {
        return IniGetString(Text(file), section, key, def, bufferChars);
    }
    // Refused, as on Windows, for a read-only file or a missing folder.
    bool WriteString(const std::wstring& section, const std::wstring& key, const std::wstring& value,
                     const std::wstring& file) override
    {
        if (refusedKeys.count(key))
            return false;
        const std::wstring text = IniWriteValue(Text(file), section, key, value);
        if (!files_.CreateAndWrite(file, codePage_.ToAnsi(text)))
            return false;
        writes.push_back(key);
        return true;
    }
    void Flush(const std::wstring&) override { ++flushes; }

    // The file's text as the profile functions see it; empty when there is no file.
    std::wstring Text(const std::wstring& file) const
    {
        const auto it = files_.files.find(file);
        if (it == files_.files.end())
            return {};
        return codePage_.ToWide(it->second);
    }

    std::set<std::wstring> refusedKeys; // a platform failure in the middle of a save
    std::vector<std::wstring> writes;   // keys written, in order
    int flushes = 0;

private:
    FakeFileSystem& files_;
    AnsiCodePage& codePage_;
};
