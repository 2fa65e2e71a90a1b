#include "controls/tool_tip.h"

#include "framework/app.h"
#include "framework/dpi.h"
#include "framework/system_colours.h"
#include "framework/ui_seam.h"

namespace {
const char kTipClass[] = "ControlToolTip";
constexpr int kMargin = 4; // around the text, at 96 DPI

// Registers the tip's window class unless this module already has one.
bool RegisterTipClass()
{
    HINSTANCE instance = AppInstance();
    WNDCLASSA wc{};
    if (::GetClassInfoA(instance, kTipClass, &wc))
        return true;
    wc.lpszClassName = kTipClass;
    wc.style = CS_SAVEBITS | CS_DBLCLKS;
    wc.lpfnWndProc = ::DefWindowProcA;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_INFOBK + 1));
    return ::RegisterClassA(&wc) != 0;
}
} // namespace

BEGIN_MESSAGE_MAP(CControlToolTip, CWnd)
    ON_MESSAGE(WM_TIMER, &CControlToolTip::OnTimer)
    ON_MESSAGE(WM_PAINT, &CControlToolTip::OnPaint)
    ON_MESSAGE(WM_PRINTCLIENT, &CControlToolTip::OnPrintClient)
    ON_MESSAGE(WM_SYSCOLORCHANGE, &CControlToolTip::OnSystemChange)
    ON_MESSAGE(WM_SETTINGCHANGE, &CControlToolTip::OnSystemChange)
    ON_MESSAGE(WM_THEMECHANGED, &CControlToolTip::OnSystemChange)
END_MESSAGE_MAP()

CControlToolTip::CControlToolTip()
    : m_crText(SysColour(COLOR_INFOTEXT)), m_crBk(SysColour(COLOR_INFOBK))
{
    // Without the class no tip can ever be created; say so once instead of
    // failing silently later. The owner goes on working without its tip.
    if (!RegisterTipClass())
        Ui().MessageBox(nullptr, "A required resource was unavailable.", "KAVORA", MB_OK | MB_ICONSTOP);
}

CControlToolTip::~CControlToolTip() { Destroy(); }

BOOL CControlToolTip::Create(HWND owner)
{
    if (m_hWnd && !Destroy())
        return FALSE;
    m_hOwner = owner;
    RECT none{};
    if (!CreateEx(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kTipClass, nullptr, WS_POPUP | WS_BORDER, none,
                  nullptr, 0))
        return FALSE;
    SetText(m_strText.c_str());
    SetTimer(kPollTimer, kPollPeriod);
    return TRUE;
}

BOOL CControlToolTip::Destroy()
{
    if (!m_hWnd)
        return TRUE;
    ShowWindow(SW_HIDE);
    KillTimer(kPollTimer);
    m_hOwner = nullptr;
    return DestroyWindow();
}

SIZE CControlToolTip::MeasureText(HDC dc, const std::string& text)
{
    SIZE whole{};
    ::GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &whole);
    int lines = 1;
    for (char c : text)
        lines += c == '\n';
    if (lines == 1)
        return whole;

    // The hint is cut into pieces at line feeds; the whole string is used
    // whatever its length, so a long hint cannot overrun a fixed copy.
    SIZE result{0, whole.cy * lines};
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        if (end > start) {
            SIZE piece{};
            if (::GetTextExtentPoint32A(dc, text.c_str() + start, static_cast<int>(end - start), &piece)
                && piece.cx > result.cx)
                result.cx = piece.cx;
        }
        start = end + 1;
    }
    return result;
}

void CControlToolTip::SetText(const char* text)
{
    m_strText = text ? text : "";
    if (!m_hWnd)
        return;
    Measure();
    if (IsWindowVisible())
        Place();
}

HFONT CControlToolTip::Font()
{
    // The tip is a window of its own on top of the owner: it takes the
    // owner's scale, which changes when the owner's dialog changes monitor.
    const UINT now = dpi::OfWindow(m_hOwner);
    if (!m_font.GetSafeHandle() || now != m_nFontDpi) {
        m_font.DeleteObject();
        m_font.CreateFontIndirect(dpi::GuiFont(now));
        m_nFontDpi = now;
    }
    return m_font;
}

void CControlToolTip::Measure()
{
    HDC dc = ::GetDC(m_hWnd);
    int saved = ::SaveDC(dc);
    ::SelectObject(dc, Font());
    SIZE size = MeasureText(dc, m_strText);
    ::RestoreDC(dc, saved);
    ::ReleaseDC(m_hWnd, dc);
    const int margin = dpi::Scale(kMargin, m_nFontDpi);
    m_rcTip = RECT{0, 0, size.cx + margin, size.cy + margin};
}

void CControlToolTip::SetPosition(int position)
{
    if (position < TIP_ON_CONTROL || position > TIP_ABOVE)
        return;
    m_nPosition = position;
    if (m_hWnd && IsWindowVisible())
        Place();
}

