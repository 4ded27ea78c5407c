// Unpacking the client package (a 7z archive) into the install folder.
//
// Memory: blocks of LZMA or LZMA2, alone or behind the x86 branch filter, and
// stored blocks are decoded piece by piece straight into the files: the peak is
// the coder's dictionary (as the archive names it; 7z reduces it to the data's
// size) plus a 256 KiB read buffer, a 64 KiB output buffer and the archive's
// header tables, whatever the package's size. Any other block (BCJ2, PPMd,
// other filters) goes through the decoder's whole-block path, which holds the
// unpacked size of that solid block in one buffer, one block at a time, and
// refuses blocks larger than kWholeBlockLimit (128 MiB).
#pragma once

#include <windows.h>

#include <string>

#include "installer/archiveunpacker.h"

// Sent (not posted) to the progress window before each entry: wParam is the
// percent done, 0 to 99; lParam is 0.
constexpr UINT WM_INSTALL_PROGRESS = WM_USER + 1009;

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
