// The install page on the screen, driven by real clicks and keys: the folder
// it proposes on the drives of the prefix (volumes of exact sizes from
// with-volumes.sh), expanding and collapsing, the agreement, every validation
// message, the folder browser and the agreement page, with the reports it sends
// to vorn-services.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "driver/gui_driver.h"
#include "installer/httpinstallinfo.h"
#include "installer/installwnd.h"
#include "installer/messageinfobox.h"
#include "installer/uihelp.h"
#include "services/servicetest.h"
#include "support/test_support.h"
#include "util/string_util.h"
#include "util/win_handle.h"
#include "windows/window_host.h"
#include "windows/wine_drives.h"

using vorn::gui::WaitFor;
using vorn::test::Json;
using vorn::test::JsonText;
using vorn::test::Services;
using vorn::test::WindowThread;

namespace {

// The volumes (with-volumes.sh) and the drives they become.
struct DriveMap {
    wchar_t letter;
    const char* volume;
    UINT type;
};
const DriveMap kDrives[] = {
    {L'D', "small", DRIVE_FIXED},     // 0.9 GiB: before K, but less room
    {L'K', "big", DRIVE_FIXED},       // 500 GiB: the most room of the fixed drives
    {L'L', "big", DRIVE_FIXED},       // the same volume: a tie, K stays
    {L'N', "huge", DRIVE_REMOVABLE},  // 900 GiB, but removable: never proposed
    {L'O', "one", DRIVE_FIXED},       // 1.0 GiB
    {L'R', "one", DRIVE_REMOTE},      // a network drive
    {L'T', "two", DRIVE_FIXED},       // 2 GiB
};
const wchar_t kProposal[] = L"K:\\ProgramFiles\\Vorn";

constexpr int64_t kMiB = 1024 * 1024;
constexpr int64_t kGiB = 1024 * kMiB;
constexpr uint32_t kWindowBack = 0x0B0919;

const wchar_t kMsgAgreementMissing[] = L"请先勾选同意<<用户协议>>";
const wchar_t kMsgPathEmpty[] = L"路径不可为空，请重新选择安装路径";
const wchar_t kMsgNoSuchDrive[] = L"安装盘符不存在，请重新选择安装路径";
const wchar_t kMsgDriveRoot[] = L"安装路径不正确，请勿安装在磁盘根目录";
const wchar_t kMsgNoSpace[] = L"安装盘符空间不足，请重新选择安装路径";

constexpr POINT kMessageOk{250, 164};

std::wstring Backslashes(std::wstring p) {
    for (auto& c : p) {
        if (c == L'/')
            c = L'\\';
    }
    return p;
}

struct Event {
    int type = -1, ret = -1, from = -1;
    std::string msg;
    bool operator==(const Event& o) const {
        return type == o.type && ret == o.ret && from == o.from && msg == o.msg;
    }
};
std::ostream& operator<<(std::ostream& os, const Event& e) {
    return os << "{" << e.type << "," << e.ret << "," << e.from << ",\"" << e.msg << "\"}";
}

int Number(const cJSON* object, const char* name) {
    const cJSON* item = cJSON_GetObjectItemCaseSensitive(object, name);
    return cJSON_IsNumber(item) ? item->valueint : -1;
}

// What one control shows, read on the window's thread.
struct ControlView {
    bool found = false;
    bool visible = false;
    RECT pos{};
    DWORD textColour = 0;
    std::wstring text;
};

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string Show(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
           "," + std::to_string(r.bottom);
}

BOOL CALLBACK FindDialog(HWND hwnd, LPARAM lp) {
    wchar_t cls[64] = {};
    ::GetClassNameW(hwnd, cls, 64);
    if (std::wstring(cls) == L"#32770" && ::IsWindowVisible(hwnd)) {
        *reinterpret_cast<HWND*>(lp) = hwnd;
        return FALSE;
    }
    return TRUE;
}

class InstallPage : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        const std::string volumes = vorn::test::Arg("volumes");
        for (const DriveMap& d : kDrives) {
            drivesMapped_ = !volumes.empty() &&
                            vorn::test::MapWineDrive(d.letter, volumes + "/" + d.volume, d.type);
            if (!drivesMapped_)
                return;
        }
    }

    void SetUp() override {
        ASSERT_TRUE(Services::Available()) << "run through with-services.sh";
        ASSERT_TRUE(drivesMapped_) << "run through with-volumes.sh, with --volumes=DIR";
        ASSERT_TRUE(Services::ClearFaults());
        ASSERT_TRUE(log_.InstallCa());
        reportsFrom_ = Services::RecordCount(L"reports.jsonl");
        urls_ = log_.Temp().File(L"urls.txt");
        ASSERT_TRUE(::SetEnvironmentVariableW(L"VORN_URL_LOG", urls_.c_str()));
        ASSERT_TRUE(vorn::gui::RegisterUrlRecorder(Backslashes(vorn::test::WideArg("recorder"))));
        HttpInstallInfo::Instance()->apkSize = 10 * kMiB;
        CUIHelp::Instance()->installDir = L"C:\\Program Files\\Vorn";
        CUIHelp::Instance()->rcWindow = kUntouched;
    }
    void TearDown() override {
        page_.reset();
        ::SetEnvironmentVariableW(L"VORN_URL_LOG", nullptr);
    }

    // Opens the page as the window sequence does and waits for its proposal.
    void Open() {
        page_ = std::make_unique<WindowThread>([] { return std::make_unique<CInstallWnd>(); });
        hwnd_ = vorn::gui::WaitWindow(L"InstallWndUI", 15000);
        ASSERT_NE(hwnd_, nullptr);
        ASSERT_EQ(hwnd_, page_->Hwnd());
        ASSERT_TRUE(WaitFor([&] { return !View(L"path_edit").text.empty(); }, 10000))
            << "no folder proposed";
    }
    CInstallWnd* Page() { return static_cast<CInstallWnd*>(page_->Window()); }

    // Runs fn on the page's thread and waits for it.
    bool OnPage(const std::function<void(CInstallWnd*)>& fn) {
        vorn::UniqueHandle done(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        HANDLE event = done.Get();
        CInstallWnd* page = Page();
        if (!page->PostUITask(
                [fn, page, event](TavroLib::CWindowWnd*) {
                    fn(page);
                    ::SetEvent(event);
                },
                "TestProbe")) {
            return false;
        }
        return ::WaitForSingleObject(event, 10000) == WAIT_OBJECT_0;
    }
    ControlView View(const wchar_t* name) {
        ControlView v;
        OnPage([&](CInstallWnd* page) {
            TavroLib::CControlUI* c = page->FindControl(name);
            if (c == nullptr)
                return;
            v.found = true;
            v.visible = c->IsVisible();
            v.pos = c->GetPos();
            v.text = c->GetText();
            if (auto* label = dynamic_cast<TavroLib::CLabelUI*>(c))
                v.textColour = label->GetTextColor();
        });
        return v;
    }

    // A real click in the middle of the control, where it is now.
    void ClickControl(const wchar_t* name) {
        const ControlView v = View(name);
        ASSERT_TRUE(v.found && v.visible) << "cannot click " << vorn::WideToUtf8(name);
        ASSERT_TRUE(vorn::gui::Click(hwnd_, (v.pos.left + v.pos.right) / 2,
                                     (v.pos.top + v.pos.bottom) / 2));
    }
    // Slower than a double click, so that two calls are two clicks.
    void SlowClickControl(const wchar_t* name) {
        ClickControl(name);
        ::Sleep(::GetDoubleClickTime() + 100);
    }

    void Expand() {
        if (View(L"path_edit").visible)
            return;
        SlowClickControl(L"expand");
        ASSERT_TRUE(WaitFor([&] { return View(L"path_edit").visible; }, 5000));
    }
    // Types into the folder edit as a person would: open it, erase, type.
    void TypeFolder(const std::wstring& text) {
        Expand();
        // A message closed last leaves no window active: keys would go nowhere.
        ASSERT_TRUE(vorn::gui::Activate(hwnd_));
        SlowClickControl(L"path_edit");
        TavroLib::CEditUI* edit = nullptr;
        ASSERT_TRUE(WaitFor(
            [&] {
                bool open = false;
                OnPage([&](CInstallWnd* page) {
                    edit = static_cast<TavroLib::CEditUI*>(page->FindControl(L"path_edit"));
                    open = edit->GetNativeWindow() != nullptr;
                });
                return open;
            },
            5000))
            << "the edit did not open";
        const size_t length = View(L"path_edit").text.size();
        ASSERT_TRUE(vorn::gui::Key(hwnd_, L"end"));
        for (size_t i = 0; i < length; ++i) {
            ASSERT_TRUE(vorn::gui::Key(hwnd_, L"backspace"));
        }
        if (!text.empty()) {
            ASSERT_TRUE(vorn::gui::TypeText(hwnd_, text));
        }
        ASSERT_TRUE(WaitFor([&] { return View(L"path_edit").text == text; }, 5000))
            << "typed text did not arrive";
    }
    void Agree() {
        ASSERT_TRUE(WaitFor([&] { return Events().size() >= 1; }, 10000));  // the init report
        const size_t before = Events().size();
        SlowClickControl(L"option");
        ASSERT_TRUE(WaitFor([&] { return Events().size() > before; }, 10000)) << "not agreed";
    }

    // The message box that the page shows, its text, and its OK button.
    HWND WaitMessage() { return vorn::gui::WaitWindow(L"MessageInfoBoxUI", 10000); }
    static std::wstring MessageText(HWND box) {
        // The toolkit keeps the window object in the window's user data.
        auto* object =
            reinterpret_cast<TavroLib::CWindowWnd*>(::GetWindowLongPtrW(box, GWLP_USERDATA));
        auto* info = dynamic_cast<MessageInfoBox*>(object);
        return info != nullptr ? info->Message() : std::wstring(L"(not a MessageInfoBox)");
    }
    void CloseMessage(HWND box) {
        ASSERT_TRUE(vorn::gui::Click(box, kMessageOk.x, kMessageOk.y));
        ASSERT_TRUE(vorn::gui::WaitWindowGone(box, 10000)) << "the message stayed";
    }
    // Clicks install, expects the message, closes it; the page stays and sent
    // no install report.
    void ExpectRefused(const std::wstring& message) {
        SlowClickControl(L"install");
        HWND box = WaitMessage();
        ASSERT_NE(box, nullptr) << "no message for " << vorn::WideToUtf8(message);
        EXPECT_EQ(MessageText(box), message);
        EXPECT_TRUE(::IsWindowEnabled(hwnd_)) << "the page is disabled behind the message";
        CloseMessage(box);
        ::Sleep(200);
        EXPECT_TRUE(page_->IsOpen());
        EXPECT_EQ(Count("click to installBtn"), 0u);
        EXPECT_EQ(CUIHelp::Instance()->installDir, L"C:\\Program Files\\Vorn");
    }
    // Clicks install and expects the page to close with 1 and store installDir.
    void ExpectAccepted(const std::wstring& installDir) {
        RECT rc{};
        ::GetWindowRect(hwnd_, &rc);
        ClickControl(L"install");
        UINT code = 0;
        ASSERT_TRUE(page_->WaitClosed(10000, code)) << "the page did not close";
        EXPECT_EQ(code, static_cast<UINT>(IDOK));
        EXPECT_EQ(CUIHelp::Instance()->installDir, installDir);
        EXPECT_TRUE(SameRect(CUIHelp::Instance()->rcWindow, rc));
        EXPECT_EQ(Count("click to installBtn"), 1u);
        EXPECT_EQ(Events().back(), (Event{3, 1, 5, "click to installBtn"}));
    }

    std::vector<Event> Events() {
        std::vector<Event> events;
        for (const Json& r : Services::Records(L"reports.jsonl", reportsFrom_)) {
            const cJSON* body = cJSON_GetObjectItem(r.get(), "body_json");
            events.push_back(Event{Number(body, "event_type"), Number(body, "event_ret"),
                                   Number(body, "event_from"), JsonText(body, "event_msg")});
        }
        return events;
    }
    size_t Count(const std::string& msg) {
        size_t n = 0;
        for (const Event& e : Events())
            n += e.msg == msg;
        return n;
    }

    void Screenshot(const wchar_t* name, const RECT& screenRect) {
        vorn::gui::Capture shot;
        ASSERT_TRUE(vorn::gui::CaptureScreenRect(screenRect, shot));
        const std::wstring out = vorn::test::WideArg("out");
        ASSERT_FALSE(out.empty());
        EXPECT_TRUE(shot.SavePng(out + L"\\" + name + L".png"));
    }
    RECT WindowRect() {
        RECT rc{};
        ::GetWindowRect(hwnd_, &rc);
        return rc;
    }

    static constexpr RECT kUntouched{-7, -7, -7, -7};
    static inline bool drivesMapped_ = false;
    vorn::test::LogCapture log_;
    size_t reportsFrom_ = 0;
    std::wstring urls_;
    std::unique_ptr<WindowThread> page_;
    HWND hwnd_ = nullptr;
};

