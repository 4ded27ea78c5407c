#include "ui/resources.h"

#include <atomic>
#include <map>
#include <mutex>

#include "ui/imagedecoder.h"
#include "ui/paintmanager.h"
#include "ui/zipresource.h"
#include "util/allocation.h"
#include "util/win_handle.h"

namespace TavroLib {
namespace {

bool ReadFolderFile(const std::wstring& name, std::vector<unsigned char>& out) {
    // Only plain names below the resource folder.
    if (name.empty() || name.find(L"..") != std::wstring::npos ||
        name.find(L':') != std::wstring::npos)
        return false;
    const std::wstring path = CPaintManagerUI::GetResourceFolder() + name;
    vorn::UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0 ||
        static_cast<unsigned long long>(size.QuadPart) > kMaxResourceBytes)
        return false;
    if (!vorn::TryResize(out, static_cast<size_t>(size.QuadPart)))
        return false;
    DWORD read = 0;
    if (!out.empty() &&
        (!::ReadFile(file.Get(), out.data(), static_cast<DWORD>(out.size()), &read, nullptr) ||
         read != out.size())) {
        out.clear();
        return false;
    }
    return true;
}

std::atomic<bool> g_archiveOnly{false};

struct ImageCache {
    std::mutex lock;
    unsigned archiveGeneration = 0;
    bool archiveOpen = false;
    std::map<std::wstring, std::shared_ptr<const SkinImage>> images;
};

ImageCache& Cache() {
    static ImageCache* cache = new ImageCache();  // lives until the process ends
    return *cache;
}

}  // namespace

bool ReadResourceBytes(const std::wstring& name, std::vector<unsigned char>& out) {
    out.clear();
    CZipResource& zip = CZipResource::Instance();
    if (zip.IsOpen())
        return zip.ReadEntry(name.c_str(), out);
    if (IsArchiveOnly())
        return false;
    return ReadFolderFile(name, out);
}

void SetArchiveOnly(bool archiveOnly) {
    g_archiveOnly.store(archiveOnly);
}

bool IsArchiveOnly() {
    return g_archiveOnly.load();
}

std::shared_ptr<const SkinImage> GetCachedImage(const std::wstring& name) {
    if (name.empty())
        return nullptr;
    ImageCache& cache = Cache();
    CZipResource& zip = CZipResource::Instance();
    {
        std::lock_guard<std::mutex> lock(cache.lock);
        // A different archive makes every cached answer stale.
        const unsigned generation = zip.OpenCount();
        const bool open = zip.IsOpen();
        if (generation != cache.archiveGeneration || open != cache.archiveOpen) {
            cache.images.clear();
            cache.archiveGeneration = generation;
            cache.archiveOpen = open;
        }
        auto it = cache.images.find(name);
        if (it != cache.images.end())
            return it->second;
    }
    std::shared_ptr<SkinImage> image;
    std::vector<unsigned char> bytes;
    if (ReadResourceBytes(name, bytes) && !bytes.empty()) {
        CImageData data;
        if (DecodeImage(bytes.data(), bytes.size(), data) && data.width > 0 && data.height > 0 &&
            data.pixels.size() ==
                static_cast<size_t>(data.width) * static_cast<size_t>(data.height)) {
            image = std::make_shared<SkinImage>();
            image->width = data.width;
            image->height = data.height;
            image->hasAlpha = data.hasAlpha;
            image->pixels = std::move(data.pixels);
        }
    }
    std::lock_guard<std::mutex> lock(cache.lock);
    auto inserted = cache.images.emplace(name, image);
    return inserted.first->second;
}

std::wstring HighResolutionName(const std::wstring& name) {
    const size_t dot = name.find_last_of(L'.');
    const size_t slash = name.find_last_of(L"\\/");
    if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash))
        return name + L"@2x";
    return name.substr(0, dot) + L"@2x" + name.substr(dot);
}

void ClearImageCache() {
    ImageCache& cache = Cache();
    std::lock_guard<std::mutex> lock(cache.lock);
    cache.images.clear();
}

}  // namespace TavroLib
