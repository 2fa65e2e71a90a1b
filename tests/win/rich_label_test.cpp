// The label's text, alignment and colour-query semantics, seen through the
// ordinary window calls that the dialogs use on it.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <functional>

#include "controls/rich_label.h"
#include "framework/dialog.h"
#include "res/resource.h"
#include "tests/win/support/controls_host.h"

namespace {

struct Attached {
    explicit Attached(DWORD style = SS_LEFT, const char* text = "Static") : host(style, text, 120, 20)
    {
        label.SubclassWindow(host.Static());
    }
    ControlsHost host;
    CRichLabel label;
};

struct TextQueryCase {
    const char* text;
    const char expected[8];
    LRESULT count;
};

TEST(RichLabelText, WindowTextQueryIntoEightCharactersIsZeroFilled)
{
    const TextQueryCase cases[] = {
        {"ABCD", {'A', 'B', 'C', 'D', 0, 0, 0, 0}, 4},
        {"0123456789", {'0', '1', '2', '3', '4', '5', '6', 0}, 7},
    };
    for (const auto& c : cases) {
        Attached a;
        a.label.SetText(c.text);
        char buffer[8];
        std::memset(buffer, 'x', sizeof(buffer));
        LRESULT n = ::SendMessageA(a.label, WM_GETTEXT, 8, reinterpret_cast<LPARAM>(buffer));
        EXPECT_EQ(n, c.count) << c.text;
        EXPECT_EQ(0, std::memcmp(buffer, c.expected, 8)) << c.text;
    }
}

TEST(RichLabelText, QueryAnswersFromTheLabelTextNotTheWindowText)
{
    Attached a;
    a.label.SetText("AB");
    a.label.SetVerticalText(TRUE);
    char buffer[16] = "untouched";
    EXPECT_EQ(0, ::SendMessageA(a.label, WM_GETTEXT, 0, reinterpret_cast<LPARAM>(buffer)));
    EXPECT_STREQ(buffer, "untouched");
    ::GetWindowTextA(a.label, buffer, sizeof(buffer));
    EXPECT_STREQ(buffer, "AB");
    EXPECT_EQ(ControlsStoredText(a.label), "A\nB");
    EXPECT_EQ(::GetWindowTextLengthA(a.label), 3);
}

TEST(RichLabelText, AttachingTakesTheTemplateText)
{
    Attached a(SS_LEFT, "1.02");
    EXPECT_EQ(a.label.GetText(), "1.02");
}

TEST(RichLabelText, OutsideWriteWhileVerticalReplacesTheTextAndShowsItPlain)
{
    Attached a;
    a.label.SetText("AB").SetVerticalText(TRUE);
    ::SetWindowTextA(a.label, "XYZ");
    EXPECT_EQ(a.label.GetText(), "XYZ");
    EXPECT_EQ(ControlsStoredText(a.label), "XYZ");
    a.label.SetText("XYZ");
    EXPECT_EQ(ControlsStoredText(a.label), "X\nY\nZ");
}

TEST(RichLabelText, VerticalTextTwiceStaysVertical)
{
    Attached a;
    a.label.SetText("ABC");
    a.label.SetVerticalText(TRUE).SetVerticalText(TRUE);
    EXPECT_EQ(ControlsStoredText(a.label), "A\nB\nC");
    a.label.SetVerticalText(FALSE);
    EXPECT_EQ(ControlsStoredText(a.label), "ABC");
}

TEST(RichLabelText, TextBlinkingBlanksTheWindowTextAndStoppingRestoresIt)
{
    Attached a;
    a.label.SetText("ABC").FlashText(TRUE, 1000000);
    ::SendMessageA(a.label, WM_TIMER, CRichLabel::kTextBlinkTimer, 0);
    EXPECT_EQ(ControlsStoredText(a.label), "");
    EXPECT_EQ(a.label.GetText(), "ABC");
    a.label.FlashText(FALSE, 0);
    EXPECT_EQ(ControlsStoredText(a.label), "ABC");
    // Stopped: further ticks change nothing.
    ::SendMessageA(a.label, WM_TIMER, CRichLabel::kTextBlinkTimer, 0);
    EXPECT_EQ(ControlsStoredText(a.label), "ABC");
}

struct AlignmentCase {
    DWORD style;
    UINT bits;
    UINT expected;
    DWORD expectedStyleBits; // SS_CENTER / SS_RIGHT after the call
};

TEST(RichLabelAlignment, SetAlignmentStoresBitsAndAdjustsTheStaticStyle)
{
    using L = CRichLabel;
    const AlignmentCase cases[] = {
        {SS_CENTER, L::HORZ_LEFT | L::HORZ_RIGHT | L::VERT_TOP | L::VERT_BOTTOM, L::HORZ_LEFT | L::VERT_BOTTOM, 0},
        {SS_LEFT, L::VERT_CENTER, 0x19, 0},
        {SS_RIGHT, L::VERT_CENTER, L::HORZ_RIGHT | L::VERT_TOP | L::VERT_CENTER, SS_RIGHT},
        {SS_LEFT, L::HORZ_CENTER | L::VERT_BOTTOM, L::HORZ_CENTER | L::VERT_BOTTOM, SS_CENTER},
        {SS_CENTER, L::HORZ_RIGHT | L::VERT_TOP, L::HORZ_RIGHT | L::VERT_TOP, SS_RIGHT},
        {SS_LEFT, L::HORZ_RIGHT | L::HORZ_CENTER, L::HORZ_CENTER, SS_CENTER},
    };
    for (const auto& c : cases) {
        Attached a(c.style);
        a.label.SetAlignment(c.bits);
        EXPECT_EQ(a.label.GetAlignment(), c.expected) << std::hex << c.style << " " << c.bits;
        EXPECT_EQ(a.label.GetStyle() & (SS_CENTER | SS_RIGHT), c.expectedStyleBits)
            << std::hex << c.style << " " << c.bits;
    }
}

TEST(RichLabelAlignment, TemplateStyleGivesTheStartingAlignment)
{
    const struct {
        DWORD style;
        UINT expected;
    } cases[] = {
        {SS_LEFT, 0x09},
        {SS_CENTER, 0x0A},
        {SS_RIGHT, 0x0C},
        {SS_CENTER | SS_CENTERIMAGE, 0x12},
        {SS_LEFT | SS_CENTERIMAGE, 0x11},
    };
    for (const auto& c : cases) {
        Attached a(c.style);
        EXPECT_EQ(a.label.GetAlignment(), c.expected) << std::hex << c.style;
        EXPECT_TRUE(a.label.GetStyle() & SS_NOTIFY);
    }
}

class RevisionOnly : public CDialog {
public:
    RevisionOnly() : CDialog(IDD_KAVORA_DIALOG) {}
    CRichLabel m_lblRevision;

protected:
    void DoDataExchange() override { DDX_Control(IDC_REVISION, m_lblRevision); }
};

TEST(RichLabelAlignment, MainDialogRevisionFieldIsLeftAndVerticallyCentred)
{
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&icc);
    RevisionOnly dialog;
    ASSERT_TRUE(dialog.Create());
    EXPECT_EQ(dialog.m_lblRevision.GetAlignment(), 0x11u);
    EXPECT_EQ(dialog.m_lblRevision.GetHorzAlignment(), 0);
    EXPECT_EQ(dialog.m_lblRevision.GetVertAlignment(), 1);
    dialog.DestroyWindow();
}

