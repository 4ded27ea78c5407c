// Uninstaller.exe against an installation laid out as the installer leaves it:
// the package's files, the channel file copy, two shortcuts, the product key and
// the uninstall entry. It must remove exactly those and nothing else.
//   --package=FOLDER   the package's content (what the 7z unpacks to)
//   --work=FOLDER      for Links.*: a folder prepared with links to outside
#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "uninstall.h"
#include "util/path_util.h"
#include "util/win_handle.h"

using namespace vorn;
using namespace vorn::uninstall;

namespace {

const wchar_t kOtherProduct[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{00000000-1111-2222-3333-"
    L"444444444444}";

std::wstring SpecialFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    ::SHGetSpecialFolderPathW(nullptr, path, csidl, FALSE);
    return path;
}

bool Exists(const std::wstring& p) {
    return ::GetFileAttributesW(p.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool SetString(HKEY root, const wchar_t* key, const wchar_t* name, const std::wstring& value) {
    UniqueRegKey k;
    if (::RegCreateKeyW(root, key, k.Receive()) != ERROR_SUCCESS)
        return false;
    return ::RegSetValueExW(k.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) ==
           ERROR_SUCCESS;
}

bool KeyExists(HKEY root, const wchar_t* key) {
    UniqueRegKey k;
    return ::RegOpenKeyExW(root, key, 0, KEY_READ, k.Receive()) == ERROR_SUCCESS;
}

bool WriteLink(const std::wstring& file, const std::wstring& target, const std::wstring& dir) {
    IShellLinkW* link = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(&link))))
        return false;
    link->SetPath(target.c_str());
    link->SetWorkingDirectory(dir.c_str());
    IPersistFile* persist = nullptr;
    bool ok = SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)));
    if (ok) {
        ok = SUCCEEDED(persist->Save(file.c_str(), TRUE));
        persist->Release();
    }
    link->Release();
    return ok;
}

// Copies the package's files below dir (which ends in a backslash), with their attributes.
void CopyPackage(const std::wstring& dir) {
    const std::wstring from = test::WideArg("package");
    ASSERT_FALSE(from.empty()) << "--package missing";
    MakeDirectories(dir);
    ASSERT_TRUE(WalkTree(from.c_str(), [&](const std::wstring& p, bool isFolder) {
        const std::wstring rel = p.substr(from.size() + (from.back() == L'\\' ? 0 : 1));
        const std::wstring to = dir + rel;
        if (isFolder)
            return MakeDirectories(to) || IsDirectory(to);
        const DWORD attributes = ::GetFileAttributesW(p.c_str());
        // Files come before their folder in the walk.
        const std::wstring parent = ParentFolder(to);
        if (!IsDirectory(parent) && !MakeDirectories(parent))
            return false;
        return ::CopyFileW(p.c_str(), to.c_str(), FALSE) &&
               ::SetFileAttributesW(to.c_str(), attributes);
    }));
}

// What the installer writes besides the package (installDir ends in a backslash).
void Register(const std::wstring& installDir, bool channelFile = true) {
    if (channelFile) {
        ASSERT_TRUE(test::WriteBytes(installDir + L"ZizUdir.dat", std::string(32, '\x5a')));
    }
    const std::wstring client = installDir + L"vorn.exe";
    ASSERT_TRUE(WriteLink(SpecialFolder(CSIDL_PROGRAMS) + kShortcutName, client, installDir));
    ASSERT_TRUE(WriteLink(SpecialFolder(CSIDL_DESKTOP) + kShortcutName, client, installDir));
    ASSERT_TRUE(SetString(HKEY_CURRENT_USER, kProductKey, L"installDir", installDir));
    ASSERT_TRUE(SetString(HKEY_CURRENT_USER, kProductKey, L"Start", L"vorn.exe"));
    ASSERT_TRUE(SetString(HKEY_CURRENT_USER, kProductKey, L"Version", L"1.0.0"));
    const std::wstring uninstaller = installDir + L"Uninstaller.exe";
    const std::pair<const wchar_t*, std::wstring> values[] = {
        {L"DisplayName", L"Velto加速器"},
        {L"InstallSource", L"C:\\users\\Downloads\\VeltoInstaller.exe"},
        {L"DisplayVersion", L"1.0.0"},
        {L"InstallLocation", client},
        {L"ModifyPath", uninstaller},
        {L"UninstallString", uninstaller},
        {L"DisplayIcon", uninstaller},
        {L"Publisher", L"Corlanth科技股份有限公司"}};
    for (const auto& v : values)
        ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, kUninstallKey, v.first, v.second));
}

