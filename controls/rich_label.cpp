#include "controls/rich_label.h"

#include <shellapi.h>

#include <cstring>

#include "controls/contrast.h"
#include "framework/app.h"
#include "framework/dpi.h"
#include "framework/system_colours.h"

BEGIN_MESSAGE_MAP(CRichLabel, CStatic)
    ON_MESSAGE(WM_ENABLE, &CRichLabel::OnEnable)
    ON_MESSAGE(WM_ERASEBKGND, &CRichLabel::OnEraseBkgnd)
    ON_MESSAGE(WM_LBUTTONDOWN, &CRichLabel::OnLButtonDown)
    ON_MESSAGE(WM_MOUSEMOVE, &CRichLabel::OnMouseMove)
    ON_MESSAGE(WM_PAINT, &CRichLabel::OnPaint)
    ON_MESSAGE(WM_SETCURSOR, &CRichLabel::OnSetCursor)
    ON_MESSAGE(WM_TIMER, &CRichLabel::OnTimer)
    ON_REFLECT(WM_CTLCOLORSTATIC, &CRichLabel::OnCtlColorStatic)
END_MESSAGE_MAP()

CRichLabel::CRichLabel()
    : m_crBk(SysColour(COLOR_BTNFACE)), m_crTextBk(SysColour(COLOR_BTNFACE)),
      m_crText(SysColour(COLOR_WINDOWTEXT)), m_crHover(SysColour(COLOR_HIGHLIGHT)),
      m_crSavedText(SysColour(COLOR_WINDOWTEXT)), m_nFontDpi(dpi::System()), m_nDpi(m_nFontDpi)
{
    m_hBkBrush = ::CreateSolidBrush(PaintedBkColor());
    ::GetObjectA(::GetStockObject(DEFAULT_GUI_FONT), sizeof(m_lf), &m_lf);
    RebuildFont();
}

CRichLabel::~CRichLabel()
{
    if (m_hBitmap)
        ::DeleteObject(m_hBitmap);
    m_font.DeleteObject();
    if (m_hBkBrush)
        ::DeleteObject(m_hBkBrush);
}

std::string CRichLabel::VerticalForm(const std::string& text)
{
    std::string vertical;
    for (size_t i = 0; i < text.size(); ++i) {
        if (i)
            vertical += '\n';
        vertical += text[i];
    }
    return vertical;
}

// ---- attachment and the window procedure ----

void CRichLabel::PreSubclassWindow()
{
    CStatic::PreSubclassWindow();
    DWORD style = GetStyle() | SS_NOTIFY;
    ::SetWindowLongA(m_hWnd, GWL_STYLE, static_cast<LONG>(style));
    if (style & SS_CENTER)
        m_nAlignment = VertBit() | HORZ_CENTER;
    if (style & SS_RIGHT)
        m_nAlignment = VertBit() | HORZ_RIGHT;
    if (style & SS_CENTERIMAGE)
        m_nAlignment = HorzBit() | VERT_CENTER;
    m_strText = ReadWindowText();
    FollowDpi();
}

