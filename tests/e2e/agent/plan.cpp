#include "agent/plan.h"

#include <windows.h>

#include <cwchar>
#include <fstream>
#include <iterator>

#include "util/string_util.h"

namespace e2e {

const std::wstring& Step::Arg(size_t index) const {
    static const std::wstring empty;
    return index < args.size() ? args[index] : empty;
}

int Step::IntArg(size_t index, int fallback) const {
    const std::wstring& text = Arg(index);
    if (text.empty())
        return fallback;
    wchar_t* end = nullptr;
    const long value = std::wcstol(text.c_str(), &end, 10);
    return *end == L'\0' ? static_cast<int>(value) : fallback;
}

namespace {

// %NAME% of the environment, as the runner cannot know the prefix's folders.
std::wstring Expand(const std::wstring& text) {
    if (text.find(L'%') == std::wstring::npos)
        return text;
    const DWORD n = ::ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
    if (n == 0)
        return text;
    std::wstring out(n, L'\0');
    ::ExpandEnvironmentStringsW(text.c_str(), out.data(), n);
    out.resize(n - 1);
    return out;
}

}  // namespace

bool ReadPlan(const std::wstring& path, std::vector<Step>& steps, std::wstring& error) {
    std::ifstream in(path.c_str(), std::ios::binary);
    if (!in) {
        error = L"cannot open the plan " + path;
        return false;
    }
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> lines;
    vorn::SplitString(bytes, "\n", lines);
    int number = 0;
    for (std::string& raw : lines) {
        ++number;
        if (!raw.empty() && raw.back() == '\r')
            raw.pop_back();
        if (raw.empty() || raw[0] == '#')
            continue;
        const std::wstring text = vorn::Utf8ToWide(raw);
        if (text.empty()) {
            error = L"plan line " + std::to_wstring(number) + L" is not UTF-8";
            return false;
        }
        std::vector<std::wstring> fields;
        vorn::SplitString(text, L"\t", fields);
        Step step;
        step.line = number;
        step.verb = fields[0];
        for (size_t i = 1; i < fields.size(); ++i)
            step.args.push_back(Expand(fields[i]));
        steps.push_back(std::move(step));
    }
    return true;
}

}  // namespace e2e
