// Skinned windows on the display: close codes, keys, notifications, the task
// channel, the archive, hit testing, painting, the load-failure exit, and the
// ways without a mouse (keyboard, screen readers).
#include <gtest/gtest.h>
#include <oleacc.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "support/test_support.h"
#include "ui/toolkit.h"
#include "ui/zipresource.h"
#include "ui_test_util.h"
#include "util/com_scope.h"
#include "util/win_handle.h"

using namespace TavroLib;

namespace {

constexpr DWORD kStyle = 0x10CE0000;
constexpr DWORD kExStyle = 0x100;
const wchar_t kTitle[] = L"Velto加速器安装程序";

class TestWnd : public WindowImplBase {
  public:
    const wchar_t* GetWindowClassName() const override { return L"UiCoreTestWindow"; }
    std::wstring GetSkinFolder() override { return L""; }
    std::wstring GetSkinFile() override { return L"TestWnd.xml"; }
    ResourceSource GetResourceType() const override { return ResourceSource::ZipResource; }
    const wchar_t* GetResourceId() const override { return MAKEINTRESOURCEW(102); }
    LRESULT ResponseDefaultKeyEvent(WPARAM wParam) override {
        return keysDoNothing ? 0 : WindowImplBase::ResponseDefaultKeyEvent(wParam);
    }
    void InitWindow() override { ++initCalls; }
    void Notify(NotifyMsg& msg) override {
        if (msg.type == kNotifyClick || msg.type == kNotifySelectChanged)
            log.push_back(L"notify:" + msg.type + L":" +
                          (msg.sender ? msg.sender->GetName() : L""));
        WindowImplBase::Notify(msg);
    }
    void OnFinalMessage(HWND hWnd) override {
        finalCalls++;
        WindowImplBase::OnFinalMessage(hWnd);
    }

    bool First(void* p) {
        auto* m = static_cast<NotifyMsg*>(p);
        if (m->type == kNotifyClick)
            log.push_back(L"first");
        return true;
    }
    bool Stopper(void* p) {
        auto* m = static_cast<NotifyMsg*>(p);
        if (m->type != kNotifyClick)
            return true;
        log.push_back(L"stopper");
        return false;
    }
    bool Never(void* p) {
        if (static_cast<NotifyMsg*>(p)->type == kNotifyClick)
            log.push_back(L"never");
        return true;
    }

    HWND Make() {
        HWND h = Create(nullptr, kTitle, kStyle, kExStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT);
        if (h != nullptr)
            ShowWindow(true);
        return h;
    }
    template <typename T>
    T* Find(const wchar_t* name) {
        return static_cast<T*>(FindControl(name));
    }
    // The control's centre in client pixels (at the window's DPI).
    POINT Centre(const wchar_t* name) {
        const RECT rc = GetPaintManager().GetScale().ToDevice(FindControl(name)->GetPos());
        return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    }
    void Click(const wchar_t* name) {
        const POINT pt = Centre(name);
        ::PostMessageW(m_hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(pt.x, pt.y));
        ::PostMessageW(m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(pt.x, pt.y));
        ::PostMessageW(m_hWnd, WM_LBUTTONUP, 0, MAKELPARAM(pt.x, pt.y));
    }

    bool keysDoNothing = false;
    int initCalls = 0;
    int finalCalls = 0;
    std::vector<std::wstring> log;
};

class UiWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        CPaintManagerUI::SetModule(::GetModuleHandleW(nullptr));
        CPaintManagerUI::SetResourceFolder(L"Z:\\nonexistent\\skin");
    }
};

void PostKey(HWND h, WPARAM vk) {
    ::PostMessageW(h, WM_KEYDOWN, vk, 1);
    ::PostMessageW(h, WM_KEYUP, vk, 0xC0000001);
}

}  // namespace

TEST_F(UiWindow, ResourceFolderGetsATrailingBackslash) {
    CPaintManagerUI::SetResourceFolder(L"C:\\app\\skin");
    EXPECT_EQ(L"C:\\app\\skin\\", CPaintManagerUI::GetResourceFolder());
    CPaintManagerUI::SetResourceFolder(L"C:\\app\\skin/");
    EXPECT_EQ(L"C:\\app\\skin/", CPaintManagerUI::GetResourceFolder());
    EXPECT_FALSE(CPaintManagerUI::GetModuleFolder().empty());
    EXPECT_EQ(L'\\', CPaintManagerUI::GetModuleFolder().back());
}

TEST_F(UiWindow, CreateBuildsTheLayoutAndTheFrameGoes) {
    TestWnd w;
    ASSERT_NE(nullptr, w.Make());
    EXPECT_EQ(1, w.initCalls);
    RECT rc{};
    ::GetWindowRect(w.GetHandle(), &rc);
    EXPECT_EQ(400, rc.right - rc.left);
    EXPECT_EQ(300, rc.bottom - rc.top);
    RECT client{};
    ::GetClientRect(w.GetHandle(), &client);
    EXPECT_EQ(400, client.right);  // no frame
    EXPECT_EQ(0, ::GetWindowLongW(w.GetHandle(), GWL_STYLE) & WS_CAPTION);
    EXPECT_NE(0, ::GetWindowLongW(w.GetHandle(), GWL_STYLE) & WS_CLIPCHILDREN);
    HRGN rgn = ::CreateRectRgn(0, 0, 0, 0);
    EXPECT_NE(ERROR, ::GetWindowRgn(w.GetHandle(), rgn));  // round corners
    ::DeleteObject(rgn);

    // Layout: the band takes its fixed height, the floats their positions.
    EXPECT_EQ(50, w.FindControl(L"band")->GetPos().bottom);
    EXPECT_EQ(50, w.FindControl(L"rest")->GetPos().top);
    EXPECT_EQ(300, w.FindControl(L"rest")->GetPos().bottom);
    EXPECT_EQ(360, w.FindControl(L"closebtn")->GetPos().left);
    EXPECT_EQ(304, w.FindControl(L"gif")->GetPos().right);  // autosize: 4 pixels wide

    // Caption: labels and layouts drag the window, buttons and edits do not.
    auto hit = [&](POINT pt) {
        ::ClientToScreen(w.GetHandle(), &pt);
        return ::SendMessageW(w.GetHandle(), WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y));
    };
    EXPECT_EQ(HTCAPTION, hit(w.Centre(L"lbl")));
    EXPECT_EQ(HTCAPTION, hit(POINT{5, 5}));
    EXPECT_EQ(HTCLIENT, hit(w.Centre(L"closebtn")));
    EXPECT_EQ(HTCLIENT, hit(w.Centre(L"opt")));
    EXPECT_EQ(HTCLIENT, hit(w.Centre(L"edit")));

    w.Close(8);
    EXPECT_EQ(8u, w.ShowModal());
    EXPECT_EQ(1, w.finalCalls);
    EXPECT_EQ(nullptr, w.GetHandle());
}