void ExpectState(const ControlView& v, bool visible, const char* what) {
    EXPECT_TRUE(v.found) << what;
    EXPECT_EQ(v.visible, visible) << what;
}

}  // namespace

TEST_F(InstallPage, OpensCollapsedWithTheFolderOfTheFixedDriveWithTheMostRoom) {
    ASSERT_EQ(CInstallWnd::ProposeDefaultInstallDir(), kProposal);
    Open();
    EXPECT_EQ(View(L"path_edit").text, kProposal);
    EXPECT_EQ(vorn::gui::WindowTexts(hwnd_).at(0), L"Velto加速器安装程序");
    const RECT rc = WindowRect();
    EXPECT_EQ(rc.right - rc.left, 800);
    EXPECT_EQ(rc.bottom - rc.top, 500);

    ExpectState(View(L"expand"), true, "expand");
    ExpectState(View(L"reduce"), false, "reduce");
    ExpectState(View(L"path_btn"), false, "path_btn");
    ExpectState(View(L"path_edit"), false, "path_edit");
    EXPECT_EQ(View(L"expand").textColour, 0x00FFFFFFu);
    EXPECT_EQ(View(L"path_edit").textColour, 0x00FFFFFFu);
    EXPECT_EQ(View(L"reduce").textColour, 0xFF5A5A5Au);  // the layout's until expanded

    ASSERT_TRUE(WaitFor([&] { return !Events().empty(); }, 10000));
    EXPECT_EQ(Events(), (std::vector<Event>{{2, 1, 1, "Install Page Init"}}));

    ::Sleep(500);
    Screenshot(L"InstallPage-collapsed", WindowRect());
    vorn::gui::Capture shot;
    ASSERT_TRUE(vorn::gui::CaptureWindow(hwnd_, shot));
    EXPECT_EQ(shot.At(400, 495), kWindowBack) << "the hidden edit shows";
    EXPECT_EQ(shot.At(700, 495), kWindowBack) << "the hidden browse button shows";

    // Enter and Escape arrive and do nothing.
    vorn::test::KeyWatch keys(page_->ThreadId());
    ASSERT_TRUE(vorn::gui::Key(hwnd_, L"enter"));
    ASSERT_TRUE(vorn::gui::Key(hwnd_, L"esc"));
    ASSERT_TRUE(WaitFor([&] { return keys.Count(VK_ESCAPE) > 0; }, 3000));
    EXPECT_EQ(keys.Count(VK_RETURN), 1);
    ::Sleep(300);
    EXPECT_TRUE(page_->IsOpen());

    // The close button cancels: 8, nothing stored, nothing more reported.
    ClickControl(L"closebtn");
    UINT code = 0;
    ASSERT_TRUE(page_->WaitClosed(10000, code));
    EXPECT_EQ(code, static_cast<UINT>(IDCLOSE));
    EXPECT_EQ(Events().size(), 1u);
    EXPECT_EQ(CUIHelp::Instance()->installDir, L"C:\\Program Files\\Vorn");
    EXPECT_TRUE(SameRect(CUIHelp::Instance()->rcWindow, kUntouched));
}

