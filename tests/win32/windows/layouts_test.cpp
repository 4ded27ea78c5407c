// Every layout the installer loads, opened from the embedded skin archive in a
// window of its own, captured from the screen and probed where faults show:
// colours where no image lies, white six-digit text colours, the round-corner
// region, the progress bar's background and the running animation.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "driver/gui_driver.h"
#include "installer/messageinfobox.h"
#include "installer/resource.h"
#include "installer/vxmessagebox.h"
#include "support/test_support.h"
#include "ui/zipresource.h"
#include "util/string_util.h"
#include "windows/window_host.h"

namespace {

using vorn::gui::Capture;
using vorn::test::LayoutWindow;
using vorn::test::WindowThread;

constexpr uint32_t kWindowBack = 0x0B0919;
constexpr uint32_t kBoxBack = 0x171A28;
constexpr uint32_t kProgressBack = 0x161233;
constexpr uint32_t kUnknown = 0xFFFFFFFF;

WindowThread::Factory Layout(const wchar_t* className, const wchar_t* file) {
    return [=] { return std::make_unique<LayoutWindow>(className, file); };
}

// Opens the window, lets it paint and captures what the screen shows.
struct Shown {
    explicit Shown(WindowThread::Factory make) : window(std::move(make)) {
        if (window.Hwnd() == nullptr)
            return;
        ::Sleep(800);  // the first paint and the first animation frames
        captured = vorn::gui::CaptureWindow(window.Hwnd(), shot);
    }
    void Save(const wchar_t* layout) {
        const std::wstring path = vorn::test::WideArg("out") + L"\\" + layout + L".png";
        EXPECT_TRUE(shot.SavePng(path)) << "cannot save the screenshot";
    }
    WindowThread window;
    Capture shot;
    bool captured = false;
};

bool AnyPixel(const Capture& c, const RECT& r, bool (*test)(uint32_t)) {
    for (int y = r.top; y < r.bottom; ++y) {
        for (int x = r.left; x < r.right; ++x) {
            if (test(c.At(x, y)))
                return true;
        }
    }
    return false;
}

bool WhiteIsh(uint32_t p) {
    return vorn::gui::Red(p) >= 0xD0 && vorn::gui::Green(p) >= 0xD0 && vorn::gui::Blue(p) >= 0xD0;
}

bool BlueCyan(uint32_t p) {
    return vorn::gui::Blue(p) > vorn::gui::Red(p) + 60 && vorn::gui::Blue(p) > 0x80;
}

struct RegionTraits {
    using Handle = HRGN;
    static Handle Invalid() { return nullptr; }
    static bool Valid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { ::DeleteObject(h); }
};
using UniqueRegion = vorn::ScopedHandle<RegionTraits>;

// The layout's "roundcorner" becomes the window region (a rounded rectangle one
// pixel larger than the window), and the screen agrees with it at the corners:
// the desktop outside the region, the window (colour `inside`, if known) within.
void ExpectRoundCorners(const Shown& s, uint32_t inside) {
    const SIZE round = s.window.Window()->GetPaintManager().GetCornerSize();
    EXPECT_EQ(round.cx, 2);
    EXPECT_EQ(round.cy, 2);
    UniqueRegion region(::CreateRectRgn(0, 0, 0, 0));
    const int kind = ::GetWindowRgn(s.window.Hwnd(), region.Get());
    ASSERT_TRUE(kind == COMPLEXREGION || kind == SIMPLEREGION) << "the window has no region";
    UniqueRegion expected(
        ::CreateRoundRectRgn(0, 0, s.shot.width + 1, s.shot.height + 1, round.cx, round.cy));
    // Same pixels (EqualRgn would also compare how the rectangles are split).
    UniqueRegion difference(::CreateRectRgn(0, 0, 0, 0));
    EXPECT_EQ(::CombineRgn(difference.Get(), region.Get(), expected.Get(), RGN_XOR), NULLREGION)
        << "not the layout's rounded rectangle";

    Capture screen;
    ASSERT_TRUE(vorn::gui::CaptureScreen(screen));
    const uint32_t desktop = screen.At(2, 2);  // the windows are centred, far from here
    const int w = s.shot.width, h = s.shot.height;
    for (const POINT& p : {POINT{0, 0}, POINT{w - 1, 0}, POINT{0, h - 1}, POINT{w - 1, h - 1},
                           POINT{1, 0}, POINT{0, 1}}) {
        if (!::PtInRegion(region.Get(), p.x, p.y)) {
            EXPECT_EQ(s.shot.At(p.x, p.y), desktop) << "outside the region the window shows";
        } else if (inside != kUnknown) {
            EXPECT_EQ(s.shot.At(p.x, p.y), inside) << "inside the region the desktop shows";
        }
    }
}

void Close(Shown& s) {
    ASSERT_TRUE(s.window.IsOpen());
    s.window.Window()->Close(IDCLOSE);
    UINT code = 0;
    ASSERT_TRUE(s.window.WaitClosed(10000, code));
    EXPECT_EQ(code, static_cast<UINT>(IDCLOSE));
}

TEST(Layouts, CheckWindow) {
    Shown s(Layout(L"CheckWndUI", L"CheckWnd.xml"));
    ASSERT_NE(s.window.Hwnd(), nullptr);
    ASSERT_TRUE(s.captured);
    s.Save(L"CheckWnd");
    EXPECT_EQ(s.shot.width, 800);
    EXPECT_EQ(s.shot.height, 500);
    // "安装环境检测中..." in "#FFFFFF": six digits, yet drawn opaque white.
    EXPECT_TRUE(AnyPixel(s.shot, RECT{330, 415, 470, 445}, WhiteIsh)) << "label text not white";
    EXPECT_FALSE(AnyPixel(s.shot, RECT{20, 380, 200, 480}, WhiteIsh));

    ExpectRoundCorners(s, kUnknown);

    // The animation runs: the upper area changes between two captures.
    ::Sleep(700);
    Capture later;
    ASSERT_TRUE(vorn::gui::CaptureWindow(s.window.Hwnd(), later));
    int changed = 0;
    for (int y = 0; y < 360; y += 2) {
        for (int x = 0; x < 800; x += 2)
            changed += s.shot.At(x, y) != later.At(x, y);
    }
    EXPECT_GT(changed, 500) << "the animation did not move";
    int lowerChanged = 0;
    for (int y = 370; y < 500; y += 2) {
        for (int x = 0; x < 800; x += 2)
            lowerChanged += s.shot.At(x, y) != later.At(x, y);
    }
    EXPECT_EQ(lowerChanged, 0) << "the still lower band changed";
    Close(s);
}

TEST(Layouts, InstallPage) {
    Shown s(Layout(L"InstallWndUI", L"InstallWnd.xml"));
    ASSERT_TRUE(s.captured);
    s.Save(L"InstallWnd");
    EXPECT_EQ(s.shot.At(20, 380), kWindowBack);
    EXPECT_EQ(s.shot.At(780, 445), kWindowBack);
    EXPECT_TRUE(AnyPixel(s.shot, RECT{335, 400, 465, 435}, BlueCyan)) << "install button missing";
    // "同意并阅读" in 0xFFFFFFFF and "自定义路径" (font 1) in #FFFFFFFF.
    EXPECT_TRUE(AnyPixel(s.shot, RECT{40, 458, 120, 480}, WhiteIsh));
    EXPECT_TRUE(AnyPixel(s.shot, RECT{700, 458, 800, 480}, WhiteIsh));
    Close(s);
}

TEST(Layouts, ProgressWindow) {
    Shown s(Layout(L"ProcessWndUI", L"ProcessWnd.xml"));
    ASSERT_TRUE(s.captured);
    s.Save(L"ProcessWnd");
    EXPECT_EQ(s.shot.At(20, 480), kWindowBack);
    EXPECT_EQ(s.shot.At(400, 380), kWindowBack);
    // "progress_bk.png" is missing: the bar's colour shows; at value 0 no fill.
    EXPECT_EQ(s.shot.At(400, 433), kProgressBack);
    EXPECT_EQ(s.shot.At(80, 433), kProgressBack);
    EXPECT_EQ(s.shot.At(720, 433), kProgressBack);
    EXPECT_EQ(s.shot.At(400, 427), kWindowBack);
    auto* bar = static_cast<TavroLib::CProgressUI*>(s.window.Window()->FindControl(L"process"));
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->GetValue(), 0);
    // "CurDownNumLabel" in "#FFFFFF".
    EXPECT_TRUE(AnyPixel(s.shot, RECT{645, 400, 690, 420}, WhiteIsh));
    Close(s);
}