void CControlToolTip::SetBkColor(BOOL custom, COLORREF colour)
{
    m_bCustomColors = custom;
    if (custom)
        m_crBk = colour;
    if (m_hWnd && IsWindowVisible())
        Repaint();
}

void CControlToolTip::SetTextColor(COLORREF colour)
{
    m_crText = colour;
    if (m_bCustomColors && m_hWnd && IsWindowVisible())
        Repaint();
}

void CControlToolTip::Place()
{
    if (m_strText.empty()) {
        Hide();
        return;
    }
    Measure();
    POINT at{0, 0};
    if (m_nPosition == TIP_BELOW) {
        RECT client{};
        ::GetClientRect(m_hOwner, &client);
        at.y = client.bottom;
    } else if (m_nPosition == TIP_ABOVE) {
        at.y = -(m_rcTip.bottom - m_rcTip.top);
    }
    ::ClientToScreen(m_hOwner, &at);
    ::SetWindowPos(m_hWnd, HWND_TOP, at.x, at.y, m_rcTip.right - m_rcTip.left, m_rcTip.bottom - m_rcTip.top,
                   SWP_SHOWWINDOW | SWP_NOACTIVATE);
    Repaint();
}

void CControlToolTip::Hide() { ShowWindow(SW_HIDE); }

void CControlToolTip::Repaint()
{
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

bool CControlToolTip::IsButtonDown(int virtualKey) const
{
    // Any bit but the toggle bit means the button is held now.
    return (::GetKeyState(virtualKey) & ~1) != 0;
}

POINT CControlToolTip::CursorPos() const
{
    POINT at{};
    ::GetCursorPos(&at);
    return at;
}

HWND CControlToolTip::FocusWindow() const { return ::GetFocus(); }

LRESULT CControlToolTip::OnTimer(WPARAM wParam, LPARAM)
{
    // An owner destroyed before its tip has no rectangle to test against,
    // and a tip left showing would hang on screen beside nothing.
    if (wParam == kPollTimer && m_hOwner && !::IsWindow(m_hOwner)) {
        if (IsWindowVisible())
            Hide();
    } else if (wParam == kPollTimer && m_hOwner) {
        HWND focus = FocusWindow();
        HWND focusParent = focus ? ::GetParent(focus) : nullptr;
        HWND ownerParent = ::GetParent(m_hOwner);

        bool button = !m_bNeedsButton || IsButtonDown(m_bLeftButton ? VK_LBUTTON : VK_RBUTTON);
        RECT owner{};
        ::GetWindowRect(m_hOwner, &owner);
        POINT at = CursorPos();
        // All four edges count as inside.
        bool inside = at.x >= owner.left && at.x <= owner.right && at.y >= owner.top && at.y <= owner.bottom;

        if (button && inside) {
            if (!IsWindowVisible() && focusParent == ownerParent)
                Place();
            if (IsWindowVisible() && focusParent != ownerParent)
                Hide();
        } else if (IsWindowVisible()) {
            Hide();
        }
    }
    return Default();
}

LRESULT CControlToolTip::OnPaint(WPARAM, LPARAM)
{
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(m_hWnd, &ps);
    Paint(dc);
    ::EndPaint(m_hWnd, &ps);
    return 0;
}

LRESULT CControlToolTip::OnPrintClient(WPARAM wParam, LPARAM)
{
    Paint(reinterpret_cast<HDC>(wParam));
    return 0;
}

void CControlToolTip::Paint(HDC dc)
{
    HGDIOBJ oldFont = ::SelectObject(dc, Font());
    const int oldMode = ::SetBkMode(dc, TRANSPARENT);
    RECT rc = m_rcTip;
    // Always filled and coloured: left to the device context's default the
    // text would be black, unreadable on a dark tip colour.
    HBRUSH brush = ::CreateSolidBrush(PaintedBkColor());
    ::FillRect(dc, &rc, brush);
    ::DeleteObject(brush);
    ::SetTextColor(dc, PaintedTextColor());
    ::DrawTextA(dc, m_strText.c_str(), -1, &rc, DT_LEFT | DT_TOP);
    ::SetBkMode(dc, oldMode);
    ::SelectObject(dc, oldFont);
}

COLORREF CControlToolTip::PaintedTextColor() const
{
    return m_bCustomColors && !HighContrastOn() ? m_crText : SysColour(COLOR_INFOTEXT);
}

COLORREF CControlToolTip::PaintedBkColor() const
{
    return m_bCustomColors && !HighContrastOn() ? m_crBk : SysColour(COLOR_INFOBK);
}

void CControlToolTip::SystemColoursChanged()
{
    // Made again at the next use, from the standard font as it is now.
    m_font.DeleteObject();
    if (m_hWnd && IsWindowVisible()) {
        Measure();
        Place();
    }
}

LRESULT CControlToolTip::OnSystemChange(WPARAM, LPARAM)
{
    SystemColoursChanged();
    return Default();
}