namespace {

SIZE IconSize(HICON icon) {
    ICONINFO info{};
    if (icon == nullptr || !::GetIconInfo(icon, &info))
        return SIZE{};
    BITMAP bm{};
    SIZE size{};
    if (info.hbmColor != nullptr && ::GetObjectW(info.hbmColor, sizeof(bm), &bm) != 0) {
        size = SIZE{bm.bmWidth, bm.bmHeight};
    } else if (info.hbmMask != nullptr && ::GetObjectW(info.hbmMask, sizeof(bm), &bm) != 0) {
        size = SIZE{bm.bmWidth, bm.bmHeight / 2};  // AND and XOR masks stacked
    }
    if (info.hbmColor != nullptr)
        ::DeleteObject(info.hbmColor);
    if (info.hbmMask != nullptr)
        ::DeleteObject(info.hbmMask);
    return size;
}

HICON WindowIcon(HWND h, WPARAM which) {
    return reinterpret_cast<HICON>(::SendMessageW(h, WM_GETICON, which, 0));
}

RECT WorkAreaOf(HMONITOR monitor) {
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    ::GetMonitorInfoW(monitor, &mi);
    return mi.rcWork;
}

RECT WorkAreaOf(HWND h) {
    return WorkAreaOf(::MonitorFromWindow(h, MONITOR_DEFAULTTONEAREST));
}

// A hidden owner window with the given screen rectangle.
HWND MakeOwner(const RECT& rc) {
    return ::CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, rc.left, rc.top, rc.right - rc.left,
                             rc.bottom - rc.top, nullptr, nullptr, ::GetModuleHandleW(nullptr),
                             nullptr);
}

}  // namespace

TEST_F(UiWindow, SetIconGivesBigAndSmallIconsAtTheLargeIconSize) {
    TestWnd w;
    ASSERT_NE(nullptr, w.Make());
    w.SetIcon(999);  // no such resource: the window keeps having no icon
    EXPECT_EQ(nullptr, WindowIcon(w.GetHandle(), ICON_BIG));
    EXPECT_EQ(nullptr, WindowIcon(w.GetHandle(), ICON_SMALL));

    w.SetIcon(101);
    auto round16 = [](int v) { return (v + 15) / 16 * 16; };
    const SIZE expected{round16(::GetSystemMetrics(SM_CXICON)),
                        round16(::GetSystemMetrics(SM_CYICON))};
    for (WPARAM which : {WPARAM{ICON_BIG}, WPARAM{ICON_SMALL}}) {
        SCOPED_TRACE(which == ICON_BIG ? "big" : "small");
        HICON icon = WindowIcon(w.GetHandle(), which);
        ASSERT_NE(nullptr, icon);
        const SIZE size = IconSize(icon);
        EXPECT_EQ(expected.cx, size.cx);
        EXPECT_EQ(expected.cy, size.cy);
    }
    w.Close(8);
    EXPECT_EQ(8u, w.ShowModal());
}

TEST_F(UiWindow, CenterWindowOnTheWorkAreaOrTheOwnerAndInsideTheWorkArea) {
    auto placed = [](HWND h) {
        RECT rc{};
        ::GetWindowRect(h, &rc);
        return rc;
    };
    {
        TestWnd w;  // no owner: centred on the work area
        ASSERT_NE(nullptr, w.Make());
        ::SetWindowPos(w.GetHandle(), nullptr, 3, 7, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        w.CenterWindow();
        const RECT work = WorkAreaOf(w.GetHandle());
        const RECT rc = placed(w.GetHandle());
        EXPECT_EQ(400, rc.right - rc.left);
        EXPECT_EQ(300, rc.bottom - rc.top);
        EXPECT_EQ((work.left + work.right) / 2 - 200, rc.left);
        EXPECT_EQ((work.top + work.bottom) / 2 - 150, rc.top);
        w.Close(8);
        EXPECT_EQ(8u, w.ShowModal());
    }
    struct Case {
        const char* what;
        RECT owner;  // relative to the work area's top-left corner, or its bottom-right
        bool fromBottomRight;
    };
    for (const Case& c : {Case{"inside", RECT{100, 80, 700, 580}, false},
                          Case{"sticks out left and top", RECT{-300, -250, -100, -150}, false},
                          Case{"sticks out right and bottom", RECT{50, 40, 250, 140}, true}}) {
        SCOPED_TRACE(c.what);
        const RECT work = WorkAreaOf(::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY));
        RECT owner = c.owner;
        ::OffsetRect(&owner, c.fromBottomRight ? work.right - 150 : work.left,
                     c.fromBottomRight ? work.bottom - 90 : work.top);
        HWND hOwner = MakeOwner(owner);
        ASSERT_NE(nullptr, hOwner);
        const RECT ownerRect = placed(hOwner);
        TestWnd w;
        ASSERT_NE(nullptr, w.Create(hOwner, kTitle, kStyle, kExStyle));
        ASSERT_EQ(hOwner, ::GetWindow(w.GetHandle(), GW_OWNER));
        w.CenterWindow();
        const RECT area = WorkAreaOf(w.GetHandle());
        LONG x = (ownerRect.left + ownerRect.right) / 2 - 200;
        LONG y = (ownerRect.top + ownerRect.bottom) / 2 - 150;
        x = x < area.left ? area.left : (x + 400 > area.right ? area.right - 400 : x);
        y = y < area.top ? area.top : (y + 300 > area.bottom ? area.bottom - 300 : y);
        const RECT rc = placed(w.GetHandle());
        EXPECT_EQ(x, rc.left);
        EXPECT_EQ(y, rc.top);
        EXPECT_EQ(400, rc.right - rc.left);
        EXPECT_EQ(300, rc.bottom - rc.top);
        w.Close(8);
        EXPECT_EQ(8u, w.ShowModal());
        ::DestroyWindow(hOwner);
    }
}

