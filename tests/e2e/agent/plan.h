// The plan the runner writes for the agent: one step a line, UTF-8, fields
// separated by tabs, the verb first. Blank lines and lines starting with '#'
// are skipped. %NAME% in an argument is replaced by that environment variable.
#pragma once

#include <string>
#include <vector>

namespace e2e {

struct Step {
    int line = 0;
    std::wstring verb;
    std::vector<std::wstring> args;

    // The argument at index, or "" when the line has fewer.
    const std::wstring& Arg(size_t index) const;
    int IntArg(size_t index, int fallback = 0) const;
};

// False with a message when the file cannot be read or is not UTF-8.
bool ReadPlan(const std::wstring& path, std::vector<Step>& steps, std::wstring& error);

}  // namespace e2e
