#include "ui/attributes.h"

#include <cwchar>
#include <cwctype>

namespace TavroLib {
namespace {

int Clamp(long long v, int lo, int hi) {
    if (v < lo)
        return lo;
    if (v > hi)
        return hi;
    return static_cast<int>(v);
}

// Reads one signed decimal number, skipping blanks; advances p past it and a comma.
bool NextNumber(const wchar_t*& p, long long& out) {
    while (*p == L' ' || *p == L'\t')
        ++p;
    bool neg = false;
    if (*p == L'-' || *p == L'+')
        neg = (*p++ == L'-');
    if (*p < L'0' || *p > L'9') {
        while (*p && *p != L',')
            ++p;
        if (*p == L',')
            ++p;
        return false;
    }
    long long v = 0;
    while (*p >= L'0' && *p <= L'9') {
        if (v < 100000000000LL)
            v = v * 10 + (*p - L'0');
        ++p;
    }
    while (*p && *p != L',')
        ++p;
    if (*p == L',')
        ++p;
    out = neg ? -v : v;
    return true;
}

}  // namespace

bool ParseColor(const wchar_t* value, DWORD& out) {
    if (value == nullptr)
        return false;
    const wchar_t* p = value;
    while (*p == L' ')
        ++p;
    if (*p == L'#')
        ++p;
    if (p[0] == L'0' && (p[1] == L'x' || p[1] == L'X'))
        p += 2;
    DWORD v = 0;
    int digits = 0;
    for (; *p; ++p) {
        int d;
        if (*p >= L'0' && *p <= L'9')
            d = *p - L'0';
        else if (*p >= L'a' && *p <= L'f')
            d = *p - L'a' + 10;
        else if (*p >= L'A' && *p <= L'F')
            d = *p - L'A' + 10;
        else
            break;
        v = (v << 4) | static_cast<DWORD>(d);
        ++digits;
    }
    if (digits == 0)
        return false;
    out = v;
    return true;
}

DWORD ParseColorOr(const wchar_t* value, DWORD fallback) {
    DWORD c;
    return ParseColor(value, c) ? c : fallback;
}

RECT ParseRect(const wchar_t* value) {
    RECT rc{};
    if (value == nullptr)
        return rc;
    LONG* parts[4] = {&rc.left, &rc.top, &rc.right, &rc.bottom};
    const wchar_t* p = value;
    for (LONG* part : parts) {
        if (*p == 0)
            break;
        long long v = 0;
        if (NextNumber(p, v))
            *part = Clamp(v, -kMaxCoordinate, kMaxCoordinate);
    }
    return rc;
}

SIZE ParseSize(const wchar_t* value) {
    SIZE sz{};
    if (value == nullptr)
        return sz;
    const wchar_t* p = value;
    long long v = 0;
    if (*p && NextNumber(p, v))
        sz.cx = Clamp(v, 0, kMaxCoordinate);
    if (*p && NextNumber(p, v))
        sz.cy = Clamp(v, 0, kMaxCoordinate);
    return sz;
}

int ParseInt(const wchar_t* value, int lo, int hi, int fallback) {
    if (value == nullptr)
        return fallback;
    const wchar_t* p = value;
    long long v = 0;
    if (!NextNumber(p, v))
        return fallback;
    return Clamp(v, lo, hi);
}

bool ParseBool(const wchar_t* value) {
    return value != nullptr && _wcsicmp(value, L"true") == 0;
}

bool ParseImageAttr(const wchar_t* value, ImageAttr& out) {
    out = ImageAttr();
    if (value == nullptr)
        return false;
    const std::wstring s(value);
    if (s.find(L'=') == std::wstring::npos) {
        // A bare entry name.
        size_t b = s.find_first_not_of(L' ');
        size_t e = s.find_last_not_of(L' ');
        if (b == std::wstring::npos)
            return false;
        out.file = s.substr(b, e - b + 1);
        return true;
    }
    // key='value' pairs separated by blanks.
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && (s[i] == L' ' || s[i] == L'\t'))
            ++i;
        size_t keyStart = i;
        while (i < s.size() && s[i] != L'=' && s[i] != L' ')
            ++i;
        std::wstring key = s.substr(keyStart, i - keyStart);
        while (i < s.size() && s[i] == L' ')
            ++i;
        if (i >= s.size() || s[i] != L'=')
            break;
        ++i;
        while (i < s.size() && s[i] == L' ')
            ++i;
        if (i >= s.size())
            break;
        wchar_t quote = s[i];
        std::wstring val;
        if (quote == L'\'' || quote == L'"') {
            size_t end = s.find(quote, i + 1);
            if (end == std::wstring::npos)
                end = s.size();
            val = s.substr(i + 1, end - i - 1);
            i = end + 1;
        } else {
            size_t end = s.find(L' ', i);
            if (end == std::wstring::npos)
                end = s.size();
            val = s.substr(i, end - i);
            i = end;
        }
        if (key == L"file" || key == L"res") {
            out.file = val;
        } else if (key == L"dest") {
            out.dest = ParseRect(val.c_str());
            out.hasDest = true;
        }
    }
    return !out.file.empty();
}

UINT ParseAlign(const wchar_t* value, UINT style) {
    if (value == nullptr)
        return style;
    const std::wstring s(value);
    auto has = [&s](const wchar_t* w) { return s.find(w) != std::wstring::npos; };
    if (has(L"left")) {
        style &= ~(DT_CENTER | DT_RIGHT);
        style |= DT_LEFT;
    }
    if (has(L"center") && !has(L"vcenter")) {
        style &= ~(DT_LEFT | DT_RIGHT);
        style |= DT_CENTER;
    } else if (has(L"center")) {
        // "vcenter" holds "center": a horizontal centre needs the word on its own too.
        size_t pos = 0;
        while ((pos = s.find(L"center", pos)) != std::wstring::npos) {
            if (pos == 0 || s[pos - 1] != L'v') {
                style &= ~(DT_LEFT | DT_RIGHT);
                style |= DT_CENTER;
                break;
            }
            pos += 6;
        }
    }
    if (has(L"right")) {
        style &= ~(DT_LEFT | DT_CENTER);
        style |= DT_RIGHT;
    }
    if (has(L"top")) {
        style &= ~(DT_BOTTOM | DT_VCENTER);
        style |= DT_TOP;
    }
    if (has(L"vcenter")) {
        style &= ~(DT_TOP | DT_BOTTOM);
        style |= DT_VCENTER;
    }
    if (has(L"bottom")) {
        style &= ~(DT_TOP | DT_VCENTER);
        style |= DT_BOTTOM;
    }
    return style;
}

}  // namespace TavroLib
