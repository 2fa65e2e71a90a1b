// The label's own painting and its text image, checked pixel by pixel on
// 32-bit memory bitmaps.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "controls/rich_label.h"
#include "controls/text_image.h"
#include "framework/ui_seam.h"
#include "res/resource.h"
#include "tests/win/support/controls_host.h"

namespace {

using L = CRichLabel;

class PaintableLabel : public CRichLabel {
public:
    using CRichLabel::Paint;
};

// A label of the given client size attached to a plain static.
struct Painted {
    Painted(int width, int height, const char* text) : host(SS_LEFT, text, width, height), canvas(width, height)
    {
        label.SubclassWindow(host.Static());
    }
    void Paint() { label.Paint(canvas.Dc()); }
    ControlsHost host;
    ControlsCanvas canvas;
    PaintableLabel label;
};

std::vector<COLORREF> Pixels(HDC dc, const RECT& r)
{
    std::vector<COLORREF> out;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            out.push_back(::GetPixel(dc, x, y));
    return out;
}

// ---- rotation ----

struct Font16 {
    Font16()
    {
        LOGFONTA lf{};
        lf.lfHeight = 16;
        lf.lfQuality = NONANTIALIASED_QUALITY;
        lstrcpyA(lf.lfFaceName, "Tahoma");
        font = ::CreateFontIndirectA(&lf);
    }
    ~Font16() { ::DeleteObject(font); }
    HFONT font;
};

// Some text that this font sets exactly `width` pixels wide.
std::string TextOfWidth(HFONT font, int width)
{
    const std::string glyphs = "Rliw.AbTxg";
    for (char a : glyphs)
        for (char b : glyphs)
            for (int i = 1; i < 12; ++i)
                for (int j = 0; j < 12; ++j) {
                    std::string s = std::string(static_cast<size_t>(i), a) + std::string(static_cast<size_t>(j), b);
                    if (ControlsTextExtent(font, s).cx == width)
                        return s;
                }
    return {};
}

class Platform : public UiSeam {
public:
    explicit Platform(DWORD id) : m_id(id), m_previous(SetUiSeam(this)) {}
    ~Platform() override { SetUiSeam(m_previous); }
    BOOL GetVersionEx(OSVERSIONINFOA* info) override
    {
        info->dwMajorVersion = m_id == VER_PLATFORM_WIN32_NT ? 5 : 4;
        info->dwPlatformId = m_id;
        return TRUE;
    }

private:
    DWORD m_id;
    UiSeam* m_previous;
};

struct RotationFixture : ::testing::Test {
    RotationFixture() : canvas(64, 64)
    {
        old = ::SelectObject(canvas.Dc(), font.font);
        text = TextOfWidth(font.font, 40);
    }
    ~RotationFixture() override { ::SelectObject(canvas.Dc(), old); }

    // Renders `text` turned by `rotation` and returns the image's pixels.
    std::vector<COLORREF> Render(int rotation, RECT* size)
    {
        CTextImage image(canvas.Dc(), text, 0, 0);
        image.SetBkColor(RGB(255, 255, 255));
        image.SetTextColor(RGB(0, 0, 0));
        EXPECT_TRUE(image.Render(rotation));
        *size = image.GetImageRect();
        return Pixels(image.GetImageDC(), *size);
    }

    Font16 font;
    ControlsCanvas canvas;
    HGDIOBJ old;
    std::string text;
};

TEST_F(RotationFixture, QuarterTurnsMoveEveryPixelWhereTheTurnPutsIt)
{
    ASSERT_FALSE(text.empty()) << "no text 40 pixels wide in this font";
    const int w = 40;
    const int h = 16;
    for (DWORD platform : {VER_PLATFORM_WIN32_NT, VER_PLATFORM_WIN32_WINDOWS}) {
        SCOPED_TRACE(platform == VER_PLATFORM_WIN32_NT ? "NT family" : "9x family");
        Platform system(platform);
        RECT r0{};
        const std::vector<COLORREF> source = Render(0, &r0);
        ASSERT_EQ(r0.right, w);
        ASSERT_EQ(r0.bottom, h);
        int ink = 0;
        for (COLORREF c : source)
            ink += c == RGB(0, 0, 0);
        ASSERT_GT(ink, 0);

        const struct {
            int rotation;
            int width;
            int height;
            std::function<POINT(int, int)> to;
        } cases[] = {
            {90, h, w, [&](int x, int y) { return POINT{h - 1 - y, x}; }},
            {180, w, h, [&](int x, int y) { return POINT{w - 1 - x, h - 1 - y}; }},
            {270, h, w, [&](int x, int y) { return POINT{y, w - 1 - x}; }},
            {45, w, h, [&](int x, int y) { return POINT{x, y}; }},
        };
        for (const auto& c : cases) {
            RECT r{};
            const std::vector<COLORREF> turned = Render(c.rotation, &r);
            ASSERT_EQ(r.right, c.width) << c.rotation;
            ASSERT_EQ(r.bottom, c.height) << c.rotation;
            int wrong = 0;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    POINT p = c.to(x, y);
                    wrong += turned[static_cast<size_t>(p.y * c.width + p.x)] != source[static_cast<size_t>(y * w + x)];
                }
            EXPECT_EQ(wrong, 0) << c.rotation;
        }
        // The block's top-left pixel is the top-right one after a clockwise turn.
        RECT r{};
        EXPECT_EQ(Render(90, &r)[static_cast<size_t>(h - 1)], source[0]);
    }
}

