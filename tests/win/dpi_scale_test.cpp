// The custom controls at the scale of their window: the rich label's font
// and the tip's size are made for the window's DPI, and follow a move to a
// monitor of another scale. The test decides which DPI a window reports.
#include <gtest/gtest.h>

#include <windows.h>

#include <utility>

#include "controls/rich_label.h"
#include "controls/tool_tip.h"
#include "framework/dpi.h"
#include "res/resource.h"
#include "tests/win/support/controls_host.h"
#include "tests/win/support/dialog_harness.h"

namespace {

UINT g_windowDpi = dpi::kBase;
UINT WindowDpi(HWND) { return g_windowDpi; }

// Every window reports `value` while the scope lives.
class WindowsAt {
public:
    explicit WindowsAt(UINT value) : previous_(dpi::SetWindowDpiSource(&WindowDpi)) { g_windowDpi = value; }
    ~WindowsAt() { dpi::SetWindowDpiSource(previous_); }
    void MoveTo(UINT value) { g_windowDpi = value; }

private:
    dpi::WindowDpiSource previous_;
};

LONG MadeHeight(const CRichLabel& label)
{
    LOGFONTA made{};
    EXPECT_TRUE(::GetObjectA(label.GetFont(), sizeof made, &made));
    return made.lfHeight;
}

LONG StockHeight()
{
    LOGFONTA stock{};
    ::GetObjectA(::GetStockObject(DEFAULT_GUI_FONT), sizeof stock, &stock);
    return stock.lfHeight;
}

TEST(LabelScale, FontIsMadeForTheWindowsDpi)
{
    const struct {
        UINT dpi;
        int size; // 0: the stock font the label starts with
        LONG made;
    } cases[] = {
        {96, 16, 16},
        {144, 16, 24},
        {192, 16, 32},
        {192, -11, -22},
        {120, 14, 18}, // 17.5 rounds up
        {192, 0, dpi::Scale(StockHeight(), 192, dpi::System())},
        {96, 0, dpi::Scale(StockHeight(), 96, dpi::System())},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.dpi << " DPI, size " << c.size);
        WindowsAt scale(c.dpi);
        ControlsHost host(SS_LEFT, "Static", 120, 20);
        CRichLabel label;
        label.SubclassWindow(host.Static());
        if (c.size)
            label.SetFontSize(c.size);
        EXPECT_EQ(label.GetDpi(), c.dpi);
        EXPECT_EQ(MadeHeight(label), c.made);
        // What the label was told stays as told.
        if (c.size) {
            EXPECT_EQ(label.GetLogFont().lfHeight, c.size);
        }
    }
}

TEST(LabelScale, FollowsAMoveToAnotherScale)
{
    WindowsAt scale(96);
    ControlsHost host(SS_LEFT, "Static", 120, 20);
    CRichLabel label;
    label.SubclassWindow(host.Static());
    label.SetFontSize(16).SetFontBold(TRUE);
    ASSERT_EQ(MadeHeight(label), 16);

    scale.MoveTo(192);
    ::SendMessageA(host.Static(), WM_DPICHANGED_AFTERPARENT, 0, 0);
    EXPECT_EQ(label.GetDpi(), 192u);
    EXPECT_EQ(MadeHeight(label), 32);
    LOGFONTA made{};
    ::GetObjectA(label.GetFont(), sizeof made, &made);
    EXPECT_EQ(made.lfWeight, FW_BOLD) << "the rest of the description is kept";

    scale.MoveTo(144);
    ::SendMessageA(host.Static(), WM_DPICHANGED_AFTERPARENT, 0, 0);
    EXPECT_EQ(MadeHeight(label), 24);
}

TEST(TipScale, SizeFollowsTheOwnersDpi)
{
    WindowsAt scale(96);
    ControlsHost host(WS_BORDER, "owner", 80, 24);
    CControlToolTip tip;
    ASSERT_TRUE(tip.Create(host.Static()));
    const char text[] = "abcdefghij\nab";

    for (UINT value : {96u, 144u, 192u}) {
        SCOPED_TRACE(value);
        scale.MoveTo(value);
        tip.SetText(text);
        CFont font;
        ASSERT_TRUE(font.CreateFontIndirect(dpi::GuiFont(value)));
        const SIZE line = ControlsTextExtent(font, "abcdefghij");
        const int margin = dpi::Scale(4, value);
        const RECT& rc = tip.GetTipRect();
        EXPECT_EQ(rc.right - rc.left, line.cx + margin);
        EXPECT_EQ(rc.bottom - rc.top, 2 * line.cy + margin);
    }
    tip.Destroy();
}

// The main dialog's logo is drawn for the dialog's scale from the larger
// picture, not blown up from the small one; its icons are the icon's own
// images of their size.
TEST(LogoScale, LogoIsMadeForTheDialogsDpi)
{
    for (UINT value : {96u, 144u, 192u}) {
        SCOPED_TRACE(value);
        WindowsAt scale(value);
        DialogHarness h;
        DialogHarness::WriteModelList(nullptr);
        h.Open();
        HBITMAP shown = nullptr;
        for (HWND child = ::GetWindow(h.Hwnd(), GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
            if ((::GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP)
                shown = reinterpret_cast<HBITMAP>(::SendMessageA(child, STM_GETIMAGE, IMAGE_BITMAP, 0));
        }
        ASSERT_NE(shown, nullptr);
        BITMAP info{};
        ASSERT_TRUE(::GetObjectA(shown, sizeof info, &info));
        EXPECT_EQ(info.bmWidth, dpi::Scale(97, value));
        EXPECT_EQ(info.bmHeight, dpi::Scale(67, value));

        // The caption's and the taskbar's icons, likewise.
        for (auto [which, size] : {std::pair{ICON_SMALL, 16}, std::pair{ICON_BIG, 32}}) {
            auto icon = reinterpret_cast<HICON>(::SendMessageA(h.Hwnd(), WM_GETICON, which, 0));
            ASSERT_NE(icon, nullptr);
            ICONINFO parts{};
            ASSERT_TRUE(::GetIconInfo(icon, &parts));
            BITMAP colour{};
            ::GetObjectA(parts.hbmColor ? parts.hbmColor : parts.hbmMask, sizeof colour, &colour);
            EXPECT_EQ(colour.bmWidth, dpi::Scale(size, value)) << (which == ICON_BIG ? "big" : "small");
            if (parts.hbmColor)
                ::DeleteObject(parts.hbmColor);
            ::DeleteObject(parts.hbmMask);
        }
    }
}

} // namespace