TEST(RichLabelColours, ReflectedColourQueryOnlyInSystemPainting)
{
    Attached a;
    // A text colour readable on that background, so handed out as given.
    a.label.SetBkColor(RGB(10, 20, 30)).SetTextColor(RGB(255, 160, 0));
    HDC dc = ::GetDC(a.label);
    // Painting itself, the label leaves the answer to the parent's own
    // handling: never its brush.
    LRESULT own = ::SendMessageA(a.host.Frame(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                 reinterpret_cast<LPARAM>(a.label.m_hWnd));
    LRESULT parentOwn = ::DefWindowProcA(a.host.Frame(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                         reinterpret_cast<LPARAM>(a.label.m_hWnd));
    EXPECT_EQ(own, parentOwn);
    LOGBRUSH ownBrush{};
    if (own != 0 && ::GetObjectA(reinterpret_cast<HBRUSH>(own), sizeof ownBrush, &ownBrush)) {
        EXPECT_NE(ownBrush.lbColor, RGB(10, 20, 30));
    }

    a.label.SetSystemPaint(TRUE);
    LRESULT brush = ::SendMessageA(a.host.Frame(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                   reinterpret_cast<LPARAM>(a.label.m_hWnd));
    ASSERT_NE(brush, 0);
    LOGBRUSH lb{};
    ::GetObjectA(reinterpret_cast<HBRUSH>(brush), sizeof(lb), &lb);
    EXPECT_EQ(lb.lbColor, RGB(10, 20, 30));
    EXPECT_EQ(::GetTextColor(dc), RGB(255, 160, 0));
    EXPECT_EQ(::GetBkMode(dc), TRANSPARENT);
    EXPECT_EQ(::GetCurrentObject(dc, OBJ_FONT), a.label.GetFont());
    ::ReleaseDC(a.label, dc);
}

TEST(RichLabelColours, HoverSwapsToTheHoverColourAndLeaveRestores)
{
    Attached a;
    a.label.SetTextColor(RGB(1, 2, 3)).SetHoverColor(RGB(9, 9, 9)).SetHoverHighlight(TRUE);
    // SetHoverHighlight(TRUE) keeps the colour; only FALSE restores the saved one.
    EXPECT_EQ(a.label.GetTextColor(), RGB(1, 2, 3));
    ::SendMessageA(a.label, WM_MOUSEHOVER, 0, 0);
    EXPECT_EQ(a.label.GetTextColor(), RGB(9, 9, 9));
    ::SendMessageA(a.label, WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(a.label.GetTextColor(), RGB(1, 2, 3));
}

TEST(RichLabelColours, HoverOffBeforeAnyHoverGivesTheConstructionTextColour)
{
    Attached a;
    const COLORREF windowText = ::GetSysColor(COLOR_WINDOWTEXT);
    a.label.SetTextColor(RGB(1, 2, 3)).SetHoverHighlight(FALSE);
    EXPECT_EQ(a.label.GetTextColor(), windowText);
    EXPECT_FALSE(a.label.IsDefaultTextColor());
}

TEST(RichLabelState, EnablingOrDisablingKeepsTheLabelsVisibility)
{
    for (bool shown : {true, false}) {
        Attached a;
        if (!shown)
            ::ShowWindow(a.label, SW_HIDE);
        for (BOOL enable : {FALSE, TRUE}) {
            ::EnableWindow(a.label, enable);
            EXPECT_EQ((a.label.GetStyle() & WS_VISIBLE) != 0, shown) << shown << " " << enable;
            EXPECT_EQ((a.label.GetStyle() & WS_DISABLED) == 0, enable != FALSE) << shown << " " << enable;
        }
    }
}

// Colour queries the frame receives: the static asks one each time it
// paints itself; the label, painting itself, never does.
int g_colourQueries = 0;
WNDPROC g_frameProc = nullptr;
LRESULT CALLBACK CountingFrame(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    g_colourQueries += msg == WM_CTLCOLORSTATIC;
    return ::CallWindowProcA(g_frameProc, hwnd, msg, wParam, lParam);
}

TEST(RichLabelState, StaticNeverDrawsItsOwnLookOverTheLabel)
{
    // On screen, where the static draws a new text or new colours at once,
    // in the font the dialog gave it (larger than the label's): the value
    // jumped to another font whenever it was rewritten.
    Attached a(SS_LEFT, "1.00");
    ::ShowWindow(a.host.Frame(), SW_SHOWNOACTIVATE);
    ::UpdateWindow(a.host.Frame());
    g_frameProc = reinterpret_cast<WNDPROC>(::SetWindowLongPtrA(
        a.host.Frame(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountingFrame)));
    const struct {
        const char* what;
        std::function<void()> act;
    } cases[] = {
        {"text written from outside", [&] { ::SetWindowTextA(a.label, "1.07"); }},
        {"colours changed", [&] { ::SendMessageA(a.label, WM_SYSCOLORCHANGE, 0, 0); }},
        {"settings changed", [&] { ::SendMessageA(a.label, WM_SETTINGCHANGE, 0, 0); }},
        {"theme changed", [&] { ::SendMessageA(a.label, WM_THEMECHANGED, 0, 0); }},
        {"disabled", [&] { ::EnableWindow(a.label, FALSE); }},
    };
    for (const auto& c : cases) {
        g_colourQueries = 0;
        c.act();
        EXPECT_EQ(g_colourQueries, 0) << c.what;
        EXPECT_TRUE(a.label.GetStyle() & WS_VISIBLE) << c.what;
    }
    EXPECT_EQ(a.label.GetText(), "1.07");
    ::SetWindowLongPtrA(a.host.Frame(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_frameProc));
    ::ShowWindow(a.host.Frame(), SW_HIDE);
}

TEST(RichLabelState, BlinkingBeforeAttachmentStartsNoStrayTimer)
{
    ControlsPump();
    {
        CRichLabel label;
        label.FlashText(TRUE, 1).FlashBackground(TRUE, 1);
        // A timer started without a window would be a thread timer, due
        // long before this wait is over.
        ::Sleep(30);
        MSG msg;
        EXPECT_FALSE(::PeekMessageA(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
    }
    ControlsPump();
}

TEST(RichLabelFont, SettersWriteTheDescriptionAndTheFontFollows)
{
    const struct {
        const char* what;
        std::function<void(CRichLabel&)> set;
        std::function<LONG(const LOGFONTA&)> field;
        LONG expected;
    } cases[] = {
        {"bold", [](CRichLabel& l) { l.SetFontBold(5); }, [](const LOGFONTA& f) { return f.lfWeight; }, FW_BOLD},
        {"not bold", [](CRichLabel& l) { l.SetFontBold(TRUE).SetFontBold(FALSE); },
         [](const LOGFONTA& f) { return f.lfWeight; }, FW_NORMAL},
        {"italic low byte", [](CRichLabel& l) { l.SetFontItalic(0x101); },
         [](const LOGFONTA& f) { return static_cast<LONG>(f.lfItalic); }, 1},
        {"underline low byte", [](CRichLabel& l) { l.SetFontUnderline(0x100); },
         [](const LOGFONTA& f) { return static_cast<LONG>(f.lfUnderline); }, 0},
        {"underline", [](CRichLabel& l) { l.SetFontUnderline(TRUE); },
         [](const LOGFONTA& f) { return static_cast<LONG>(f.lfUnderline); }, 1},
        {"cell height as given", [](CRichLabel& l) { l.SetFontSize(16); },
         [](const LOGFONTA& f) { return f.lfHeight; }, 16},
        {"character height as given", [](CRichLabel& l) { l.SetFontSize(-11); },
         [](const LOGFONTA& f) { return f.lfHeight; }, -11},
    };
    for (const auto& c : cases) {
        Attached a;
        c.set(a.label);
        EXPECT_EQ(c.field(a.label.GetLogFont()), c.expected) << c.what;
        LOGFONTA made{};
        ASSERT_TRUE(::GetObjectA(a.label.GetFont(), sizeof(made), &made)) << c.what;
        EXPECT_EQ(c.field(made), c.expected) << c.what;
    }
}

TEST(RichLabelFont, LongFaceNameIsCutToTheField)
{
    Attached a;
    const std::string longName(40, 'F');
    a.label.SetFontName(longName.c_str());
    EXPECT_EQ(std::string(a.label.GetLogFont().lfFaceName), std::string(LF_FACESIZE - 1, 'F'));
}

} // namespace
