#pragma once
// Button labels for the keyrow tests: prefix0, prefix1, ...

#include <string>
#include <vector>

inline std::vector<std::string> Labels(int count, const char* prefix = "E")
{
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i)
        names.push_back(prefix + std::to_string(i));
    return names;
}
