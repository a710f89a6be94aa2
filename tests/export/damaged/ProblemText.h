#pragma once
// The texts the damaged-recording oracle builds its failure messages from.

#include <string>
#include <vector>

// Appends `problem` to `problems`, "; " between them; an empty problem adds nothing.
inline void AddProblem(std::string& problems, const std::string& problem)
{
    if (!problem.empty())
        problems += (problems.empty() ? "" : "; ") + problem;
}

inline std::string JoinTexts(const std::vector<std::string>& parts, const std::string& glue)
{
    std::string text;
    for (size_t i = 0; i < parts.size(); ++i)
        text += (i ? glue : "") + parts[i];
    return text;
}