TEST_F(InstallPage, ExpandAndCollapseResizeInPlaceAndMoveTheControls) {
    Open();
    const RECT before = WindowRect();

    SlowClickControl(L"expand");
    ASSERT_TRUE(WaitFor([&] { return View(L"path_edit").visible; }, 5000));
    RECT rc = WindowRect();
    EXPECT_EQ(rc.left, before.left);
    EXPECT_EQ(rc.top, before.top);
    EXPECT_EQ(rc.right - rc.left, 800);
    EXPECT_EQ(rc.bottom - rc.top, 588);
    ExpectState(View(L"expand"), false, "expand");
    ControlView reduce = View(L"reduce");
    ExpectState(reduce, true, "reduce");
    EXPECT_EQ(Show(reduce.pos), "740,556,800,576");
    EXPECT_EQ(reduce.textColour, 0x00FFFFFFu);
    ExpectState(View(L"path_btn"), true, "path_btn");
    EXPECT_EQ(Show(View(L"path_btn").pos), "665,470,754,506");
    ExpectState(View(L"path_edit"), true, "path_edit");
    EXPECT_EQ(Show(View(L"path_edit").pos), "60,470,655,506");
    EXPECT_EQ(Show(View(L"option").pos), "21,551,35,565");
    EXPECT_EQ(Show(View(L"protocol").pos), "116,546,200,568");
    EXPECT_EQ(View(L"protocol").textColour, 0x0026D4FDu);
    EXPECT_EQ(Show(View(L"label").pos), "40,546,120,568");
    EXPECT_EQ(View(L"label").textColour, 0x00FFFFFFu);

    ::Sleep(500);
    Screenshot(L"InstallPage-expanded", rc);
    vorn::gui::Capture shot;
    ASSERT_TRUE(vorn::gui::CaptureWindow(hwnd_, shot));
    // The grown part is the page's, down to its last rows.
    EXPECT_EQ(shot.At(400, 540), kWindowBack);
    EXPECT_EQ(shot.At(300, 586), kWindowBack);
    EXPECT_EQ(shot.At(20, 586), kWindowBack);
    // The edit's border and the proposal in white inside it.
    EXPECT_TRUE(vorn::gui::ColourNear(shot.At(300, 470), 0x4492DF, 24)) << "no edit border";
    bool white = false;
    for (int x = 66; x < 260 && !white; ++x) {
        for (int y = 478; y < 500 && !white; ++y) {
            const uint32_t p = shot.At(x, y);
            white =
                vorn::gui::Red(p) > 0xC0 && vorn::gui::Green(p) > 0xC0 && vorn::gui::Blue(p) > 0xC0;
        }
    }
    EXPECT_TRUE(white) << "the proposed folder is not drawn in white";

    // The option works at its new place.
    const size_t reportsBefore = Events().size();
    SlowClickControl(L"option");
    ASSERT_TRUE(WaitFor([&] { return Events().size() > reportsBefore; }, 10000));
    EXPECT_EQ(Events().back(), (Event{3, 1, 4, "Agree to protocol"}));

    SlowClickControl(L"reduce");
    ASSERT_TRUE(WaitFor([&] { return !View(L"path_edit").visible; }, 5000));
    rc = WindowRect();
    EXPECT_EQ(rc.left, before.left);
    EXPECT_EQ(rc.top, before.top);
    EXPECT_EQ(rc.right - rc.left, 800);
    EXPECT_EQ(rc.bottom - rc.top, 500);
    ExpectState(View(L"expand"), true, "expand");
    reduce = View(L"reduce");
    ExpectState(reduce, false, "reduce");
    EXPECT_EQ(Show(reduce.pos), "740,468,800,488");
    ExpectState(View(L"path_btn"), false, "path_btn");
    ExpectState(View(L"path_edit"), false, "path_edit");
    EXPECT_EQ(Show(View(L"option").pos), "21,463,35,477");
    EXPECT_EQ(Show(View(L"protocol").pos), "116,458,200,480");
    EXPECT_EQ(Show(View(L"label").pos), "40,458,120,480");
    EXPECT_EQ(View(L"label").textColour, 0x00FFFFFFu);
    // The folder stays while hidden, and the collapsed page installs to it.
    EXPECT_EQ(View(L"path_edit").text, kProposal);
    ExpectAccepted(L"K:\\ProgramFiles\\Vorn\\");
}

