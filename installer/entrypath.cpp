#include "installer/entrypath.h"

#include <cwctype>

namespace vorn {
namespace {

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

bool IsRefusedChar(wchar_t c) {
    return c < 0x20 || c == L'<' || c == L'>' || c == L':' || c == L'"' || c == L'|' || c == L'?' ||
           c == L'*';
}

// Win32 opens the device, not a file, for these names with any extension.
bool IsDeviceName(const std::wstring& component) {
    std::wstring base = component.substr(0, component.find(L'.'));
    while (!base.empty() && base.back() == L' ')
        base.pop_back();
    for (wchar_t& c : base)
        c = static_cast<wchar_t>(std::towupper(c));
    static const wchar_t* const kNames[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    for (const wchar_t* n : kNames) {
        if (base == n)
            return true;
    }
    if (base.size() == 4 && (base.compare(0, 3, L"COM") == 0 || base.compare(0, 3, L"LPT") == 0))
        return base[3] >= L'0' && base[3] <= L'9';
    return false;
}

bool IsAcceptedComponent(const std::wstring& component) {
    if (component.empty())
        return false;
    // Covers "." and "..", and names that Windows trims into them.
    if (component.back() == L'.' || component.back() == L' ')
        return false;
    for (wchar_t c : component) {
        if (IsRefusedChar(c))
            return false;
    }
    return !IsDeviceName(component);
}

}  // namespace

bool MakeEntryRelativePath(const std::wstring& name, std::wstring& relative) {
    if (name.empty())
        return false;
    std::wstring result;
    size_t start = 0;
    while (true) {
        size_t end = start;
        while (end < name.size() && !IsSeparator(name[end]))
            ++end;
        if (!IsAcceptedComponent(name.substr(start, end - start)))
            return false;
        result.append(name, start, end - start);
        if (end == name.size())
            break;
        result += L'\\';
        start = end + 1;
    }
    relative = result;
    return true;
}

}  // namespace vorn
