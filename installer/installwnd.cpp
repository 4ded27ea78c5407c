#define VORN_LOG_SOURCE L"installer\\installer\\installwnd"
#include "installer/installwnd.h"

#include <shellapi.h>
#include <shlobj.h>

#include <system_error>

#include "installer/buildconfig.h"
#include "installer/httpinstallinfo.h"
#include "installer/installerreportdata.h"
#include "installer/messageinfobox.h"
#include "installer/uihelp.h"
#include "util/logger.h"
#include "util/path_util.h"
#include "util/string_util.h"

using TavroLib::CControlUI;
using TavroLib::CLabelUI;
using TavroLib::COptionUI;
using TavroLib::MakeDelegate;
using TavroLib::NotifyMsg;

namespace {

const wchar_t kMsgAgreementMissing[] = L"请先勾选同意<<用户协议>>";
const wchar_t kMsgPathEmpty[] = L"路径不可为空，请重新选择安装路径";
const wchar_t kMsgNoSuchDrive[] = L"安装盘符不存在，请重新选择安装路径";
const wchar_t kMsgDriveRoot[] = L"安装路径不正确，请勿安装在磁盘根目录";
const wchar_t kMsgNoSpace[] = L"安装盘符空间不足，请重新选择安装路径";
const wchar_t kBrowseTitle[] = L"选择加速器安装目录";
const wchar_t kDefaultFolder[] = L"\\ProgramFiles\\Vorn";

constexpr DWORD kWhite = 0x00FFFFFF;
constexpr DWORD kLinkCyan = 0x0026D4FD;

bool IsNotification(void* param, const wchar_t* type) {
    const auto* msg = static_cast<const NotifyMsg*>(param);
    return msg != nullptr && msg->type == type;
}

void Report(int32_t eventType, int32_t eventRet, int32_t eventFrom, const char* eventMsg) {
    // Synchronous; its outcome changes nothing here.
    CInstallerReportData::Instance()->ReportData(eventType, eventRet, eventFrom, eventMsg);
}

// The shell allocates the item list; the task allocator frees it.
struct ItemList {
    explicit ItemList(PIDLIST_ABSOLUTE p) : pidl(p) {}
    ~ItemList() { ::CoTaskMemFree(pidl); }
    ItemList(const ItemList&) = delete;
    ItemList& operator=(const ItemList&) = delete;
    PIDLIST_ABSOLUTE pidl;
};

// Where each control goes in one layout state; hidden or untouched entries
// keep what they have.
struct ControlState {
    const wchar_t* name;
    bool setVisible;
    bool visible;
    bool setPos;
    RECT pos;
    bool setColour;
    DWORD colour;
};

// In the order in which the page applies them.
const ControlState kCollapsed[] = {
    {L"expand", true, true, false, {}, false, 0},
    {L"reduce", true, false, true, {740, 468, 800, 488}, false, 0},
    {L"path_btn", true, false, false, {}, false, 0},
    {L"path_edit", true, false, false, {}, false, 0},
    {L"option", false, false, true, {21, 463, 35, 477}, false, 0},
    {L"protocol", false, false, true, {116, 458, 200, 480}, false, 0},
    {L"label", false, false, true, {40, 458, 120, 480}, true, kWhite},
};
const ControlState kExpanded[] = {
    {L"expand", true, false, false, {}, false, 0},
    {L"reduce", true, true, true, {740, 556, 800, 576}, true, kWhite},
    {L"path_btn", true, true, false, {}, false, 0},
    {L"path_edit", true, true, false, {}, false, 0},
    {L"option", false, false, true, {21, 551, 35, 565}, false, 0},
    {L"protocol", false, false, true, {116, 546, 200, 568}, true, kLinkCyan},
    {L"label", false, false, true, {40, 546, 120, 568}, true, kWhite},
};

void SetTextColour(CControlUI* control, DWORD colour) {
    if (auto* text = dynamic_cast<CLabelUI*>(control)) {
        text->SetTextColor(colour);
        text->Invalidate();
    }
}

}  // namespace

CInstallWnd::CInstallWnd() = default;

CInstallWnd::~CInstallWnd() {
    // Normally joined when the native window went; a window object dropped
    // without that must not leave a running thread behind.
    if (m_searchThread.joinable())
        m_searchThread.join();
}

const wchar_t* CInstallWnd::GetWindowClassName() const {
    return L"InstallWndUI";
}