TEST_F(InstallPage, AgreementReportedWhenTickedOnly) {
    Open();
    ASSERT_TRUE(WaitFor([&] { return Events().size() == 1; }, 10000));
    SlowClickControl(L"option");
    ASSERT_TRUE(WaitFor([&] { return Events().size() == 2; }, 10000));
    SlowClickControl(L"option");  // unticked: nothing
    ::Sleep(800);
    EXPECT_EQ(Events().size(), 2u);
    SlowClickControl(L"option");
    ASSERT_TRUE(WaitFor([&] { return Events().size() == 3; }, 10000));
    const std::vector<Event> expected = {{2, 1, 1, "Install Page Init"},
                                         {3, 1, 4, "Agree to protocol"},
                                         {3, 1, 4, "Agree to protocol"}};
    EXPECT_EQ(Events(), expected);
}

TEST_F(InstallPage, WithoutTheAgreementNothingHappensButTheMessage) {
    Open();
    ExpectRefused(kMsgAgreementMissing);
    // The agreement test stops the click before the position is recorded.
    EXPECT_TRUE(SameRect(CUIHelp::Instance()->rcWindow, kUntouched));
    // Ticked and unticked again is no agreement either.
    SlowClickControl(L"option");
    SlowClickControl(L"option");
    ExpectRefused(kMsgAgreementMissing);
}

