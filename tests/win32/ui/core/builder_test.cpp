// The layout builder: window attributes, fonts, controls and their
// attributes, and layouts that are broken in one way or another.
#include <gtest/gtest.h>

#include <string>

#include "ui/toolkit.h"
#include "ui/zipresource.h"
#include "ui_test_util.h"

using namespace TavroLib;

namespace {

class RecordingCallback : public IDialogBuilderCallback {
  public:
    CControlUI* CreateControl(const wchar_t* pstrClass) override {
        seen.push_back(pstrClass);
        return nullptr;
    }
    std::vector<std::wstring> seen;
};

std::vector<unsigned char> Bytes(const std::string& s) {
    return std::vector<unsigned char>(s.begin(), s.end());
}

class UiBuilder : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(uitest::OpenTestArchive()); }
};

void ExpectTestLayout(const wchar_t* file) {
    CPaintManagerUI pm;
    RecordingCallback cb;
    CDialogBuilder builder;
    CControlUI* root = builder.Create(file, &cb, &pm);
    ASSERT_NE(nullptr, root) << builder.GetLastErrorText();
    ASSERT_TRUE(pm.SetRoot(root));

    EXPECT_EQ(400, pm.GetInitialSize().cx);
    EXPECT_EQ(300, pm.GetInitialSize().cy);
    EXPECT_EQ(300, pm.GetCaptionArea().bottom);
    EXPECT_EQ(0, pm.GetCaptionArea().right);
    EXPECT_EQ(2, pm.GetCornerSize().cx);

    // Fonts by order, whatever "id" says; the second is the default.
    ASSERT_EQ(2, pm.GetFontCount());
    EXPECT_EQ(18, pm.GetFontAt(0)->pixelSize);
    EXPECT_EQ(14, pm.GetFontAt(1)->pixelSize);
    EXPECT_EQ(L"微软雅黑", pm.GetFontAt(1)->face);
    EXPECT_EQ(1, pm.GetDefaultFontIndex());
    EXPECT_EQ(pm.GetFontAt(1), pm.ResolveFont(-1));
    EXPECT_EQ(pm.GetFontAt(1), pm.ResolveFont(9));
    LOGFONTW lf{};
    ASSERT_NE(0, ::GetObjectW(pm.GetFontAt(0)->handle, sizeof(lf), &lf));
    EXPECT_EQ(-18, lf.lfHeight);
    EXPECT_EQ(DEFAULT_CHARSET, lf.lfCharSet);

    EXPECT_EQ(root, pm.FindControl(L"root"));
    EXPECT_EQ(0xFF0B0919u, root->GetBkColor());

    auto* btn = static_cast<CButtonUI*>(pm.FindControl(L"btn"));
    ASSERT_NE(nullptr, btn);
    EXPECT_EQ(L"ButtonUI", btn->GetTypeName());
    EXPECT_EQ(0x00FFFFFFu, btn->GetTextColor());
    EXPECT_EQ(1, btn->GetFont());
    EXPECT_EQ(UINT(DT_LEFT | DT_VCENTER | DT_SINGLELINE), btn->GetTextStyle());  // "Left": nothing
    EXPECT_EQ(L"按钮", btn->GetText());
    EXPECT_TRUE(btn->IsFloating());
    EXPECT_EQ(20, btn->GetFloatPos().left);
    EXPECT_EQ(110, btn->GetFloatPos().bottom);
    EXPECT_EQ(100, btn->GetFixedWidth());
    EXPECT_EQ(4, btn->GetBorderRound().cx);

    auto* lbl = static_cast<CLabelUI*>(pm.FindControl(L"lbl"));
    ASSERT_NE(nullptr, lbl);
    EXPECT_EQ(UINT(DT_CENTER | DT_VCENTER | DT_SINGLELINE), lbl->GetTextStyle());
    auto* lbl2 = static_cast<CLabelUI*>(pm.FindControl(L"lbl2"));
    ASSERT_NE(nullptr, lbl2);
    EXPECT_EQ(0xFF5A5A5Au, lbl2->GetTextColor());
    EXPECT_EQ(UINT(DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS), lbl2->GetTextStyle());

    auto* closebtn = static_cast<CButtonUI*>(pm.FindControl(L"closebtn"));
    ASSERT_NE(nullptr, closebtn);
    EXPECT_EQ(L"Close.png", closebtn->GetNormalImage());
    EXPECT_EQ(L"关闭", closebtn->GetToolTip());
    CControlUI* rest = pm.FindControl(L"rest");
    ASSERT_NE(nullptr, rest);
    EXPECT_EQ(L"file='Close.png' dest='10,60,20,70'", rest->GetBkImage());
    CControlUI* band = pm.FindControl(L"band");
    ASSERT_NE(nullptr, band);
    EXPECT_FALSE(band->IsFloating());
    EXPECT_EQ(50, band->GetFixedHeight());

    auto* edit = static_cast<CEditUI*>(pm.FindControl(L"edit"));
    ASSERT_NE(nullptr, edit);
    EXPECT_EQ(0xFF120F29u, edit->GetNativeBkColor());
    EXPECT_EQ(1, edit->GetBorderSize());
    EXPECT_EQ(0xFF4492DFu, edit->GetBorderColor());
    auto* prog = static_cast<CProgressUI*>(pm.FindControl(L"prog"));
    ASSERT_NE(nullptr, prog);
    EXPECT_EQ(0, prog->GetMinValue());
    EXPECT_EQ(100, prog->GetMaxValue());
    EXPECT_EQ(L"progress.png", prog->GetForeImage());
    auto* gif = static_cast<CGifAnimUI*>(pm.FindControl(L"gif"));
    ASSERT_NE(nullptr, gif);
    EXPECT_EQ(2u, gif->GetFrameCount());
    EXPECT_EQ(4, gif->GetFixedWidth());  // autosize

    // Unknown elements go to the callback; they and their children are skipped.
    ASSERT_EQ(1u, cb.seen.size());
    EXPECT_EQ(L"Unknown", cb.seen[0]);
    EXPECT_EQ(nullptr, pm.FindControl(L"unknown"));
    EXPECT_EQ(nullptr, pm.FindControl(L"inner_unknown"));
    EXPECT_EQ(nullptr, pm.FindControl(L"nosuch"));
}

}  // namespace