TEST(Layouts, CompletionWindow) {
    Shown s(Layout(L"CompleteWndUI", L"CompleteWnd.xml"));
    ASSERT_TRUE(s.captured);
    s.Save(L"CompleteWnd");
    EXPECT_TRUE(AnyPixel(s.shot, RECT{335, 420, 465, 455}, BlueCyan)) << "start button missing";
    EXPECT_TRUE(AnyPixel(s.shot, RECT{300, 80, 500, 300}, BlueCyan)) << "background missing";
    EXPECT_NE(s.window.Window()->FindControl(L"start"), nullptr);
    EXPECT_EQ(s.window.Window()->FindControl(L"note"), nullptr);
    Close(s);
}

TEST(Layouts, StartUpdateWindow) {
    Shown s(Layout(L"StartUpdateWndUI", L"StartUpdateWnd.xml"));
    ASSERT_TRUE(s.captured);
    s.Save(L"StartUpdateWnd");
    EXPECT_TRUE(AnyPixel(s.shot, RECT{335, 420, 465, 455}, BlueCyan)) << "start button missing";
    EXPECT_TRUE(AnyPixel(s.shot, RECT{300, 80, 500, 300}, BlueCyan)) << "background missing";
    Close(s);
}

TEST(Layouts, MessageInfoBox) {
    Shown s([] { return std::make_unique<MessageInfoBox>(); });
    ASSERT_TRUE(s.captured);
    s.Save(L"MessageInfoBox");
    EXPECT_EQ(s.shot.width, 498);
    EXPECT_EQ(s.shot.height, 230);
    EXPECT_EQ(s.shot.At(20, 200), kBoxBack);
    EXPECT_EQ(s.shot.At(20, 25), kBoxBack);
    // "未知异常" in white, centred in the label.
    EXPECT_TRUE(AnyPixel(s.shot, RECT{200, 80, 300, 105}, WhiteIsh));
    EXPECT_TRUE(AnyPixel(s.shot, RECT{195, 148, 305, 180}, BlueCyan)) << "ok button missing";
    ExpectRoundCorners(s, kBoxBack);
    Close(s);
}