TEST_F(UiWindow, SetTextRepaintsOnlyOnChange) {
    TestWnd w;
    ASSERT_NE(nullptr, w.Make());
    CLabelUI* lbl = w.Find<CLabelUI>(L"lbl");
    ASSERT_NE(nullptr, lbl);
    const RECT pos = lbl->GetPos();
    RECT dirty{};
    ::ValidateRect(w.GetHandle(), nullptr);
    ASSERT_FALSE(::GetUpdateRect(w.GetHandle(), &dirty, FALSE));

    lbl->SetText(lbl->GetText());  // the same text: nothing to repaint
    EXPECT_FALSE(::GetUpdateRect(w.GetHandle(), &dirty, FALSE));

    lbl->SetText(L"changed");
    ASSERT_TRUE(::GetUpdateRect(w.GetHandle(), &dirty, FALSE));
    EXPECT_TRUE(::EqualRect(&pos, &dirty));
    w.Close(8);
    EXPECT_EQ(8u, w.ShowModal());
}

TEST_F(UiWindow, CloseCodes) {
    {
        TestWnd w;  // Escape on the base closes with 1
        ASSERT_NE(nullptr, w.Make());
        PostKey(w.GetHandle(), VK_ESCAPE);
        EXPECT_EQ(1u, w.ShowModal());
    }
    {
        TestWnd w;  // "closebtn" clicked
        ASSERT_NE(nullptr, w.Make());
        w.Click(L"closebtn");
        EXPECT_EQ(8u, w.ShowModal());
    }
    {
        TestWnd w;  // system close
        ASSERT_NE(nullptr, w.Make());
        ::PostMessageW(w.GetHandle(), WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_EQ(0u, w.ShowModal());
    }
    {
        TestWnd w;  // the first of two closes wins
        ASSERT_NE(nullptr, w.Make());
        w.Close(1);
        w.Close(8);
        EXPECT_EQ(1u, w.ShowModal());
    }
    {
        TestWnd w;  // keys that do nothing
        w.keysDoNothing = true;
        ASSERT_NE(nullptr, w.Make());
        PostKey(w.GetHandle(), VK_ESCAPE);
        PostKey(w.GetHandle(), VK_RETURN);
        w.PostUITask([](CWindowWnd* self) { self->Close(5); }, "CloseLater");
        EXPECT_EQ(5u, w.ShowModal());
    }
    {
        TestWnd w;  // no native window at all
        EXPECT_EQ(0u, w.ShowModal());
    }
}

// A window closed while a handler of it runs another window's modal loop (a
// message box) is destroyed by that loop; its own loop still returns the code.
TEST_F(UiWindow, CloseFromANestedModalLoopKeepsTheCode) {
    TestWnd w;
    ASSERT_NE(nullptr, w.Make());
    TestWnd box;
    ASSERT_NE(nullptr, box.Make());
    UINT boxCode = 0;
    w.PostUITask(
        [&](CWindowWnd*) {
            w.Close(1);
            box.PostUITask([&](CWindowWnd*) { box.Close(8); }, "CloseBox");
            boxCode = box.ShowModal();
        },
        "ShowBox");
    EXPECT_EQ(1u, w.ShowModal());
    EXPECT_EQ(8u, boxCode);
    EXPECT_FALSE(::IsWindow(w.GetHandle()));
}

TEST_F(UiWindow, ModalLoopKeepsWmQuit) {
    TestWnd w;
    ASSERT_NE(nullptr, w.Make());
    ::PostQuitMessage(3);
    EXPECT_EQ(0u, w.ShowModal());
    MSG msg;
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(3u, msg.wParam);
    w.Close(8);
    EXPECT_EQ(8u, w.ShowModal());
}

TEST_F(UiWindow, NotificationOrderAndDelegateRules) {
    TestWnd w;
    ASSERT_NE(nullptr, w.Make());
    CButtonUI* btn = w.Find<CButtonUI>(L"btn");
    ASSERT_NE(nullptr, btn);
    btn->OnNotify += MakeDelegate(&w, &TestWnd::First);
    btn->OnNotify += MakeDelegate(&w, &TestWnd::First);  // duplicate: one call
    btn->OnNotify += MakeDelegate(&w, &TestWnd::Stopper);
    btn->OnNotify += MakeDelegate(&w, &TestWnd::Never);
    w.Click(L"btn");
    uitest::Pump(2000, [&] { return !w.log.empty() && w.log.back().rfind(L"notify:", 0) == 0; });
    EXPECT_EQ((std::vector<std::wstring>{L"first", L"stopper", L"notify:click:btn"}), w.log);

    // Pressed on one control, released on another: no click.
    w.log.clear();
    const POINT a = w.Centre(L"btn");
    const POINT b = w.Centre(L"lbl");
    ::PostMessageW(w.GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(a.x, a.y));
    ::PostMessageW(w.GetHandle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(b.x, b.y));
    ::PostMessageW(w.GetHandle(), WM_LBUTTONUP, 0, MAKELPARAM(b.x, b.y));
    uitest::Pump(300);
    EXPECT_TRUE(w.log.empty());

    // The option toggles and tells of it.
    COptionUI* opt = w.Find<COptionUI>(L"opt");
    ASSERT_NE(nullptr, opt);
    EXPECT_FALSE(opt->IsSelected());
    w.Click(L"opt");
    uitest::Pump(2000, [&] { return w.log.size() >= 2; });
    EXPECT_TRUE(opt->IsSelected());
    EXPECT_EQ((std::vector<std::wstring>{L"notify:click:opt", L"notify:selectchanged:opt"}), w.log);
    w.Click(L"opt");
    uitest::Pump(2000, [&] { return w.log.size() >= 4; });
    EXPECT_FALSE(opt->IsSelected());

    w.Close(8);
    EXPECT_EQ(8u, w.ShowModal());
}

TEST_F(UiWindow, TasksRunOnTheWindowThreadUnlessClosing) {
    TestWnd w;
    ASSERT_NE(nullptr, w.Make());
    int ran = 0;
    DWORD thread = 0;
    std::thread worker([&] {
        w.PostUITask(
            [&](CWindowWnd*) {
                ++ran;
                thread = ::GetCurrentThreadId();
            },
            "SetProcessValue");
    });
    worker.join();
    uitest::Pump(2000, [&] { return ran > 0; });
    EXPECT_EQ(1, ran);
    EXPECT_EQ(::GetCurrentThreadId(), thread);

    // One task queued before Close, one after: neither runs.
    int late = 0;
    EXPECT_TRUE(w.PostUITask([&](CWindowWnd*) { ++late; }, "Before"));
    w.Close(8);
    EXPECT_TRUE(w.IsClosing());
    EXPECT_FALSE(w.PostUITask([&](CWindowWnd*) { ++late; }, "After"));
    EXPECT_EQ(8u, w.ShowModal());
    EXPECT_EQ(0, late);
    // A forged task message is ignored, not run.
    TestWnd w2;
    ASSERT_NE(nullptr, w2.Make());
    ::PostMessageW(w2.GetHandle(), kTaskMessage, 0x12345678, 0);
    w2.Close(8);
    EXPECT_EQ(8u, w2.ShowModal());
}

TEST_F(UiWindow, ArchiveOpenedOnceForTwoWindows) {
    CZipResource& zip = CZipResource::Instance();
    // A failed open closes whatever archive was open.
    EXPECT_FALSE(zip.OpenMemory(L"other", "x", 1));
    EXPECT_FALSE(zip.IsOpen());
    const unsigned before = zip.OpenCount();
    TestWnd w1;
    ASSERT_NE(nullptr, w1.Make());
    EXPECT_EQ(before + 1, zip.OpenCount());
    EXPECT_EQ(L"membuffer", zip.Name());
    TestWnd w2;
    ASSERT_NE(nullptr, w2.Make());
    EXPECT_EQ(before + 1, zip.OpenCount());
    w1.Close(8);
    w2.Close(8);
    EXPECT_EQ(8u, w1.ShowModal());
    EXPECT_EQ(8u, w2.ShowModal());
}

TEST_F(UiWindow, EditTypingFocusAndPosition) {
    TestWnd w;
    ASSERT_NE(nullptr, w.Make());
    CEditUI* edit = w.Find<CEditUI>(L"edit");
    ASSERT_NE(nullptr, edit);
    edit->SetTextColor(0x00FFFFFF);
    w.Click(L"edit");
    uitest::Pump(2000, [&] { return edit->GetNativeWindow() != nullptr; });
    HWND native = edit->GetNativeWindow();
    ASSERT_NE(nullptr, native);
    EXPECT_TRUE(edit->IsFocused());
    ::SetWindowTextW(native, L"D:\\Games");  // what the user typed
    EXPECT_EQ(L"D:\\Games", edit->GetText());

    edit->SetPos(30, 200, 330, 230);
    RECT rc{};
    ::GetWindowRect(native, &rc);
    POINT pt{rc.left, rc.top};
    ::ScreenToClient(w.GetHandle(), &pt);
    EXPECT_GT(pt.x, 30);
    EXPECT_LT(pt.x, 40);
    EXPECT_GE(pt.y, 200);

    // Text set while the user types replaces what the open edit shows, also
    // when it equals what the edit held before typing began.
    edit->SetText(L"C:\\Vorn");
    EXPECT_EQ(L"C:\\Vorn", edit->GetText());
    ::SetWindowTextW(native, L"D:\\Games");
    edit->SetText(L"C:\\Vorn");
    wchar_t shown[64] = {};
    ::GetWindowTextW(native, shown, 64);
    EXPECT_STREQ(L"C:\\Vorn", shown);
    ::SetWindowTextW(native, L"D:\\Games");

    // Hiding the focused edit drops the focus; the typed text stays.
    edit->SetVisible(false);
    EXPECT_EQ(nullptr, w.GetPaintManager().GetFocus());
    uitest::Pump(200);
    EXPECT_EQ(nullptr, edit->GetNativeWindow());
    EXPECT_FALSE(::IsWindow(native));
    EXPECT_EQ(L"D:\\Games", edit->GetText());
    edit->SetText(L"E:\\");
    EXPECT_EQ(L"E:\\", edit->GetText());

    w.Close(8);
    EXPECT_EQ(8u, w.ShowModal());
}

// Moved to a monitor of another DPI, the window takes the proposed size and
// draws, hit-tests and places its native edit in that DPI's pixels, while the
// layout keeps its units; and back again.
TEST_F(UiWindow, AnotherDpiScalesTheWindowItsInputAndItsNativeEdit) {
    TestWnd w;
    ASSERT_NE(nullptr, w.Make());
    auto moveTo = [&](int dpi, int cx, int cy) {
        RECT rc{};
        ::GetWindowRect(w.GetHandle(), &rc);
        RECT proposed{rc.left, rc.top, rc.left + cx, rc.top + cy};
        ::SendMessageW(w.GetHandle(), kDpiChangedMessage, MAKEWPARAM(dpi, dpi),
                       reinterpret_cast<LPARAM>(&proposed));
        uitest::Pump(100);
    };
    auto nativeLeftAndFont = [&](HWND native) {
        RECT rc{};
        ::GetWindowRect(native, &rc);
        POINT pt{rc.left, rc.top};
        ::ScreenToClient(w.GetHandle(), &pt);
        LOGFONTW lf{};
        ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(native, WM_GETFONT, 0, 0)), sizeof(lf),
                     &lf);
        return std::make_pair(pt.x, lf.lfHeight);
    };
    moveTo(144, 600, 450);
    RECT client{};
    ::GetClientRect(w.GetHandle(), &client);
    EXPECT_EQ(600, client.right);
    EXPECT_EQ(450, client.bottom);
    EXPECT_EQ(360, w.FindControl(L"closebtn")->GetPos().left);  // layout units stay
    EXPECT_EQ(50, w.FindControl(L"band")->GetPos().bottom);
    auto hit = [&](POINT pt) {
        ::ClientToScreen(w.GetHandle(), &pt);
        return ::SendMessageW(w.GetHandle(), WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y));
    };
    EXPECT_EQ(HTCAPTION, hit(w.Centre(L"lbl")));
    EXPECT_EQ(HTCLIENT, hit(w.Centre(L"closebtn")));
    EXPECT_EQ(HTCLIENT, hit(POINT{w.Centre(L"closebtn").x, 58}));  // 10..40 units: 15..60
    w.Click(L"btn");
    uitest::Pump(2000, [&] { return !w.log.empty(); });
    EXPECT_EQ((std::vector<std::wstring>{L"notify:click:btn"}), w.log);

    CEditUI* edit = w.Find<CEditUI>(L"edit");
    w.Click(L"edit");
    uitest::Pump(2000, [&] { return edit->GetNativeWindow() != nullptr; });
    HWND native = edit->GetNativeWindow();
    ASSERT_NE(nullptr, native);
    // 20 units, a border of 1 and an inset of 4 at 150 %: 30 + 2 + 6 pixels; 14 units high text.
    EXPECT_EQ(std::make_pair(38L, -21L), nativeLeftAndFont(native));
    moveTo(96, 400, 300);
    ASSERT_EQ(native, edit->GetNativeWindow());
    EXPECT_EQ(std::make_pair(25L, -14L), nativeLeftAndFont(native));
    ::GetClientRect(w.GetHandle(), &client);
    EXPECT_EQ(400, client.right);

    w.Close(8);
    EXPECT_EQ(8u, w.ShowModal());
}

