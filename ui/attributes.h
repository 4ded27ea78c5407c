// Parsing of the layout's attribute values: colours, rectangles, sizes,
// image descriptions and alignment words.
#pragma once

#include <windows.h>

#include <string>

namespace TavroLib {

// Coordinates and sizes read from layouts are clamped to these.
constexpr int kMaxCoordinate = 32767;
constexpr int kMaxWindowExtent = 16384;

// Optional "#", optional "0x", hexadecimal digits read as 0xAARRGGBB
// ("#FFFFFF" is 0x00FFFFFF); false when no digit is found.
bool ParseColor(const wchar_t* value, DWORD& out);
DWORD ParseColorOr(const wchar_t* value, DWORD fallback);
// "l,t,r,b"; missing numbers are 0; each clamped to +-kMaxCoordinate.
RECT ParseRect(const wchar_t* value);
// "cx,cy", clamped to 0..kMaxCoordinate.
SIZE ParseSize(const wchar_t* value);
// An integer clamped to lo..hi; fallback when there is none.
int ParseInt(const wchar_t* value, int lo, int hi, int fallback);
bool ParseBool(const wchar_t* value);

// An image attribute: a bare entry name, or file='name' dest='l,t,r,b'.
struct ImageAttr {
    std::wstring file;
    RECT dest{};
    bool hasDest = false;
};
bool ParseImageAttr(const wchar_t* value, ImageAttr& out);

// Adjusts DT_ alignment flags by the lower-case words "left", "center",
// "right", "top", "vcenter", "bottom" found in value.
UINT ParseAlign(const wchar_t* value, UINT style);

}  // namespace TavroLib
