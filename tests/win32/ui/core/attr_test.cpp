// Attribute values of the layouts: colours, alignment words, images, numbers.
#include <gtest/gtest.h>

#include "ui/attributes.h"

using namespace TavroLib;

TEST(UiAttr, ColoursReadAsArgbWithOptionalPrefixes) {
    DWORD c = 1;
    ASSERT_TRUE(ParseColor(L"#FFFFFF", c));
    EXPECT_EQ(0x00FFFFFFu, c);  // six digits: alpha 0
    ASSERT_TRUE(ParseColor(L"0xFF5A5A5A", c));
    EXPECT_EQ(0xFF5A5A5Au, c);
    ASSERT_TRUE(ParseColor(L"#FF0B0919", c));
    EXPECT_EQ(0xFF0B0919u, c);
    ASSERT_TRUE(ParseColor(L"#808080", c));
    EXPECT_EQ(0x00808080u, c);
    ASSERT_TRUE(ParseColor(L"ff26d4fd", c));
    EXPECT_EQ(0xFF26D4FDu, c);
    EXPECT_FALSE(ParseColor(L"#", c));
    EXPECT_FALSE(ParseColor(L"xyz", c));
    EXPECT_FALSE(ParseColor(nullptr, c));
    EXPECT_EQ(7u, ParseColorOr(L"", 7));
}

TEST(UiAttr, AlignWordsAreLowerCaseSubstrings) {
    const UINT def = DT_LEFT | DT_VCENTER | DT_SINGLELINE;
    EXPECT_EQ(def, ParseAlign(L"Left", def));  // upper case changes nothing
    EXPECT_EQ(DT_CENTER | DT_VCENTER | DT_SINGLELINE, ParseAlign(L"center", def));
    EXPECT_EQ(DT_RIGHT | DT_VCENTER | DT_SINGLELINE, ParseAlign(L"right", def));
    EXPECT_EQ(DT_CENTER | DT_SINGLELINE | DT_CENTER,
              ParseAlign(L"Center", DT_CENTER | DT_SINGLELINE));
    // "vcenter" alone is vertical only.
    EXPECT_EQ(DT_LEFT | DT_VCENTER | DT_SINGLELINE,
              ParseAlign(L"vcenter", DT_LEFT | DT_TOP | DT_SINGLELINE));
    EXPECT_EQ(DT_CENTER | DT_BOTTOM | DT_SINGLELINE, ParseAlign(L"center bottom", def));
    EXPECT_EQ(DT_RIGHT | DT_TOP | DT_SINGLELINE, ParseAlign(L"toprightx", def));
}

TEST(UiAttr, ImageFormsBareAndFileDest) {
    ImageAttr img;
    ASSERT_TRUE(ParseImageAttr(L"Close.png", img));
    EXPECT_EQ(L"Close.png", img.file);
    EXPECT_FALSE(img.hasDest);
    ASSERT_TRUE(ParseImageAttr(L"file='expand.png' dest='70,2,88,20'", img));
    EXPECT_EQ(L"expand.png", img.file);
    ASSERT_TRUE(img.hasDest);
    EXPECT_EQ(70, img.dest.left);
    EXPECT_EQ(2, img.dest.top);
    EXPECT_EQ(88, img.dest.right);
    EXPECT_EQ(20, img.dest.bottom);
    ASSERT_TRUE(ParseImageAttr(L"file='environment.png'", img));
    EXPECT_EQ(L"environment.png", img.file);
    EXPECT_FALSE(img.hasDest);
    ASSERT_TRUE(ParseImageAttr(L"file='confirmbtn_on .png'", img));  // blank inside the name
    EXPECT_EQ(L"confirmbtn_on .png", img.file);
    EXPECT_FALSE(ParseImageAttr(L"", img));
    EXPECT_FALSE(ParseImageAttr(L"dest='1,2,3,4'", img));
    // A quote left open runs to the end of the value.
    ASSERT_TRUE(ParseImageAttr(L"file='unterminated", img));
    EXPECT_EQ(L"unterminated", img.file);
}

TEST(UiAttr, NumbersAreClamped) {
    RECT rc = ParseRect(L"755,10,785,40");
    EXPECT_EQ(755, rc.left);
    EXPECT_EQ(40, rc.bottom);
    rc = ParseRect(L"-99999999999999,5,99999999999999");
    EXPECT_EQ(-kMaxCoordinate, rc.left);
    EXPECT_EQ(5, rc.top);
    EXPECT_EQ(kMaxCoordinate, rc.right);
    EXPECT_EQ(0, rc.bottom);
    rc = ParseRect(L"a,b,,7");
    EXPECT_EQ(0, rc.left);
    EXPECT_EQ(7, rc.bottom);
    const SIZE sz = ParseSize(L"-5, 800");
    EXPECT_EQ(0, sz.cx);
    EXPECT_EQ(800, sz.cy);
    EXPECT_EQ(100, ParseInt(L"1000", 0, 100, 3));
    EXPECT_EQ(3, ParseInt(L"x", 0, 100, 3));
    EXPECT_TRUE(ParseBool(L"true"));
    EXPECT_FALSE(ParseBool(L"1"));
}