TEST_F(RotationFixture, PixelByPixelTurnEqualsPlgBlt)
{
    for (int rotation : {90, 180, 270, 45}) {
        RECT a{};
        RECT b{};
        std::vector<COLORREF> viaPlgBlt;
        std::vector<COLORREF> viaPixels;
        {
            Platform nt(VER_PLATFORM_WIN32_NT);
            viaPlgBlt = Render(rotation, &a);
        }
        {
            Platform win9x(VER_PLATFORM_WIN32_WINDOWS);
            viaPixels = Render(rotation, &b);
        }
        EXPECT_TRUE(EqualRect(&a, &b)) << rotation;
        EXPECT_EQ(viaPlgBlt, viaPixels) << rotation;
    }
    // Where the system's PlgBlt misplaces pixels the NT path copies pixel by
    // pixel as well; say which one was compared.
    std::cout << "[          ] PlgBlt exact on this system: " << CTextImage::PlgBltTurnsExactly() << std::endl;
}

// ---- the label's paint ----

TEST(LabelPaint, DisabledLabelShowsHighlightAndShadowNeverItsTextColour)
{
    // Dark enough to be painted as given on any button face.
    const COLORREF red = RGB(192, 0, 0);
    const COLORREF highlight = ::GetSysColor(COLOR_BTNHIGHLIGHT);
    const COLORREF shadow = ::GetSysColor(COLOR_BTNSHADOW);
    Painted p(120, 30, "Embossed");
    p.label.SetTextColor(red);
    RECT all{0, 0, 120, 30};
    p.Paint();
    ASSERT_GT(p.canvas.Count(all, red), 0);

    p.label.SetDisabled(TRUE);
    p.Paint();
    EXPECT_EQ(p.canvas.Count(all, red), 0);
    EXPECT_GT(p.canvas.Count(all, highlight), 0);
    EXPECT_GT(p.canvas.Count(all, shadow), 0);

    // The ordinary enable call gives the same look.
    p.label.SetDisabled(FALSE);
    ::EnableWindow(p.label, FALSE);
    p.Paint();
    EXPECT_EQ(p.canvas.Count(all, red), 0);
    EXPECT_GT(p.canvas.Count(all, shadow), 0);
}

TEST(LabelPaint, CustomTextBackgroundIsABlockOfWidestLineByLineCountPlacedByAlignment)
{
    const COLORREF green = RGB(0, 128, 0);
    const COLORREF blue = RGB(0, 0, 255);
    const int W = 160;
    const int H = 70;
    const struct {
        const char* text;
        int lines;
    } texts[] = {
        {"ab\nabcdefgh", 2},
        {"ab\n \nabcdefgh", 3},
        {"ab\n\nabcdefgh", 2},
        {"\nabcdefgh\n", 1},
    };
    const struct {
        UINT align;
        int h; // 0 left/top, 1 centre, 2 right/bottom
        int v;
    } aligns[] = {
        {L::HORZ_LEFT | L::VERT_TOP, 0, 0},
        {L::HORZ_CENTER | L::VERT_CENTER, 1, 1},
        {L::HORZ_RIGHT | L::VERT_BOTTOM, 2, 2},
    };
    for (const auto& t : texts) {
        for (const auto& a : aligns) {
            SCOPED_TRACE(std::string(t.text) + " / " + std::to_string(a.align));
            Painted p(W, H, "");
            p.label.SetBkColor(green).SetTextBkColor(blue).SetText(t.text).SetAlignment(a.align);
            const SIZE widest = ControlsTextExtent(p.label.GetFont(), "abcdefgh");
            const int w = widest.cx;
            const int h = widest.cy * t.lines;
            const int x = a.h == 0 ? 0 : a.h == 1 ? (W - w) / 2 : W - w;
            const int y = a.v == 0 ? 0 : a.v == 1 ? (H - h) / 2 : H - h;
            p.Paint();
            const RECT block = p.canvas.BoundsOfAllBut(green);
            EXPECT_EQ(block.left, x);
            EXPECT_EQ(block.top, y);
            EXPECT_EQ(block.right - block.left, w);
            EXPECT_EQ(block.bottom - block.top, h);
        }
    }
}

