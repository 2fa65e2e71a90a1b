// The control tooltip: measuring, placement next to its owner, and showing
// and hiding on the polling timer (driven here by sending the ticks).
#include <gtest/gtest.h>

#include <windows.h>

#include "controls/tool_tip.h"
#include "tests/win/support/controls_host.h"

namespace {

// A tip whose view of the mouse and focus the test decides.
class PlayedTip : public CControlToolTip {
public:
    bool leftDown = false;
    bool rightDown = false;
    POINT cursor{-1000, -1000};
    HWND focus = nullptr;

    void Tick() { ::SendMessageA(m_hWnd, WM_TIMER, kPollTimer, 0); }

protected:
    bool IsButtonDown(int vk) const override { return vk == VK_LBUTTON ? leftDown : vk == VK_RBUTTON && rightDown; }
    POINT CursorPos() const override { return cursor; }
    HWND FocusWindow() const override { return focus; }
};

struct TipFixture : ::testing::Test {
    TipFixture() : host(WS_BORDER, "owner", 80, 24)
    {
        // A second control of the owner's dialog, to hold the focus.
        sibling = ::CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 5, 5, host.Frame(), nullptr,
                                    ::GetModuleHandleA(nullptr), nullptr);
        ::GetWindowRect(host.Static(), &ownerRect);
    }
    ~TipFixture() override { tip.Destroy(); }

    POINT Inside() const { return {ownerRect.left + 5, ownerRect.top + 5}; }

    ControlsHost host;
    HWND sibling = nullptr;
    RECT ownerRect{};
    PlayedTip tip;
};

TEST_F(TipFixture, MeasuresTheWidestLineAndEveryLineFeed)
{
    ASSERT_TRUE(tip.Create(host.Static()));
    HFONT font = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    const LONG line = ControlsTextExtent(font, "ab").cy;
    const LONG wide = ControlsTextExtent(font, "abcdefghij").cx;

    const struct {
        const char* text;
        LONG width;
        LONG height;
    } cases[] = {
        {"ab\nabcdefghij", wide, 2 * line},
        {"abcdefghij\nab", wide, 2 * line},
        {"abcdefghij\n\nab", wide, 3 * line},
        {"abcdefghij", wide, line},
    };
    for (const auto& c : cases) {
        tip.SetText(c.text);
        const RECT& r = tip.GetTipRect();
        EXPECT_EQ(r.left, 0) << c.text;
        EXPECT_EQ(r.top, 0) << c.text;
        EXPECT_EQ(r.right, c.width + 4) << c.text;
        EXPECT_EQ(r.bottom, c.height + 4) << c.text;
    }
}

TEST_F(TipFixture, PlacedAboveOrBelowTheOwnersClientArea)
{
    POINT client{0, 0};
    ::ClientToScreen(host.Static(), &client);
    RECT ownerClient{};
    ::GetClientRect(host.Static(), &ownerClient);

    ASSERT_TRUE(tip.Create(host.Static()));
    tip.SetText("hint");
    tip.SetNeedsButton(FALSE);
    tip.cursor = Inside();
    tip.focus = sibling;
    const LONG tipHeight = tip.GetTipRect().bottom;

    const struct {
        int position;
        LONG top;
    } cases[] = {
        {CControlToolTip::TIP_BELOW, client.y + ownerClient.bottom},
        {CControlToolTip::TIP_ABOVE, client.y - tipHeight},
        {CControlToolTip::TIP_ON_CONTROL, client.y},
    };
    for (const auto& c : cases) {
        tip.SetPosition(c.position);
        tip.Tick();
        ASSERT_TRUE(tip.IsWindowVisible()) << c.position;
        RECT r{};
        tip.GetWindowRect(&r);
        EXPECT_EQ(r.top, c.top) << c.position;
        EXPECT_EQ(r.left, client.x) << c.position;
        EXPECT_EQ(r.bottom - r.top, tipHeight) << c.position;
    }
}

TEST_F(TipFixture, PositionOutOfRangeIsIgnored)
{
    tip.SetPosition(CControlToolTip::TIP_BELOW);
    tip.SetPosition(3);
    tip.SetPosition(-1);
    EXPECT_EQ(tip.GetPosition(), CControlToolTip::TIP_BELOW);
}

struct TickCase {
    const char* what;
    BOOL needsButton;
    BOOL leftButton;
    bool leftDown;
    bool rightDown;
    int cursor; // 0 inside, 1 on the bottom-right edge, 2 just outside
    bool focusInDialog;
    bool shown;
};

