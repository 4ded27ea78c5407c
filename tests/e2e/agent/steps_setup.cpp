// Set-up steps: environment, registry, files, drives, the browser stand-in,
// reference renderings, and the snapshots before and after the run.
#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cwchar>
#include <fstream>
#include <iterator>
#include <vector>

#include "agent/steps_internal.h"
#include "driver/gui_driver.h"
#include "util/com_scope.h"
#include "installer/resource.h"
#include "util/path_util.h"
#include "util/string_util.h"

namespace e2e {
namespace {

constexpr uint64_t kLargestCopy = 64ull << 20;

HKEY Root(const std::wstring& name) {
    if (name == L"HKCU")
        return HKEY_CURRENT_USER;
    if (name == L"HKLM")
        return HKEY_LOCAL_MACHINE;
    return nullptr;
}

bool WriteAll(const std::wstring& path, const std::string& bytes) {
    std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

std::string ReadAll(const std::wstring& path, bool& ok) {
    std::ifstream in(path.c_str(), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ok = static_cast<bool>(in) || in.eof();
    return bytes;
}

BOOL CALLBACK TakeLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR found) {
    *reinterpret_cast<WORD*>(found) = language;
    return FALSE;
}

// The CA bundle that the copy of the installer carries, followed by the
// services' test CA: the program is the same, only the roots it trusts grow,
// so HTTPS to the local services verifies as it would against the vendor's.
bool TrustExtraCa(const std::wstring& installer, const std::wstring& caFile) {
    bool ok = false;
    std::string extra = ReadAll(caFile, ok);
    if (!ok || extra.empty())
        return false;
    std::string bundle;
    WORD language = 0;
    HMODULE image = ::LoadLibraryExW(installer.c_str(), nullptr,
                                     LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (image == nullptr)
        return false;
    ::EnumResourceLanguagesW(image, L"DATA", MAKEINTRESOURCEW(IDR_CA_BUNDLE), TakeLanguage,
                             reinterpret_cast<LONG_PTR>(&language));
    if (HRSRC res = ::FindResourceExW(image, L"DATA", MAKEINTRESOURCEW(IDR_CA_BUNDLE), language)) {
        const void* data = ::LockResource(::LoadResource(image, res));
        const DWORD size = ::SizeofResource(image, res);
        if (data != nullptr)
            bundle.assign(static_cast<const char*>(data), size);
    }
    ::FreeLibrary(image);
    if (bundle.empty())
        return false;
    if (bundle.back() != '\n')
        bundle += '\n';
    bundle += extra;
    HANDLE update = ::BeginUpdateResourceW(installer.c_str(), FALSE);
    if (update == nullptr)
        return false;
    const BOOL put = ::UpdateResourceW(update, L"DATA", MAKEINTRESOURCEW(IDR_CA_BUNDLE), language,
                                       bundle.data(), static_cast<DWORD>(bundle.size()));
    return ::EndUpdateResourceW(update, put ? FALSE : TRUE) && put;
}

StepResult SetRegistry(const Step& s) {
    HKEY root = Root(s.Arg(0));
    if (root == nullptr)
        return Fail(L"unknown hive " + s.Arg(0));
    vorn::UniqueRegKey key;
    if (::RegCreateKeyExW(root, s.Arg(1).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.Receive(),
                          nullptr) != ERROR_SUCCESS) {
        return Fail(L"cannot create the key " + s.Arg(1));
    }
    if (s.verb == L"regkey")
        return {};
    const std::wstring& type = s.Arg(3);
    const std::wstring& data = s.Arg(4);
    LONG rc;
    if (type == L"dword") {
        const DWORD v = static_cast<DWORD>(_wtoi64(data.c_str()));
        rc = ::RegSetValueExW(key.Get(), s.Arg(2).c_str(), 0, REG_DWORD,
                              reinterpret_cast<const BYTE*>(&v), sizeof v);
    } else if (type == L"sz" || type == L"expand_sz") {
        rc =
            ::RegSetValueExW(key.Get(), s.Arg(2).c_str(), 0, type == L"sz" ? REG_SZ : REG_EXPAND_SZ,
                             reinterpret_cast<const BYTE*>(data.c_str()),
                             static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    } else if (type == L"binary") {
        // Hexadecimal digits, two per byte.
        if (data.size() % 2 != 0)
            return Fail(L"an odd number of hexadecimal digits for " + s.Arg(2));
        std::vector<BYTE> bytes;
        for (size_t i = 0; i < data.size(); i += 2)
            bytes.push_back(
                static_cast<BYTE>(std::wcstoul(data.substr(i, 2).c_str(), nullptr, 16)));
        rc = ::RegSetValueExW(key.Get(), s.Arg(2).c_str(), 0, REG_BINARY, bytes.data(),
                              static_cast<DWORD>(bytes.size()));
    } else {
        return Fail(L"unknown value type " + type);
    }
    return rc == ERROR_SUCCESS ? StepResult{} : Fail(L"cannot set the value " + s.Arg(2));
}

// A shell link to target, working in the target's folder: what an earlier
// installation may have left on the desktop or in the Start menu.
StepResult MakeLink(const Step& s) {
    vorn::ComApartment com;
    vorn::ComPtr<IShellLinkW> link;
    vorn::ComPtr<IPersistFile> file;
    if (!com.Ok() ||
        FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  link.ReceiveVoid())) ||
        FAILED(link.As(file))) {
        return Fail(L"cannot make a shell link");
    }
    const std::wstring& target = s.Arg(1);
    link->SetPath(target.c_str());
    link->SetWorkingDirectory(target.substr(0, target.find_last_of(L'\\') + 1).c_str());
    return SUCCEEDED(file->Save(s.Arg(0).c_str(), TRUE))
               ? StepResult{}
               : Fail(L"cannot save the link " + s.Arg(0));
}

// The runner maps drive letters in the prefix's dosdevices folder, which only
// it can do; it learns the prefix from here and answers with a ready file.
StepResult DriveHandshake(const Step& s) {
    wchar_t prefix[MAX_PATH * 2] = {};
    if (::GetEnvironmentVariableW(L"WINEPREFIX", prefix, MAX_PATH * 2) == 0)
        return Fail(L"WINEPREFIX is not set");
    const std::wstring folder = s.Arg(0);
    if (!WriteAll(folder + L"prefix.tmp", vorn::WideToUtf8(prefix)) ||
        !::MoveFileExW((folder + L"prefix.tmp").c_str(), (folder + L"prefix.txt").c_str(),
                       MOVEFILE_REPLACE_EXISTING)) {
        return Fail(L"cannot write prefix.txt");
    }
    if (!vorn::gui::WaitFor([&] { return vorn::IsRegularFile(folder + L"drives.ready"); }, 60000)) {
        return Fail(L"the runner did not map the drives within 60 s");
    }
    return {};
}

StepResult RenderLabel(Agent& agent, const Step& s) {
    const RECT area{s.IntArg(1), s.IntArg(2), s.IntArg(3), s.IntArg(4)};
    std::wstring error;
    const std::wstring png =
        agent.out + L"shots\\" + agent.watcher->NextShotName(L"reference-MessageInfoBox");
    if (!agent.labels.Render(s.Arg(0), area, png, error))
        return Fail(error);
    return {};
}

void CopyChangedFiles(Agent& agent) {
    int n = 0;
    for (const auto& c : agent.fileChanges) {
        if (c.kind == L"removed" || c.entry.folder || c.entry.size > kLargestCopy)
            continue;
        const std::wstring name = L"captured\\" + std::to_wstring(++n) + L".bin";
        if (::CopyFileW(c.path.c_str(), (agent.out + name).c_str(), FALSE))
            agent.captured[c.path] = name;
    }
}

}  // namespace

void TakeAfterSnapshot(Agent& agent) {
    if (!agent.haveBefore || agent.afterTaken)
        return;
    agent.afterTaken = true;
    DumpRegistry(agent.out + L"reg-after.txt");
    agent.fileChanges = DiffFiles(agent.filesBefore, SnapshotFiles(agent.snapshotRoots));
    CopyChangedFiles(agent);
}

StepResult SetupStep(Agent& agent, const Step& s, bool& known) {
    known = true;
    const std::wstring& v = s.verb;
    if (v == L"autoshot") {
        agent.autoShotMs = s.IntArg(0, 700);
        return {};
    }
    if (v == L"env") {
        return ::SetEnvironmentVariableW(s.Arg(0).c_str(), s.Arg(1).c_str())
                   ? StepResult{}
                   : Fail(L"cannot set " + s.Arg(0));
    }
    if (v == L"drives")
        return DriveHandshake(s);
    if (v == L"urlrecorder") {
        return vorn::gui::RegisterUrlRecorder(s.Arg(0))
                   ? StepResult{}
                   : Fail(L"cannot register the browser stand-in");
    }
    if (v == L"reg" || v == L"regkey")
        return SetRegistry(s);
    if (v == L"mkdir") {
        return vorn::IsDirectory(s.Arg(0)) || vorn::MakeDirectories(s.Arg(0))
                   ? StepResult{}
                   : Fail(L"cannot create " + s.Arg(0));
    }
    if (v == L"copy") {
        return ::CopyFileW(s.Arg(0).c_str(), s.Arg(1).c_str(), FALSE)
                   ? StepResult{}
                   : Fail(L"cannot copy to " + s.Arg(1));
    }
    if (v == L"write") {
        return WriteAll(s.Arg(0), vorn::WideToUtf8(s.Arg(1))) ? StepResult{}
                                                              : Fail(L"cannot write " + s.Arg(0));
    }
    if (v == L"link")
        return MakeLink(s);
    if (v == L"trust-ca") {
        return TrustExtraCa(s.Arg(0), s.Arg(1)) ? StepResult{}
                                                : Fail(L"cannot add the test CA to " + s.Arg(0));
    }
    if (v == L"label-ref")
        return RenderLabel(agent, s);
    if (v == L"roots") {
        agent.snapshotRoots = s.args;
        return {};
    }
    if (v == L"before") {
        if (!DumpRegistry(agent.out + L"reg-before.txt"))
            return Fail(L"cannot write the registry snapshot");
        agent.filesBefore = SnapshotFiles(agent.snapshotRoots);
        agent.haveBefore = true;
        return {};
    }
    if (v == L"after") {
        TakeAfterSnapshot(agent);
        return {};
    }
    known = false;
    return {};
}

}  // namespace e2e
