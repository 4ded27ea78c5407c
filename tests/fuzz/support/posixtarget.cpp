#include "support/posixtarget.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "util/string_util.h"

namespace vorn_fuzz {
namespace {

bool IsLink(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

// A name that could leave the folder must never reach the target: the
// fuzzer reports it as a crash.
void RequireContained(const std::string& path) {
    if (path.empty() || path[0] == '/')
        __builtin_trap();
    size_t start = 0;
    for (;;) {
        const size_t end = path.find('/', start);
        const std::string part = path.substr(start, end - start);
        if (part.empty() || part == "." || part == "..")
            __builtin_trap();
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
}

}  // namespace

PosixTarget::~PosixTarget() {
    if (fd_ >= 0)
        ::close(fd_);
}

std::string PosixTarget::PathOf(const std::wstring& relative) const {
    std::string path = vorn::WideToUtf8(relative);
    for (char& c : path) {
        if (c == '\\')
            c = '/';
    }
    RequireContained(path);
    return folder_ + "/" + path;
}

bool PosixTarget::PrepareEntry(const std::wstring& relative) {
    for (size_t sep = relative.find(L'\\'); sep != std::wstring::npos;
         sep = relative.find(L'\\', sep + 1)) {
        const std::string path = PathOf(relative.substr(0, sep));
        ::mkdir(path.c_str(), 0700);
        if (IsLink(path))
            return false;
    }
    return !IsLink(PathOf(relative));
}

void PosixTarget::MakeFolder(const std::wstring& relative) {
    ::mkdir(PathOf(relative).c_str(), 0700);
}

bool PosixTarget::BeginFile(const std::wstring& relative) {
    if (fd_ >= 0)
        ::close(fd_);
    path_ = PathOf(relative);
    fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd_ >= 0)
        ++files_;
    return fd_ >= 0;
}

bool PosixTarget::Write(const Byte* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd_, data, size);
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
        bytes_ += static_cast<unsigned long long>(n);
    }
    return true;
}

bool PosixTarget::EndFile(bool keep) {
    const bool closed = fd_ < 0 || ::close(fd_) == 0;
    fd_ = -1;
    if (!keep || !closed)
        ::unlink(path_.c_str());
    return closed;
}

}  // namespace vorn_fuzz
