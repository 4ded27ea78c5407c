// Attribute values of the layouts: colours, alignment words, images, numbers;
// their units against a display's pixels, and images scaled to those.
#include <gtest/gtest.h>

#include <vector>

#include "ui/attributes.h"
#include "ui/dpiscale.h"
#include "ui/imagescaler.h"

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

TEST(UiUnits, PixelsOfTheCommonScales) {
    struct Case {
        int dpi;
        int units;
        int pixels;
    };
    const Case cases[] = {
        {96, 801, 801}, {96, -7, -7},    {120, 800, 1000}, {120, 1, 1},     {120, 2, 3},
        {120, 10, 13},  {120, -10, -13}, {144, 1, 2},      {144, 469, 704}, {168, 4, 7},
        {192, 4, 8},    {192, -3, -6},   {30, 5, 5},       {2000, 5, 5},  // out of range: 96
    };
    for (const Case& c : cases)
        EXPECT_EQ(DpiScale(c.dpi).ToDevice(c.units), c.pixels) << c.dpi << " " << c.units;
    // A line is never thinner than a pixel; none stays none.
    EXPECT_EQ(DpiScale(120).ToDeviceWidth(1), 1);
    EXPECT_EQ(DpiScale(144).ToDeviceWidth(1), 2);
    EXPECT_EQ(DpiScale(144).ToDeviceWidth(0), 0);
}

TEST(UiUnits, EveryPixelBelongsToTheUnitThatCoversIt) {
    for (const int dpi : {96, 120, 144, 168, 192}) {
        const DpiScale scale(dpi);
        for (int x = -40; x < 400; ++x) {
            const int u = scale.ToLogical(x);
            ASSERT_LE(scale.ToDevice(u), x) << dpi << " " << x;
            ASSERT_GT(scale.ToDevice(u + 1), x) << dpi << " " << x;
        }
        // A repaint of any pixels reaches every control drawn there.
        const RECT cover = scale.ToLogicalCover(RECT{13, 7, 101, 55});
        const RECT back = scale.ToDevice(cover);
        EXPECT_LE(back.left, 13);
        EXPECT_LE(back.top, 7);
        EXPECT_GE(back.right, 101);
        EXPECT_GE(back.bottom, 55);
    }
}

TEST(UiUnits, ScaledImagesKeepFlatColoursAndStayPremultiplied) {
    // A flat colour stays that colour at any size; premultiplied colour never
    // exceeds its alpha, even where the cubic overshoots at a hard edge.
    const std::vector<uint32_t> flat(7 * 5, 0x80402010u);
    std::vector<uint32_t> out;
    for (const ResampleFilter filter : {ResampleFilter::Cubic, ResampleFilter::Linear}) {
        for (const SIZE to : {SIZE{14, 10}, SIZE{9, 6}, SIZE{3, 2}, SIZE{7, 5}}) {
            ASSERT_TRUE(ResamplePixels(flat.data(), 7, 5, to.cx, to.cy, out, filter));
            ASSERT_EQ(out.size(), static_cast<size_t>(to.cx * to.cy));
            for (uint32_t p : out)
                ASSERT_EQ(p, 0x80402010u) << to.cx << "x" << to.cy;
        }
    }
    // Enlarged linearly, a ramp stays a ramp between its ends.
    const std::vector<uint32_t> ramp{0xFF000000u, 0xFF404040u, 0xFF808080u};
    ASSERT_TRUE(ResamplePixels(ramp.data(), 3, 1, 6, 2, out, ResampleFilter::Linear));
    for (size_t i = 1; i < 6; ++i)
        EXPECT_LE(out[i - 1] & 0xFF, out[i] & 0xFF);
    EXPECT_EQ(out[0], 0xFF000000u);
    EXPECT_EQ(out[5], 0xFF808080u);
    std::vector<uint32_t> edge(8 * 1, 0u);
    for (int x = 4; x < 8; ++x)
        edge[x] = 0xFFFFFFFFu;
    ASSERT_TRUE(ResamplePixels(edge.data(), 8, 1, 13, 2, out));
    for (uint32_t p : out) {
        const uint32_t a = p >> 24;
        EXPECT_LE(p & 0xFF, a);
        EXPECT_LE((p >> 8) & 0xFF, a);
        EXPECT_LE((p >> 16) & 0xFF, a);
    }
    EXPECT_EQ(out.front(), 0u);
    EXPECT_EQ(out.back(), 0xFFFFFFFFu);
    EXPECT_FALSE(ResamplePixels(edge.data(), 8, 1, 0, 2, out));
    EXPECT_TRUE(out.empty());
}