TEST_F(UiWindow, PaintsColoursImagesAndText) {
    TestWnd w;
    ASSERT_NE(nullptr, w.Make());
    std::vector<uint32_t> px;
    int width = 0, height = 0;
    ASSERT_TRUE(w.GetPaintManager().RenderToPixels(px, width, height));
    ASSERT_EQ(400, width);
    ASSERT_EQ(300, height);
    // --dump=file.bmp keeps the picture for a look.
    const std::wstring dump = vorn::test::WideArg("dump");
    if (!dump.empty()) {
        BITMAPFILEHEADER fh{};
        BITMAPINFOHEADER ih{};
        ih.biSize = sizeof(ih);
        ih.biWidth = width;
        ih.biHeight = -height;
        ih.biPlanes = 1;
        ih.biBitCount = 32;
        fh.bfType = 0x4D42;
        fh.bfOffBits = sizeof(fh) + sizeof(ih);
        fh.bfSize = fh.bfOffBits + static_cast<DWORD>(px.size() * 4);
        std::string bytes(reinterpret_cast<const char*>(&fh), sizeof(fh));
        bytes.append(reinterpret_cast<const char*>(&ih), sizeof(ih));
        bytes.append(reinterpret_cast<const char*>(px.data()), px.size() * 4);
        vorn::test::WriteBytes(dump, bytes);
    }
    auto at = [&](int x, int y) { return px[static_cast<size_t>(y) * width + x] & 0x00FFFFFFu; };
    EXPECT_EQ(0x171A28u, at(5, 5));    // band
    EXPECT_EQ(0x0B0919u, at(5, 290));  // root background
    // The progress bar shows its colour where its missing image would be.
    EXPECT_EQ(0x161233u, at(200, 235));
    // "#FFFFFF" text is drawn white, not transparent.
    const RECT lbl = w.FindControl(L"lbl")->GetPos();
    uint32_t brightest = 0;
    for (int y = lbl.top; y < lbl.bottom; ++y)
        for (int x = lbl.left; x < lbl.right; ++x)
            brightest = std::max(brightest, at(x, y) & 0xFF);
    EXPECT_GT(brightest, 0xC0u);
    // The close image is drawn over the band: not every pixel of the button is band.
    const RECT close = w.FindControl(L"closebtn")->GetPos();
    int imagePixels = 0;
    for (int y = close.top; y < close.bottom; ++y)
        for (int x = close.left; x < close.right; ++x)
            imagePixels += at(x, y) != 0x171A28u ? 1 : 0;
    EXPECT_GT(imagePixels, 0);

    // A one-pixel border lies on the outermost pixels on all four sides, square
    // or with round corners.
    auto* edit = w.Find<CEditUI>(L"edit");
    const RECT e = edit->GetPos();
    for (const SIZE round : {SIZE{0, 0}, SIZE{2, 2}}) {
        edit->SetBorderRound(round);
        ASSERT_TRUE(w.GetPaintManager().RenderToPixels(px, width, height));
        const int midX = (e.left + e.right) / 2, midY = (e.top + e.bottom) / 2;
        EXPECT_EQ(0x4492DFu, at(midX, e.top)) << "top, round " << round.cx;
        EXPECT_EQ(0x4492DFu, at(midX, e.bottom - 1)) << "bottom, round " << round.cx;
        EXPECT_EQ(0x4492DFu, at(e.left, midY)) << "left, round " << round.cx;
        EXPECT_EQ(0x4492DFu, at(e.right - 1, midY)) << "right, round " << round.cx;
        EXPECT_EQ(0x120F29u, at(midX, e.top + 1)) << "inside, round " << round.cx;
        EXPECT_EQ(0x120F29u, at(e.right - 2, midY)) << "inside, round " << round.cx;
    }

    // The fill follows the value.
    auto* prog = w.Find<CProgressUI>(L"prog");
    prog->SetValue(50);
    ASSERT_TRUE(w.GetPaintManager().RenderToPixels(px, width, height));
    EXPECT_NE(0x161233u, at(100, 235));
    EXPECT_EQ(0x161233u, at(300, 235));

    // The animation moves on by itself.
    auto* gif = w.Find<CGifAnimUI>(L"gif");
    ASSERT_TRUE(gif->IsPlaying());
    const size_t first = gif->GetCurrentFrame();
    uitest::Pump(1500, [&] { return gif->GetCurrentFrame() != first; });
    EXPECT_NE(first, gif->GetCurrentFrame());

    // Hover shows the tool tip of the close button.
    const POINT c = w.Centre(L"closebtn");
    ::SendMessageW(w.GetHandle(), WM_MOUSEMOVE, 0, MAKELPARAM(c.x, c.y));
    ::SendMessageW(w.GetHandle(), WM_MOUSEHOVER, 0, MAKELPARAM(c.x, c.y));
    EXPECT_TRUE(w.Find<CButtonUI>(L"closebtn")->IsHot());
    HWND tip = w.GetPaintManager().GetToolTipWindow();
    ASSERT_NE(nullptr, tip);
    // In the layout's default font, which has the tool tip's characters (the
    // tool tip may keep a copy of it).
    LOGFONTW shown{}, layout{};
    ASSERT_NE(0, ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(tip, WM_GETFONT, 0, 0)),
                              sizeof(shown), &shown));
    ASSERT_NE(0, ::GetObjectW(w.GetPaintManager().GetFont(-1), sizeof(layout), &layout));
    EXPECT_STREQ(L"微软雅黑", shown.lfFaceName);
    EXPECT_EQ(layout.lfHeight, shown.lfHeight);

    w.Close(8);
    EXPECT_EQ(8u, w.ShowModal());
}

