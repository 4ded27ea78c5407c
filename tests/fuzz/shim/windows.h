// The few Windows types and constants that the attribute parsers use, for
// building them natively. Sizes match the Windows ones.
#pragma once

#include <cstdint>
#include <cwchar>

typedef uint32_t DWORD;
typedef int32_t LONG;
typedef unsigned int UINT;

struct RECT {
    LONG left, top, right, bottom;
};
struct SIZE {
    LONG cx, cy;
};

constexpr UINT DT_TOP = 0x0;
constexpr UINT DT_LEFT = 0x0;
constexpr UINT DT_CENTER = 0x1;
constexpr UINT DT_RIGHT = 0x2;
constexpr UINT DT_VCENTER = 0x4;
constexpr UINT DT_BOTTOM = 0x8;

inline int _wcsicmp(const wchar_t* a, const wchar_t* b) {
    return wcscasecmp(a, b);
}
