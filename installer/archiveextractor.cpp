#include "installer/archiveextractor.h"

#include <algorithm>

#include "installer/archivestream.h"
#include "util/logger.h"
#include "util/path_util.h"
#include "util/string_util.h"
#include "util/win_handle.h"

namespace {

// Windows attributes a plain file can carry; the rest (folder, link, the
// upper bits that hold a Unix mode) describe the entry, not the file.
constexpr DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                      FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                      FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

bool IsLink(const std::wstring& path) {
    const DWORD a = ::GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

HANDLE CreateOutputFile(const std::wstring& path) {
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_ACCESS_DENIED)
        return h;
    // A read-only, hidden or system file of an earlier installation is replaced too.
    const DWORD a = ::GetFileAttributesW(path.c_str());
    if (a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
        (a & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) == 0)
        return h;
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The entries go below folder (which ends in a separator) through Win32.
class FolderTarget : public vorn::UnpackTarget {
  public:
    explicit FolderTarget(const std::wstring& folder) : folder_(folder) {}

    // Level by level, so that a link on the way is found before it is used.
    bool PrepareEntry(const std::wstring& relative) override {
        for (size_t sep = relative.find(L'\\'); sep != std::wstring::npos;
             sep = relative.find(L'\\', sep + 1)) {
            const std::wstring path = folder_ + relative.substr(0, sep);
            ::CreateDirectoryW(path.c_str(), nullptr);
            if (IsLink(path))
                return false;
        }
        return !IsLink(folder_ + relative);
    }
    void MakeFolder(const std::wstring& relative) override {
        ::CreateDirectoryW((folder_ + relative).c_str(), nullptr);
    }
    bool BeginFile(const std::wstring& relative) override {
        path_ = folder_ + relative;
        file_.Reset(CreateOutputFile(path_));
        if (!file_.Valid())
            LogFailure(L"create", ::GetLastError());
        return file_.Valid();
    }
    bool Write(const Byte* data, size_t size) override {
        while (size > 0) {
            const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
            DWORD written = 0;
            if (!::WriteFile(file_.Get(), data, chunk, &written, nullptr)) {
                LogFailure(L"write", ::GetLastError());
                return false;
            }
            // A full disk can show as a short write that succeeds (Wine does so).
            if (written != chunk) {
                LOG_ERROR(L"Extract failed: cannot write %s (%lu of %lu bytes written)",
                          path_.c_str(), static_cast<unsigned long>(written),
                          static_cast<unsigned long>(chunk));
                return false;
            }
            data += chunk;
            size -= chunk;
        }
        return true;
    }
    bool EndFile(bool keep) override {
        const bool closed = file_.Close();
        if (!closed)
            LogFailure(L"close", ::GetLastError());
        if (!keep || !closed)
            ::DeleteFileW(path_.c_str());
        return closed;
    }
    std::wstring PathForLog(const std::wstring& relative) const override {
        return folder_ + relative;
    }
    void SetAttributes(const std::wstring& relative, uint32_t attributes) override {
        const DWORD settable = attributes & kSettableAttributes;
        ::SetFileAttributesW((folder_ + relative).c_str(),
                             settable != 0 ? settable : FILE_ATTRIBUTE_NORMAL);
    }

  private:
    // The system's reason (a full disk, a file in use, a volume that refuses
    // writes) goes to the log; the user sees the extraction's one message.
    void LogFailure(const wchar_t* what, DWORD error) const {
        LOG_ERROR(L"Extract failed: cannot %s %s (error %lu)", what, path_.c_str(),
                  static_cast<unsigned long>(error));
    }

    std::wstring folder_;
    std::wstring path_;
    vorn::UniqueHandle file_;
};

}  // namespace

int ExtractArchive(const std::wstring& archivePath, const std::wstring& outputFolder,
                   const ExtractProgress& progress, ExtractStats* stats) {
    if (archivePath.empty())
        return EXTRACT_NO_INPUT;
    std::wstring folder = outputFolder;
    if (folder.empty() || (folder.back() != L'\\' && folder.back() != L'/'))
        folder += L'\\';
    if (!vorn::IsDirectory(folder))
        return EXTRACT_NO_INPUT;

    vorn::ArchiveFileStream file;
    if (!file.Open(archivePath)) {
        LOG_ERROR(L"Extract failed: cannot open %s", archivePath.c_str());
        return EXTRACT_FAILED;
    }
    FolderTarget target(folder);
    return vorn::UnpackArchive(file.Stream(), target, progress, stats, archivePath);
}

int ExtractArchive(const std::wstring& archivePath, const std::wstring& outputFolder, HWND window) {
    return ExtractArchive(archivePath, outputFolder, [window](int percent) {
        if (window != nullptr)
            ::SendMessageW(window, WM_INSTALL_PROGRESS, static_cast<WPARAM>(percent), 0);
    });
}

int ExtractArchive(const char* archivePath, const std::wstring& outputFolder, HWND window) {
    if (archivePath == nullptr || archivePath[0] == '\0')
        return EXTRACT_NO_INPUT;
    const std::wstring wide = vorn::AnsiToWide(archivePath);
    if (wide.empty())
        return EXTRACT_FAILED;
    return ExtractArchive(wide, outputFolder, window);
}