TEST_F(InstallPage, EmptyFolderRefusedButPositionRecorded) {
    Open();
    Agree();
    TypeFolder(L"");
    ExpectRefused(kMsgPathEmpty);
    EXPECT_TRUE(SameRect(CUIHelp::Instance()->rcWindow, WindowRect()));
}

TEST_F(InstallPage, MissingDriveRefused) {
    Open();
    Agree();
    TypeFolder(L"Q:\\Games");
    ExpectRefused(kMsgNoSuchDrive);
    TypeFolder(L"Games\\Vorn");  // no drive letter: "Ga" is tested as one
    ExpectRefused(kMsgNoSuchDrive);
}

TEST_F(InstallPage, DriveRootRefused) {
    Open();
    Agree();
    for (const wchar_t* root : {L"K:\\", L"K:", L"K:\\\\", L"K:/"}) {
        TypeFolder(root);
        ExpectRefused(kMsgDriveRoot);
    }
}

TEST_F(InstallPage, FreeSpaceCountsWholeGiB) {
    Open();
    Agree();
    // 0.9 GiB free counts as nothing: a 10 MiB package does not fit.
    TypeFolder(L"D:\\Vorn");
    ExpectRefused(kMsgNoSpace);
    // 1.0 GiB holds it.
    TypeFolder(L"O:\\Vorn");
    ExpectAccepted(L"O:\\Vorn\\");
}