TEST_F(TipFixture, TimerShowsOnlyWhenButtonCursorAndFocusAgree)
{
    const TickCase cases[] = {
        {"button up", TRUE, TRUE, false, false, 0, true, false},
        {"left held", TRUE, TRUE, true, false, 0, true, true},
        {"edge counts", TRUE, TRUE, true, false, 1, true, true},
        {"outside", TRUE, TRUE, true, false, 2, true, false},
        {"focus elsewhere", TRUE, TRUE, true, false, 0, false, false},
        {"right wanted, left held", TRUE, FALSE, true, false, 0, true, false},
        {"right wanted and held", TRUE, FALSE, false, true, 0, true, true},
        {"no button needed", FALSE, TRUE, false, false, 0, true, true},
    };
    for (const auto& c : cases) {
        PlayedTip t;
        ASSERT_TRUE(t.Create(host.Static()));
        t.SetText("hint");
        t.SetNeedsButton(c.needsButton);
        t.SetLeftButton(c.leftButton);
        t.leftDown = c.leftDown;
        t.rightDown = c.rightDown;
        t.cursor = c.cursor == 0 ? Inside()
                   : c.cursor == 1 ? POINT{ownerRect.right, ownerRect.bottom}
                                   : POINT{ownerRect.right + 1, ownerRect.bottom};
        t.focus = c.focusInDialog ? sibling : nullptr;
        t.Tick();
        EXPECT_EQ(t.IsWindowVisible() != FALSE, c.shown) << c.what;
    }
}

TEST_F(TipFixture, HiddenAtTheTickAfterReleaseOrFocusLoss)
{
    ASSERT_TRUE(tip.Create(host.Static()));
    tip.SetText("hint");
    tip.cursor = Inside();
    tip.focus = sibling;
    tip.leftDown = true;
    tip.Tick();
    ASSERT_TRUE(tip.IsWindowVisible());
    tip.leftDown = false;
    tip.Tick();
    EXPECT_FALSE(tip.IsWindowVisible());

    tip.leftDown = true;
    tip.Tick();
    ASSERT_TRUE(tip.IsWindowVisible());
    tip.focus = nullptr;
    tip.Tick();
    EXPECT_FALSE(tip.IsWindowVisible());
}

TEST_F(TipFixture, EmptyTextNeverShows)
{
    ASSERT_TRUE(tip.Create(host.Static()));
    tip.SetNeedsButton(FALSE);
    tip.cursor = Inside();
    tip.focus = sibling;
    tip.Tick();
    EXPECT_FALSE(tip.IsWindowVisible());
}

TEST_F(TipFixture, CreateAgainReplacesTheWindowAndDestroyForgetsTheOwner)
{
    ASSERT_TRUE(tip.Create(host.Static()));
    HWND first = tip.m_hWnd;
    ASSERT_TRUE(tip.Create(host.Static()));
    EXPECT_FALSE(::IsWindow(first));
    EXPECT_TRUE(::IsWindow(tip.m_hWnd));
    EXPECT_TRUE(tip.Destroy());
    EXPECT_EQ(tip.GetOwner(), nullptr);
    EXPECT_EQ(tip.m_hWnd, nullptr);
    EXPECT_TRUE(tip.Destroy());
}

TEST_F(TipFixture, OwnerDestroyedFirstKeepsTheTipHidden)
{
    HWND owner = ::CreateWindowExA(0, "STATIC", "x", WS_CHILD, 0, 0, 10, 10, host.Frame(), nullptr,
                                   ::GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(tip.Create(owner));
    tip.SetText("hint");
    tip.SetNeedsButton(FALSE);
    // Nothing focused and a dead owner: both "parents" are null, and an
    // unread rectangle of zeros would hold the cursor at (0, 0).
    tip.focus = nullptr;
    ::DestroyWindow(owner);
    tip.cursor = POINT{0, 0};
    tip.Tick();
    EXPECT_FALSE(tip.IsWindowVisible());
}

TEST_F(TipFixture, ShowingTipHidesWhenItsOwnerIsDestroyed)
{
    HWND owner = ::CreateWindowExA(0, "STATIC", "x", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, host.Frame(), nullptr,
                                   ::GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(tip.Create(owner));
    tip.SetText("hint");
    tip.SetNeedsButton(FALSE);
    RECT r{};
    ::GetWindowRect(owner, &r);
    tip.cursor = POINT{r.left + 1, r.top + 1};
    tip.focus = sibling;
    tip.Tick();
    ASSERT_TRUE(tip.IsWindowVisible());
    ::DestroyWindow(owner);
    tip.Tick();
    EXPECT_FALSE(tip.IsWindowVisible());
}

} // namespace