TEST(Layouts, VXMessageBox) {
    Shown s([] { return std::make_unique<VXMessageBox>(); });
    ASSERT_TRUE(s.captured);
    s.Save(L"VXMessageBox");
    EXPECT_EQ(s.shot.At(20, 200), kBoxBack);
    EXPECT_TRUE(AnyPixel(s.shot, RECT{160, 80, 400, 105}, WhiteIsh)) << "label text not white";
    EXPECT_TRUE(AnyPixel(s.shot, RECT{275, 148, 410, 185}, BlueCyan)) << "cancel button missing";
    EXPECT_NE(s.shot.At(142, 93), kBoxBack) << "icon missing";
    ExpectRoundCorners(s, kBoxBack);
    Close(s);
}

// What every layout draws, pixel for pixel, as a fingerprint of its first
// frame: hidden, on this thread, before any timer could advance the animation.
struct Rendering {
    const wchar_t* name;
    WindowThread::Factory make;
    uint64_t fingerprint;
};

uint64_t Fingerprint(const std::vector<uint32_t>& pixels, int width, int height) {
    uint64_t h = 1469598103934665603ull;  // FNV-1a over the colours, alpha left out
    auto mix = [&h](uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            h ^= (v >> (8 * i)) & 0xFF;
            h *= 1099511628211ull;
        }
    };
    mix(static_cast<uint32_t>(width));
    mix(static_cast<uint32_t>(height));
    for (uint32_t p : pixels)
        mix(p & 0x00FFFFFF);
    return h;
}