void CInstallWnd::OnFinalMessage(HWND /*hWnd*/) {
    if (m_searchThread.joinable())
        m_searchThread.join();
}

std::wstring CInstallWnd::GetSkinFile() {
    return L"InstallWnd.xml";
}

LRESULT CInstallWnd::ResponseDefaultKeyEvent(WPARAM /*wParam*/) {
    return 0;
}

void CInstallWnd::InitWindow() {
    if (CControlUI* install = FindControl(L"install")) {
        install->OnNotify += MakeDelegate(this, &CInstallWnd::OnInstallClick);
        install->OnNotify += MakeDelegate(this, &CInstallerWindow::RecordWindowRect);
    }
    if (CControlUI* expand = FindControl(L"expand")) {
        expand->OnNotify += MakeDelegate(this, &CInstallWnd::OnExpandClick);
        expand->SetVisible(true);
        SetTextColour(expand, kWhite);
    }
    if (CControlUI* reduce = FindControl(L"reduce")) {
        reduce->OnNotify += MakeDelegate(this, &CInstallWnd::OnReduceClick);
        reduce->SetVisible(false);
    }
    if (CControlUI* browse = FindControl(L"path_btn")) {
        browse->OnNotify += MakeDelegate(this, &CInstallWnd::OnBrowseClick);
        browse->SetVisible(false);
    }
    if (CControlUI* edit = FindControl(L"path_edit")) {
        edit->SetVisible(false);
        SetTextColour(edit, kWhite);
    }
    if (CControlUI* protocol = FindControl(L"protocol"))
        protocol->OnNotify += MakeDelegate(this, &CInstallWnd::OnAgreementLinkClick);
    if (CControlUI* option = FindControl(L"option"))
        option->OnNotify += MakeDelegate(this, &CInstallWnd::OnAgreementSelectChanged);

    try {
        m_searchThread = std::thread(&CInstallWnd::SearchDefaultInstallDir, this);
    } catch (const std::system_error&) {
        // The page works without a proposal; the user types or browses one.
        LOG_ERROR(L"Start default folder search failed");
    }
    Report(2, 1, 1, "Install Page Init");
}

void CInstallWnd::SearchDefaultInstallDir() {
    const std::wstring proposal = ProposeDefaultInstallDir();
    PostUITask(
        [proposal](TavroLib::CWindowWnd* self) {
            static_cast<CInstallWnd*>(self)->ApplyDefaultInstallDir(proposal);
        },
        "SetDefaultInstallDir");
}

void CInstallWnd::ApplyDefaultInstallDir(const std::wstring& proposal) {
    CControlUI* edit = FindControl(L"path_edit");
    if (edit != nullptr && edit->GetText().empty())
        edit->SetText(proposal);
}

std::wstring CInstallWnd::ProposeDefaultInstallDir() {
    uint64_t bestMiB = 0;
    std::string bestRoot;
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        const char root[] = {letter, ':', '\0'};
        if (::GetDriveTypeA(root) != DRIVE_FIXED)
            continue;
        ULARGE_INTEGER available{};
        if (!::GetDiskFreeSpaceExA(root, &available, nullptr, nullptr))
            continue;
        const uint64_t mib = available.QuadPart >> 20;
        if (mib > bestMiB) {
            bestMiB = mib;
            bestRoot = root;
        }
    }
    return vorn::AnsiToWide(bestRoot) + kDefaultFolder;
}

std::wstring CInstallWnd::AgreementAddress() {
    return L"https://" VORN_HOST_AGREEMENT L"/terms/pc/pop_agreement.html";
}

bool CInstallWnd::HasRoomForPackage(uint64_t volumeFreeBytes, int64_t packageBytes) {
    const uint64_t freeMiB = (volumeFreeBytes >> 30) * 1024;
    const uint64_t needMiB = packageBytes > 0 ? static_cast<uint64_t>(packageBytes) >> 20 : 0;
    return freeMiB >= needMiB;
}