TEST(LabelPaint, BlockLargerThanTheClientShowsItsTopLeftPart)
{
    const COLORREF green = RGB(0, 128, 0);
    Painted p(20, 10, "WWWWWWWW\nWWWWWWWW");
    p.label.SetBkColor(green).SetTextBkColor(RGB(0, 0, 255)).SetAlignment(L::HORZ_LEFT | L::VERT_TOP);
    p.Paint();
    RECT all{0, 0, 20, 10};
    const std::vector<COLORREF> topLeft = Pixels(p.canvas.Dc(), all);
    EXPECT_EQ(p.canvas.Count(all, green), 0);

    for (UINT align : {L::HORZ_RIGHT | L::VERT_BOTTOM, L::HORZ_CENTER | L::VERT_CENTER}) {
        p.label.SetAlignment(align);
        p.Paint();
        EXPECT_EQ(Pixels(p.canvas.Dc(), all), topLeft) << align;
    }
}

struct BlinkCase {
    COLORREF face;
    bool customBackground;
    COLORREF blink;
};

TEST(LabelPaint, BackgroundBlinkShiftsThePackedColourRightByOne)
{
    const COLORREF saved = ::GetSysColor(COLOR_BTNFACE);
    const BlinkCase cases[] = {
        {RGB(192, 192, 192), false, RGB(96, 96, 96)},
        {RGB(236, 233, 216), false, RGB(246, 116, 108)},
        {RGB(236, 233, 216), true, RGB(236, 233, 216)},
    };
    for (const auto& c : cases) {
        INT element = COLOR_BTNFACE;
        COLORREF face = c.face;
        ::SetSysColors(1, &element, &face);
        {
            Painted p(40, 12, "");
            if (c.customBackground)
                p.label.SetBkColor(RGB(10, 20, 30));
            const COLORREF steady = c.customBackground ? RGB(10, 20, 30) : c.face;
            p.label.FlashBackground(TRUE, 1000000);
            ::SendMessageA(p.label, WM_TIMER, L::kBackBlinkTimer, 0);
            p.Paint();
            EXPECT_EQ(p.canvas.Pixel(0, 0), c.blink) << std::hex << c.face;
            ::SendMessageA(p.label, WM_TIMER, L::kBackBlinkTimer, 0);
            p.Paint();
            EXPECT_EQ(p.canvas.Pixel(0, 0), steady) << std::hex << c.face;
            p.label.FlashBackground(FALSE, 0);
        }
    }
    INT element = COLOR_BTNFACE;
    ::SetSysColors(1, &element, &saved);
}

// ---- etched rules ----

struct Rule {
    int x1, y1, x2, y2; // a horizontal rule has y1 == y2, a vertical one x1 == x2
};

// True when the rule's first line lies exactly on the given span, in the
// shadow colour, and stops at its ends.
::testing::AssertionResult RuleAt(const ControlsCanvas& canvas, const Rule& r, COLORREF shadow)
{
    const bool horizontal = r.y1 == r.y2;
    auto at = [&](int i) { return horizontal ? canvas.Pixel(i, r.y1) : canvas.Pixel(r.x1, i); };
    const int from = horizontal ? r.x1 : r.y1;
    const int to = horizontal ? r.x2 : r.y2;
    for (int i = from; i < to; ++i)
        if (at(i) != shadow)
            return ::testing::AssertionFailure() << "gap at " << i;
    if (from > 0 && at(from - 1) == shadow)
        return ::testing::AssertionFailure() << "starts before " << from;
    if (at(to) == shadow)
        return ::testing::AssertionFailure() << "runs past " << to;
    return ::testing::AssertionSuccess();
}

