#pragma once
#include <map>
#include <string>
#include <utility>

#include "storage/profile_store.h"

// A minimal profile store: values by (section, key), no file format.
class FakeProfileStore : public ProfileStore {
public:
    std::wstring GetString(const std::wstring& section, const std::wstring& key, const std::wstring& def,
                           std::size_t bufferChars, const std::wstring&) override
    {
        const auto it = values.find({section, key});
        const std::wstring v = it == values.end() ? def : it->second;
        return v.substr(0, bufferChars - 1);
    }
    bool WriteString(const std::wstring& section, const std::wstring& key, const std::wstring& value,
                     const std::wstring&) override
    {
        if (refuseWrites)
            return false;
        values[{section, key}] = value;
        return true;
    }
    void Flush(const std::wstring&) override { ++flushes; }
    std::map<std::pair<std::wstring, std::wstring>, std::wstring> values;
    bool refuseWrites = false;
    int flushes = 0;
};
