// Unpacking the client package (a 7z archive) into the install folder.
//
// Memory: the 7z decoder unpacks a whole solid block into one buffer, so the
// peak is the unpacked size of the largest solid block, plus the archive's
// header tables, plus a 256 KiB read buffer. Files are written straight from
// that buffer and one block is held at a time. A package made with a bounded
// block size ("7z a -ms=64m ...") keeps the peak near that bound, whatever the
// package's total size.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

// Sent (not posted) to the progress window before each entry: wParam is the
// percent done, 0 to 99; lParam is 0.
constexpr UINT WM_INSTALL_PROGRESS = WM_USER + 1009;

enum ExtractResult : int {
    EXTRACT_OK = 0,
    EXTRACT_NO_INPUT = -1,  // no archive path, or the output folder does not exist
    EXTRACT_FAILED = 1,     // any other failure: nothing may be relied on
};

// Called before each entry with the percent done (0 to 99).
using ExtractProgress = std::function<void(int percent)>;

struct ExtractStats {
    uint64_t peakDecoderBytes = 0;  // largest amount the decoder held at once
    uint64_t largestBlockBytes = 0;
};

// The archive is opened through its wide path. Every entry name is checked
// before anything is written: one that would land outside outputFolder fails
// the whole extraction. An existing link (junction or symbolic link) below
// outputFolder on an entry's way fails it too, so nothing is written through it.
int ExtractArchive(const std::wstring& archivePath, const std::wstring& outputFolder,
                   const ExtractProgress& progress, ExtractStats* stats = nullptr);

// Reports progress to window with WM_INSTALL_PROGRESS (nothing when window is null).
int ExtractArchive(const std::wstring& archivePath, const std::wstring& outputFolder, HWND window);

// The same for a path in the ANSI code page; null or empty gives EXTRACT_NO_INPUT.
int ExtractArchive(const char* archivePath, const std::wstring& outputFolder, HWND window);
