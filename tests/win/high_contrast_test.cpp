// High contrast and system colours: the rich labels, the tool tip and the
// warning dialog paint with the system's colours while a high-contrast theme
// is on, pick up a changed palette when told of it, and show their own
// colours again (made readable) once it is off. The palette and the
// high-contrast answer are the test's, played through the system-colour
// seam; paints are read back from memory bitmaps.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <map>
#include <string>

#include "app/warning_dlg.h"
#include "controls/rich_label.h"
#include "controls/tool_tip.h"
#include "framework/system_colours.h"
#include "res/resource.h"
#include "tests/win/support/controls_host.h"
#include "tests/win/support/dialog_harness.h"

namespace {

using Palette = std::map<int, COLORREF>;

// Windows 10's default theme, as far as these controls look.
const Palette kDefaultTheme = {
    {COLOR_BTNFACE, RGB(240, 240, 240)},   {COLOR_WINDOWTEXT, RGB(0, 0, 0)},
    {COLOR_BTNTEXT, RGB(0, 0, 0)},         {COLOR_INFOBK, RGB(255, 255, 225)},
    {COLOR_INFOTEXT, RGB(0, 0, 0)},        {COLOR_HIGHLIGHT, RGB(0, 120, 215)},
    {COLOR_BTNHIGHLIGHT, RGB(255, 255, 255)}, {COLOR_BTNSHADOW, RGB(160, 160, 160)},
};
// High Contrast Black.
const Palette kHighContrastBlack = {
    {COLOR_BTNFACE, RGB(0, 0, 0)},         {COLOR_WINDOWTEXT, RGB(255, 255, 255)},
    {COLOR_BTNTEXT, RGB(255, 255, 255)},   {COLOR_INFOBK, RGB(0, 0, 0)},
    {COLOR_INFOTEXT, RGB(255, 255, 255)},  {COLOR_HIGHLIGHT, RGB(26, 235, 255)},
    {COLOR_BTNHIGHLIGHT, RGB(255, 255, 255)}, {COLOR_BTNSHADOW, RGB(255, 255, 255)},
};

// The system as the test plays it, while the object lives.
class PlayedSystem : public SystemColours {
public:
    PlayedSystem() : m_previous(SetSystemColours(this)) {}
    ~PlayedSystem() override { SetSystemColours(m_previous); }
    void Use(const Palette& palette, bool highContrast)
    {
        m_palette = palette;
        m_highContrast = highContrast;
    }
    COLORREF Colour(int index) override
    {
        auto it = m_palette.find(index);
        return it != m_palette.end() ? it->second : ::GetSysColor(index);
    }
    bool HighContrast() override { return m_highContrast; }

private:
    SystemColours* m_previous;
    Palette m_palette;
    bool m_highContrast = false;
};

// What a paint shows: the colour of a corner no text reaches, and how
// many pixels of each colour asked about.
struct Seen {
    COLORREF corner;
    std::map<COLORREF, int> counts;
};

Seen PaintOf(HWND window, int width, int height, std::initializer_list<COLORREF> colours)
{
    ControlsCanvas canvas(width, height, RGB(1, 2, 3));
    ::SendMessageA(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.Dc()), PRF_CLIENT);
    Seen seen{canvas.Pixel(width - 1, height - 1), {}};
    const RECT all{0, 0, width, height};
    for (COLORREF c : colours)
        seen.counts[c] = canvas.Count(all, c);
    return seen;
}

// ---- one label ----

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kRedReadableOnFace = RGB(221, 0, 0); // 0x0000DD, 4.52:1 on 240 grey
constexpr COLORREF kNavy = RGB(0, 0, 128);
constexpr COLORREF kYellow = RGB(255, 255, 0);
constexpr COLORREF kDarkGreen = RGB(0, 48, 0);
constexpr COLORREF kDarkBlue = RGB(0, 0, 48);

struct LabelCase {
    const char* what;
    std::function<void(CRichLabel&)> set;
    COLORREF fill;  // on the default theme
    COLORREF ink;   // on the default theme
    COLORREF block; // the text block's own colour, or the fill
    COLORREF own;   // a colour of the label's own that high contrast hides
};