TEST_F(InstallPage, PackageBelowOneMiBNeedsNoSpace) {
    HttpInstallInfo::Instance()->apkSize = kMiB - 1;
    Open();
    Agree();
    TypeFolder(L"D:\\Vorn");
    ExpectAccepted(L"D:\\Vorn\\");
}

// Sizes of 2 GiB and more are compared in full, not by their low 32 bits.
TEST_F(InstallPage, PackagesOfTwoGiBAndMoreComparedInFull) {
    Open();
    Agree();
    TypeFolder(L"T:\\Vorn");  // a 2 GiB volume
    HttpInstallInfo::Instance()->apkSize = 2 * kGiB + kMiB;
    ExpectRefused(kMsgNoSpace);
    HttpInstallInfo::Instance()->apkSize = 4 * kGiB + 10 * kMiB;  // low 32 bits: 10 MiB
    ExpectRefused(kMsgNoSpace);
    HttpInstallInfo::Instance()->apkSize = 2 * kGiB;
    ExpectAccepted(L"T:\\Vorn\\");
}

TEST_F(InstallPage, ValidFolderStoredWithOneTrailingSeparator) {
    const struct {
        const wchar_t* typed;
        const wchar_t* stored;
    } cases[] = {
        {L"K:\\Games", L"K:\\Games\\"}, {L"K:\\Games\\", L"K:\\Games\\"},
        {L"K:/Games", L"K:/Games\\"},   {L"N:\\Games", L"N:\\Games\\"},  // removable drives pass
        {L"R:\\Vorn", L"R:\\Vorn\\"},                                    // and network drives
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(vorn::WideToUtf8(c.typed));
        reportsFrom_ = Services::RecordCount(L"reports.jsonl");
        CUIHelp::Instance()->installDir = L"C:\\Program Files\\Vorn";
        Open();
        Agree();
        TypeFolder(c.typed);
        ExpectAccepted(c.stored);
        page_.reset();
    }
}

TEST_F(InstallPage, MessagesShowAsTheyLook) {
    Open();
    Agree();
    TypeFolder(L"D:\\Vorn");
    SlowClickControl(L"install");
    HWND box = WaitMessage();
    ASSERT_NE(box, nullptr);
    ::Sleep(500);
    RECT page = WindowRect(), msg{};
    ::GetWindowRect(box, &msg);
    RECT both{};
    ::UnionRect(&both, &page, &msg);
    Screenshot(L"InstallPage-message", both);
    vorn::gui::Capture shot;
    ASSERT_TRUE(vorn::gui::CaptureWindow(box, shot));
    bool white = false;
    for (int y = 80; y < 110 && !white; ++y) {
        for (int x = 60; x < 440 && !white; ++x)
            white = shot.At(x, y) == 0xFFFFFF;
    }
    EXPECT_TRUE(white) << "the message text is not drawn";
    CloseMessage(box);
}

