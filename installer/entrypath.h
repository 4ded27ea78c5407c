// Turning the names that an archive gives its entries into paths below the
// install folder, refusing every name that could land anywhere else.
#pragma once

#include <string>

namespace vorn {

// relative receives the name with backslashes. False for an empty name, an
// absolute or rooted name, a drive or stream (":"), a "." or ".." component
// (also one that Windows would trim to it: trailing dots or blanks), an empty
// component, characters Windows refuses in names, and device names (CON, NUL...).
bool MakeEntryRelativePath(const std::wstring& name, std::wstring& relative);

}  // namespace vorn