TEST_F(UiBuilder, LayoutWithCommentBeforeDeclarationLf) {
    ExpectTestLayout(L"TestWnd.xml");
}

TEST_F(UiBuilder, LayoutWithCrlf) {
    ExpectTestLayout(L"CrlfWnd.xml");
}

TEST_F(UiBuilder, BrokenLayoutsGiveNoTree) {
    CPaintManagerUI pm;
    CDialogBuilder builder;
    EXPECT_EQ(nullptr, builder.Create(L"Broken.xml", nullptr, &pm));
    EXPECT_FALSE(builder.GetLastErrorText().empty());
    EXPECT_EQ(nullptr, builder.Create(L"Empty.xml", nullptr, &pm));
    EXPECT_EQ(nullptr, builder.Create(L"Missing.xml", nullptr, &pm));
    EXPECT_EQ(nullptr, builder.Create(nullptr, nullptr, &pm));
    EXPECT_EQ(nullptr, builder.CreateFromBytes(Bytes(""), nullptr, &pm));
    EXPECT_EQ(nullptr, builder.CreateFromBytes(Bytes("\xff\xfe\x00<<<"), nullptr, &pm));
    EXPECT_EQ(nullptr, builder.CreateFromBytes(Bytes("<Window><Unknown/></Window>"), nullptr, &pm));

    // Too deep: refused, not a stack overflow.
    std::string deep = "<Window>";
    for (int i = 0; i < 5000; ++i)
        deep += "<VerticalLayout>";
    for (int i = 0; i < 5000; ++i)
        deep += "</VerticalLayout>";
    deep += "</Window>";
    EXPECT_EQ(nullptr, builder.CreateFromBytes(Bytes(deep), nullptr, &pm));
    // Too many controls.
    std::string wide = "<Window><VerticalLayout>";
    for (int i = 0; i < CDialogBuilder::kMaxControls + 10; ++i)
        wide += "<Label/>";
    wide += "</VerticalLayout></Window>";
    EXPECT_EQ(nullptr, builder.CreateFromBytes(Bytes(wide), nullptr, &pm));
}

