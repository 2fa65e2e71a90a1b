// The readability rule the labels paint their own colours by: WCAG 2
// contrast ratios, and the nearest colour of the same hue that reaches 4.5:1.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "controls/contrast.h"

namespace {

using contrast::Colour;
using contrast::Ratio;
using contrast::Readable;

constexpr Colour kBlack = 0x000000;
constexpr Colour kWhite = 0xFFFFFF;
constexpr Colour kPureRed = 0x0000FF; // packed 0x00BBGGRR
constexpr Colour kPureBlue = 0xFF0000;

TEST(Contrast, RatiosOfKnownPairs)
{
    const struct {
        Colour a, b;
        double ratio;
    } cases[] = {
        {kBlack, kWhite, 21.0},
        {kWhite, kBlack, 21.0}, // either order
        {kWhite, kWhite, 1.0},
        {kPureRed, kWhite, 4.00},
        {kPureBlue, kWhite, 8.59},
        {0x767676, kWhite, 4.54}, // the lightest grey that passes on white
        {0x777777, kWhite, 4.48},
        {kPureRed, 0xF0F0F0, 3.51},  // caution text on Windows 10's button face
        {kPureBlue, kBlack, 2.44},   // model and revision on High Contrast Black
        {0x00FF00, kBlack, 15.30},   // green's weight dominates luminance
    };
    for (const auto& c : cases)
        EXPECT_NEAR(Ratio(c.a, c.b), c.ratio, 0.005) << std::hex << c.a << " on " << c.b;
}

// True when `c` keeps the hue of `original`: the same channel is strongest
// and the same is weakest, and the middle one keeps its place between them.
bool SameHue(Colour original, Colour c)
{
    const int o[3] = {contrast::Red(original), contrast::Green(original), contrast::Blue(original)};
    const int n[3] = {contrast::Red(c), contrast::Green(c), contrast::Blue(c)};
    const double oSpan = std::max({o[0], o[1], o[2]}) - std::min({o[0], o[1], o[2]});
    const double nSpan = std::max({n[0], n[1], n[2]}) - std::min({n[0], n[1], n[2]});
    if (oSpan == 0)
        return nSpan == 0;
    const int oLo = std::min({o[0], o[1], o[2]});
    const int nLo = std::min({n[0], n[1], n[2]});
    for (int i = 0; i < 3; ++i) {
        // Each channel's place between the weakest and the strongest, 0..1.
        const double before = (o[i] - oLo) / oSpan;
        const double after = nSpan ? (n[i] - nLo) / nSpan : 0;
        if (std::abs(before - after) > 0.05)
            return false;
    }
    return true;
}

TEST(Contrast, ReadableKeepsWhatPassesAndMovesTheRestJustFarEnough)
{
    const struct {
        const char* what;
        Colour text, background;
        bool kept;
        bool darker; // when moved: darker (light background) or lighter
    } cases[] = {
        {"black on white", kBlack, kWhite, true, false},
        {"blue on Windows 10's face", kPureBlue, 0xF0F0F0, true, false},
        {"exactly the grey that passes", 0x767676, kWhite, true, false},
        {"red on Windows 10's face", kPureRed, 0xF0F0F0, false, true},
        {"red on classic grey", kPureRed, 0xC0C0C0, false, true},
        {"blue on black", kPureBlue, kBlack, false, false},
        {"orange on white", 0x00A5FF, kWhite, false, true},
        {"dark teal on dark grey", 0x606000, 0x303030, false, false},
        {"white on white", kWhite, kWhite, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Colour made = Readable(c.text, c.background);
        EXPECT_GE(Ratio(made, c.background), contrast::kReadable);
        if (c.kept) {
            EXPECT_EQ(made, c.text);
            continue;
        }
        EXPECT_NE(made, c.text);
        EXPECT_TRUE(SameHue(c.text, made)) << std::hex << made;
        EXPECT_EQ(contrast::Luminance(made) < contrast::Luminance(c.text), c.darker) << std::hex << made;
        // The nearest: not driven on to black or white, just past the mark.
        EXPECT_LT(Ratio(made, c.background), contrast::kReadable + 0.15) << std::hex << made;
    }
    // A grey keeps no hue to lose: white on white ends on the grey that
    // first passes.
    EXPECT_EQ(Readable(kWhite, kWhite), 0x767676u);
}

TEST(Contrast, MidGreyBackgroundStillReachesTheMark)
{
    // Half-way backgrounds are the hardest: only one side gives 4.5:1.
    for (Colour background : {0x757575u, 0x767676u, 0x777777u, 0x808080u})
        for (Colour text : {kPureRed, kPureBlue, 0x808080u})
            EXPECT_GE(Ratio(Readable(text, background), background), contrast::kReadable)
                << std::hex << text << " on " << background;
}

// The colours the dialogs give their labels, on the button faces the labels
// stand on by default; printed for the release notes.
TEST(Contrast, DialogColoursOnDefaultButtonFaces)
{
    const struct {
        const char* name;
        Colour colour;
    } colours[] = {
        {"model and revision, blue", kPureBlue},
        {"caution, red", kPureRed},
        {"default label text (window text)", kBlack},
    };
    const struct {
        const char* name;
        Colour face;
    } faces[] = {
        {"Windows 10/11", 0xF0F0F0},
        {"Windows classic", 0xC0C0C0},
        {"Windows 2000/XP classic", 0xC8D0D4},
        {"Wine 8 (Light theme)", 0xF5F5F5},
    };
    std::printf("%-34s %-24s %7s  %-7s %8s %7s\n", "colour", "button face", "ratio", "result", "COLORREF", "ratio");
    for (const auto& c : colours)
        for (const auto& f : faces) {
            const Colour made = Readable(c.colour, f.face);
            const double before = Ratio(c.colour, f.face);
            EXPECT_EQ(made == c.colour, before >= contrast::kReadable) << c.name << " on " << f.name;
            EXPECT_GE(Ratio(made, f.face), contrast::kReadable) << c.name << " on " << f.name;
            std::printf("%-34s %-24s %6.2f:1  %-7s %06X %6.2f:1\n", c.name, f.name, before,
                        made == c.colour ? "kept" : "changed", static_cast<unsigned>(made), Ratio(made, f.face));
        }
    std::fflush(stdout);
}

} // namespace