TEST(LabelPaint, EtchedRulesSitBesideTheTextByAlignmentAndRotation)
{
    const COLORREF shadow = ::GetSysColor(COLOR_BTNSHADOW);
    const struct {
        int W, H;
        int rotation;
        UINT align;
        int count;
    } cases[] = {
        {200, 40, 0, L::HORZ_LEFT | L::VERT_TOP, 1},
        {200, 40, 0, L::HORZ_CENTER | L::VERT_CENTER, 2},
        {200, 40, 180, L::HORZ_RIGHT | L::VERT_BOTTOM, 1},
        {40, 200, 90, L::HORZ_LEFT | L::VERT_TOP, 1},
        {40, 200, 270, L::HORZ_CENTER | L::VERT_CENTER, 2},
        {40, 200, 45, L::HORZ_RIGHT | L::VERT_BOTTOM, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.rotation) + " / " + std::to_string(c.align));
        Painted p(c.W, c.H, "ab");
        p.label.SetEtchedLine(TRUE).SetRotation(c.rotation).SetAlignment(c.align);
        const SIZE ext = ControlsTextExtent(p.label.GetFont(), "ab");
        const bool sideways = c.rotation == 90 || c.rotation == 270;
        const int w = sideways ? ext.cy : ext.cx;
        const int h = sideways ? ext.cx : ext.cy;
        const int W = c.W;
        const int H = c.H;
        std::vector<Rule> rules;
        if (c.rotation == 0 || c.rotation == 180) {
            const int y = c.align & L::VERT_CENTER ? H / 2 : c.align & L::VERT_BOTTOM ? H - h / 2 : h / 2;
            if (c.align & L::HORZ_CENTER) {
                rules.push_back({6, y, W / 2 - w / 2 - 6, y});
                rules.push_back({W / 2 + w / 2 + 6, y, W - 6, y});
            } else if (c.align & L::HORZ_RIGHT) {
                rules.push_back({6, y, W - w - 6, y});
            } else {
                rules.push_back({w + 6, y, W - 6, y});
            }
        } else {
            const int x = c.align & L::HORZ_CENTER ? W / 2 : c.align & L::HORZ_RIGHT ? W - w / 2 : w / 2;
            if (c.align & L::VERT_CENTER) {
                rules.push_back({x, 6, x, H / 2 - h / 2 - 6});
                rules.push_back({x, H / 2 + h / 2 + 6, x, H - 6});
            } else if (c.align & L::VERT_BOTTOM) {
                rules.push_back({x, 6, x, H - h - 6});
            } else {
                rules.push_back({x, h + 6, x, H - 6});
            }
        }
        ASSERT_EQ(static_cast<int>(rules.size()), c.count);
        p.Paint();
        for (const Rule& r : rules)
            EXPECT_TRUE(RuleAt(p.canvas, r, shadow)) << r.x1 << "," << r.y1 << "-" << r.x2 << "," << r.y2;
    }
}

TEST(LabelPaint, EmptyTextPlacesRulesAsForABlockOfSizeZero)
{
    const COLORREF shadow = ::GetSysColor(COLOR_BTNSHADOW);
    Painted p(100, 20, "");
    p.label.SetEtchedLine(TRUE);
    p.Paint();
    EXPECT_TRUE(RuleAt(p.canvas, Rule{6, 0, 94, 0}, shadow));
}

// ---- over a bitmap ----

TEST(LabelPaint, BitmapShowsBetweenGlyphsOnlyOnTheDirectPath)
{
    // A purple no logo pixel has, readable on the green block.
    const COLORREF magenta = RGB(128, 0, 127);
    const COLORREF block = RGB(1, 254, 3);
    const int W = 97; // the logo's size, so it sits at the origin
    const int H = 67;

    Painted bare(W, H, "");
    bare.label.SetBitmap(IDB_LOGO);
    ASSERT_NE(bare.label.GetBitmap(), nullptr);
    bare.Paint();
    const RECT all{0, 0, W, H};
    const std::vector<COLORREF> logo = Pixels(bare.canvas.Dc(), all);

    const struct {
        const char* text;
        UINT align;
        bool direct;
    } cases[] = {
        {"Ab", L::HORZ_LEFT | L::VERT_TOP, true},
        {"Ab", L::HORZ_LEFT | L::VERT_BOTTOM, true},
        {"Ab\nAb", L::HORZ_LEFT | L::VERT_TOP, true},
        {"Ab\nAb", L::HORZ_LEFT | L::VERT_BOTTOM, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " / " + std::to_string(c.align));
        Painted p(W, H, c.text);
        p.label.SetBitmap(IDB_LOGO).SetTextColor(magenta).SetTextBkColor(block).SetAlignment(c.align);
        p.Paint();
        const SIZE ext = ControlsTextExtent(p.label.GetFont(), "Ab");
        const int lines = c.text[2] ? 2 : 1;
        const int top = (c.align & L::VERT_BOTTOM) ? H - ext.cy * lines : 0;
        const RECT text{0, top, ext.cx, top + ext.cy * lines};
        int bitmap = 0;
        for (int y = text.top; y < text.bottom; ++y)
            for (int x = text.left; x < text.right; ++x)
                bitmap += p.canvas.Pixel(x, y) == logo[static_cast<size_t>(y * W + x)];
        const int area = (text.right - text.left) * (text.bottom - text.top);
        EXPECT_GT(p.canvas.Count(text, magenta), 0);
        if (c.direct) {
            EXPECT_GT(bitmap, area / 2);
            EXPECT_EQ(p.canvas.Count(text, block), 0);
        } else {
            EXPECT_EQ(bitmap, 0);
            EXPECT_GT(p.canvas.Count(text, block), area / 2);
        }
    }
}

} // namespace