TEST_F(UiBuilder, AbsurdValuesAreClamped) {
    CPaintManagerUI pm;
    CDialogBuilder builder;
    CControlUI* root = builder.CreateFromBytes(
        Bytes(
            "<Window size=\"99999999,-4\" roundcorner=\"-1,99999999\">"
            "<Font name=\"x\" size=\"99999999\"/>"
            "<VerticalLayout><Label name=\"l\" float=\"true\" pos=\"-99999999999,0,99999999999,5\" "
            "bordersize=\"99999\" font=\"77\" textcolor=\"#GG\"/></VerticalLayout></Window>"),
        nullptr, &pm);
    ASSERT_NE(nullptr, root);
    ASSERT_TRUE(pm.SetRoot(root));
    EXPECT_EQ(kMaxWindowExtent, pm.GetInitialSize().cx);
    EXPECT_EQ(0, pm.GetInitialSize().cy);
    EXPECT_EQ(0, pm.GetCornerSize().cx);
    EXPECT_EQ(kMaxWindowExtent, pm.GetCornerSize().cy);
    EXPECT_EQ(500, pm.GetFontAt(0)->pixelSize);
    auto* l = static_cast<CLabelUI*>(pm.FindControl(L"l"));
    ASSERT_NE(nullptr, l);
    EXPECT_EQ(-kMaxCoordinate, l->GetFloatPos().left);
    EXPECT_EQ(kMaxCoordinate, l->GetFloatPos().right);
    EXPECT_EQ(100, l->GetBorderSize());
    EXPECT_EQ(0u, l->GetTextColor());
    EXPECT_NE(nullptr, pm.ResolveFont(l->GetFont()));  // falls back
}

TEST_F(UiBuilder, ArchiveProblemsGiveNoTree) {
    CPaintManagerUI pm;
    CDialogBuilder builder;
    CZipResource::Instance().Close();
    EXPECT_EQ(nullptr,
              builder.Create(L"TestWnd.xml", nullptr, &pm));  // nothing open, no folder file
    EXPECT_FALSE(uitest::OpenTestArchive(103));               // not a zip
    EXPECT_EQ(nullptr, builder.Create(L"TestWnd.xml", nullptr, &pm));
    EXPECT_FALSE(uitest::OpenTestArchive(104));  // cut short: no end record
    EXPECT_EQ(nullptr, builder.Create(L"TestWnd.xml", nullptr, &pm));
    ASSERT_TRUE(uitest::OpenTestArchive(102));
}

TEST(UiDelegate, DuplicatesIgnoredAndFalseStopsTheList) {
    struct Target {
        std::vector<int>* log;
        bool A(void*) {
            log->push_back(1);
            return true;
        }
        bool B(void*) {
            log->push_back(2);
            return false;
        }
        bool C(void*) {
            log->push_back(3);
            return true;
        }
    };
    std::vector<int> log;
    Target t{&log};
    Target other{&log};
    CDelegateList src;
    src += MakeDelegate(&t, &Target::A);
    src += MakeDelegate(&t, &Target::A);      // same object and member: ignored
    src += MakeDelegate(&other, &Target::A);  // another object: kept
    EXPECT_EQ(2u, src.GetCount());
    EXPECT_TRUE(src(nullptr));
    EXPECT_EQ((std::vector<int>{1, 1}), log);

    log.clear();
    src += MakeDelegate(&t, &Target::B);
    src += MakeDelegate(&t, &Target::C);
    EXPECT_FALSE(src(nullptr));
    EXPECT_EQ((std::vector<int>{1, 1, 2}), log);  // C is not reached

    src -= MakeDelegate(&t, &Target::B);
    log.clear();
    EXPECT_TRUE(src(nullptr));
    EXPECT_EQ((std::vector<int>{1, 1, 3}), log);
}

TEST(UiControl, ProgressSetValueWithinRangeOnly) {
    CProgressUI p;
    p.SetValue(50);
    EXPECT_EQ(50, p.GetValue());
    p.SetValue(101);
    EXPECT_EQ(50, p.GetValue());
    p.SetValue(-1);
    EXPECT_EQ(50, p.GetValue());
    p.SetValue(100);
    EXPECT_EQ(100, p.GetValue());
    p.SetPos(10, 0, 110, 6);
    p.SetValue(25);
    EXPECT_EQ(35, p.GetFillRect().right);
    p.SetMaxValue(0);  // empty range: no fill, no division by zero
    EXPECT_EQ(10, p.GetFillRect().right);
}

TEST(UiControl, SetTextTakesNullAsEmpty) {
    CLabelUI l;
    l.SetText(L"a");
    EXPECT_EQ(L"a", l.GetText());
    l.SetText(static_cast<const wchar_t*>(nullptr));
    EXPECT_EQ(L"", l.GetText());
}