// Things of others that must survive.
struct Bystanders {
    explicit Bystanders(const std::wstring& outside) : file(outside + L"keep.txt") {
        EXPECT_TRUE(test::WriteBytes(file, "not the client's"));
        EXPECT_TRUE(WriteLink(SpecialFolder(CSIDL_DESKTOP) + L"\\Other.lnk", outside + L"other.exe",
                              outside));
        EXPECT_TRUE(SetString(HKEY_CURRENT_USER, L"Software\\Other", L"x", L"1"));
        EXPECT_TRUE(SetString(HKEY_LOCAL_MACHINE, kOtherProduct, L"DisplayName", L"Other"));
    }
    void ExpectIntact() const {
        EXPECT_EQ(test::ReadBytes(file), "not the client's");
        EXPECT_TRUE(Exists(SpecialFolder(CSIDL_DESKTOP) + L"\\Other.lnk"));
        EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, L"Software\\Other"));
        EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kOtherProduct));
        EXPECT_TRUE(Exists(SpecialFolder(CSIDL_DESKTOP)));
        EXPECT_TRUE(Exists(SpecialFolder(CSIDL_PROGRAMS)));
    }
    std::wstring file;
};

DWORD RunUninstaller(const std::wstring& exe, const std::wstring& cwd) {
    std::wstring line = L"\"" + exe + L"\" /S";
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, cwd.c_str(),
                          &si, &pi))
        return 0xFFFFFFFF;
    ::CloseHandle(pi.hThread);
    UniqueHandle process(pi.hProcess);
    if (::WaitForSingleObject(process.Get(), 60000) != WAIT_OBJECT_0)
        return STILL_ACTIVE;
    DWORD code = 0;
    ::GetExitCodeProcess(process.Get(), &code);
    return code;
}

// The copy in the temporary folder deletes the uninstaller after the first process.
bool WaitGone(const std::wstring& path) {
    for (int i = 0; i < 300; ++i) {
        if (!Exists(path))
            return true;
        ::Sleep(100);
    }
    return false;
}

// The uninstaller's copies in the temporary folder that still exist.
std::vector<std::wstring> TemporaryCopies() {
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH + 1, temp);
    std::vector<std::wstring> copies;
    for (const std::wstring& name : test::ListFolder(temp)) {
        if (name.rfind(L"vorn-uninstall-", 0) == 0)
            copies.push_back(name);
    }
    return copies;
}

bool CopiesGone() {
    for (int i = 0; i < 100 && !TemporaryCopies().empty(); ++i)
        ::Sleep(100);
    return TemporaryCopies().empty();
}

// Whether a file is left to be deleted at the next restart.
bool DeletionAtRestartNamed(const std::wstring& fragment) {
    UniqueRegKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager",
                        0, KEY_READ, key.Receive()) != ERROR_SUCCESS)
        return false;
    std::vector<wchar_t> data(32768, L'\0');
    DWORD size = static_cast<DWORD>(data.size() * sizeof(wchar_t)) - sizeof(wchar_t);
    if (::RegQueryValueExW(key.Get(), L"PendingFileRenameOperations", nullptr, nullptr,
                           reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS)
        return false;
    for (size_t i = 0; i < size / sizeof(wchar_t); ++i) {
        if (data[i] == L'\0')
            data[i] = L'|';
    }
    return std::wstring(data.data(), size / sizeof(wchar_t)).find(fragment) != std::wstring::npos;
}

class Uninstaller : public testing::Test {
  protected:
    void SetUp() override { ::CoInitialize(nullptr); }
    void TearDown() override { ::CoUninitialize(); }

    void ExpectRecordsGone() {
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kProductKey));
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\Corlanth"));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
        EXPECT_FALSE(Exists(SpecialFolder(CSIDL_PROGRAMS) + kShortcutName));
        EXPECT_FALSE(Exists(SpecialFolder(CSIDL_DESKTOP) + kShortcutName));
    }
};

}  // namespace

