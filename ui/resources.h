// Reading layouts and images by name, and the process-wide image cache.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace TavroLib {

// Largest entry the toolkit reads from the archive or the resource folder.
constexpr size_t kMaxResourceBytes = 64u << 20;

// From the open skin archive, else from the resource folder unless the
// process reads from the archive only.
bool ReadResourceBytes(const std::wstring& name, std::vector<unsigned char>& out);

// Once a window has named a skin archive, layouts and images come from that
// archive alone: a missing or broken archive must not be replaced by files
// that happen to lie in the resource folder.
void SetArchiveOnly(bool archiveOnly);
bool IsArchiveOnly();

// A decoded image, premultiplied BGRA top-down; never changes once cached.
struct SkinImage {
    int width = 0;
    int height = 0;
    bool hasAlpha = false;
    std::vector<uint32_t> pixels;
};

// Decoded once per process; null when the entry is missing or unreadable
// (that result is cached too).
std::shared_ptr<const SkinImage> GetCachedImage(const std::wstring& name);
// The name of an image's rendering at twice the size: "@2x" before the extension.
std::wstring HighResolutionName(const std::wstring& name);
void ClearImageCache();

}  // namespace TavroLib