// A valid click made while an earlier click's message is still up closes the
// page from inside that message's loop; the page still ends with 1.
TEST_F(InstallPage, ValidClickWhileAMessageIsUp) {
    Open();
    ASSERT_TRUE(WaitFor([&] { return Events().size() == 1; }, 10000));
    SlowClickControl(L"install");
    HWND box = WaitMessage();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageText(box), kMsgAgreementMissing);
    SlowClickControl(L"option");
    ASSERT_TRUE(WaitFor([&] { return Events().size() == 2; }, 10000));
    const RECT rc = WindowRect();
    ClickControl(L"install");
    ASSERT_TRUE(vorn::gui::WaitWindowGone(hwnd_, 10000)) << "the page stayed";
    EXPECT_TRUE(::IsWindow(box));
    CloseMessage(box);
    UINT code = 0;
    ASSERT_TRUE(page_->WaitClosed(10000, code));
    EXPECT_EQ(code, static_cast<UINT>(IDOK));
    EXPECT_EQ(CUIHelp::Instance()->installDir, L"K:\\ProgramFiles\\Vorn\\");
    EXPECT_TRUE(SameRect(CUIHelp::Instance()->rcWindow, rc));
    EXPECT_EQ(Events().back(), (Event{3, 1, 5, "click to installBtn"}));
}

TEST_F(InstallPage, AgreementLinkOpensTheAgreementPage) {
    Open();
    ASSERT_TRUE(WaitFor([&] { return Events().size() == 1; }, 10000));
    SlowClickControl(L"protocol");
    ASSERT_TRUE(WaitFor([&] { return !vorn::gui::ReadUrlLog(urls_).empty(); }, 15000))
        << "no browser started";
    const std::wstring host = vorn::test::WideArg("agreement-host");
    ASSERT_FALSE(host.empty());
    const std::wstring expected = L"https://" + host + L"/terms/pc/pop_agreement.html";
    EXPECT_EQ(vorn::gui::ReadUrlLog(urls_), std::vector<std::wstring>{expected});
    EXPECT_EQ(CInstallWnd::AgreementAddress(), expected);
    ASSERT_TRUE(WaitFor([&] { return Events().size() == 2; }, 10000));
    EXPECT_EQ(Events().back(), (Event{3, 1, 3, "turn to protocol"}));
    EXPECT_TRUE(page_->IsOpen());
}

TEST_F(InstallPage, BrowseButtonOpensTheFolderBrowser) {
    Open();
    Expand();
    ASSERT_TRUE(WaitFor([&] { return Events().size() == 1; }, 10000));

    // Cancelled: the folder stays, the click is reported all the same.
    SlowClickControl(L"path_btn");
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitFor(
        [&] {
            ::EnumThreadWindows(page_->ThreadId(), FindDialog, reinterpret_cast<LPARAM>(&dialog));
            return dialog != nullptr;
        },
        10000))
        << "no folder browser";
    EXPECT_EQ(::GetWindow(dialog, GW_OWNER), hwnd_);
    EXPECT_FALSE(::IsWindowEnabled(hwnd_)) << "the browser is not modal to the page";
    const auto texts = vorn::gui::WindowTexts(dialog);
    EXPECT_NE(std::find(texts.begin(), texts.end(), L"选择加速器安装目录"), texts.end())
        << "the browser does not show its title";
    ::Sleep(500);
    RECT shotRect{};
    ::GetWindowRect(dialog, &shotRect);
    Screenshot(L"InstallPage-browser", shotRect);
    ASSERT_TRUE(vorn::gui::Key(dialog, L"esc"));
    ASSERT_TRUE(vorn::gui::WaitWindowGone(dialog, 10000));
    ASSERT_TRUE(WaitFor([&] { return Events().size() == 2; }, 10000));
    EXPECT_EQ(Events().back(), (Event{3, 1, 6, "click path_btn"}));
    EXPECT_EQ(View(L"path_edit").text, kProposal);

    // The root folder of drive K, chosen with the mouse: K:\Vorn.
    SlowClickControl(L"path_btn");
    dialog = nullptr;
    ASSERT_TRUE(WaitFor(
        [&] {
            ::EnumThreadWindows(page_->ThreadId(), FindDialog, reinterpret_cast<LPARAM>(&dialog));
            return dialog != nullptr;
        },
        10000));
    HWND tree = ::FindWindowExW(dialog, nullptr, WC_TREEVIEWW, nullptr);
    ASSERT_NE(tree, nullptr);
    // The item whose text contains `part`, below parent; its rectangle in the tree.
    auto findItem = [&](HTREEITEM parent, const std::wstring& part, RECT& where) {
        HTREEITEM item = reinterpret_cast<HTREEITEM>(
            ::SendMessageW(tree, TVM_GETNEXTITEM, parent ? TVGN_CHILD : TVGN_ROOT,
                           reinterpret_cast<LPARAM>(parent)));
        for (; item != nullptr;
             item = reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT,
                                                               reinterpret_cast<LPARAM>(item)))) {
            wchar_t text[MAX_PATH] = {};
            TVITEMW tv{};
            tv.mask = TVIF_TEXT;
            tv.hItem = item;
            tv.pszText = text;
            tv.cchTextMax = MAX_PATH;
            ::SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
            if (std::wstring(text).find(part) != std::wstring::npos) {
                *reinterpret_cast<HTREEITEM*>(&where) = item;
                ::SendMessageW(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&where));
                return item;
            }
        }
        return static_cast<HTREEITEM>(nullptr);
    };
    HTREEITEM desktop =
        reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    ASSERT_NE(desktop, nullptr);
    RECT where{};
    HTREEITEM computer = nullptr;
    for (const wchar_t* name : {L"My Computer", L"Computer", L"我的电脑", L"计算机"}) {
        computer = findItem(desktop, name, where);
        if (computer != nullptr)
            break;
    }
    ASSERT_NE(computer, nullptr) << "no computer in the browser";
    ASSERT_TRUE(vorn::gui::DoubleClick(tree, (where.left + where.right) / 2,
                                       (where.top + where.bottom) / 2));
    HTREEITEM drive = nullptr;
    ASSERT_TRUE(
        WaitFor([&] { return (drive = findItem(computer, L"(K:)", where)) != nullptr; }, 5000))
        << "drive K is not listed";
    ASSERT_TRUE(
        vorn::gui::Click(tree, (where.left + where.right) / 2, (where.top + where.bottom) / 2));
    ASSERT_TRUE(WaitFor(
        [&] {
            return reinterpret_cast<HTREEITEM>(
                       ::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0)) == drive;
        },
        5000))
        << "drive K not selected";
    HWND ok = ::GetDlgItem(dialog, IDOK);
    ASSERT_NE(ok, nullptr);
    RECT okRect{};
    ::GetClientRect(ok, &okRect);
    ASSERT_TRUE(vorn::gui::Click(ok, okRect.right / 2, okRect.bottom / 2));
    ASSERT_TRUE(vorn::gui::WaitWindowGone(dialog, 10000));
    ASSERT_TRUE(WaitFor([&] { return View(L"path_edit").text == L"K:\\Vorn"; }, 5000))
        << vorn::WideToUtf8(View(L"path_edit").text);
    ASSERT_TRUE(WaitFor([&] { return Events().size() == 3; }, 10000));
    EXPECT_EQ(Events().back(), (Event{3, 1, 6, "click path_btn"}));
}