TEST_F(Uninstaller, RemovesExactlyWhatTheInstallationWrote) {
    // A folder of its own, and one right below a drive's root (as D:\Vorn).
    for (const std::wstring outside : {L"C:\\Games\\", L"C:\\"}) {
        SCOPED_TRACE(testing::Message() << "below " << outside.size());
        const std::wstring dir = outside + L"Vorn\\";
        ASSERT_NO_FATAL_FAILURE(CopyPackage(dir));
        ASSERT_NO_FATAL_FAILURE(Register(dir));
        ASSERT_TRUE(::GetFileAttributesW((dir + L"bin\\version.txt").c_str()) &
                    FILE_ATTRIBUTE_READONLY);
        const std::vector<std::wstring> before = test::ListFolder(outside);
        Bystanders others(outside);

        EXPECT_EQ(RunUninstaller(dir + L"Uninstaller.exe", dir), 0u);
        EXPECT_TRUE(WaitGone(dir + L"Uninstaller.exe"));
        EXPECT_TRUE(WaitGone(dir)) << "left: " << test::ListFolder(dir).size() << " entries";
        // Its copy goes when it ends, not at the next restart.
        EXPECT_TRUE(CopiesGone()) << TemporaryCopies().size() << " copies left";
        EXPECT_FALSE(DeletionAtRestartNamed(L"vorn-uninstall-"));
        ExpectRecordsGone();
        others.ExpectIntact();
        std::vector<std::wstring> after = test::ListFolder(outside);
        after.erase(std::remove(after.begin(), after.end(), L"keep.txt"), after.end());
        std::vector<std::wstring> expected = before;
        expected.erase(std::remove(expected.begin(), expected.end(), L"Vorn"), expected.end());
        EXPECT_EQ(after, expected);
    }
}

TEST_F(Uninstaller, KeepsFilesThatAreNotThePackagesAndAnotherInstallationsRecords) {
    const std::wstring dir = L"C:\\Games\\Vorn\\";
    ASSERT_NO_FATAL_FAILURE(CopyPackage(dir));
    ASSERT_NO_FATAL_FAILURE(Register(dir));
    ASSERT_TRUE(test::WriteBytes(dir + L"bin\\data\\mine.sav", "saved game"));
    // The product key and the start-menu shortcut now belong to an installation elsewhere.
    ASSERT_TRUE(SetString(HKEY_CURRENT_USER, kProductKey, L"installDir", L"D:\\Elsewhere\\Vorn\\"));
    ASSERT_TRUE(WriteLink(SpecialFolder(CSIDL_PROGRAMS) + kShortcutName,
                          L"D:\\Elsewhere\\Vorn\\vorn.exe", L"D:\\Elsewhere\\Vorn\\"));

    EXPECT_EQ(RunUninstaller(dir + L"Uninstaller.exe", dir), 0u);
    EXPECT_TRUE(WaitGone(dir + L"Uninstaller.exe"));
    EXPECT_EQ(test::ReadBytes(dir + L"bin\\data\\mine.sav"), "saved game");
    EXPECT_EQ(test::ListFolder(dir), std::vector<std::wstring>{L"bin"});
    EXPECT_EQ(test::ListFolder(dir + L"bin"), std::vector<std::wstring>{L"data"});
    EXPECT_EQ(test::ListFolder(dir + L"bin\\data"), std::vector<std::wstring>{L"mine.sav"});
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kProductKey));
    EXPECT_TRUE(Exists(SpecialFolder(CSIDL_PROGRAMS) + kShortcutName));
    EXPECT_FALSE(Exists(SpecialFolder(CSIDL_DESKTOP) + kShortcutName));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
}

// A drive's root, a user's profile, a folder without the package's file list:
// nothing is removed anywhere.
TEST_F(Uninstaller, RefusesAFolderThatLooksWrong) {
    const std::wstring profile = SpecialFolder(CSIDL_PROFILE) + L"\\";
    const std::wstring bare = L"C:\\NoList\\";
    for (const std::wstring& dir : {std::wstring(L"C:\\"), profile, bare}) {
        SCOPED_TRACE(testing::Message() << "folder " << dir.size());
        ASSERT_NO_FATAL_FAILURE(CopyPackage(dir));
        if (dir == bare) {
            ASSERT_TRUE(::DeleteFileW((dir + kManifestName).c_str()));
        }
        ASSERT_NO_FATAL_FAILURE(Register(dir));
        const DWORD expected = dir == bare ? 3u : 2u;
        EXPECT_EQ(RunUninstaller(dir + L"Uninstaller.exe", dir), expected);
        ::Sleep(500);
        for (const wchar_t* f : {L"vorn.exe", L"Uninstaller.exe", L"bin\\data\\x.dat",
                                 L"bin\\version.txt", L"ZizUdir.dat"})
            EXPECT_TRUE(Exists(dir + f)) << f;
        EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kProductKey));
        EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
        EXPECT_TRUE(Exists(SpecialFolder(CSIDL_DESKTOP) + kShortcutName));
        EXPECT_TRUE(Exists(SpecialFolder(CSIDL_PROGRAMS) + kShortcutName));
    }
}