LRESULT CRichLabel::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_MOUSEHOVER:
        if (m_bHoverHighlight) {
            m_crSavedText = m_crText;
            if (!m_bHoverNeedsTip || (m_bTipEnabled && !m_tip.GetText().empty()))
                SetTextColor(m_crHover);
        }
        break;
    case WM_MOUSELEAVE:
        m_bMouseTracked = FALSE;
        if (m_bHoverHighlight)
            SetTextColor(m_crSavedText);
        break;
    case WM_DPICHANGED_AFTERPARENT:
        // The dialog has made its font for the new scale by now.
        if (m_bParentFont)
            TakeFont(reinterpret_cast<HFONT>(::SendMessageA(GetParent(), WM_GETFONT, 0, 0)));
        else
            FollowDpi();
        break;
    case WM_SETFONT:
        if (m_bParentFont && wParam)
            TakeFont(reinterpret_cast<HFONT>(wParam));
        break;
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE:
    case WM_THEMECHANGED: {
        // The static repaints itself on a colour change as on a new text.
        LRESULT result = StaticUnseen(msg, wParam, lParam);
        SystemColoursChanged();
        return result;
    }
    case WM_SETTEXT:
        if (!m_bInternalText) {
            m_strText = lParam ? reinterpret_cast<const char*>(lParam) : "";
            LRESULT result = StaticUnseen(msg, wParam, lParam);
            Repaint();
            return result;
        }
        break;
    case WM_PRINTCLIENT:
        // A picture of the window (PrintWindow, AnimateWindow) shows the
        // label as it paints itself, not the static underneath.
        if (!m_bSystemPaint) {
            Paint(reinterpret_cast<HDC>(wParam));
            return 0;
        }
        break;
    case WM_GETTEXT:
        if (!m_bInternalText)
            return CopyTextOut(wParam, reinterpret_cast<char*>(lParam));
        break;
    default:
        break;
    }
    return CStatic::WindowProc(msg, wParam, lParam);
}

LRESULT CRichLabel::StaticUnseen(UINT msg, WPARAM wParam, LPARAM lParam)
{
    // The static draws a new text (or colours) at once, in the font the
    // dialog gave it and over the label's own painting; hidden for that
    // moment, it draws nothing. Turning drawing back on sets WS_VISIBLE,
    // so a hidden label is left alone.
    const bool visible = (GetStyle() & WS_VISIBLE) != 0;
    if (visible)
        SendMessage(WM_SETREDRAW, FALSE);
    LRESULT result = CStatic::WindowProc(msg, wParam, lParam);
    if (visible)
        SendMessage(WM_SETREDRAW, TRUE);
    return result;
}

LRESULT CRichLabel::CopyTextOut(WPARAM size, char* buffer) const
{
    if (size == 0 || !buffer)
        return 0;
    std::memset(buffer, 0, size);
    size_t count = m_strText.size() < size - 1 ? m_strText.size() : size - 1;
    std::memcpy(buffer, m_strText.data(), count);
    return static_cast<LRESULT>(count);
}

void CRichLabel::WriteWindowText(const std::string& text)
{
    if (!m_hWnd)
        return;
    m_bInternalText = TRUE;
    ::SetWindowTextA(m_hWnd, text.c_str());
    m_bInternalText = FALSE;
}

std::string CRichLabel::ReadWindowText()
{
    m_bInternalText = TRUE;
    std::string text = GetWindowText();
    m_bInternalText = FALSE;
    return text;
}

UINT CRichLabel::HorzBit() const
{
    if (m_nAlignment & HORZ_LEFT)
        return HORZ_LEFT;
    if (m_nAlignment & HORZ_CENTER)
        return HORZ_CENTER;
    if (m_nAlignment & HORZ_RIGHT)
        return HORZ_RIGHT;
    return HORZ_LEFT;
}

UINT CRichLabel::VertBit() const
{
    if (m_nAlignment & VERT_TOP)
        return VERT_TOP;
    if (m_nAlignment & VERT_CENTER)
        return VERT_CENTER;
    if (m_nAlignment & VERT_BOTTOM)
        return VERT_BOTTOM;
    return VERT_TOP;
}

int CRichLabel::GetHorzAlignment() const
{
    UINT bit = HorzBit();
    return bit == HORZ_CENTER ? 1 : bit == HORZ_RIGHT ? 2 : 0;
}

int CRichLabel::GetVertAlignment() const
{
    UINT bit = VertBit();
    return bit == VERT_CENTER ? 1 : bit == VERT_BOTTOM ? 2 : 0;
}

// ---- helpers ----