bool CInstallWnd::OnInstallClick(void* param) {
    if (!IsNotification(param, TavroLib::kNotifyClick))
        return true;
    if (!m_agreed) {
        MessageInfoBox::ShowMessage(kMsgAgreementMissing);
        return false;
    }
    CControlUI* edit = FindControl(L"path_edit");
    if (edit == nullptr)
        return false;
    const std::wstring text = edit->GetText();
    if (text.empty()) {
        MessageInfoBox::ShowMessage(kMsgPathEmpty);
        return true;
    }
    const std::wstring drive = text.substr(0, 2);
    if (::GetDriveTypeW(drive.c_str()) == DRIVE_NO_ROOT_DIR) {
        MessageInfoBox::ShowMessage(kMsgNoSuchDrive);
        return true;
    }
    if (vorn::ParentFolder(text).empty()) {
        MessageInfoBox::ShowMessage(kMsgDriveRoot);
        return true;
    }
    // The volume's free bytes, not the caller's share; no figure, no test.
    ULARGE_INTEGER volumeFree{};
    if (::GetDiskFreeSpaceExW(drive.c_str(), nullptr, nullptr, &volumeFree) &&
        !HasRoomForPackage(volumeFree.QuadPart, HttpInstallInfo::Instance()->apkSize)) {
        MessageInfoBox::ShowMessage(kMsgNoSpace);
        return true;
    }
    CUIHelp::Instance()->installDir = vorn::PathJoin(text, L"\\");
    Report(3, 1, 5, "click to installBtn");
    Close(IDOK);
    return true;
}

void CInstallWnd::ApplyLayoutState(bool expanded) {
    RECT rc{};
    if (m_hWnd != nullptr && ::GetWindowRect(m_hWnd, &rc)) {
        const TavroLib::DpiScale& scale = m_paintManager.GetScale();
        ::MoveWindow(m_hWnd, rc.left, rc.top, scale.ToDevice(kWidth),
                     scale.ToDevice(expanded ? kExpandedHeight : kCollapsedHeight), TRUE);
    }
    for (const ControlState& s : expanded ? kExpanded : kCollapsed) {
        CControlUI* control = FindControl(s.name);
        if (control == nullptr)
            continue;
        if (s.setVisible)
            control->SetVisible(s.visible);
        if (s.setPos)
            control->SetPos(s.pos.left, s.pos.top, s.pos.right, s.pos.bottom);
        if (s.setColour)
            SetTextColour(control, s.colour);
    }
}

bool CInstallWnd::OnExpandClick(void* param) {
    if (IsNotification(param, TavroLib::kNotifyClick))
        ApplyLayoutState(true);
    return true;
}

bool CInstallWnd::OnReduceClick(void* param) {
    if (IsNotification(param, TavroLib::kNotifyClick))
        ApplyLayoutState(false);
    return true;
}

bool CInstallWnd::OnBrowseClick(void* param) {
    if (!IsNotification(param, TavroLib::kNotifyClick))
        return true;
    wchar_t displayName[MAX_PATH] = {};
    BROWSEINFOW info{};
    info.hwndOwner = m_hWnd;
    info.pidlRoot = nullptr;
    info.pszDisplayName = displayName;
    info.lpszTitle = kBrowseTitle;
    info.ulFlags = BIF_NEWDIALOGSTYLE;
    info.lpfn = nullptr;
    const ItemList chosen(::SHBrowseForFolderW(&info));
    wchar_t path[MAX_PATH] = {};
    // No list when cancelled; no path for a virtual folder such as the computer.
    if (chosen.pidl != nullptr && ::SHGetPathFromIDListW(chosen.pidl, path)) {
        std::wstring text = path;
        if (text.empty() || text.back() != L'\\')
            text += L'\\';
        text += L"Vorn";
        if (CControlUI* edit = FindControl(L"path_edit"))
            edit->SetText(text);
    }
    Report(3, 1, 6, "click path_btn");
    return true;
}

bool CInstallWnd::OnAgreementLinkClick(void* param) {
    if (!IsNotification(param, TavroLib::kNotifyClick))
        return true;
    const std::wstring address = AgreementAddress();
    ::ShellExecuteW(nullptr, L"open", address.c_str(), nullptr, nullptr, SW_SHOW);
    Report(3, 1, 3, "turn to protocol");
    return true;
}

bool CInstallWnd::OnAgreementSelectChanged(void* param) {
    if (!IsNotification(param, TavroLib::kNotifySelectChanged))
        return true;
    const auto* option = dynamic_cast<const COptionUI*>(static_cast<NotifyMsg*>(param)->sender);
    if (option == nullptr)
        return true;
    m_agreed = option->IsSelected();
    if (m_agreed)
        Report(3, 1, 4, "Agree to protocol");
    return true;
}
