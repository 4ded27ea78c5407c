#include "string_util.h"

#ifdef _WIN32
#include <windows.h>
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
std::wstring MultiToWide(UINT codePage, const std::string& text) {
    if (text.empty())
        return std::wstring();
    const int n = ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(),
                                        static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0)
        return std::wstring();
    std::wstring out(n, L'\0');
    ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(),
                          static_cast<int>(text.size()), &out[0], n);
    return out;
}

std::string WideToMulti(UINT codePage, const std::wstring& text) {
    if (text.empty())
        return std::string();
    BOOL usedDefault = FALSE;
    const int n =
        ::WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, text.data(),
                              static_cast<int>(text.size()), nullptr, 0, nullptr, &usedDefault);
    if (n <= 0 || usedDefault)
        return std::string();
    std::string out(n, '\0');
    ::WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, text.data(),
                          static_cast<int>(text.size()), &out[0], n, nullptr, &usedDefault);
    if (usedDefault)
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
