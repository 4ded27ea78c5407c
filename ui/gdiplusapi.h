// GDI+ for the toolkit's sources: its headers expect min and max in scope.
#pragma once

#include <windows.h>
// WIN32_LEAN_AND_MEAN leaves out what GDI+ needs (PROPID, IStream).
#include <objidl.h>

#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>
