#include "string_util.h"

#ifdef _WIN32
#include <windows.h>

#include "util/codepage_rules.h"
#endif

namespace vorn {
namespace {

template <typename S>
void SplitImpl(const S& text, const S& separator, std::vector<S>& out) {
    if (separator.empty()) {
        out.push_back(text);
        return;
    }
    size_t start = 0;
    for (;;) {
        const size_t p = text.find(separator, start);
        if (p == S::npos) {
            out.push_back(text.substr(start));
            return;
        }
        out.push_back(text.substr(start, p - start));
        start = p + separator.size();
        if (start == text.size()) {
            out.push_back(S());
            return;
        }
    }
}

#ifdef _WIN32
// The plain calls, with the flags the code page allows; empty on failure.
std::wstring Widen(UINT codePage, DWORD flags, const std::string& text) {
    const int n = ::MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()),
                                        nullptr, 0);
    if (n <= 0)
        return std::wstring();
    std::wstring out(n, L'\0');
    if (::MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()), &out[0],
                              n) != n)
        return std::wstring();
    return out;
}

std::string Narrow(UINT codePage, DWORD flags, BOOL* usedDefault, const std::wstring& text) {
    const int n = ::WideCharToMultiByte(codePage, flags, text.data(), static_cast<int>(text.size()),
                                        nullptr, 0, nullptr, usedDefault);
    if (n <= 0 || (usedDefault != nullptr && *usedDefault))
        return std::string();
    std::string out(n, '\0');
    if (::WideCharToMultiByte(codePage, flags, text.data(), static_cast<int>(text.size()), &out[0],
                              n, nullptr, usedDefault) != n ||
        (usedDefault != nullptr && *usedDefault))
        return std::string();
    return out;
}

std::wstring MultiToWide(UINT codePage, const std::string& text) {
    if (text.empty())
        return std::wstring();
    const UINT cp = ResolveCodePage(codePage);
    const CodePageRules rules = RulesForCodePage(cp);
    std::wstring out = Widen(cp, rules.toWideFlags, text);
    if (rules.checkRoundTrip && !out.empty() &&
        Narrow(cp, rules.toNarrowFlags, nullptr, out) != text)
        return std::wstring();
    return out;
}

std::string WideToMulti(UINT codePage, const std::wstring& text) {
    if (text.empty())
        return std::string();
    const UINT cp = ResolveCodePage(codePage);
    const CodePageRules rules = RulesForCodePage(cp);
    BOOL usedDefault = FALSE;
    std::string out =
        Narrow(cp, rules.toNarrowFlags, rules.usedDefaultPointer ? &usedDefault : nullptr, text);
    if (out.empty())
        return out;
    if (rules.checkRoundTrip && Widen(cp, rules.toWideFlags, out) != text)
        return std::string();
    // The text ends at its first zero, as a C string would.
    return out.substr(0, out.find('\0'));
}
#endif

}  // namespace

void SplitString(const std::string& text, const std::string& separator,
                 std::vector<std::string>& out) {
    SplitImpl(text, separator, out);
}

void SplitString(const std::wstring& text, const std::wstring& separator,
                 std::vector<std::wstring>& out) {
    SplitImpl(text, separator, out);
}

std::wstring Utf8ToWide(const std::string& text) {
    std::wstring out;
    out.reserve(text.size());
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    for (size_t i = 0; i < n;) {
        const unsigned char lead = s[i];
        size_t len;
        unsigned long cp;
        if (lead < 0x80) {
            len = 1;
            cp = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            len = 2;
            cp = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            len = 3;
            cp = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            len = 4;
            cp = lead & 0x07;
        } else {
            return std::wstring();
        }
        if (i + len > n)
            return std::wstring();
        for (size_t k = 1; k < len; ++k) {
            if ((s[i + k] & 0xC0) != 0x80)
                return std::wstring();
            cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        static const unsigned long kMinForLength[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < kMinForLength[len] || cp > 0x10FFFF)
            return std::wstring();
        out += static_cast<wchar_t>(cp & 0xFFFF);
        i += len;
    }
    return out;
}

std::string WideToUtf8(const std::wstring& text) {
    std::string out;
    out.reserve(text.size() * 3);
    for (wchar_t wc : text) {
        const unsigned cp = static_cast<unsigned>(wc) & 0xFFFF;
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

#ifdef _WIN32
std::wstring AnsiToWide(const std::string& text) {
    return MultiToWide(CP_ACP, text);
}
std::string WideToAnsi(const std::wstring& text) {
    return WideToMulti(CP_ACP, text);
}
std::string WideToChs(const std::wstring& text) {
    return WideToMulti(936, text);
}
std::wstring ChsToWide(const std::string& text) {
    return MultiToWide(936, text);
}
#endif

}  // namespace vorn