namespace {

struct FoundBox {
    DWORD pid;
    HWND box;
    bool text;
};

BOOL CALLBACK FindChildText(HWND h, LPARAM lp) {
    auto* f = reinterpret_cast<FoundBox*>(lp);
    wchar_t buf[128] = {};
    ::GetWindowTextW(h, buf, 127);
    if (std::wstring(buf) == L"加载资源文件失败")
        f->text = true;
    return TRUE;
}

BOOL CALLBACK FindBox(HWND h, LPARAM lp) {
    auto* f = reinterpret_cast<FoundBox*>(lp);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(h, &pid);
    if (pid != f->pid || !::IsWindowVisible(h))
        return TRUE;
    f->text = false;
    ::EnumChildWindows(h, FindChildText, lp);
    if (f->text) {
        f->box = h;
        return FALSE;
    }
    return TRUE;
}

// Runs the child with args; true when it showed the failure text; exit code out.
bool RunFailingChild(const std::wstring& args, DWORD& exitCode) {
    const std::wstring exe = vorn::test::WideArg("fail-child");
    std::wstring cmd = L"\"" + exe + L"\" " + args;
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                          &pi))
        return false;
    FoundBox found{pi.dwProcessId, nullptr, false};
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < 30000 && found.box == nullptr) {
        if (::WaitForSingleObject(pi.hProcess, 100) == WAIT_OBJECT_0)
            break;
        ::EnumWindows(FindBox, reinterpret_cast<LPARAM>(&found));
    }
    if (found.box != nullptr)
        ::PostMessageW(found.box, WM_COMMAND, IDOK, 0);
    if (::WaitForSingleObject(pi.hProcess, 20000) != WAIT_OBJECT_0)
        ::TerminateProcess(pi.hProcess, 99);
    ::GetExitCodeProcess(pi.hProcess, &exitCode);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    return found.box != nullptr;
}

}  // namespace