bool RenderHidden(TavroLib::WindowImplBase& window, Capture& out) {
    vorn::test::InitToolkit();
    const DWORD kHiddenStyle = 0x10CE0000 & ~WS_VISIBLE;
    if (window.Create(nullptr, L"Velto加速器安装程序", kHiddenStyle, 0x100, CW_USEDEFAULT,
                      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT) == nullptr)
        return false;
    return window.GetPaintManager().RenderToPixels(out.pixels, out.width, out.height);
}

TEST(Layouts, PixelsStayAsTheyWere) {
    const Rendering renderings[] = {
        {L"CheckWnd", Layout(L"CheckWndUI", L"CheckWnd.xml"), 0xea4dbcb529251ff7ull},
        {L"InstallWnd", Layout(L"InstallWndUI", L"InstallWnd.xml"), 0x467398138f038f74ull},
        {L"ProcessWnd", Layout(L"ProcessWndUI", L"ProcessWnd.xml"), 0x462d351de87667b1ull},
        {L"CompleteWnd", Layout(L"CompleteWndUI", L"CompleteWnd.xml"), 0x6025bd44d2cedc70ull},
        {L"StartUpdateWnd", Layout(L"StartUpdateWndUI", L"StartUpdateWnd.xml"),
         0x6025bd44d2cedc70ull},
        {L"MessageInfoBox", [] { return std::make_unique<MessageInfoBox>(); },
         0x37909afdacd4d8feull},
        {L"VXMessageBox", [] { return std::make_unique<VXMessageBox>(); }, 0x9c8cd6f6284b4213ull},
    };
    for (const Rendering& r : renderings) {
        std::unique_ptr<TavroLib::WindowImplBase> window = r.make();
        Capture shot;
        ASSERT_TRUE(RenderHidden(*window, shot)) << "cannot render " << vorn::WideToUtf8(r.name);
        const uint64_t got = Fingerprint(shot.pixels, shot.width, shot.height);
        EXPECT_EQ(got, r.fingerprint)
            << vorn::WideToUtf8(r.name) << " draws differently: 0x" << std::hex << got;
    }
}

