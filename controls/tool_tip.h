// A small top-most hint window that belongs to one owner control. It does not
// listen to the owner's mouse messages: a 100 ms timer polls the cursor, the
// mouse buttons and the focus instead.
#pragma once

#include <windows.h>

#include <string>

#include "framework/controls.h"
#include "framework/wnd.h"

class CControlToolTip : public CWnd {
public:
    enum { TIP_ON_CONTROL = 0, TIP_BELOW = 1, TIP_ABOVE = 2 };
    static constexpr UINT_PTR kPollTimer = 1;
    static constexpr UINT kPollPeriod = 100;

    CControlToolTip();
    ~CControlToolTip() override;

    BOOL Create(HWND owner);
    // TRUE also when there was no window to destroy.
    BOOL Destroy();

    void SetText(const char* text);
    void SetPosition(int position);
    void SetBkColor(BOOL custom, COLORREF colour);
    void SetTextColor(COLORREF colour);
    void SetNeedsButton(BOOL needs) { m_bNeedsButton = needs; }
    void SetLeftButton(BOOL left) { m_bLeftButton = left; }

    // The system's colours, theme or fonts have changed: the font is made
    // again and a showing tip repaints. The tip, a top-level window, hears
    // of it itself; its owner tells it too.
    void SystemColoursChanged();

    const std::string& GetText() const { return m_strText; }
    const RECT& GetTipRect() const { return m_rcTip; }
    int GetPosition() const { return m_nPosition; }
    HWND GetOwner() const { return m_hOwner; }

    // Size of a hint as the tip lays it out: one line per line feed, runs of
    // line feeds adding height but no width.
    static SIZE MeasureText(HDC dc, const std::string& text);

protected:
    // The input state the timer polls; a test replaces these to play a user.
    virtual bool IsButtonDown(int virtualKey) const;
    virtual POINT CursorPos() const;
    virtual HWND FocusWindow() const;

    LRESULT OnTimer(WPARAM wParam, LPARAM lParam);
    LRESULT OnPaint(WPARAM wParam, LPARAM lParam);
    LRESULT OnPrintClient(WPARAM wParam, LPARAM lParam);
    // Paints the whole tip into `dc`, as WM_PAINT does.
    void Paint(HDC dc);
    LRESULT OnSystemChange(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()

private:
    // The colours the tip paints with now: the system's tip colours unless
    // custom colours are on, and always under high contrast.
    COLORREF PaintedTextColor() const;
    COLORREF PaintedBkColor() const;
    // The standard GUI font at the owner's DPI, made again when that changes.
    HFONT Font();
    // Sizes the tip for its text in that font.
    void Measure();
    void Place();
    void Hide();
    void Repaint();

    HWND m_hOwner = nullptr;
    std::string m_strText;
    RECT m_rcTip{};
    int m_nPosition = TIP_ON_CONTROL;
    COLORREF m_crText;
    COLORREF m_crBk;
    BOOL m_bCustomColors = FALSE;
    BOOL m_bNeedsButton = TRUE;
    BOOL m_bLeftButton = TRUE;
    CFont m_font;
    UINT m_nFontDpi = 0;
};