TEST_F(UiWindow, LayoutThatCannotBeBuiltEndsTheProcessWithCode1) {
    ASSERT_FALSE(vorn::test::Arg("fail-child").empty());
    for (const wchar_t* args : {L"--layout=Broken.xml", L"--layout=Missing.xml",
                                L"--layout=Empty.xml", L"--layout=TestWnd.xml --resource=103"}) {
        SCOPED_TRACE(args);
        DWORD code = 0;
        EXPECT_TRUE(RunFailingChild(args, code));
        EXPECT_EQ(1u, code);
    }
    // The same child with a good layout closes itself normally.
    DWORD code = 99;
    EXPECT_FALSE(RunFailingChild(L"--layout=TestWnd.xml", code));
    EXPECT_EQ(0u, code);
}

TEST_F(UiWindow, ArchiveWindowsNeverReadTheResourceFolder) {
    ASSERT_FALSE(vorn::test::Arg("fail-child").empty());
    // A folder that holds the layout and an image, as a "skin" folder would.
    vorn::test::TempDir dir;
    const std::wstring folder = dir.File(L"skin");
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    std::vector<unsigned char> zipBytes;
    ASSERT_TRUE(uitest::ResourceBytes(102, zipBytes));
    CZipResource testSkin;
    ASSERT_TRUE(testSkin.OpenMemory(L"test", zipBytes.data(), zipBytes.size()));
    std::vector<unsigned char> layout, image;
    ASSERT_TRUE(testSkin.ReadEntry(L"TestWnd.xml", layout));
    ASSERT_TRUE(testSkin.ReadEntry(L"Close.png", image));
    ASSERT_TRUE(vorn::test::WriteBytes(folder + L"\\TestWnd.xml",
                                       std::string(layout.begin(), layout.end())));
    ASSERT_TRUE(
        vorn::test::WriteBytes(folder + L"\\Folder.png", std::string(image.begin(), image.end())));

    // A corrupt or missing archive fails the layout build; the folder's copy is not used.
    for (const wchar_t* resource : {L"103", L"105"}) {
        SCOPED_TRACE(resource);
        DWORD code = 0;
        EXPECT_TRUE(RunFailingChild(
            L"--layout=TestWnd.xml --resource=" + std::wstring(resource) + L" --folder=" + folder,
            code));
        EXPECT_EQ(1u, code);
    }
    // The folder itself is readable: a process without archive windows takes it.
    SetArchiveOnly(false);
    CZipResource::Instance().Close();
    CPaintManagerUI::SetResourceFolder(folder.c_str());
    std::vector<unsigned char> bytes;
    EXPECT_TRUE(ReadResourceBytes(L"Folder.png", bytes));

    // Once an archive window exists, images come from the archive alone.
    {
        TestWnd w;
        ASSERT_NE(nullptr, w.Make());
        EXPECT_TRUE(IsArchiveOnly());
        w.Close(8);
        EXPECT_EQ(8u, w.ShowModal());
    }
    EXPECT_FALSE(ReadResourceBytes(L"Folder.png", bytes));
    CZipResource::Instance().Close();
    EXPECT_FALSE(ReadResourceBytes(L"Folder.png", bytes));
    EXPECT_EQ(nullptr, GetCachedImage(L"Folder.png"));
}