TEST(HighContrastLabel, PaintsWithTheSystemsColoursAndGetsItsOwnBackAfter)
{
    const COLORREF face = RGB(240, 240, 240);
    const LabelCase cases[] = {
        {"left to the system", [](CRichLabel&) {}, face, RGB(0, 0, 0), face, face},
        {"red text, too faint on the face: made readable",
         [](CRichLabel& l) { l.SetTextColor(kRed); }, face, kRedReadableOnFace, face, kRedReadableOnFace},
        {"navy text, readable: kept", [](CRichLabel& l) { l.SetTextColor(kNavy); }, face, kNavy, face, kNavy},
        {"own background, text block and text",
         [](CRichLabel& l) { l.SetBkColor(kDarkGreen).SetTextBkColor(kDarkBlue).SetTextColor(kYellow); },
         kDarkGreen, kYellow, kDarkBlue, kYellow},
        {"hover colour showing",
         [](CRichLabel& l) {
             l.SetTextColor(kNavy).SetHoverColor(kRed).SetHoverHighlight(TRUE);
             ::SendMessageA(l, WM_MOUSEHOVER, 0, 0);
         },
         face, kRedReadableOnFace, face, kRedReadableOnFace},
        {"background blinking, blink colour showing",
         [](CRichLabel& l) {
             l.FlashBackground(TRUE, 1000000);
             ::SendMessageA(l, WM_TIMER, CRichLabel::kBackBlinkTimer, 0);
         },
         RGB(120, 120, 120), RGB(0, 0, 0), RGB(120, 120, 120), RGB(120, 120, 120)},
    };
    const int W = 160;
    const int H = 30;
    const COLORREF hcFace = kHighContrastBlack.at(COLOR_BTNFACE);
    const COLORREF hcText = kHighContrastBlack.at(COLOR_WINDOWTEXT);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        PlayedSystem system;
        system.Use(kDefaultTheme, false);
        ControlsHost host(SS_LEFT, "Label", W, H);
        CRichLabel label;
        label.SubclassWindow(host.Static());
        c.set(label);
        const COLORREF ownText = label.GetTextColor();
        const COLORREF ownBk = label.GetBkColor();

        auto expectOwn = [&](const char* when) {
            SCOPED_TRACE(when);
            Seen seen = PaintOf(label, W, H, {c.ink, c.block});
            EXPECT_EQ(seen.corner, c.fill);
            EXPECT_GT(seen.counts[c.ink], 0);
            EXPECT_GT(seen.counts[c.block], 0);
        };
        expectOwn("default theme");

        system.Use(kHighContrastBlack, true);
        ::SendMessageA(label, WM_SYSCOLORCHANGE, 0, 0);
        Seen seen = PaintOf(label, W, H, {hcText, c.own, c.block});
        EXPECT_EQ(seen.corner, hcFace);
        EXPECT_GT(seen.counts[hcText], 0);
        EXPECT_EQ(seen.counts[c.own], 0);
        EXPECT_EQ(seen.counts[c.block], 0);
        // What the label was given stays, for the way back.
        if (!label.IsDefaultTextColor()) {
            EXPECT_EQ(label.GetTextColor(), ownText);
        }
        if (ownBk != face) {
            EXPECT_EQ(label.GetBkColor(), ownBk);
        }

        system.Use(kDefaultTheme, false);
        ::SendMessageA(label, WM_SETTINGCHANGE, 0, 0);
        expectOwn("high contrast off again");
    }
}

