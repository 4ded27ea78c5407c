// What WideCharToMultiByte and MultiByteToWideChar accept for a code page.
// Windows fails the call (ERROR_INVALID_FLAGS, ERROR_INVALID_PARAMETER) when a
// code page gets a flag or a used-default pointer it does not support: UTF-8
// and GB18030 take only the invalid-character flags, the ISO-2022 and ISCII
// families, UTF-7 and Symbol take no flags at all.
#pragma once

#include <windows.h>

#include <cstddef>

namespace vorn {

struct CodePageRules {
    DWORD toNarrowFlags;      // dwFlags of WideCharToMultiByte
    bool usedDefaultPointer;  // lpUsedDefaultChar may be passed and tells of lost characters
    DWORD toWideFlags;        // dwFlags of MultiByteToWideChar
    // No flag reports a lost character: convert back and compare instead.
    bool checkRoundTrip;
};

// codePage is a real code page; resolve CP_ACP first (ResolveCodePage).
CodePageRules RulesForCodePage(UINT codePage);

// CP_ACP becomes the system's ANSI code page, others stay.
UINT ResolveCodePage(UINT codePage);

// Bytes a narrow buffer needs for a text of wideChars characters, as the
// installer sizes such buffers: one byte each (the ANSI functions' classic
// MAX_PATH buffer), three under UTF-8, where a character takes up to three.
size_t NarrowBufferBytes(UINT codePage, size_t wideChars);

}  // namespace vorn