void CRichLabel::Repaint()
{
    // A label not yet attached has nothing to redraw (and a null window
    // would mean the whole desktop).
    if (m_hWnd)
        ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void CRichLabel::RebuildFont()
{
    LOGFONTA made = m_lf;
    made.lfHeight = dpi::Scale(m_lf.lfHeight, m_nDpi, m_nFontDpi);
    made.lfWidth = dpi::Scale(m_lf.lfWidth, m_nDpi, m_nFontDpi);
    m_font.DeleteObject();
    m_font.CreateFontIndirect(made);
    Repaint();
}

void CRichLabel::FollowDpi()
{
    const UINT now = dpi::OfWindow(m_hWnd);
    if (now == m_nDpi)
        return;
    m_nDpi = now;
    RebuildFont();
}

void CRichLabel::ReplaceBrush()
{
    if (m_hBkBrush)
        ::DeleteObject(m_hBkBrush);
    m_hBkBrush = ::CreateSolidBrush(PaintedBkColor());
}

COLORREF CRichLabel::PaintedBkColor() const
{
    return HighContrastOn() || m_bDefaultBk ? SysColour(COLOR_BTNFACE) : m_crBk;
}

COLORREF CRichLabel::PaintedTextColor(COLORREF behind) const
{
    // Under high contrast the user's colours win over any of the label's,
    // as they do for the dialog's own statics (window text on button face).
    if (HighContrastOn() || m_bDefaultTextColor)
        return SysColour(COLOR_WINDOWTEXT);
    if (behind == CLR_INVALID)
        return m_crText;
    return contrast::Readable(m_crText, behind);
}

void CRichLabel::SystemColoursChanged()
{
    // What was set stays set: only what follows the system is read again,
    // so that leaving high contrast brings the label's own colours back.
    if (m_bDefaultBk)
        m_crBk = SysColour(COLOR_BTNFACE);
    if (m_bTextBkFollows)
        m_crTextBk = SysColour(COLOR_BTNFACE);
    if (m_bDefaultTextColor)
        m_crText = SysColour(COLOR_WINDOWTEXT);
    ReplaceBrush();
    m_tip.SystemColoursChanged();
    if (m_bParentFont && m_hWnd)
        TakeFont(reinterpret_cast<HFONT>(::SendMessageA(GetParent(), WM_GETFONT, 0, 0)));
    else
        RemakeStockFont();
}

void CRichLabel::RemakeStockFont()
{
    if (!m_bOwnFace || !m_bOwnSize) {
        LOGFONTA stock{};
        ::GetObjectA(::GetStockObject(DEFAULT_GUI_FONT), sizeof(stock), &stock);
        if (!m_bOwnFace) {
            ::lstrcpynA(m_lf.lfFaceName, stock.lfFaceName, LF_FACESIZE);
            m_lf.lfCharSet = stock.lfCharSet;
            m_lf.lfPitchAndFamily = stock.lfPitchAndFamily;
        }
        if (!m_bOwnSize) {
            m_lf.lfHeight = stock.lfHeight;
            m_lf.lfWidth = stock.lfWidth;
            m_nFontDpi = dpi::System();
        }
    }
    RebuildFont();
}

void CRichLabel::TakeFont(HFONT font)
{
    LOGFONTA lf{};
    if (!font || !::GetObjectA(font, sizeof(lf), &lf))
        return;
    // The dialog's font is made for the scale the dialog is shown at: it is
    // used as it is, not scaled again.
    m_lf = lf;
    m_nDpi = dpi::OfWindow(m_hWnd);
    m_nFontDpi = m_nDpi;
    RebuildFont();
}

CRichLabel& CRichLabel::UseParentFont()
{
    m_bParentFont = TRUE;
    if (m_hWnd)
        TakeFont(reinterpret_cast<HFONT>(::SendMessageA(GetParent(), WM_GETFONT, 0, 0)));
    return *this;
}

void CRichLabel::ChangeStyle(DWORD remove, DWORD add, bool frameChanged)
{
    if (!m_hWnd)
        return;
    DWORD style = (GetStyle() & ~remove) | add;
    ::SetWindowLongA(m_hWnd, GWL_STYLE, static_cast<LONG>(style));
    if (frameChanged)
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                       SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

// ---- text and colours ----

CRichLabel& CRichLabel::SetText(const char* text)
{
    m_strText = text ? text : "";
    WriteWindowText(m_bVertical ? VerticalForm(m_strText) : m_strText);
    Repaint();
    return *this;
}

CRichLabel& CRichLabel::SetTextColor(COLORREF colour)
{
    m_bDefaultTextColor = FALSE;
    m_crText = colour;
    Repaint();
    return *this;
}

CRichLabel& CRichLabel::SetDefaultTextColor()
{
    m_bDefaultTextColor = TRUE;
    m_crText = SysColour(COLOR_WINDOWTEXT);
    Repaint();
    return *this;
}

CRichLabel& CRichLabel::SetBkColor(COLORREF colour)
{
    m_bDefaultBk = FALSE;
    m_crBk = colour;
    ReplaceBrush();
    Repaint();
    return *this;
}

CRichLabel& CRichLabel::SetDefaultBkColor()
{
    m_bDefaultBk = TRUE;
    m_crBk = SysColour(COLOR_BTNFACE);
    ReplaceBrush();
    Repaint();
    return *this;
}

CRichLabel& CRichLabel::SetTextBkColor(COLORREF colour)
{
    m_bTextBkFollows = FALSE;
    m_crTextBk = colour;
    Repaint();
    return *this;
}

CRichLabel& CRichLabel::SetDefaultTextBkColor()
{
    m_bTextBkFollows = TRUE;
    m_crTextBk = SysColour(COLOR_BTNFACE);
    Repaint();
    return *this;
}

CRichLabel& CRichLabel::SetHoverColor(COLORREF colour)
{
    m_crHover = colour;
    Repaint();
    return *this;
}

CRichLabel& CRichLabel::SetLowerCase(BOOL on)
{
    m_bLowerCase = on;
    m_bUpperCase = FALSE;
    Repaint();
    return *this;
}

CRichLabel& CRichLabel::SetUpperCase(BOOL on)
{
    m_bLowerCase = FALSE;
    m_bUpperCase = on;
    Repaint();
    return *this;
}

CRichLabel& CRichLabel::SetVerticalText(BOOL on)
{
    WriteWindowText(on ? VerticalForm(m_strText) : m_strText);
    m_bVertical = on;
    Repaint();
    return *this;
}

// ---- font ----

CRichLabel& CRichLabel::SetFontBold(BOOL bold)
{
    m_lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    RebuildFont();
    return *this;
}

CRichLabel& CRichLabel::SetFontItalic(BOOL italic)
{
    m_lf.lfItalic = static_cast<BYTE>(italic);
    RebuildFont();
    return *this;
}

CRichLabel& CRichLabel::SetFontUnderline(BOOL underline)
{
    m_lf.lfUnderline = static_cast<BYTE>(underline);
    RebuildFont();
    return *this;
}

CRichLabel& CRichLabel::SetFontName(const char* face)
{
    // The face field holds 31 characters and a terminator; a longer name is
    // cut there rather than written past the field.
    ::lstrcpynA(m_lf.lfFaceName, face ? face : "", LF_FACESIZE);
    m_bOwnFace = TRUE;
    RebuildFont();
    return *this;
}

CRichLabel& CRichLabel::SetFontSize(int height)
{
    // A size is given in pixels at 100 %, as the dialog templates' units
    // are: the label grows with the scale the way its dialog does.
    m_lf.lfWidth = dpi::Scale(m_lf.lfWidth, dpi::kBase, m_nFontDpi);
    m_lf.lfHeight = height;
    m_nFontDpi = dpi::kBase;
    m_bOwnSize = TRUE;
    RebuildFont();
    return *this;
}

// ---- layout and appearance ----

CRichLabel& CRichLabel::SetAlignment(UINT bits)
{
    bool styleChange = false;
    DWORD add = 0;
    DWORD remove = 0;
    if (bits & HORZ_RIGHT) {
        m_nAlignment = HORZ_RIGHT;
        add = SS_RIGHT;
        remove = SS_CENTER;
        styleChange = true;
    }
    if (bits & HORZ_CENTER) {
        m_nAlignment = HORZ_CENTER;
        add = SS_CENTER;
        remove = SS_RIGHT;
        styleChange = true;
    }
    if (bits & HORZ_LEFT) {
        m_nAlignment = HORZ_LEFT;
        add = 0;
        remove = SS_CENTER | SS_RIGHT;
        styleChange = true;
    }
    if (styleChange)
        ChangeStyle(remove, add, false);
    if (bits & VERT_BOTTOM)
        m_nAlignment |= VERT_BOTTOM;
    else if (bits & VERT_CENTER)
        m_nAlignment |= VERT_CENTER;
    else if (bits & VERT_TOP)
        m_nAlignment |= VERT_TOP;
    Repaint();
    return *this;
}

CRichLabel& CRichLabel::SetRotation(int degrees)
{
    m_nRotation = degrees;
    Repaint();
    return *this;
}

CRichLabel& CRichLabel::SetBitmap(UINT resourceId)
{
    if (m_hBitmap)
        ::DeleteObject(m_hBitmap);
    m_hBitmap = nullptr;
    if (resourceId != static_cast<UINT>(-1))
        m_hBitmap = ::LoadBitmapA(AppInstance(), MAKEINTRESOURCEA(LOWORD(resourceId)));
    if (m_hWnd)
        Invalidate(TRUE);
    return *this;
}

CRichLabel& CRichLabel::SetBitmapStretch(BOOL stretch)
{
    m_bBitmapStretch = stretch;
    if (m_hBitmap)
        Repaint();
    return *this;
}

CRichLabel& CRichLabel::SetBorder(BOOL on)
{
    ChangeStyle(on ? 0 : WS_BORDER, on ? WS_BORDER : 0, true);
    Repaint();
    return *this;
}

CRichLabel& CRichLabel::SetSunken(BOOL on)
{
    if (m_hWnd) {
        DWORD ex = on ? (GetExStyle() | WS_EX_STATICEDGE) : (GetExStyle() & ~WS_EX_STATICEDGE);
        ::SetWindowLongA(m_hWnd, GWL_EXSTYLE, static_cast<LONG>(ex));
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                       SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
    Repaint();
    return *this;
}

CRichLabel& CRichLabel::SetDisabled(BOOL on)
{
    ChangeStyle(on ? 0 : WS_DISABLED, on ? WS_DISABLED : 0, false);
    Repaint();
    return *this;
}

CRichLabel& CRichLabel::SetEtchedLine(BOOL on)
{
    m_bEtched = on;
    Repaint();
    return *this;
}

BOOL CRichLabel::SetSystemPaint(BOOL on)
{
    m_bSystemPaint = on;
    if (!m_hWnd)
        return FALSE;
    return ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

// ---- mouse, link and tip ----

CRichLabel& CRichLabel::SetLink(BOOL on)
{
    m_bLink = on;
    return *this;
}

CRichLabel& CRichLabel::SetCursor(HCURSOR cursor)
{
    m_hCursor = cursor;
    return *this;
}

CRichLabel& CRichLabel::SetCursor(UINT resourceId)
{
    m_hCursor = ::LoadCursorA(AppInstance(), MAKEINTRESOURCEA(resourceId));
    return *this;
}

CRichLabel& CRichLabel::SetHoverHighlight(BOOL on)
{
    m_bHoverHighlight = on;
    if (!on)
        SetTextColor(m_crSavedText);
    return *this;
}

CRichLabel& CRichLabel::SetHoverNeedsTip(BOOL on)
{
    m_bHoverNeedsTip = on;
    return *this;
}

CRichLabel& CRichLabel::FlashText(BOOL on, UINT periodMs)
{
    if (m_bTextBlink) {
        WriteWindowText(m_strText);
        KillTimer(kTextBlinkTimer);
    }
    // Without a window SetTimer would start a thread timer under a new id
    // that nothing ever kills.
    if (on && m_hWnd)
        SetTimer(kTextBlinkTimer, periodMs);
    else if (m_hWnd)
        Invalidate(FALSE);
    m_bTextBlink = on;
    return *this;
}

CRichLabel& CRichLabel::FlashBackground(BOOL on, UINT periodMs)
{
    if (m_bBkBlink)
        KillTimer(kBackBlinkTimer);
    if (on && m_hWnd)
        SetTimer(kBackBlinkTimer, periodMs);
    else if (m_hWnd)
        Invalidate(FALSE);
    m_bBkBlink = on;
    return *this;
}

CRichLabel& CRichLabel::EnableTip(BOOL on)
{
    m_bTipEnabled = on;
    if (on)
        m_tip.Create(m_hWnd);
    else
        m_tip.Destroy();
    return *this;
}

CRichLabel& CRichLabel::SetTipText(const char* text)
{
    m_tip.SetText(text);
    return *this;
}

CRichLabel& CRichLabel::SetTipPosition(int position)
{
    m_tip.SetPosition(position);
    return *this;
}

CRichLabel& CRichLabel::SetTipNeedsButton(BOOL on)
{
    m_tip.SetNeedsButton(on);
    return *this;
}

CRichLabel& CRichLabel::SetTipLeftButton(BOOL on)
{
    m_tip.SetLeftButton(on);
    return *this;
}

// ---- message handlers ----

LRESULT CRichLabel::OnEnable(WPARAM, LPARAM)
{
    // The static would repaint in its own style on enabling; hold drawing
    // until it is done and then paint the label's way. Turning drawing back
    // on sets WS_VISIBLE, so a hidden label is left alone: enabling it must
    // not make it show.
    const bool visible = (GetStyle() & WS_VISIBLE) != 0;
    if (visible)
        SendMessage(WM_SETREDRAW, FALSE);
    LRESULT result = Default();
    if (visible)
        SendMessage(WM_SETREDRAW, TRUE);
    Invalidate(TRUE);
    return result;
}

LRESULT CRichLabel::OnEraseBkgnd(WPARAM, LPARAM) { return Default(); }

LRESULT CRichLabel::OnLButtonDown(WPARAM, LPARAM)
{
    if (m_bLink)
        ::ShellExecuteA(nullptr, "open", m_strText.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return Default();
}

LRESULT CRichLabel::OnMouseMove(WPARAM, LPARAM)
{
    if (!m_bMouseTracked) {
        m_bMouseTracked = TRUE;
        TRACKMOUSEEVENT track{};
        track.cbSize = sizeof(track);
        track.dwFlags = TME_HOVER | TME_LEAVE;
        track.hwndTrack = m_hWnd;
        track.dwHoverTime = 50;
        ::_TrackMouseEvent(&track);
    }
    return Default();
}

LRESULT CRichLabel::OnSetCursor(WPARAM, LPARAM)
{
    if (m_hCursor) {
        ::SetCursor(m_hCursor);
        return TRUE;
    }
    return Default();
}

LRESULT CRichLabel::OnTimer(WPARAM wParam, LPARAM)
{
    if (wParam == kTextBlinkTimer && m_bTextBlink) {
        m_bTextBlinkPhase = !m_bTextBlinkPhase;
        if (m_bTextBlinkPhase) {
            WriteWindowText("");
        } else {
            WriteWindowText(m_strText);
            Invalidate(FALSE);
        }
        if (!m_bDefaultBk && SysColour(COLOR_BTNFACE) != m_crBk)
            Invalidate(FALSE);
    } else if (wParam == kBackBlinkTimer && m_bBkBlink) {
        m_bBkBlinkPhase = !m_bBkBlinkPhase;
        Invalidate(TRUE);
    }
    return Default();
}

LRESULT CRichLabel::OnCtlColorStatic(WPARAM wParam, LPARAM)
{
    if (!m_bSystemPaint)
        return 0;
    HDC dc = reinterpret_cast<HDC>(wParam);
    if (m_font.GetSafeHandle())
        ::SelectObject(dc, m_font);
    ::SetTextColor(dc, PaintedTextColor(PaintedBkColor()));
    ::SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<LRESULT>(m_hBkBrush);
}