TEST_F(UiWindow, TextSetOnAWorkerReachesTheControlOnTheWindowThread) {
    TestWnd w;
    ASSERT_NE(nullptr, w.Make());
    CLabelUI* lbl = w.Find<CLabelUI>(L"lbl");
    ASSERT_NE(nullptr, lbl);
    const std::wstring before = lbl->GetText();

    // Opens the edit's native window: a text set from a worker must not touch
    // it from there (the worker would wait for this thread, which waits for it).
    CEditUI* edit = w.Find<CEditUI>(L"edit");
    w.Click(L"edit");
    uitest::Pump(2000, [&] { return edit->GetNativeWindow() != nullptr; });
    HWND native = edit->GetNativeWindow();
    ASSERT_NE(nullptr, native);

    vorn::UniqueHandle done(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::thread worker([&] {
        lbl->SetText(L"from the worker");
        edit->SetText(L"D:\\Worker");
        ::SetEvent(done.Get());
    });
    // This thread pumps nothing meanwhile: the worker must not need it.
    const DWORD waited = ::WaitForSingleObject(done.Get(), 5000);
    EXPECT_EQ(WAIT_OBJECT_0, waited) << "SetText waited for the window's thread";
    EXPECT_EQ(before, lbl->GetText()) << "the text changed on the worker's thread";
    if (waited != WAIT_OBJECT_0)
        uitest::Pump(2000, [&] { return ::WaitForSingleObject(done.Get(), 0) == WAIT_OBJECT_0; });
    worker.join();

    uitest::Pump(2000, [&] { return lbl->GetText() != before; });
    EXPECT_EQ(L"from the worker", lbl->GetText());
    wchar_t shown[64] = {};
    ::GetWindowTextW(native, shown, 64);
    EXPECT_STREQ(L"D:\\Worker", shown);

    // Once the window is closing, posted texts are dropped.
    w.Close(8);
    std::thread late([&] { lbl->SetText(L"too late"); });
    late.join();
    EXPECT_EQ(8u, w.ShowModal());
}

TEST_F(UiWindow, TextSetOnAnOpenEditShowsInItsNativeWindow) {
    TestWnd w;
    ASSERT_NE(nullptr, w.Make());
    CEditUI* edit = w.Find<CEditUI>(L"edit");
    ASSERT_NE(nullptr, edit);
    w.Click(L"edit");
    uitest::Pump(2000, [&] { return edit->GetNativeWindow() != nullptr; });
    HWND native = edit->GetNativeWindow();
    ASSERT_NE(nullptr, native);
    auto shown = [&] {
        wchar_t text[64] = {};
        ::GetWindowTextW(native, text, 64);
        return std::wstring(text);
    };
    ::SetWindowTextW(native, L"typed");  // the user types
    // The control's own text is still empty: clearing must reach what is shown.
    edit->SetText(L"");
    EXPECT_EQ(L"", shown());
    EXPECT_EQ(L"", edit->GetText());
    edit->SetText(L"C:\\Vorn\\");
    EXPECT_EQ(L"C:\\Vorn\\", shown());
    ::SetWindowTextW(native, L"typed again");
    edit->SetText(L"C:\\Vorn\\");  // the same as the control's text, not as what is shown
    EXPECT_EQ(L"C:\\Vorn\\", shown());
    w.Close(8);
    EXPECT_EQ(8u, w.ShowModal());
}

namespace {

std::vector<std::pair<DWORD, LONG>> g_winEvents;

void CALLBACK RecordWinEvent(HWINEVENTHOOK, DWORD event, HWND, LONG idObject, LONG idChild, DWORD,
                             DWORD) {
    if (idObject == OBJID_CLIENT)
        g_winEvents.emplace_back(event, idChild);
}

VARIANT ChildId(LONG id) {
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = id;
    return v;
}

std::wstring AccName(IAccessible* acc, LONG id) {
    BSTR name = nullptr;
    acc->get_accName(ChildId(id), &name);
    std::wstring s = name != nullptr ? name : L"";
    ::SysFreeString(name);
    return s;
}

}  // namespace

// Without a mouse: Tab goes round the shown controls in layout order and Space
// presses and ticks; a screen reader reads the same controls through oleacc,
// and their default actions do what clicks do. Changes are told once a paint.
TEST_F(UiWindow, KeyboardAndScreenReaderReachEveryControl) {
    vorn::ComApartment com;
    TestWnd w;
    ASSERT_NE(nullptr, w.Make());
    HWND h = w.GetHandle();
    CPaintManagerUI& pm = w.GetPaintManager();
    uitest::Pump(300);
    w.Find<CLabelUI>(L"lbl2")->SetVisible(false);  // not read as gone
    std::vector<std::wstring> stops;
    for (int i = 0; i < 5; ++i) {
        HWND focus = ::GetFocus();
        PostKey(focus != nullptr ? focus : h, VK_TAB);
        uitest::Pump(150);
        stops.push_back(pm.GetFocus() != nullptr ? pm.GetFocus()->GetName() : L"-");
    }
    EXPECT_EQ((std::vector<std::wstring>{L"closebtn", L"btn", L"opt", L"edit", L"closebtn"}),
              stops);
    EXPECT_TRUE(pm.ShowsFocusMark());
    PostKey(h, VK_TAB);
    PostKey(h, VK_SPACE);
    uitest::Pump(150);
    PostKey(h, VK_TAB);
    PostKey(h, VK_SPACE);
    uitest::Pump(150);
    EXPECT_TRUE(w.Find<COptionUI>(L"opt")->IsSelected());
    EXPECT_EQ((std::vector<std::wstring>{L"notify:click:btn", L"notify:click:opt",
                                         L"notify:selectchanged:opt"}),
              w.log);
    w.Click(L"btn");
    uitest::Pump(150);
    EXPECT_FALSE(pm.ShowsFocusMark());  // a mouse user sees the skin as it is

    IAccessible* acc = nullptr;
    ASSERT_EQ(S_OK,
              ::AccessibleObjectFromWindow(h, static_cast<DWORD>(OBJID_CLIENT),
                                           __uuidof(IAccessible), reinterpret_cast<void**>(&acc)));
    long count = 0;
    acc->get_accChildCount(&count);
    const struct {
        const wchar_t* name;
        LONG role;
        DWORD state;
    } kTree[] = {
        {L"关闭", ROLE_SYSTEM_PUSHBUTTON, STATE_SYSTEM_FOCUSABLE},
        {L"按钮", ROLE_SYSTEM_PUSHBUTTON, STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_FOCUSED},
        {L"白色文字 White", ROLE_SYSTEM_STATICTEXT, STATE_SYSTEM_READONLY},
        {L"右", ROLE_SYSTEM_STATICTEXT, STATE_SYSTEM_READONLY | STATE_SYSTEM_INVISIBLE},
        {L"", ROLE_SYSTEM_CHECKBUTTON, STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_CHECKED},
        {L"", ROLE_SYSTEM_TEXT, STATE_SYSTEM_FOCUSABLE},
        {L"", ROLE_SYSTEM_PROGRESSBAR, STATE_SYSTEM_READONLY},
    };
    ASSERT_EQ(static_cast<long>(std::size(kTree)), count);
    for (LONG id = 1; id <= count; ++id) {
        const auto& want = kTree[id - 1];
        VARIANT role, state;
        acc->get_accRole(ChildId(id), &role);
        acc->get_accState(ChildId(id), &state);
        EXPECT_EQ(want.name, AccName(acc, id)) << id;
        EXPECT_EQ(want.role, role.lVal) << id;
        EXPECT_EQ(want.state, static_cast<DWORD>(state.lVal) & ~STATE_SYSTEM_HOTTRACKED) << id;
    }
    long x = 0, y = 0, cx = 0, cy = 0;
    acc->accLocation(&x, &y, &cx, &cy, ChildId(2));
    POINT origin{0, 0};
    ::ClientToScreen(h, &origin);
    EXPECT_EQ((std::vector<long>{origin.x + 20, origin.y + 80, 100, 30}),
              (std::vector<long>{x, y, cx, cy}));
    VARIANT hit;
    acc->accHitTest(origin.x + 225, origin.y + 85, &hit);
    EXPECT_EQ(5, hit.lVal);

    // The default action goes the way of a click: unticked, as its report says.
    EXPECT_EQ(S_OK, acc->accDoDefaultAction(ChildId(5)));
    uitest::Pump(150);
    EXPECT_FALSE(w.Find<COptionUI>(L"opt")->IsSelected());
    EXPECT_EQ(L"notify:selectchanged:opt", w.log.back());

    HWINEVENTHOOK hook =
        ::SetWinEventHook(EVENT_OBJECT_FOCUS, EVENT_OBJECT_VALUECHANGE, nullptr, RecordWinEvent,
                          ::GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    g_winEvents.clear();
    for (int v = 1; v <= 50; ++v)
        w.Find<CProgressUI>(L"prog")->SetValue(v);
    uitest::Pump(300);
    ::UnhookWinEvent(hook);
    EXPECT_EQ(1, std::count(g_winEvents.begin(), g_winEvents.end(),
                            std::make_pair(static_cast<DWORD>(EVENT_OBJECT_VALUECHANGE), 7L)));
    BSTR value = nullptr;
    acc->get_accValue(ChildId(7), &value);
    EXPECT_STREQ(L"50%", value);
    ::SysFreeString(value);
    acc->Release();

    w.Close(8);
    EXPECT_EQ(8u, w.ShowModal());
}