// Moved to a monitor of another DPI, every layout is drawn anew at that
// scale: the window's pixels grow with it and the layout's places, texts and
// images follow (the renderings are saved for a person to look at).
TEST(Layouts, FollowTheDisplayScale) {
    struct Probe {
        const wchar_t* name;
        WindowThread::Factory make;
        SIZE units;
        RECT white;  // where white text lies, in layout units
    };
    const Probe probes[] = {
        {L"CheckWnd", Layout(L"CheckWndUI", L"CheckWnd.xml"), {800, 500}, {330, 415, 470, 445}},
        {L"InstallWnd",
         Layout(L"InstallWndUI", L"InstallWnd.xml"),
         {800, 500},
         {40, 458, 120, 480}},
        {L"ProcessWnd",
         Layout(L"ProcessWndUI", L"ProcessWnd.xml"),
         {800, 500},
         {645, 400, 690, 420}},
        {L"CompleteWnd", Layout(L"CompleteWndUI", L"CompleteWnd.xml"), {800, 500}, {0, 0, 0, 0}},
        {L"MessageInfoBox",
         [] { return std::make_unique<MessageInfoBox>(); },
         {498, 230},
         {200, 80, 300, 105}},
        {L"VXMessageBox",
         [] { return std::make_unique<VXMessageBox>(); },
         {498, 230},
         {160, 80, 400, 105}},
    };
    for (const int dpi : {120, 144, 168, 192}) {
        const TavroLib::DpiScale scale(dpi);
        for (const Probe& p : probes) {
            const std::string what = vorn::WideToUtf8(p.name) + " at " + std::to_string(dpi);
            std::unique_ptr<TavroLib::WindowImplBase> window = p.make();
            Capture shot;
            ASSERT_TRUE(RenderHidden(*window, shot)) << what;
            RECT moved{100, 100, 100 + scale.ToDevice(p.units.cx),
                       100 + scale.ToDevice(p.units.cy)};
            ::SendMessageW(window->GetHandle(), TavroLib::kDpiChangedMessage, MAKEWPARAM(dpi, dpi),
                           reinterpret_cast<LPARAM>(&moved));
            ASSERT_TRUE(
                window->GetPaintManager().RenderToPixels(shot.pixels, shot.width, shot.height));
            EXPECT_EQ(shot.width, scale.ToDevice(p.units.cx)) << what;
            EXPECT_EQ(shot.height, scale.ToDevice(p.units.cy)) << what;
            if (p.white.right > 0) {
                EXPECT_TRUE(AnyPixel(shot, scale.ToDevice(p.white), WhiteIsh))
                    << what << ": no text";
            }
            // The fonts follow: the layout's sizes in the display's pixels.
            const TavroLib::FontInfo* font = window->GetPaintManager().GetFontAt(0);
            ASSERT_NE(font, nullptr);
            LOGFONTW lf{};
            ::GetObjectW(font->handle, sizeof(lf), &lf);
            EXPECT_EQ(-lf.lfHeight, scale.ToDevice(font->pixelSize)) << what;
            const std::wstring out = vorn::test::WideArg("out");
            if (!out.empty()) {
                EXPECT_TRUE(
                    shot.SavePng(out + L"\\" + p.name + L"-" + std::to_wstring(dpi) + L".png"));
            }
        }
    }
}

// The executable carries the archive as ZIPRES 102 in Chinese (PRC), small
// enough to be copied into memory whole.
TEST(SkinArchive, EmbeddedInTheInstaller) {
    const std::wstring exe = vorn::test::WideArg("installer");
    ASSERT_FALSE(exe.empty());
    HMODULE module = ::LoadLibraryExW(exe.c_str(), nullptr,
                                      LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module, nullptr);
    HRSRC found = ::FindResourceExW(module, L"ZIPRES", MAKEINTRESOURCEW(IDR_SKIN_ZIP),
                                    MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED));
    ASSERT_NE(found, nullptr) << "no ZIPRES 102 in language 2052";
    const DWORD size = ::SizeofResource(module, found);
    const auto* bytes =
        static_cast<const unsigned char*>(::LockResource(::LoadResource(module, found)));
    ASSERT_NE(bytes, nullptr);
    EXPECT_GT(size, 100000u);
    EXPECT_LT(size, 1572864u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes), 4), std::string("PK\x03\x04", 4));

    // Every layout and image the windows name opens from it.
    TavroLib::CZipResource archive;
    ASSERT_TRUE(archive.OpenMemory(L"check", bytes, size));
    for (const wchar_t* entry :
         {L"CheckWnd.xml", L"InstallWnd.xml", L"ProcessWnd.xml", L"CompleteWnd.xml",
          L"StartUpdateWnd.xml", L"MessageInfoBox.xml", L"VXMessageBox.xml", L"movie.gif",
          L"vxbackground2.png", L"vxbackground3.png", L"Close.png", L"okbtn.png", L"cancelbtn.png",
          L"confirmbtn.png", L"Messageic.png", L"progress.png"}) {
        EXPECT_TRUE(archive.HasEntry(entry)) << "missing entry";
    }
    EXPECT_FALSE(archive.HasEntry(L"progress_bk.png"));
    ::FreeLibrary(module);
}

}  // namespace