// Prepared outside Wine (links_test.sh): in WORK, Games\Vorn\bin\data is a symbolic
// link to outside\data and Games\Vorn\ZizUdir.dat one to outside\channel.dat.
TEST_F(Uninstaller, LinksInsideAreNotFollowed) {
    const std::wstring work = test::WideArg("work");
    ASSERT_FALSE(work.empty()) << "--work missing";
    const std::wstring dir = work + L"\\Games\\Vorn\\";
    const std::wstring outside = work + L"\\outside\\";
    ASSERT_TRUE(::GetFileAttributesW((dir + L"bin\\data").c_str()) & FILE_ATTRIBUTE_REPARSE_POINT);
    ASSERT_NO_FATAL_FAILURE(
        CopyPackage(dir));  // bin\data\x.dat lands in outside\data through the link
    ASSERT_NO_FATAL_FAILURE(Register(dir, false));
    ASSERT_EQ(test::ReadBytes(outside + L"channel.dat"), "outside channel");

    EXPECT_EQ(RunUninstaller(dir + L"Uninstaller.exe", dir), 4u);  // some items stayed
    EXPECT_TRUE(WaitGone(dir + L"Uninstaller.exe"));
    EXPECT_EQ(test::ReadBytes(outside + L"data\\mine.txt"), "mine");
    EXPECT_TRUE(Exists(outside + L"data\\x.dat"));
    EXPECT_EQ(test::ReadBytes(outside + L"channel.dat"), "outside channel");
    EXPECT_EQ(test::ListFolder(dir), (std::vector<std::wstring>{L"ZizUdir.dat", L"bin"}));
    EXPECT_EQ(test::ListFolder(dir + L"bin"), std::vector<std::wstring>{L"data"});
    ExpectRecordsGone();
}

TEST(UninstallPieces, FileListTakesOnlyPlainRelativePaths) {
    std::vector<std::wstring> files;
    EXPECT_TRUE(
        ParseManifest("\xEF\xBB\xBFvorn.exe\r\n# note\r\n\r\nbin/data/x.dat\n数据.dat", &files));
    EXPECT_EQ(files, (std::vector<std::wstring>{L"vorn.exe", L"bin\\data\\x.dat", L"数据.dat"}));
    for (const char* bad : {"..\\evil.dll", "bin/../../x", "C:\\Windows\\x", "\\\\host\\share\\x",
                            "/etc/x", "bin//x", "x.dat:stream", "bin\\", "a/./b", "dots..."}) {
        EXPECT_FALSE(ParseManifest(std::string("vorn.exe\r\n") + bad + "\r\n", &files)) << bad;
    }
    EXPECT_FALSE(ParseManifest("\r\n# nothing\r\n", &files));
}

TEST(UninstallPieces, FolderChecks) {
    EXPECT_EQ(CheckFolder(L"C:\\"), FolderVerdict::Root);
    EXPECT_EQ(CheckFolder(L"C:"), FolderVerdict::Root);
    EXPECT_EQ(CheckFolder(L"D:\\Games\\.."), FolderVerdict::Root);
    EXPECT_EQ(CheckFolder(L"\\\\server\\share"), FolderVerdict::Root);
    EXPECT_EQ(CheckFolder(SpecialFolder(CSIDL_WINDOWS)), FolderVerdict::SystemFolder);
    EXPECT_EQ(CheckFolder(L"C:\\users"), FolderVerdict::SystemFolder);  // holds the profiles
    EXPECT_EQ(CheckFolder(SpecialFolder(CSIDL_DESKTOPDIRECTORY) + L"\\"),
              FolderVerdict::SystemFolder);
    EXPECT_EQ(CheckFolder(L"C:\\Games\\Vorn\\"), FolderVerdict::Ok);
    EXPECT_EQ(CheckFolder(SpecialFolder(CSIDL_PROGRAM_FILES) + L"\\Vorn"), FolderVerdict::Ok);
    EXPECT_EQ(CheckFolder(L"\\\\server\\share\\Vorn"), FolderVerdict::Ok);
}

TEST(UninstallPieces, FoldersDeepestFirstAndSameFolder) {
    EXPECT_EQ(FoldersOf({L"a\\b\\c.dat", L"a\\d.dat", L"e.dat"}),
              (std::vector<std::wstring>{L"a\\b", L"a"}));
    EXPECT_TRUE(SameFolder(L"C:\\Games\\Vorn\\", L"c:/games/VORN"));
    EXPECT_FALSE(SameFolder(L"C:\\Games\\Vorn\\", L"C:\\Games\\Vorn2"));
    EXPECT_EQ(FolderOfFile(L"\"C:\\Games\\Vorn\\Uninstaller.exe\""), L"C:\\Games\\Vorn\\");
    EXPECT_EQ(FolderOfFile(L"Uninstaller.exe"), L"");
}