// The search's proposal reaches the edit only while it is empty, also while
// the user is typing in it.
TEST_F(InstallPage, ProposalNeverOverwritesTheUsersFolder) {
    Open();
    TypeFolder(L"K:\\Mine");  // the edit is still open for typing
    ASSERT_TRUE(OnPage([](CInstallWnd* page) { page->ApplyDefaultInstallDir(kProposal); }));
    EXPECT_EQ(View(L"path_edit").text, L"K:\\Mine");
    TypeFolder(L"");
    ASSERT_TRUE(OnPage([](CInstallWnd* page) { page->ApplyDefaultInstallDir(kProposal); }));
    EXPECT_EQ(View(L"path_edit").text, kProposal);
    HWND native = nullptr;
    ASSERT_TRUE(OnPage([&](CInstallWnd* page) {
        native =
            static_cast<TavroLib::CEditUI*>(page->FindControl(L"path_edit"))->GetNativeWindow();
    }));
    ASSERT_NE(native, nullptr);
    EXPECT_EQ(vorn::gui::WindowTexts(native).at(0), kProposal) << "the open edit does not show it";
}

// The rule of the install click on its own: whole GiB free against whole MiB needed.
TEST(InstallPageRule, WholeGiBAgainstWholeMiB) {
    EXPECT_FALSE(CInstallWnd::HasRoomForPackage(kGiB - 1, 10 * kMiB));
    EXPECT_TRUE(CInstallWnd::HasRoomForPackage(kGiB, 1024 * kMiB + kMiB - 1));
    EXPECT_FALSE(CInstallWnd::HasRoomForPackage(kGiB, 1025 * kMiB));
    EXPECT_TRUE(CInstallWnd::HasRoomForPackage(0, kMiB - 1));
    EXPECT_TRUE(CInstallWnd::HasRoomForPackage(0, -5));
    EXPECT_FALSE(CInstallWnd::HasRoomForPackage(3 * kGiB, 4 * kGiB));
    EXPECT_TRUE(CInstallWnd::HasRoomForPackage(1024 * kGiB, 1000 * kGiB));
}
