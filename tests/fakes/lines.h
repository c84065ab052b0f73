// Log lines, status texts and call names as the tests compare them.
#pragma once
#include <initializer_list>
#include <string>
#include <vector>

using Lines = std::vector<std::wstring>;

inline Lines Concat(std::initializer_list<Lines> parts)
{
    Lines all;
    for (const Lines& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

inline Lines Concat(Lines a, const Lines& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
