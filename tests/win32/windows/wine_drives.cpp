#include "windows/wine_drives.h"

#include <winioctl.h>

#include <cstring>
#include <vector>

#include "util/win_handle.h"

namespace vorn::test {
namespace {

// Wine's own mount manager request: not in the Windows headers.
constexpr DWORD kMountManagerType = 0x0000006D;
constexpr DWORD kDefineUnixDrive =
    CTL_CODE(kMountManagerType, 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);

struct UnixDriveRequest {
    ULONG size;
    ULONG type;
    ULONG fsType;
    DWORD serial;
    ULONGLONG unixDevice;
    WCHAR letter;
    USHORT mountPointOffset;  // the Unix folder, a narrow string after the record; 0 removes
    USHORT deviceOffset;
    USHORT labelOffset;
};

bool Define(wchar_t letter, const std::string* unixFolder, UINT driveType) {
    if (letter >= L'a' && letter <= L'z')
        letter = static_cast<wchar_t>(letter - L'a' + L'A');
    if (letter < L'A' || letter > L'Z')
        return false;
    UniqueHandle manager(::CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                       0, nullptr));
    if (!manager)
        return false;
    const size_t extra = unixFolder ? unixFolder->size() + 1 : 0;
    std::vector<unsigned char> buffer(sizeof(UnixDriveRequest) + extra, 0);
    auto* request = reinterpret_cast<UnixDriveRequest*>(buffer.data());
    request->size = static_cast<ULONG>(buffer.size());
    request->type = driveType;
    // The manager takes the letter in lower case.
    request->letter = static_cast<WCHAR>(letter - L'A' + L'a');
    if (unixFolder != nullptr) {
        std::memcpy(buffer.data() + sizeof(UnixDriveRequest), unixFolder->c_str(), extra);
        request->mountPointOffset = static_cast<USHORT>(sizeof(UnixDriveRequest));
    }
    DWORD returned = 0;
    return ::DeviceIoControl(manager.Get(), kDefineUnixDrive, buffer.data(),
                             static_cast<DWORD>(buffer.size()), nullptr, 0, &returned,
                             nullptr) != FALSE;
}

}  // namespace

bool MapWineDrive(wchar_t letter, const std::string& unixFolder, UINT driveType) {
    return !unixFolder.empty() && Define(letter, &unixFolder, driveType);
}

bool UnmapWineDrive(wchar_t letter) {
    return Define(letter, nullptr, DRIVE_FIXED);
}

}  // namespace vorn::test