TEST(HighContrastLabel, ColoursLeftToTheSystemFollowAChangedPalette)
{
    PlayedSystem system;
    system.Use(kDefaultTheme, false);
    ControlsHost host(SS_LEFT, "Label", 120, 20);
    CRichLabel followed;
    followed.SubclassWindow(host.Static());
    CRichLabel own;
    own.SetBkColor(kDarkGreen).SetTextColor(kYellow);

    // A classic palette, no high contrast: the labels hear of it only when
    // told, as a dialog tells its controls.
    Palette classic = kDefaultTheme;
    classic[COLOR_BTNFACE] = RGB(212, 208, 200);
    classic[COLOR_WINDOWTEXT] = RGB(0, 0, 64);
    system.Use(classic, false);
    for (UINT msg : {WM_SYSCOLORCHANGE, WM_THEMECHANGED}) {
        SCOPED_TRACE(msg);
        ::SendMessageA(followed, msg, 0, 0);
        EXPECT_EQ(followed.GetBkColor(), RGB(212, 208, 200));
        EXPECT_EQ(followed.GetTextColor(), RGB(0, 0, 64));
        EXPECT_TRUE(followed.IsDefaultTextColor());
        own.SystemColoursChanged();
        EXPECT_EQ(own.GetBkColor(), kDarkGreen);
        EXPECT_EQ(own.GetTextColor(), kYellow);
    }

    // In system painting the brush handed to the static is remade too.
    followed.SetSystemPaint(TRUE);
    HDC dc = ::GetDC(followed);
    for (bool highContrast : {false, true}) {
        const Palette& palette = highContrast ? kHighContrastBlack : classic;
        system.Use(palette, highContrast);
        ::SendMessageA(followed, WM_SYSCOLORCHANGE, 0, 0);
        LRESULT brush = ::SendMessageA(host.Frame(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                       reinterpret_cast<LPARAM>(followed.m_hWnd));
        LOGBRUSH lb{};
        ASSERT_TRUE(::GetObjectA(reinterpret_cast<HBRUSH>(brush), sizeof lb, &lb));
        EXPECT_EQ(lb.lbColor, palette.at(COLOR_BTNFACE)) << highContrast;
        EXPECT_EQ(::GetTextColor(dc), palette.at(COLOR_WINDOWTEXT)) << highContrast;
    }
    ::ReleaseDC(followed, dc);
}

// ---- the tool tip ----

class PaintedTip : public CControlToolTip {
public:
    using CControlToolTip::Paint;
};

TEST(HighContrastTip, TextAndBackgroundComeFromTheSystemUnlessCustomOnANormalTheme)
{
    const COLORREF customBk = RGB(0, 64, 0);
    const COLORREF customText = RGB(255, 255, 0);
    const struct {
        bool custom;
        bool highContrast;
        COLORREF bk;
        COLORREF text;
    } cases[] = {
        {false, false, RGB(255, 255, 225), RGB(0, 0, 0)},
        {true, false, customBk, customText},
        {false, true, RGB(0, 0, 0), RGB(255, 255, 255)},
        {true, true, RGB(0, 0, 0), RGB(255, 255, 255)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "custom " << c.custom << ", high contrast " << c.highContrast);
        PlayedSystem system;
        system.Use(c.highContrast ? kHighContrastBlack : kDefaultTheme, c.highContrast);
        ControlsHost host(WS_BORDER, "owner", 80, 24);
        PaintedTip tip;
        ASSERT_TRUE(tip.Create(host.Static()));
        tip.SetText("Hint\ntwo lines");
        if (c.custom) {
            tip.SetBkColor(TRUE, customBk);
            tip.SetTextColor(customText);
        }
        const RECT r = tip.GetTipRect();
        ControlsCanvas canvas(r.right, r.bottom, RGB(1, 2, 3));
        tip.Paint(canvas.Dc());
        EXPECT_EQ(canvas.Pixel(r.right - 1, r.bottom - 1), c.bk);
        EXPECT_GT(canvas.Count(r, c.text), 0);
        EXPECT_EQ(canvas.Count(r, RGB(1, 2, 3)), 0) << "the whole tip is filled";
        tip.Destroy();
    }
}

// ---- the main dialog ----

// The main dialog hands a theme change on to its revision value, which was
// black on black in High Contrast Black when it never heard of it.
TEST(HighContrastMainDialog, RevisionValueFollowsTheThemeTheDialogIsToldOf)
{
    PlayedSystem system;
    system.Use(kDefaultTheme, false);
    DialogHarness::WriteModelList("\"KAVORA  CD-ROM VIRTUAL  \" \"KV110.hex\" \"N\"\r\n");
    DialogHarness h;
    h.machine.AddCdRom('d');
    h.Open();
    HWND revision = ::GetDlgItem(h.Hwnd(), IDC_REVISION);
    RECT client{};
    ::GetClientRect(revision, &client);
    const COLORREF white = kHighContrastBlack.at(COLOR_WINDOWTEXT);
    const COLORREF black = RGB(0, 0, 0);

    system.Use(kHighContrastBlack, true);
    ::SendMessageA(h.Hwnd(), WM_SYSCOLORCHANGE, 0, 0);
    Seen seen = PaintOf(revision, client.right, client.bottom, {white});
    EXPECT_EQ(seen.corner, kHighContrastBlack.at(COLOR_BTNFACE));
    EXPECT_GT(seen.counts[white], 0) << "the revision's text in the theme's text colour";

    system.Use(kDefaultTheme, false);
    ::SendMessageA(h.Hwnd(), WM_SETTINGCHANGE, 0, 0);
    seen = PaintOf(revision, client.right, client.bottom, {black});
    EXPECT_EQ(seen.corner, kDefaultTheme.at(COLOR_BTNFACE));
    EXPECT_GT(seen.counts[black], 0);
}

// ---- the warning dialog ----

struct WarningLabel {
    int id;
    COLORREF ink; // on the default theme
};

TEST(HighContrastWarning, EightLabelsFollowTheThemeTheDialogIsToldOf)
{
    g_strModel = "KAVORA  CD-ROM VIRTUAL  (0)";
    g_strRevision = "1.00";
    const COLORREF face = kDefaultTheme.at(COLOR_BTNFACE);
    const COLORREF blue = RGB(0, 0, 255);
    const WarningLabel labels[] = {
        {IDC_WARN_CURRENT, RGB(0, 0, 0)},  {IDC_WARN_FIRMWARE, RGB(0, 0, 0)},
        {IDC_WARN_GREETING, RGB(0, 0, 0)}, {IDC_WARN_MODEL, blue}, // 7.5:1, kept
        {IDC_WARN_REVISION, blue},         {IDC_WARN_ADVICE, RGB(0, 0, 0)},
        {IDC_WARN_CAUTION, kRedReadableOnFace}, // 3.5:1 as given
        {IDC_WARN_QUESTION, RGB(0, 0, 0)},
    };
    PlayedSystem system;
    system.Use(kDefaultTheme, false);
    CWarningDlg dialog;
    ASSERT_TRUE(dialog.Create());

    auto check = [&](const char* when, bool highContrast) {
        SCOPED_TRACE(when);
        const COLORREF fill = highContrast ? kHighContrastBlack.at(COLOR_BTNFACE) : face;
        for (const auto& l : labels) {
            SCOPED_TRACE(l.id);
            auto* label = dynamic_cast<CRichLabel*>(CWnd::FromHandlePermanent(dialog.GetDlgItem(l.id)));
            ASSERT_NE(label, nullptr);
            RECT client{};
            label->GetClientRect(&client);
            const COLORREF ink = highContrast ? kHighContrastBlack.at(COLOR_WINDOWTEXT) : l.ink;
            Seen seen = PaintOf(*label, client.right, client.bottom, {ink, blue, kRed});
            EXPECT_EQ(seen.corner, fill);
            EXPECT_GT(seen.counts[ink], 0);
            if (highContrast || l.ink != blue) {
                EXPECT_EQ(seen.counts[blue], 0);
            }
            EXPECT_EQ(seen.counts[kRed], 0) << "pure red is never painted on a light face";
            // Fonts the dialog gave its labels stay through every change.
            EXPECT_STREQ(label->GetLogFont().lfFaceName, "Times New Roman");
        }
    };
    check("default theme", false);
    system.Use(kHighContrastBlack, true);
    ::SendMessageA(dialog, WM_SYSCOLORCHANGE, 0, 0);
    check("High Contrast Black", true);
    system.Use(kDefaultTheme, false);
    ::SendMessageA(dialog, WM_SETTINGCHANGE, 0, 0);
    check("high contrast off again", false);

    dialog.DestroyWindow();
    g_strModel.clear();
    g_strRevision.clear();
}

} // namespace
